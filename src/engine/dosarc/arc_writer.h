#pragma once
// ARC headers of 29 bytes (layout: formats/arc.cpp). ARC stores no folders:
// a new member's name is a file name of at most 12 bytes. Kept items are
// copied unchanged, except a folder item whose nested run loses members:
// its packed size (and its checksum or size where they described the run)
// follows the new run.
#include "engine/dosarc/dos_writer.h"

namespace kx::dosarc {

class ArcWriter final : public DosWriter {
 public:
  explicit ArcWriter(const DosArchive* existing) : DosWriter(existing) {}

  bool Begin(ArchiveOut& out) override { return true; }
  bool CopyItems(ArchiveOut& out, const std::vector<bool>& drop) override;
  std::vector<std::uint8_t> MemberHeader(const NewMember& m, std::uint64_t at) const override;
  bool End(ArchiveOut& out) override;
  NameFit CheckName(const std::string& storedName) const override;

 private:
  bool CopyRun(ArchiveOut& out, std::int64_t parent, const std::vector<bool>& drop,
               const std::vector<bool>& changed);
  bool RewriteFolder(ArchiveOut& out, std::size_t folder, const std::vector<bool>& drop,
                     const std::vector<bool>& changed);
};

}  // namespace kx::dosarc
