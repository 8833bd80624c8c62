#include "packers/packer_dialect.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "engine/io/cp437.h"

namespace kx::packer {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

QString FormatName(ArchiveKind kind) {
  switch (kind) {
    case ArchiveKind::Arj: return "ARJ";
    case ArchiveKind::Arc: return "ARC";
    case ArchiveKind::Lha: return "LHA";
    case ArchiveKind::Zoo: return "ZOO";
    default: return "ZIP";
  }
}

QString ProgramName(Program program) {
  switch (program) {
    case Program::Arj: return "arj";
    case Program::Arc: return "arc";
    case Program::Lhasa: return "lhasa";
    case Program::Unar: return "unar";
    case Program::Nomarch: return "nomarch";
    case Program::Kxpack: return "kxpack";
    default: return {};
  }
}

QString Capability(Operation operation) {
  switch (operation) {
    case Operation::Extract: return "Einträge entpacken";
    case Operation::Delete: return "Einträge löschen";
    default: return "Dateien hinzufügen";
  }
}

// Which program of which Debian package can do the operation on the format.
QString WhoCan(ArchiveKind kind, Operation operation) {
  const bool change = operation != Operation::Extract;
  switch (kind) {
    case ArchiveKind::Arj: return "Das kann das Programm arj aus dem Debian-Paket arj.";
    case ArchiveKind::Arc: return "Das kann das Programm arc aus dem Debian-Paket arc.";
    case ArchiveKind::Lha:
      return change ? "Das kann das Programm jlha aus dem Debian-Paket jlha-utils."
                    : "Das kann das Programm lhasa aus dem Debian-Paket lhasa.";
    case ArchiveKind::Zoo:
      return change ? "Debian enthält kein Programm, das ZOO-Archive ändern kann."
                    : "Das kann das Programm unar aus dem Debian-Paket unar.";
    default: return {};
  }
}

bool Reads(Program program, ArchiveKind kind) {
  switch (program) {
    case Program::Arj: return kind == ArchiveKind::Arj;
    case Program::Arc:
    case Program::Nomarch: return kind == ArchiveKind::Arc;
    case Program::Lhasa: return kind == ArchiveKind::Lha;
    case Program::Unar:
      return kind == ArchiveKind::Arj || kind == ArchiveKind::Arc || kind == ArchiveKind::Lha ||
             kind == ArchiveKind::Zoo;
    default: return true;
  }
}

bool Writes(Program program) {
  return program == Program::Arj || program == Program::Arc || program == Program::Kxpack;
}

Invocation Refused(const QString& text) {
  Invocation inv;
  inv.refusal = text;
  return inv;
}

// arc keeps 12 bytes of a name and no folders; a longer name makes it ask.
constexpr std::size_t kArcNameMax = 12;

std::vector<std::string> DotSlashed(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const auto& n : names) out.push_back("./" + n);
  return out;
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

}  // namespace

Program ProgramOf(const std::string& fileName) {
  std::string name = Lower(fileName.substr(fileName.find_last_of('/') + 1));
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0) name.resize(name.size() - 4);
  static const std::map<std::string, Program> kNames = {
      {"arj", Program::Arj},     {"arj32", Program::Arj}, {"arc", Program::Arc},
      {"lhasa", Program::Lhasa}, {"lha", Program::Lhasa}, {"unar", Program::Unar},
      {"nomarch", Program::Nomarch}, {"kxpack", Program::Kxpack}};
  const auto it = kNames.find(name);
  return it == kNames.end() ? Program::Other : it->second;
}

std::vector<std::string> ProgramNamesFor(ArchiveKind kind) {
  switch (kind) {
    case ArchiveKind::Arj: return {"arj", "unar"};
    case ArchiveKind::Arc: return {"arc", "nomarch", "unar"};
    case ArchiveKind::Lha: return {"jlha", "lha", "lhasa", "unar"};
    case ArchiveKind::Zoo: return {"zoo", "unar"};
    default: return {};
  }
}

bool CanDo(Program program, ArchiveKind kind, Operation operation) {
  return Reads(program, kind) && (operation == Operation::Extract || program == Program::Other || Writes(program));
}

bool TakesListedNames(Program program) { return program == Program::Kxpack; }

std::string ClassicSwitch(ArchiveKind kind, Operation operation) {
  switch (operation) {
    case Operation::Extract: return " e";
    case Operation::Delete: return kind == ArchiveKind::Lha ? " D" : " d";
    default:
      if (kind == ArchiveKind::Arj) return " a -e -r";
      if (kind == ArchiveKind::Lha) return " a /r";
      return {};
  }
}

