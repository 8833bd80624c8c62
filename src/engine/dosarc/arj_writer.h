#pragma once
// ARJ headers as the DOS programs write them (layout: formats/arj.cpp): host
// MS-DOS, DOS time and attributes, "/" between folders with the flag that
// says so, CRC-32 over every basic header. An existing archive keeps its main
// header; kept items are copied unchanged.
#include "engine/dosarc/dos_writer.h"

namespace kx::dosarc {

class ArjWriter final : public DosWriter {
 public:
  ArjWriter(const DosArchive* existing, std::string archiveFileName, std::int64_t now)
      : DosWriter(existing), archiveFileName_(std::move(archiveFileName)), now_(now) {}

  bool Begin(ArchiveOut& out) override;
  bool CopyItems(ArchiveOut& out, const std::vector<bool>& drop) override;
  std::vector<std::uint8_t> MemberHeader(const NewMember& m, std::uint64_t at) const override;
  bool End(ArchiveOut& out) override;
  NameFit CheckName(const std::string& storedName) const override;

 private:
  std::string archiveFileName_;
  std::int64_t now_;
};

}  // namespace kx::dosarc
