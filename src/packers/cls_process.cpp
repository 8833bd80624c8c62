#include "packers/cls_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace {

// Variables through which a packer would read switches or a configuration
// file of the user's; a switch there would change what our command means.
constexpr const char* kPackerVariables[] = {"ARJ_SW", "ARJ32_SW", "LHAOPTS", "LHA_OPTS", "ZOOOPTS"};

bool IsPackerVariable(const char* entry) {
  for (const char* name : kPackerVariables) {
    const std::size_t n = std::strlen(name);
    if (std::strncmp(entry, name, n) == 0 && entry[n] == '=') return true;
  }
  return false;
}

}  // namespace

clsProcess::~clsProcess() {
  if (pid_ > 0 && !ended_) {
    Kill();
    reap(true);
  }
  closePipe();
}

std::vector<std::string> clsProcess::SplitCommandLine(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\\') {
      std::size_t n = 0;
      while (i < line.size() && line[i] == '\\') ++n, ++i;
      if (i < line.size() && line[i] == '"') {
        word.append(n / 2, '\\');
        if (n % 2) word += '"';
        else quoted = !quoted;
      } else {
        word.append(n, '\\');
        --i;
      }
      inWord = true;
    } else if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

std::vector<std::string> clsProcess::ChildEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e)
    if (!IsPackerVariable(*e)) env.emplace_back(*e);
  return env;
}

bool clsProcess::Exec() {
  std::vector<std::string> argv = argv_;
  if (argv.empty()) argv = SplitCommandLine(CommandLine());
  if (argv.empty() || argv[0].empty()) {
    startError_ = ENOENT;
    ended_ = true;
    return false;
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    startError_ = errno;
    ended_ = true;
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  if (!folder_.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder_.c_str());

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  std::vector<std::string> envText = ChildEnvironment();
  std::vector<char*> env;
  for (auto& e : envText) env.push_back(e.data());
  env.push_back(nullptr);

  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, args[0], &actions, &attr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    startError_ = rc;
    ended_ = true;
    return false;
  }
  pid_ = pid;
  pipe_ = fds[0];
  ::fcntl(pipe_, F_SETFL, ::fcntl(pipe_, F_GETFL) | O_NONBLOCK);
  return true;
}

void clsProcess::readAvailable() {
  char buf[16384];
  for (;;) {
    const ssize_t n = ::read(pipe_, buf, sizeof buf);
    if (n > 0) {
      outputBytes_ += static_cast<std::uint64_t>(n);
      output_.append(buf, static_cast<std::size_t>(n));
      if (output_.size() > kOutputCap) output_.erase(0, output_.size() - kOutputCap);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) closePipe();  // every writer is gone
    return;
  }
}

void clsProcess::closePipe() {
  if (pipe_ >= 0) ::close(pipe_);
  pipe_ = -1;
}

void clsProcess::reap(bool block) {
  if (pid_ <= 0 || ended_) return;
  int status = 0;
  pid_t r;
  do r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  while (r < 0 && errno == EINTR);
  if (r == pid_ || (r < 0 && errno == ECHILD)) {
    ended_ = true;
    if (r == pid_ && WIFEXITED(status)) exitStatus_ = WEXITSTATUS(status);
    else signalled_ = r == pid_ && WIFSIGNALED(status);
  }
}

bool clsProcess::IsTerminated() {
  if (ended_) {
    if (pipe_ >= 0) readAvailable();
    closePipe();
    return true;
  }
  if (pipe_ >= 0) {
    pollfd p{pipe_, POLLIN, 0};
    if (::poll(&p, 1, 10) > 0) readAvailable();
  } else {
    ::usleep(10000);
  }
  reap(false);
  if (ended_) {
    // What the child wrote last may still sit in the pipe; a grandchild that
    // keeps the pipe open must not keep us here, so only what is there now.
    if (pipe_ >= 0) readAvailable();
    closePipe();
  }
  return ended_;
}

void clsProcess::Kill() {
  if (pid_ > 0 && !ended_) {
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
  }
}
