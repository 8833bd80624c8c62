#pragma once
// UpdateSession: one add or delete on a ZIP archive through libzip, from
// opening to the moment the new archive has replaced the old one.
//
// Open resolves symbolic links (the file they point to is updated, the link
// stays), finishes a comment change a crash interrupted, removes temporary
// files that a killed earlier update left, refuses split sets and opens the
// archive through an ArchiveTarget. Close writes everything through libzip;
// only a complete new archive replaces the old one.
//
// Ownership: the session owns the libzip handle and the target; whatever
// entry sources the caller adds belong to libzip. The caller's UpdateProgress
// and DeflatePool must outlive Close. Calling thread only. Failures are
// engine result codes; after a failed Close the archive is as it was.
#include <cstdint>
#include <memory>
#include <string>

#include <zip.h>

#include "engine/result_codes.h"
#include "engine/zip/update_progress.h"
#include "engine/zip/archive_target.h"

namespace kx {

class UpdateSession {
 public:
  UpdateSession() = default;
  ~UpdateSession();
  UpdateSession(const UpdateSession&) = delete;
  UpdateSession& operator=(const UpdateSession&) = delete;

  // create: a missing archive is made (as a split set when volumeSize > 0 and
  // the name ends in ".001"); without it a missing archive is rc::FileNotFound.
  Result Open(const std::string& archivePath, bool create, std::uint64_t volumeSize);
  // Open in two steps, for an update that may write the archive without
  // libzip: Prepare does everything up to libzip (path, checks, leftovers),
  // OpenArchive then opens the prepared path through libzip.
  Result Prepare(const std::string& archivePath, bool create, std::uint64_t volumeSize);
  Result OpenArchive();
  Result Close(UpdateProgress& progress);

  zip_t* archive() const { return archive_; }
  const std::string& path() const { return path_; }   // resolved
  bool existed() const { return existed_; }
  bool split() const { return split_; }
  const ArchiveTarget& target() const { return *target_; }
  ArchiveTarget& target() { return *target_; }

 private:
  std::string path_;
  bool existed_ = false;
  bool split_ = false;
  bool create_ = false;
  std::uint64_t volumeSize_ = 0;
  std::unique_ptr<ArchiveTarget> target_;
  zip_t* archive_ = nullptr;
};

}  // namespace kx
