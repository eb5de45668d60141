// Routine calls: the four dispatchers, the reading of argument lists, and the 27 built-in routines.
//
// A call reads its arguments into its own copy of the routine's Params. The routine's record is
// shared by every call of it, so in Copy(s, Length(Copy(t, 1, 2)), 1) the inner Copy would otherwise
// overwrite the outer one's arguments before the outer one has run. The owner sees the copy as
// Argument: the same names and records, filled for this call.
#include <algorithm>
#include <cmath>
#include <string>
#include <variant>

#include "platform/platform.h"
#include "interpreter/builtins.h"
#include "interpreter/eval_common.h"
#include "interpreter/messages.h"
#include "interpreter/numbers.h"
#include "interpreter/poor_pascal.h"

namespace {

// ---- Argument access ----
// Built-ins are declared by the component itself, so their Params always match; the bounds check
// only keeps a mismatch from reading outside the list.

const TPPAArgument& Arg(const TPPAParams& Args, std::size_t i) {
  static const TPPAArgument kNone;
  return i < Args.size() ? Args[i].Argument : kNone;
}
const std::string& Str(const TPPAParams& Args, std::size_t i) { return Arg(Args, i).StrValue; }
std::int64_t Int(const TPPAParams& Args, std::size_t i) { return Arg(Args, i).IntValue; }
double Real(const TPPAParams& Args, std::size_t i) { return Arg(Args, i).RealValue; }
// Positions, counts and flags are taken as their low 32 bits (signed), as the routines define them.
std::int32_t Int32(const TPPAParams& Args, std::size_t i) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(Int(Args, i))));
}

std::string BeforeNul(std::string S) {
  if (const auto Nul = S.find('\0'); Nul != std::string::npos) S.resize(Nul);
  return S;
}

bool IsBlank(char C) { return static_cast<unsigned char>(C) >= 1 && static_cast<unsigned char>(C) <= 32; }

std::string TrimmedLeft(const std::string& S) {
  std::size_t Begin = 0;
  while (Begin < S.size() && IsBlank(S[Begin])) ++Begin;
  return S.substr(Begin);
}
std::string TrimmedRight(const std::string& S) {
  std::size_t End = S.size();
  while (End > 0 && IsBlank(S[End - 1])) --End;
  return S.substr(0, End);
}

// ---- Built-in procedures ($0001..$0003) ----

// ProcessMessages
void RunProcessMessages(TPoorPascal&, const TPPAParams&) { platform::ProcessMessages(); }

// Sleep(Milliseconds: Integer): the low 32 bits, unsigned; all ones would mean forever.
void RunSleep(TPoorPascal&, const TPPAParams& A) {
  const auto Milliseconds = static_cast<std::uint32_t>(static_cast<std::uint64_t>(Int(A, 0)));
  // The platform reads all ones as an endless sleep, from which the run would never return.
  if (Milliseconds == 0xFFFFFFFFu) throw TPPAError(PPAFormat(ppa_messages::kInfiniteSleep, "Sleep"));
  platform::Sleep(Milliseconds);
}

// Pause: waits until Stop (from PauseProc or a message handler) clears Paused. Blocks between rounds
// of messages instead of spinning.
void RunPause(TPoorPascal& PPA, const TPPAParams&) {
  PPA.Paused = 1;
  if (PPA.PauseProc) PPA.PauseProc();
  while (PPA.Paused == 1) {
    platform::ProcessMessages();
    if (PPA.Paused == 1) platform::WaitMessage();
  }
}

// ---- Built-in string functions ($1001..$100B) ----

// Copy(S: String; Start, Length: Integer): String
std::string RunCopy(TPoorPascal&, const TPPAParams& A) {
  const std::string& S = Str(A, 0);
  const std::int64_t Start = std::max<std::int32_t>(Int32(A, 1), 1);
  const std::int32_t Length = Int32(A, 2);
  if (Length < 0 || Start > static_cast<std::int64_t>(S.size())) return {};
  return S.substr(static_cast<std::size_t>(Start - 1), static_cast<std::size_t>(Length));
}

