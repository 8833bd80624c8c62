#pragma once
// The command line of kxpack:
//
//   kxpack a|e|x|d|l|t ARCHIV [--] [NAMEN...]
//   kxpack --help
//
// Names after "--" are taken literally (they may start with "-"); before it
// an argument starting with "-" is an unknown switch. "a" needs names.
// Pure function, no output.
#include <string>
#include <vector>

namespace kxpack {

enum class Command { Add, Extract, ExtractWithPaths, Delete, List, Test, Help };

struct CommandLine {
  Command command = Command::Help;
  std::string archive;
  std::vector<std::string> names;
};

// false with a German reason when the arguments make no command.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& reason);

}  // namespace kxpack
