#pragma once
// LHA headers of level 2 as the Unix programs write them (layout:
// formats/lha.cpp): Unix time, OS "U", the file name and the folder (parts
// ended by 0xFF) in extension headers, the Unix mode, and a header CRC in the
// common extension. Kept items are copied unchanged; the archive ends with
// its single 0 byte.
#include "engine/dosarc/dos_writer.h"

namespace kx::dosarc {

class LhaWriter final : public DosWriter {
 public:
  explicit LhaWriter(const DosArchive* existing) : DosWriter(existing) {}

  bool Begin(ArchiveOut& out) override;
  bool CopyItems(ArchiveOut& out, const std::vector<bool>& drop) override;
  std::vector<std::uint8_t> MemberHeader(const NewMember& m, std::uint64_t at) const override;
  bool End(ArchiveOut& out) override;
  NameFit CheckName(const std::string& storedName) const override;
};

}  // namespace kx::dosarc