// Delete(S: String; Index, Count: Integer): String
std::string RunDelete(TPoorPascal&, const TPPAParams& A) {
  std::string S = Str(A, 0);
  const std::int32_t Index = Int32(A, 1);
  const std::int32_t Count = Int32(A, 2);
  if (Index < 1 || Index > static_cast<std::int64_t>(S.size()) || Count <= 0) return S;
  S.erase(static_cast<std::size_t>(Index - 1), static_cast<std::size_t>(Count));
  return S;
}

// InputBox(ACaption, APrompt, ADefault: String): String -- Cancel gives ADefault
std::string RunInputBox(TPoorPascal&, const TPPAParams& A) {
  return platform::InputBox(Str(A, 0), Str(A, 1), Str(A, 2)).value_or(Str(A, 2));
}

// Insert(Source: String; S: String; Index: Integer): String
std::string RunInsert(TPoorPascal&, const TPPAParams& A) {
  const std::string& Source = Str(A, 0);
  ppa_eval::CheckJoinedLength(Str(A, 1).size(), Source.size());
  std::string S = Str(A, 1);
  if (Source.empty()) return S;
  const std::int64_t Index = std::clamp<std::int64_t>(Int32(A, 2), 1, static_cast<std::int64_t>(S.size()) + 1);
  S.insert(static_cast<std::size_t>(Index - 1), Source);
  return S;
}

// IntToStr(Value: Integer): String
std::string RunIntToStr(TPoorPascal&, const TPPAParams& A) { return std::to_string(Int(A, 0)); }

// LowerCase(S: String): String -- by the system locale, double-byte characters untouched
std::string RunLowerCase(TPoorPascal&, const TPPAParams& A) { return platform::AnsiLowerCase(Str(A, 0)); }

// Trim(S: String): String -- bytes 1 to 32 at both ends
std::string RunTrim(TPoorPascal&, const TPPAParams& A) { return TrimmedRight(TrimmedLeft(Str(A, 0))); }

// TrimLeft(S: String): String
std::string RunTrimLeft(TPoorPascal&, const TPPAParams& A) { return TrimmedLeft(Str(A, 0)); }

// TrimRight(S: String): String
std::string RunTrimRight(TPoorPascal&, const TPPAParams& A) { return TrimmedRight(Str(A, 0)); }

// UpperCase(S: String): String
std::string RunUpperCase(TPoorPascal&, const TPPAParams& A) { return platform::AnsiUpperCase(Str(A, 0)); }

// FloatToStr(Value: Real): String
std::string RunFloatToStr(TPoorPascal&, const TPPAParams& A) { return ppa_numbers::FormatReal(Real(A, 0)); }

// ---- Built-in integer functions ($2001..$200A) ----

// CompareStr(S1, S2: String): Integer -- -1, 0 or 1 by the user's locale, case significant
std::int64_t RunCompareStr(TPoorPascal&, const TPPAParams& A) {
  const int C = platform::AnsiCompareStr(Str(A, 0), Str(A, 1));
  return C < 0 ? -1 : C > 0 ? 1 : 0;
}

// Exec(Path, CmdLine: String; Wait: Integer): Integer -- 0 not started; -1 not waited for; else the
// exit code as unsigned 32 bits. Wait must be True (-1) to wait.
std::int64_t RunExec(TPoorPascal&, const TPPAParams& A) {
  const bool Wait = Int(A, 2) == -1;
  const platform::ProcessResult R = platform::StartProcess("\"" + Str(A, 0) + "\" " + Str(A, 1), Wait);
  if (!R.Started) return 0;
  return Wait ? static_cast<std::int64_t>(R.ExitCode) : -1;
}

// Length(S: String): Integer -- in bytes
std::int64_t RunLength(TPoorPascal&, const TPPAParams& A) { return static_cast<std::int64_t>(Str(A, 0).size()); }

