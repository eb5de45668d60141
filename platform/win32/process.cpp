// Processes and the shell's "open" verb.
#include <vector>

#include "../platform.h"
#include "win.h"

namespace platform {

ProcessResult StartProcess(std::string_view CommandLine, bool Wait) {
  ProcessResult R;
  // CreateProcessA may write into the command line.
  std::vector<char> Line(CommandLine.begin(), CommandLine.end());
  Line.push_back('\0');
  STARTUPINFOA Startup{};
  Startup.cb = sizeof Startup;
  ::GetStartupInfoA(&Startup);
  PROCESS_INFORMATION Info{};
  if (!::CreateProcessA(nullptr, Line.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr,
                        &Startup, &Info)) {
    return R;
  }
  R.Started = true;
  if (Wait) {
    ::WaitForSingleObject(Info.hProcess, INFINITE);
    DWORD Code = 0;
    if (::GetExitCodeProcess(Info.hProcess, &Code)) R.ExitCode = Code;
  }
  ::CloseHandle(Info.hThread);
  ::CloseHandle(Info.hProcess);
  return R;
}

std::uint32_t ShellOpen(std::string_view File, std::string_view Parameters) {
  const std::string F(File), P(Parameters);
  const HINSTANCE R = ::ShellExecuteA(nullptr, "open", F.c_str(), P.c_str(), nullptr, SW_SHOW);
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(R));
}

}  // namespace platform
