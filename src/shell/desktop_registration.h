#pragma once
// The archive types published to the freedesktop desktop of the current user
// (no root needed), beside the class keys of file_types.h:
//   $XDG_DATA_HOME/applications/kravix.desktop        the program, MimeType= the six types
//   $XDG_DATA_HOME/mime/packages/kravix.xml           the types the system MIME database lacks
//   $XDG_DATA_HOME/kio/servicemenus/kravix-entpacken.desktop    Dolphin   } "Entpacken nach..."
//   $XDG_DATA_HOME/nemo/actions/kravix-entpacken.nemo_action    Nemo      } on ZIP archives:
//   $XDG_DATA_HOME/file-manager/actions/kravix-entpacken.desktop Caja, PCManFM } kravix FILE /entpacken
//   $XDG_DATA_HOME/nautilus/scripts/Entpacken nach...           Nautilus  }
//   $XDG_CONFIG_HOME/mimeapps.list   lines "type=kravix.desktop;" under [Added Associations],
//                                    and under [Default Applications] for a type without a default
// then update-mime-database and update-desktop-database refresh the caches.
//
// Every file, directory and line written is kept in a record,
// $XDG_DATA_HOME/Kravix/registration (JSON); the withdrawal takes back exactly
// what the record holds and what still reads as written, and nothing else. A
// file of the same name that Kravix did not write is left alone; publishing
// again writes only what is missing or differs.
//
// User-interface thread. Failures are not reported: a step that fails leaves
// its file as it was and the next step runs (the refresh tools are optional).
#include <QString>
#include <QStringList>

#include <vector>

namespace kx {

// Where the publication goes and where the system's definitions lie.
struct DesktopPlaces {
  QString dataHome;          // $XDG_DATA_HOME, else ~/.local/share
  QString configHome;        // $XDG_CONFIG_HOME, else ~/.config
  QStringList dataDirs;      // $XDG_DATA_DIRS, else /usr/local/share, /usr/share
  QStringList configDirs;    // $XDG_CONFIG_DIRS, else /etc/xdg
  QStringList desktops;      // $XDG_CURRENT_DESKTOP, lower case

  static DesktopPlaces OfThisUser();
  QString recordPath() const { return dataHome + "/Kravix/registration"; }
};

// One of the six archive types as the desktop knows it.
struct DesktopArchiveType {
  QString extension;     // "zip"
  QString mimeType;      // "application/zip"
  QString description;   // "Zip Archiv"
  bool ownType = false;  // defined by Kravix's MIME package: the system lacks it
  bool extractAction = false;  // offers "Entpacken nach..."
};

// The six types in their registration order: the system database's MIME
// type where it has a glob "*.ext", else Kravix's own.
std::vector<DesktopArchiveType> DesktopArchiveTypes(const DesktopPlaces& places);

// The desktop entry's name, as mimeapps.list names it.
inline constexpr const char* kDesktopEntryName = "kravix.desktop";

// Publishes everything listed above for program (an absolute path).
void PublishDesktopRegistration(const QString& program, const DesktopPlaces& places = DesktopPlaces::OfThisUser());
// Takes back what the record holds, then forgets the record.
void WithdrawDesktopRegistration(const DesktopPlaces& places = DesktopPlaces::OfThisUser());

// An argument of a desktop entry's Exec line, quoted by its rules (and "%"
// doubled), before the key file's own escaping.
QString DesktopExecArgument(const QString& argument);
// A word for a POSIX shell's parser: in single quotes when it needs any.
QString ShellWord(const QString& word);

}  // namespace kx
