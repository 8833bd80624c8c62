#include "kxpack/command_line.h"

namespace kxpack {
namespace {

bool CommandOf(const std::string& word, Command& out) {
  if (word == "a") out = Command::Add;
  else if (word == "e") out = Command::Extract;
  else if (word == "x") out = Command::ExtractWithPaths;
  else if (word == "d") out = Command::Delete;
  else if (word == "l") out = Command::List;
  else if (word == "t") out = Command::Test;
  else return false;
  return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& reason) {
  out = CommandLine{};
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out.command = Command::Help;
    return true;
  }
  if (args.empty()) {
    reason = "Befehl und Archiv fehlen.";
    return false;
  }
  if (!CommandOf(args[0], out.command)) {
    reason = "Unbekannter Befehl \"" + args[0] + "\".";
    return false;
  }
  if (args.size() < 2 || args[1] == "--" || args[1].empty()) {
    reason = "Das Archiv fehlt.";
    return false;
  }
  out.archive = args[1];
  bool literal = false;
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!literal && a == "--") {
      literal = true;
    } else if (!literal && a.starts_with("-")) {
      reason = "Unbekannter Schalter \"" + a + "\" (Namen mit \"-\" nach \"--\" angeben).";
      return false;
    } else if (a.empty()) {
      reason = "Ein leerer Name ist kein Name.";
      return false;
    } else {
      out.names.push_back(a);
    }
  }
  if (out.command == Command::Add && out.names.empty()) {
    reason = "Welche Dateien sollen hinzugefügt werden?";
    return false;
  }
  return true;
}

}  // namespace kxpack
