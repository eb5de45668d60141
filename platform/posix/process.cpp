// Processes and the shell's "open" verb, over posix_spawnp.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "../platform.h"

extern char** environ;

namespace platform {
namespace {

// Children started without waiting; reaped later so that they do not stay zombies.
std::vector<pid_t> Unwaited;

void Reap() {
  std::erase_if(Unwaited, [](pid_t Pid) { return waitpid(Pid, nullptr, WNOHANG) != 0; });
}

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

// One argument after the program name, by the rules of CommandLineToArgvW: 2n backslashes and a
// quote give n backslashes and open or close a quoted part, 2n+1 backslashes and a quote give n
// backslashes and a literal quote, other backslashes are literal; within quotes, every third
// quote of a run of quotes is literal.
std::string NextArgument(std::string_view S, std::size_t& I) {
  std::string Arg;
  int Quotes = 0;  // 1 inside a quoted part
  std::size_t Backslashes = 0;
  for (; I < S.size(); ++I) {
    const char C = S[I];
    if (IsBlank(C) && Quotes == 0) break;
    if (C == '\\') {
      Arg += C;
      ++Backslashes;
      continue;
    }
    if (C != '"') {
      Arg += C;
      Backslashes = 0;
      continue;
    }
    Arg.resize(Arg.size() - Backslashes / 2);
    if (Backslashes % 2 == 1) {
      Arg.back() = '"';
      Backslashes = 0;
      continue;
    }
    Backslashes = 0;
    ++Quotes;
    while (I + 1 < S.size() && S[I + 1] == '"') {
      ++I;
      if (++Quotes == 3) {
        Arg += '"';
        Quotes = 0;
      }
    }
    if (Quotes == 2) Quotes = 0;
  }
  return Arg;
}

void SkipBlanks(std::string_view S, std::size_t& I) {
  while (I < S.size() && IsBlank(S[I])) ++I;
}

void AppendArguments(std::string_view S, std::size_t I, std::vector<std::string>& Argv) {
  SkipBlanks(S, I);
  while (I < S.size()) {
    Argv.push_back(NextArgument(S, I));
    SkipBlanks(S, I);
  }
}

// The program name takes no escapes: quoted, it runs to the next quote; otherwise to a blank.
std::vector<std::string> SplitCommandLine(std::string_view S) {
  std::vector<std::string> Argv;
  std::size_t I = 0;
  std::string Program;
  if (I < S.size() && S[I] == '"') {
    const std::size_t End = S.find('"', 1);
    Program = std::string(S.substr(1, End == std::string_view::npos ? std::string_view::npos : End - 1));
    I = End == std::string_view::npos ? S.size() : End + 1;
  } else {
    while (I < S.size() && !IsBlank(S[I])) Program += S[I++];
  }
  Argv.push_back(std::move(Program));
  AppendArguments(S, I, Argv);
  return Argv;
}

// The spawn result: 0, or the errno of the failure.
int Spawn(const std::vector<std::string>& Arguments, pid_t& Pid) {
  if (Arguments.empty() || Arguments[0].empty()) return ENOENT;
  std::vector<std::string> Utf8;
  for (const std::string& A : Arguments) Utf8.push_back(ToUtf8(A));
  std::vector<char*> Argv;
  for (std::string& A : Utf8) Argv.push_back(A.data());
  Argv.push_back(nullptr);
  return posix_spawnp(&Pid, Argv[0], nullptr, nullptr, Argv.data(), environ);
}

std::uint32_t Wait(pid_t Pid) {
  int Status = 0;
  while (waitpid(Pid, &Status, 0) < 0) {
    if (errno != EINTR) return 1;
  }
  if (WIFEXITED(Status)) return static_cast<std::uint32_t>(WEXITSTATUS(Status));
  // Killed by a signal: the code a shell would report.
  if (WIFSIGNALED(Status)) return 128u + static_cast<std::uint32_t>(WTERMSIG(Status));
  return 1;
}

}  // namespace

ProcessResult StartProcess(std::string_view CommandLine, bool DoWait) {
  Reap();
  ProcessResult R;
  pid_t Pid = 0;
  if (Spawn(SplitCommandLine(CommandLine), Pid) != 0) return R;
  R.Started = true;
  if (DoWait) {
    R.ExitCode = Wait(Pid);
  } else {
    Unwaited.push_back(Pid);
  }
  return R;
}

std::uint32_t ShellOpen(std::string_view File, std::string_view Parameters) {
  constexpr std::uint32_t kOpened = 42, kFileNotFound = 2, kNoAssociation = 31;
  Reap();
  std::vector<std::string> Argv{std::string(File)};
  // The shell looks in the current directory before the search path.
  struct stat St {};
  if (!File.empty() && File.find('/') == std::string_view::npos && stat(ToUtf8(File).c_str(), &St) == 0) {
    Argv[0] = "./" + Argv[0];
  }
  AppendArguments(Parameters, 0, Argv);
  pid_t Pid = 0;
  const int Error = Spawn(Argv, Pid);
  if (Error == ENOENT || Error == ENOTDIR) return kFileNotFound;
  if (Error != 0) return kNoAssociation;
  Unwaited.push_back(Pid);
  return kOpened;
}

}  // namespace platform