Invocation BuildInvocation(Program program, ArchiveKind kind, Operation operation, const std::string& archive,
                           const std::vector<std::string>& names, const std::string& listFilePath) {
  const QString who = ProgramName(program);
  if (!Reads(program, kind))
    return Refused("Das Programm " + who + " kann keine " + FormatName(kind) + "-Archive bearbeiten. " +
                   WhoCan(kind, operation));
  if (!CanDo(program, kind, operation))
    return Refused("Das Programm " + who + " kann " + FormatName(kind) + "-Archive nur entpacken, nicht " +
                   Capability(operation) + ". " + WhoCan(kind, operation) +
                   " Ohne Eintrag in der Registerkarte 'Externe Packer' verwendet Kravix seinen eigenen Packer "
                   "kxpack, der das ebenfalls kann.");

  Invocation inv;
  inv.possible = true;
  auto& a = inv.arguments;
  switch (program) {
    case Program::Arj: {
      static const char* kCommand[] = {"x", "d", "a"};
      a = {kCommand[int(operation)], "-y"};
      if (operation != Operation::Add) a.push_back("-p");
      a.push_back(archive);
      if (!names.empty()) {
        a.push_back("!" + listFilePath);
        inv.listFile = names;
      }
      inv.okExitCodes = {0, 1};
      break;
    }
    case Program::Arc: {
      if (operation == Operation::Add) {
        for (const auto& n : names) {
          if (n.find('/') != std::string::npos)
            return Refused("ARC-Archive speichern keine Ordner: " + QString::fromStdString(n));
          if (n.size() > kArcNameMax)
            return Refused("ARC-Archive speichern nur Namen mit höchstens 12 Zeichen: " +
                           QString::fromStdString(n));
        }
      }
      static const char* kCommand[] = {"x", "d", "a"};
      a = {kCommand[int(operation)], archive};
      Append(a, DotSlashed(names));
      inv.questionMarks = {"(y/n)?"};
      break;
    }
    case Program::Lhasa:
      a = {"x", archive};
      Append(a, names);
      break;
    case Program::Unar:
      a = {"-q", "-D", "-s", "-nr", archive};
      if (!names.empty()) a.push_back("--");
      Append(a, names);
      break;
    case Program::Nomarch:
      a = {"-U", "--", archive};
      Append(a, names);
      break;
    case Program::Kxpack: {
      static const char* kCommand[] = {"x", "d", "a"};
      a = {kCommand[int(operation)], archive};
      if (!names.empty()) a.push_back("--");
      Append(a, names);
      break;
    }
    case Program::Other: {
      std::string word;
      for (char c : ClassicSwitch(kind, operation) + " ") {
        if (c != ' ') word += c;
        else if (!word.empty()) a.push_back(word), word.clear();
      }
      a.push_back(archive);
      Append(a, names);
      break;
    }
  }
  return inv;
}

std::vector<std::string> SplitFileSpec(const std::string& filespec) {
  std::vector<std::string> names;
  std::size_t i = 0;
  const std::size_t n = filespec.size();
  while (i < n) {
    while (i < n && filespec[i] == ' ') ++i;
    if (i >= n) break;
    if (filespec[i] == '"') {
      // A quoted name ends at a quote followed by a blank or the end.
      std::size_t end = i + 1;
      while (end < n && !(filespec[end] == '"' && (end + 1 == n || filespec[end + 1] == ' '))) ++end;
      names.push_back(filespec.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      std::size_t end = filespec.find(' ', i);
      if (end == std::string::npos) end = n;
      names.push_back(filespec.substr(i, end - i));
      i = end;
    }
  }
  return names;
}

std::string ListedNameToStored(const std::string& listed) {
  static const std::map<std::string, char> kBack = [] {
    std::map<std::string, char> m;
    for (int b = 1; b < 256; ++b) {
      const std::string one(1, char(b));
      m.emplace(Cp437ToUtf8(one), char(b));
    }
    return m;
  }();
  std::string out;
  for (std::size_t i = 0; i < listed.size();) {
    const unsigned char c = static_cast<unsigned char>(listed[i]);
    const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    const auto it = kBack.find(listed.substr(i, len));
    if (it == kBack.end()) return listed;
    out += it->second;
    i += len;
  }
  return out;
}

}  // namespace kx::packer
