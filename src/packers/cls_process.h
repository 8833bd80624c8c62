#pragma once
// clsProcess: starts one external program as a child process and lets its
// owner poll whether it has ended. The child is started with posix_spawn from
// an argument vector, never through a shell; its standard input reads
// /dev/null (a question of the child meets end of input at once), its
// environment lacks the packers' switch variables (ARJ_SW and the like), and
// its standard output and error go through one pipe into a buffer that keeps
// the last kOutputCap bytes. The child runs in its own process group, so Kill
// also ends whatever it started.
//
// Owner and thread: created by one owner for one run, used on one thread.
// Failure: Exec returns false (and IsTerminated is true from then on) when no
// process was started; StartError holds the errno. The destructor ends a
// child that still runs and reaps it, so no zombie and no descriptor is left.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class clsProcess {
 public:
  static constexpr std::size_t kOutputCap = 64 * 1024;

  clsProcess() = default;
  ~clsProcess();
  clsProcess(const clsProcess&) = delete;
  clsProcess& operator=(const clsProcess&) = delete;

  // The program, or a whole command line split by SplitCommandLine.
  void ProgramName(const std::string& szName) { name_ = szName; }
  // Further arguments as one text, split the same way.
  void Arguments(const std::string& szArg) { arguments_ = szArg; }
  // The exact argument vector (argv[0] names the program); takes precedence
  // over ProgramName and Arguments. Bytes reach the child unchanged.
  void ArgumentVector(std::vector<std::string> argv) { argv_ = std::move(argv); }
  // The child's working folder; empty: the program's own.
  void WorkingDirectory(const std::string& folder) { folder_ = folder; }

  // The command line as the text interface builds it: program name, one
  // blank, arguments (the blank is there also without arguments).
  std::string CommandLine() const { return name_ + " " + arguments_; }

  // Starts the child (a program name without "/" is looked up on PATH).
  // False when nothing was started.
  bool Exec();
  // Waits at most 10 ms for the child to end, collecting its output
  // meanwhile. True once it has ended (and ever after), or when none was started.
  bool IsTerminated();
  // Ends the child and its process group at once (SIGKILL).
  void Kill();

  bool Started() const { return pid_ > 0; }
  int StartError() const { return startError_; }
  pid_t ProcessId() const { return pid_; }
  // The exit code once ended; -1 when the child was ended by a signal or
  // never started.
  int ExitStatus() const { return exitStatus_; }
  bool Signalled() const { return signalled_; }
  // The last kOutputCap bytes of standard output and error, and how many
  // bytes came in all.
  const std::string& Output() const { return output_; }
  std::uint64_t OutputBytes() const { return outputBytes_; }

  // The command-line rules of the system the program names come from:
  // blanks and tabs separate, double quotes group (and are removed), a
  // quote preceded by backslashes keeps half of them and is literal when
  // their number is odd; other backslashes are plain characters.
  static std::vector<std::string> SplitCommandLine(const std::string& line);
  // The environment a child gets: ours without the packer switch variables.
  static std::vector<std::string> ChildEnvironment();

 private:
  void readAvailable();
  void closePipe();
  void reap(bool block);

  std::string name_;
  std::string arguments_;
  std::vector<std::string> argv_;
  std::string folder_;
  pid_t pid_ = -1;
  int pipe_ = -1;
  int startError_ = 0;
  int exitStatus_ = -1;
  bool signalled_ = false;
  bool ended_ = false;
  std::string output_;
  std::uint64_t outputBytes_ = 0;
};
