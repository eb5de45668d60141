// Fuzz target: program text run by the interpreter, with owner routines that accept every call.
// Built-ins that would reach outside the process (Exec, Shell) or block it (Sleep) are removed
// from the tables first; every other run is ended by a timer that calls Stop, as a host may.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "interpreter/poor_pascal.h"
#include "platform/posix/desktop.h"

namespace {

constexpr std::size_t kMaxInput = 16 * 1024;  // longer programs only take longer, not deeper

TPPALines SplitIntoLines(std::string_view Text) {
  TPPALines Lines;
  std::size_t Start = 0;
  for (std::size_t I = 0; I <= Text.size(); ++I) {
    if (I == Text.size() || Text[I] == '\n') {
      Lines.emplace_back(Text.substr(Start, I - Start));
      Start = I + 1;
    }
  }
  return Lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size > kMaxInput) return 0;
  platform::desktop::Reset();
  TPoorPascal P;
  P.Functions.Remove("EXEC");
  P.Functions.Remove("SHELL");
  P.Procedures.Remove("SLEEP");
  P.DeclarePrototype = {"procedure Println(S:String);Index 1;",
                        "procedure Fail(I:Integer);Index 2;",
                        "function StringAt(I:Integer):String;Index 2;",
                        "function Rand(I:Integer):Integer;Index 1;",
                        "function Half(X:Real):Real;Index 1;"};
  std::size_t Printed = 0;
  P.ProcParam = [&](const std::string&, std::int32_t Index, const TPPAParams& A, std::int32_t& Err) {
    Err = Index == 2 ? static_cast<std::int32_t>(A[0].Argument.IntValue) : 0;
    if (Index == 1) Printed += A[0].Argument.StrValue.size();
  };
  P.StrFuncParam = [](const std::string&, std::int32_t, const TPPAParams& A, std::int32_t& Err,
                      std::string& R) {
    R = std::to_string(A[0].Argument.IntValue);
    Err = 0;
  };
  P.IntFuncParam = [](const std::string&, std::int32_t, const TPPAParams& A, std::int32_t& Err,
                      std::int64_t& R) {
    R = A[0].Argument.IntValue / 2;
    Err = 0;
  };
  P.RealFuncParam = [](const std::string&, std::int32_t, const TPPAParams& A, std::int32_t& Err,
                       double& R) {
    R = A[0].Argument.RealValue / 2;
    Err = 0;
  };
  P.ErrorProc = [](std::int32_t, std::string& Message) { Message = "owner error"; };
  P.AddStrConst("refFrom", "Alice <alice@example.com>", 1);
  P.AddStrConst("CompMode", "COMP_REPLY", 0);
  P.AddIntValue("Host", 0, 7, 1, 3);
  P.IntObjParam = [](const std::string&, std::int32_t, std::uint8_t, std::int32_t& Err, std::int64_t&) {
    Err = 0;
  };

  const std::uintptr_t Timer = platform::desktop::SetTimer(std::chrono::milliseconds(200), [&P] {
    try {
      P.Stop();
    } catch (const TPPAError&) {
    }
  });
  P.Source = SplitIntoLines({reinterpret_cast<const char*>(Data), Size});
  try {
    P.Execute();
  } catch (const TPPAError&) {
  }
  platform::desktop::KillTimer(Timer);
  return 0;
}
