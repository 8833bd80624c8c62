// PLACEHOLDER until its owner lands the real code: links, does nothing.
#include "engine/split_source.h"
namespace kx {
SplitSet::~SplitSet() = default;
Result SplitSet::Open(const std::string&, const AskForVolume&) { return rc::UnknownArchiveType; }
bool SplitSet::read(std::uint64_t, void*, std::size_t) const { return false; }
std::string SplitSet::FirstVolumeOf(const std::string&) { return {}; }
}
