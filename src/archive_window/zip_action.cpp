#include "archive_window/zip_action.h"

#include "app/program_state.h"
#include "engine/kxzip.h"

namespace kx {
namespace {

// Blanks off both ends, nothing else: a comment may end in CR LF, and the
// held comment must stay equal to the stored one.
std::string WithoutOuterBlanks(const QString& text) {
  qsizetype first = 0, last = text.size();
  while (first < last && text[first] == ' ') ++first;
  while (last > first && text[last - 1] == ' ') --last;
  return text.mid(first, last - first).toStdString();
}

}  // namespace

void zip(KxZip& KxZip1, const QString& Zipfiles, std::int16_t aktion) {
  ProgramWideState& s = ProgramState();
  KxZip1.FileSpec.clear();
  KxZip1.ZipFile = s.CurrentArchive.toStdString();
  KxZip1.CompressionLevel = s.Options.CompressionLevel;
  KxZip1.MultiVolume = s.Options.MultiVolume;
  KxZip1.LongNames = s.Options.LongNames;
  KxZip1.StorePaths = s.Options.StorePaths;
  KxZip1.MoveFiles = s.Options.MoveFiles;
  if (!s.Password.isEmpty()) KxZip1.Password = WithoutOuterBlanks(s.Password);
  KxZip1.TargetDir = s.TargetFolder.toStdString();
  KxZip1.RestoreFolders = s.Options.RestoreFolders;
  KxZip1.ArchiveDateMode = s.Options.ArchiveDateMode;
  KxZip1.ExtractMode = s.Options.ExtractMode;
  KxZip1.OverwriteMode = s.Options.OverwriteMode;
  KxZip1.FileSpec = WithoutOuterBlanks(Zipfiles);
  KxZip1.EngineEnabled = true;
  KxZip1.SetAction(aktion);
  if (!s.PendingComment.isEmpty()) KxZip1.SetZipComment(WithoutOuterBlanks(s.PendingComment));
  KxZip1.SetAction(action::None);
  s.Password.clear();
  KxZip1.Password.clear();
}

}  // namespace kx
