#pragma once
// KxZip: the engine control of the archive window. Its options are plain
// members; setting Action runs one operation synchronously on the calling
// thread and reports files, progress, errors and questions through the two
// callbacks, whose reference fields the handler may change (MsgType, Reply).
// After SetAction returns, Action() is 0 again and LastResult() holds the
// operation's result code.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/entry.h"
#include "engine/io/code_page.h"
#include "engine/result_codes.h"

namespace kx {

// Operation and action codes.
namespace action {
inline constexpr std::int16_t None = 0;
inline constexpr std::int16_t ReadDirectory = 1;
inline constexpr std::int16_t Add = 2;
inline constexpr std::int16_t Delete = 5;
inline constexpr std::int16_t Extract = 6;
inline constexpr std::int16_t Test = 7;
}  // namespace action

// Prompt kinds.
namespace prompt {
inline constexpr std::int16_t InsertDisk = 1;   // DiskNum: the volume number wanted
inline constexpr std::int16_t Overwrite = 2;    // FileName: the file that exists
inline constexpr std::int16_t LastDisk = 3;
}  // namespace prompt

// Standard button codes used as replies.
namespace reply {
inline constexpr std::int16_t Ok = 1;
inline constexpr std::int16_t Cancel = 2;
inline constexpr std::int16_t Yes = 6;
inline constexpr std::int16_t No = 7;
inline constexpr std::int16_t EngineDefault = -10000;
}  // namespace reply

struct ProgressEvent {
  std::int16_t Operation = 0;
  std::int16_t MsgType = 0;   // a result code; 0 while all is well
  std::int16_t Percent = 0;   // share of all bytes of the action, 0..100
  std::int16_t Method = 0;
  std::string ZipFile;
  std::string FileName;
};

struct PromptEvent {
  std::int16_t Operation = 0;
  std::int16_t MsgType = 0;   // prompt kind
  std::int16_t DiskNum = 0;
  std::string ZipFile;
  std::string FileName;
  std::int16_t Reply = reply::Cancel;  // written by the handler
};

inline constexpr std::int32_t kFloppyVolumeSize = 1457664;

// The option values as the operations read them (KxZip's typed getters);
// callers set the 16-bit members, whose numbers these are.
enum class Compression : std::int16_t { Fastest = 1, Fast = 2, Normal = 3, Best = 4 };
enum class StorePath : std::int16_t { NamesOnly = 0, Full = 1, Relative = 2 };
enum class ArchiveDate : std::int16_t { Modified = 0, Keep = 1, Newest = 2 };
enum class ExtractChoice : std::int16_t { All = 0, Freshen = 1, Update = 2 };
enum class Overwrite : std::int16_t { Ask = 0, Always = 1, Never = 2 };

// The 16-bit number of an option value, for the members below.
template <typename Option>
constexpr std::int16_t OptionCode(Option value) {
  return static_cast<std::int16_t>(value);
}

class KxZip {
 public:
  KxZip();
  ~KxZip();
  KxZip(const KxZip&) = delete;
  KxZip& operator=(const KxZip&) = delete;

  // Texts (UTF-8).
  std::string ZipFile;
  std::string FileSpec;    // blank-separated names, names with blanks in double quotes
  std::string TargetDir;
  std::string Password;

  // Options, with the initial values the archive window copies at start.
  std::int16_t CompressionLevel = 3;  // 1 fastest .. 4 best; 3 is deflate's default
  std::int16_t StorePaths = 2;        // 0 names only, 1 full paths, 2 relative paths
  bool LongNames = true;
  bool MoveFiles = false;
  bool MultiVolume = false;
  bool RestoreFolders = true;
  bool Recurse = true;
  bool EngineEnabled = true;
  std::int16_t ArchiveDateMode = 0;   // 0 modification time, 1 keep, 2 newest entry
  std::int16_t ExtractMode = 0;       // 0 all, 1 freshen, 2 update
  std::int16_t OverwriteMode = 0;     // 0 ask, 1 always, 2 never
  std::int32_t VolumeSize = kFloppyVolumeSize;
  // How ZIP entry names without the UTF-8 flag are read, for every action:
  // 0 automatic, else a code page number of CodePage (437, 850, 866, 1252,
  // 932 Shift-JIS, 936 GBK).
  std::int16_t NameCodePage = 0;

  // The options above as their enums; a number outside the enum's range
  // is passed on as it is, and the operations treat it as their default.
  Compression compression() const { return static_cast<Compression>(CompressionLevel); }
  StorePath storePaths() const { return static_cast<StorePath>(StorePaths); }
  ArchiveDate archiveDate() const { return static_cast<ArchiveDate>(ArchiveDateMode); }
  ExtractChoice extractChoice() const { return static_cast<ExtractChoice>(ExtractMode); }
  Overwrite overwrite() const { return static_cast<Overwrite>(OverwriteMode); }
  CodePage nameCodePage() const { return CodePageOf(NameCodePage); }

  std::function<void(ProgressEvent&)> Progress;
  std::function<void(PromptEvent&)> Prompt;

  // Runs the operation now; errors go to Progress with MsgType set, each
  // failure once: an entry's or a volume's trouble in an event naming it
  // (FileName), and the action's result in an end event without a name
  // unless an event during the action already told that code.
  void SetAction(std::int16_t code);
  std::int16_t Action() const { return action_; }
  std::int16_t LastResult() const { return Code(lastResult_); }

  // The archive comment: valid after action 1. Setting it writes it to
  // ZipFile at once, unless it equals the stored comment; a failed write
  // reaches Progress (Operation 0, MsgType the code) and LastResult.
  const std::string& ZipComment() const { return comment_; }
  void SetZipComment(const std::string& comment);

  // Directory of the last action 1.
  std::int32_t EntryCount() const { return static_cast<std::int32_t>(directory_.entries.size()); }
  void SetEntryIndex(std::int32_t index) { entryIndex_ = index; }
  std::string EntryName() const;
  std::string EntryDate() const;   // "TT.MM.JJJJ"
  std::string EntryTime() const;   // "HH:MM:SS"
  std::int32_t EntrySize() const;
  std::int32_t EntryPackedSize() const;
  std::int32_t EntryCrc() const;
  std::int16_t EntryAttributes() const;
  bool EntryEncrypted() const;
  // The whole entry record, for callers that want 64-bit sizes.
  const EntryInfo* Entry() const;
  const ArchiveDirectory& Directory() const { return directory_; }

  // The operations send their events through here (not to Progress
  // directly), so SetAction knows which error codes were already told.
  void Report(ProgressEvent& event);

 private:
  Result runAction(std::int16_t code);
  // The end event of a failed action or comment write.
  void tell(std::int16_t operation, Result result);

  std::int16_t action_ = 0;
  Result lastResult_ = rc::Ok;
  std::string comment_;
  ArchiveDirectory directory_;
  std::int32_t entryIndex_ = 0;
  std::vector<Result> told_;   // error codes reported during the running action
};

}  // namespace kx