// MessageBox(Text, Caption: String; Flags: Integer): Integer -- the button pressed, 0 on failure
std::int64_t RunMessageBox(TPoorPascal&, const TPPAParams& A) {
  return platform::MessageBox(platform::GetActiveWindow(), Str(A, 0), Str(A, 1), static_cast<std::uint32_t>(Int32(A, 2)));
}

// Pos(Substr: String; S: String): Integer -- 0 when absent; never inside a double-byte character
std::int64_t RunPos(TPoorPascal&, const TPPAParams& A) {
  return static_cast<std::int64_t>(platform::AnsiPos(Str(A, 0), Str(A, 1)));
}

// Shell(Path, CmdLine: String): Integer -- the shell's "open"; above 32 is success
std::int64_t RunShell(TPoorPascal&, const TPPAParams& A) { return platform::ShellOpen(Str(A, 0), Str(A, 1)); }

// StrToInt(S: String): Integer -- 0 for anything that is no integer
std::int64_t RunStrToInt(TPoorPascal&, const TPPAParams& A) { return ppa_numbers::TextToInt(Str(A, 0), 0); }

// IsDefine(S: String): Integer -- True when a whole line of Define equals S, letter case ignored
std::int64_t RunIsDefine(TPoorPascal& PPA, const TPPAParams& A) {
  const std::string Wanted = platform::AnsiUpperCase(Str(A, 0));
  for (const std::string& Line : PPA.Define) {
    if (platform::AnsiUpperCase(Line) == Wanted) return -1;
  }
  return 0;
}

// Trunc(X: Real): Integer
std::int64_t RunTrunc(TPoorPascal&, const TPPAParams& A) { return ppa_numbers::Truncate(Real(A, 0)); }

// Round(X: Real): Integer -- halves to even
std::int64_t RunRound(TPoorPascal&, const TPPAParams& A) { return ppa_numbers::Round(Real(A, 0)); }

// ---- Built-in real functions ($3001..$3003) ----

// Frac(X: Real): Real -- with the sign of X; an infinity gives NaN (exceptions masked)
double RunFrac(TPoorPascal&, const TPPAParams& A) { return Real(A, 0) - std::trunc(Real(A, 0)); }

// Int(X: Real): Real -- toward zero
double RunInt(TPoorPascal&, const TPPAParams& A) { return std::trunc(Real(A, 0)); }

// StrToFloat(S: String): Real -- 0.0 for anything that is no number
double RunStrToFloat(TPoorPascal&, const TPPAParams& A) { return ppa_numbers::ParseReal(Str(A, 0)).value_or(0.0); }

// ---- The table ----
// One row per built-in, by the Index its prototype declares; the kind of handler tells which
// dispatcher may run it. Pure rows only compute their result from their arguments: no dialogs,
// processes, waiting or messages, so nothing else can run while they do.

using ppa_builtins::TIntHandler;
using ppa_builtins::TProcHandler;
using ppa_builtins::TRealHandler;
using ppa_builtins::TStrHandler;

struct TBuiltin {
  std::int32_t Index;
  std::variant<TProcHandler, TIntHandler, TRealHandler, TStrHandler> Run;
  bool Pure;
};

const TBuiltin kBuiltins[] = {
    {0x0001, RunProcessMessages, false}, {0x0002, RunSleep, false},      {0x0003, RunPause, false},

    {0x1001, RunCopy, true},             {0x1002, RunDelete, true},      {0x1003, RunInputBox, false},
    {0x1004, RunInsert, true},           {0x1005, RunIntToStr, true},    {0x1006, RunLowerCase, true},
    {0x1007, RunTrim, true},             {0x1008, RunTrimLeft, true},    {0x1009, RunTrimRight, true},
    {0x100A, RunUpperCase, true},        {0x100B, RunFloatToStr, true},

    {0x2001, RunCompareStr, true},       {0x2002, RunExec, false},       {0x2003, RunLength, true},
    {0x2004, RunMessageBox, false},      {0x2005, RunPos, true},         {0x2006, RunShell, false},
    {0x2007, RunStrToInt, true},         {0x2008, RunIsDefine, true},    {0x2009, RunTrunc, true},
    {0x200A, RunRound, true},

    {0x3001, RunFrac, true},             {0x3002, RunInt, true},         {0x3003, RunStrToFloat, true},
};

