#pragma once
// The program-wide state of one run: the archive being worked on, the held
// comment, the one-shot password, the extraction folder, the flags and the
// working options that go to the engine with every action. Owned by no
// window; user-interface thread only.
#include <QString>

#include <cstdint>

namespace kx {

struct WorkingOptions {
  std::int16_t CompressionLevel = 3;
  bool MultiVolume = false;
  bool LongNames = true;
  std::int16_t StorePaths = 2;
  bool MoveFiles = false;
  bool RestoreFolders = true;
  std::int16_t ArchiveDateMode = 0;
  std::int16_t ExtractMode = 0;
  std::int16_t OverwriteMode = 0;
};

struct ProgramWideState {
  QString CurrentArchive;
  QString PendingComment;
  QString Password;
  QString TargetFolder;
  std::int16_t EncryptedEntries = 0;  // -1 when the listed archive holds an encrypted entry
  bool IntegratedViewer = true;
  WorkingOptions Options;
};

ProgramWideState& ProgramState();

}  // namespace kx
