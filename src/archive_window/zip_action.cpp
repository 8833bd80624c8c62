#include "archive_window/zip_action.h"

#include "app/program_state.h"
#include "engine/kxzip.h"

namespace kx {

void zip(KxZip& KxZip1, const QString& Zipfiles, std::int16_t aktion) {
  ProgramWideState& s = ProgramState();
  KxZip1.FileSpec.clear();
  KxZip1.ZipFile = s.CurrentArchive.toStdString();
  KxZip1.CompressionLevel = s.Options.CompressionLevel;
  KxZip1.MultiVolume = s.Options.MultiVolume;
  KxZip1.LongNames = s.Options.LongNames;
  KxZip1.StorePaths = s.Options.StorePaths;
  KxZip1.MoveFiles = s.Options.MoveFiles;
  if (!s.Password.isEmpty()) KxZip1.Password = s.Password.trimmed().toStdString();
  KxZip1.TargetDir = s.TargetFolder.toStdString();
  KxZip1.RestoreFolders = s.Options.RestoreFolders;
  KxZip1.ArchiveDateMode = s.Options.ArchiveDateMode;
  KxZip1.ExtractMode = s.Options.ExtractMode;
  KxZip1.OverwriteMode = s.Options.OverwriteMode;
  KxZip1.FileSpec = Zipfiles.trimmed().toStdString();
  KxZip1.EngineEnabled = true;
  KxZip1.SetAction(aktion);
  if (!s.PendingComment.isEmpty()) KxZip1.SetZipComment(s.PendingComment.trimmed().toStdString());
  KxZip1.SetAction(action::None);
  s.Password.clear();
  KxZip1.Password.clear();
}

}  // namespace kx