const TBuiltin* FindRow(std::int32_t Index) {
  for (const TBuiltin& B : kBuiltins) {
    if (B.Index == Index) return &B;
  }
  return nullptr;
}


// A call with parameters must end with ")"; checked after the routine has run.
void CloseArguments(TPPAParser& P, const TPPARoutine& R) {
  if (R.Params.empty()) return;
  if (P.TokenView() != ")") throw TPPAError(PPAFormat(ppa_messages::kSyntaxError, P.TokenView()));
  P.Next();
}

// One argument's text: up to the next "," or ")" outside parentheses, comments left out.
std::string ArgumentText(TPPAParser& P) {
  std::string Text;
  for (int Nested = 0; !P.AtEnd(); P.Next()) {
    const std::string_view T = P.TokenView();
    if (Nested == 0 && (T == "," || T == ")")) break;
    if (P.Kind == ptComment) continue;
    if (T == "(") ++Nested;
    if (T == ")") --Nested;
    Text += ' ';
    Text += T;
  }
  return Text;
}

}  // namespace

// ---- Argument lists ----

TPoorPascal::TCut TPoorPascal::ArgumentCut(TPPAParser& P) { return Memo(P, ckArgument, ArgumentText); }

// "(" text { "," text } ")": each parameter takes the text up to the next "," or ")" outside
// parentheses, evaluated by the parameter's type before the next one is read. Arguments are not
// counted: a missing or surplus one fails in the evaluator or in the final ")" check.
void TPoorPascal::ReadArguments(TPPAParser& P, const TPPARoutine& Routine, TPPAParams& Args) {
  const std::size_t N = Routine.Params.size();
  if (N == 0) return;
  if (P.TokenView() != "(") throw TPPAError(PPAFormat(ppa_messages::kSyntaxError, P.TokenView()));
  P.Next();
  for (std::size_t i = 0; i < N; ++i) {
    const TCut Text = ArgumentCut(P);
    TPPAArgument& A = Args[i].Argument;
    switch (Routine.Params[i].Argument.ValueType) {
      case pvInteger: A.IntValue = EvalInt(Text); break;
      case pvReal: A.RealValue = EvalReal(Text); break;
      case pvString: A.StrValue = BeforeNul(EvalStr(Text)); break;
    }
    if (i + 1 < N) P.Next();  // past the separator, whatever it is
  }
}

// ---- The dispatchers ----
// Each: find the routine, snapshot it (handlers run during the call and may change the tables),
// read the arguments into the snapshot's Params, run the built-in or call the owner, check ")".

void TPoorPascal::CallProc(TPPAParser& P, const std::string& Name) {
  TNestingGuard Guard(*this);
  const std::string Upper = platform::AnsiUpperCase(Name);
  const TPPARoutine* Found = Procedures.Find(Upper);
  if (!Found) return;
  TPPARoutine R = *Found;
  ReadArguments(P, R, R.Params);
  if (R.Permanent == 1) {
    RunBuiltinProc(P, R, R.Params);
  } else {
    std::int32_t Err_CD = -1;
    if (ProcParam) ProcParam(Upper, R.Index, R.Params, Err_CD);
    CheckOwnerResult(Err_CD, Upper);
  }
  CloseArguments(P, R);
}

