#include "shell/file_types.h"

#include <QCoreApplication>

#include "platform/class_keys.h"
#include "shell/desktop_registration.h"

namespace kx {
namespace {

constexpr const char* kIconNumber = "-1";

void RegisterFileType(ClassKeyStore& keys, const ArchiveFileType& t) {
  const QString type = t.fileType;
  keys.setDefault("." + QString(t.extension), type);
  keys.setDefault(type, t.description);
  keys.setDefault(type + "\\DefaultIcon", ProgramFile() + "," + kIconNumber);
}

void RegisterVerb(ClassKeyStore& keys, const QString& type, const QString& verb, const QString& switchText,
                  bool withFile) {
  if (verb.isEmpty() || type.isEmpty()) return;
  keys.setDefault(type + "\\Shell\\" + verb.trimmed() + "\\command", VerbCommand(switchText, withFile).trimmed());
}

}  // namespace

QString ProgramFile() { return QCoreApplication::applicationFilePath(); }

QString VerbCommand(const QString& switchText, bool withFile) {
  const QString s = switchText.trimmed();
  if (withFile) return s.isEmpty() ? ProgramFile() + " %1" : ProgramFile() + " \"%1\" " + s;
  return s.isEmpty() ? ProgramFile() : ProgramFile() + " " + s;
}

void RegisterFileTypes() {
  ClassKeyStore keys;
  for (const auto& t : kArchiveFileTypes) RegisterFileType(keys, t);
  for (const auto& t : kArchiveFileTypes) RegisterVerb(keys, t.fileType, "Open", "", true);
  for (int i = 0; i < 2; ++i) RegisterFileType(keys, kArchiveFileTypes[i]);
  for (int i = 0; i < 2; ++i) RegisterVerb(keys, kArchiveFileTypes[i].fileType, "Entpacken nach...", "/entpacken", true);
  PublishDesktopRegistration(ProgramFile());
}

void RemoveFileTypes() {
  ClassKeyStore keys;
  for (const auto& t : kArchiveFileTypes) {
    keys.deleteTree(t.fileType);
    keys.setDefault("." + QString(t.extension), t.fileType);
  }
  WithdrawDesktopRegistration();
}

}  // namespace kx
