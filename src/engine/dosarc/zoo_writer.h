#pragma once
// ZOO entries of type 2 as zoo 2.1 writes them (layout: formats/zoo.cpp): an
// 8.3 short name, the long name and the folder in the variable part, Unix
// permissions, the entry's own CRC, and the data after the "@)#(" leader.
// ZOO links its entries by absolute offsets, so kept entries are copied with
// their next, data and comment offsets (and the entry CRC that covers them)
// set for their new place; their data and comments are copied unchanged.
// Entries marked deleted are left out.
#include "engine/dosarc/dos_writer.h"

namespace kx::dosarc {

class ZooWriter final : public DosWriter {
 public:
  explicit ZooWriter(const DosArchive* existing) : DosWriter(existing) {}

  bool Begin(ArchiveOut& out) override;
  bool CopyItems(ArchiveOut& out, const std::vector<bool>& drop) override;
  std::vector<std::uint8_t> MemberHeader(const NewMember& m, std::uint64_t at) const override;
  bool End(ArchiveOut& out) override;
  NameFit CheckName(const std::string& storedName) const override;

 private:
  bool CopyEntry(ArchiveOut& out, const dosfmt::DosItem& item);
};

}  // namespace kx::dosarc