// The three function dispatchers differ only in their result, their built-ins and their event.
template <typename TResult, typename TEvent>
TResult TPoorPascal::CallFunction(TPPAParser& P, const std::string& Name,
                                  TResult (TPoorPascal::*RunBuiltin)(TPPAParser&, const TPPARoutine&,
                                                                     const TPPAParams&),
                                  const TEvent& Event) {
  TNestingGuard Guard(*this);
  const std::string Upper = platform::AnsiUpperCase(Name);
  const TPPARoutine* Found = Functions.Find(Upper);
  if (!Found) return TResult();
  TPPARoutine R = *Found;
  ReadArguments(P, R, R.Params);
  TResult Result = TResult();
  if (R.Permanent == 1) {
    Result = (this->*RunBuiltin)(P, R, R.Params);
  } else {
    std::int32_t Err_CD = -1;
    if (Event) Event(Upper, R.Index, R.Params, Err_CD, Result);
    CheckOwnerResult(Err_CD, Upper);
  }
  CloseArguments(P, R);
  return Result;
}

std::int64_t TPoorPascal::CallIntFunc(TPPAParser& P, const std::string& Name) {
  return CallFunction<std::int64_t>(P, Name, &TPoorPascal::RunBuiltinIntFunc, IntFuncParam);
}

double TPoorPascal::CallRealFunc(TPPAParser& P, const std::string& Name) {
  return CallFunction<double>(P, Name, &TPoorPascal::RunBuiltinRealFunc, RealFuncParam);
}

std::string TPoorPascal::CallStrFunc(TPPAParser& P, const std::string& Name) {
  return CallFunction<std::string>(P, Name, &TPoorPascal::RunBuiltinStrFunc, StrFuncParam);
}

// ---- Built-ins by Index ----

void TPoorPascal::RunBuiltinProc(TPPAParser& P, const TPPARoutine& R, const TPPAParams& Args) {
  const auto Run = ppa_builtins::Find<TProcHandler>(R.Index);
  if (!Run) throw TPPAError(PPAFormat(ppa_messages::kUndeclaredBuiltinProcedure, P.TokenView()));
  Run(*this, Args);
}

std::int64_t TPoorPascal::RunBuiltinIntFunc(TPPAParser& P, const TPPARoutine& R, const TPPAParams& Args) {
  const auto Run = ppa_builtins::Find<TIntHandler>(R.Index);
  if (!Run) throw TPPAError(PPAFormat(ppa_messages::kUndeclaredBuiltinFunction, P.TokenView()));
  return Run(*this, Args);
}

double TPoorPascal::RunBuiltinRealFunc(TPPAParser& P, const TPPARoutine& R, const TPPAParams& Args) {
  const auto Run = ppa_builtins::Find<TRealHandler>(R.Index);
  if (!Run) throw TPPAError(PPAFormat(ppa_messages::kUndeclaredBuiltinFunction, P.TokenView()));
  return Run(*this, Args);
}

std::string TPoorPascal::RunBuiltinStrFunc(TPPAParser& P, const TPPARoutine& R, const TPPAParams& Args) {
  const auto Run = ppa_builtins::Find<TStrHandler>(R.Index);
  if (!Run) throw TPPAError(PPAFormat(ppa_messages::kUndeclaredBuiltinFunction, P.TokenView()));
  return Run(*this, Args);
}

// ---- Lookups of the table ----

namespace ppa_builtins {

template <typename Handler>
Handler Find(std::int32_t Index) {
  const TBuiltin* B = FindRow(Index);
  const Handler* H = B ? std::get_if<Handler>(&B->Run) : nullptr;
  return H ? *H : nullptr;
}
template TProcHandler Find<TProcHandler>(std::int32_t);
template TIntHandler Find<TIntHandler>(std::int32_t);
template TRealHandler Find<TRealHandler>(std::int32_t);
template TStrHandler Find<TStrHandler>(std::int32_t);

bool IsPure(std::int32_t Index) {
  const TBuiltin* B = FindRow(Index);
  return B != nullptr && B->Pure;
}

}  // namespace ppa_builtins
