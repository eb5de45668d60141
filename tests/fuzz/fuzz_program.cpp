// Fuzz target: program text run by the interpreter, with owner routines that accept every call, once
// from the interpreter's remembered readings and once scanning plainly: the two runs must agree.
// A text whose first line holds the marker BEGIN_VESK is a whole template instead, run through the
// plug-in by the headless host when a compose window (replying to a stored message) opens.
// Built-ins that would reach outside the process (Exec, Shell, SaveMsgToFile, ReadFromFile) or
// block it (Sleep) are removed first; every other run is ended by a timer that calls Stop, as a
// host may.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "host/headless_host.h"
#include "interpreter/poor_pascal.h"
#include "platform/posix/desktop.h"
#include "plugin/plugin_state.h"

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

void RemoveOutsideReach(TPoorPascal& P) {
  P.Functions.Remove("EXEC");
  P.Functions.Remove("SHELL");
  P.Procedures.Remove("SLEEP");
}

// The folder the plug-in runs templates in, made once.
const std::string& DataFolder() {
  static const std::string Folder = [] {
    char Pattern[] = "/tmp/vesk-fuzz-XXXXXX";
    return std::string(mkdtemp(Pattern) ? Pattern : "/tmp");
  }();
  return Folder;
}

void RunTemplateText(std::string_view Text) {
  host::HostOptions Options;
  Options.DataFolder = DataFolder();
  host::HeadlessHost Host(Options);
  if (!Host.LoadPlugin(host::BkaResolver()) || Host.Start() != 0) std::abort();
  TPluginState& St = State();
  RemoveOutsideReach(*St.PPA1);
  std::erase_if(St.PPA1->DeclarePrototype, [](const std::string& Line) {
    return Line.find("SaveMsgToFile") != std::string::npos || Line.find("ReadFromFile") != std::string::npos;
  });
  host::Message M;
  M.Headers = {{"From", "Alice <alice@example.com>"}, {"To", "bob@example.com"}, {"Subject", "Lunch"},
               {"Date", "Tue, 11 Jun 2024 10:00:00 +0000"}};
  M.Body = "line one\r\nline two\r\n";
  Host.AddMessage(host::MailId("inbox", 1), M);
  host::ComposeWindow& W = Host.CreateCompose(std::string(Text), {{"X-Becky-Ref", host::RefValue("inbox", 1)}});
  const std::uintptr_t Timer = platform::desktop::SetTimer(std::chrono::milliseconds(200), [] {
    try {
      if (State().PPA1) State().PPA1->Stop();
    } catch (const TPPAError&) {
    }
  });
  // Every failure must end at the plug-in's edge; an exception here is a finding.
  Host.OpenCompose(W.Window, 5);
  platform::desktop::KillTimer(Timer);
  if (State().RunInProgress) std::abort();
  Host.Exit();
  Host.UnloadPlugin();
}

// One run of a bare program: what it printed, its error and its variables. It is stopped after a
// fixed number of message rounds rather than after a time, so that two runs can be compared.
std::string RunProgram(std::string_view Text, bool Cached) {
  platform::desktop::Reset();
  TPoorPascal P;
  P.SetTokenCacheForTesting(Cached);
  RemoveOutsideReach(P);
  P.DeclarePrototype = {"procedure Println(S:String);Index 1;",
                        "procedure Fail(I:Integer);Index 2;",
                        "procedure Drop(S:String);Index 3;",
                        "function StringAt(I:Integer):String;Index 2;",
                        "function Rand(I:Integer):Integer;Index 1;",
                        "function Gone(S:String):Integer;Index 3;",
                        "function Half(X:Real):Real;Index 1;"};
  std::string Out;
  P.ProcParam = [&](const std::string&, std::int32_t Index, const TPPAParams& A, std::int32_t& Err) {
    Err = Index == 2 ? static_cast<std::int32_t>(A[0].Argument.IntValue) : 0;
    // The owner may change the tables in the middle of a run.
    if (Index == 3) P.RemoveValue(A[0].Argument.StrValue);
    if (Index == 1 && Out.size() < (1u << 16)) Out.append(A[0].Argument.StrValue).push_back('\n');
  };
  P.StrFuncParam = [](const std::string&, std::int32_t, const TPPAParams& A, std::int32_t& Err,
                      std::string& R) {
    R = std::to_string(A[0].Argument.IntValue);
    Err = 0;
  };
  P.IntFuncParam = [&P](const std::string&, std::int32_t Index, const TPPAParams& A, std::int32_t& Err,
                        std::int64_t& R) {
    Err = 0;
    if (Index == 3) {
      P.RemoveValue(A[0].Argument.StrValue);
      R = 1;
      return;
    }
    R = A[0].Argument.IntValue / 2;
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

  int Rounds = 0;
  const std::uintptr_t Timer = platform::desktop::SetTimer(std::chrono::milliseconds(0), [&P, &Rounds] {
    if (++Rounds < 20000) return;
    try {
      P.Stop();
    } catch (const TPPAError&) {
    }
  });
  P.Source = SplitIntoLines(Text);
  try {
    P.Execute();
    Out += "ok";
  } catch (const TPPAError& E) {
    Out += "error: " + E.Message();
  }
  platform::desktop::KillTimer(Timer);
  for (const char* Name : {"i", "j", "n", "a", "b", "s", "t", "r", "x"}) {
    if (const TPPAValue* V = P.Values.Find(Name)) {
      Out += std::string("\n") + Name + "=" + std::to_string(V->IntValue) + "/" + std::to_string(V->RealValue) + "/" +
             V->StrValue;
    }
  }
  return Out;
}

}  // namespace

// A bare program must run alike from remembered readings and from plain scanning.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size > kMaxInput) return 0;
  const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
  if (Text.substr(0, Text.find_first_of("\r\n")).find("BEGIN_VESK") != std::string_view::npos) {
    RunTemplateText(Text);
    return 0;
  }
  const std::string Cached = RunProgram(Text, true);
  const std::string Plain = RunProgram(Text, false);
  if (Cached != Plain) {
    std::fprintf(stderr, "cached run:\n%s\n\nplain run:\n%s\n", Cached.c_str(), Plain.c_str());
    std::abort();
  }
  return 0;
}
