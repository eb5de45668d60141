#include <pthread.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/posix/desktop.h"
#include "tests/interpreter/support.h"

namespace {

using namespace ppa_test;
namespace m = ppa_messages;

// Each test runs its statements inside a program with these variables.
class Statements : public PascalTest {
 protected:
  void TearDown() override { platform::desktop::Reset(); }

  std::vector<std::string> Program(const std::string& Body) {
    return {"VAR a, b, i, n, x, y: Integer; s: String; r: Real;", "BEGIN", Body, "END."};
  }
  void Exec(const std::string& Body) { Run(Program(Body)); }
  std::optional<std::string> ExecError(const std::string& Body) { return RunError(Program(Body)); }
};

TEST_F(Statements, SequencesAndBlocks) {
  Exec("a := 1;; b := 2;");
  EXPECT_EQ(Int("a"), 1);
  EXPECT_EQ(Int("b"), 2);
  Exec("x := 5 y");  // the rest of an expression is ignored
  EXPECT_EQ(Int("x"), 5);
  Exec("BEGIN END; BEGIN a := 1 END; begin begin b := a + 1 end end");
  EXPECT_EQ(Int("b"), 2);
  Exec("s := 'a;b'; s := s + 'END'");  // words inside literals are no separators or closers
  EXPECT_EQ(Str("s"), "a;bEND");

  // The form a program with a VAR section reaches the executor in: BEGIN without its END.
  PP.AddIntConst("p", 0, 0);
  PP.AddIntConst("q", 0, 0);
  PP.ExecStatements("BEGIN p := 1; q := 2");
  EXPECT_EQ(Int("p"), 1);
  EXPECT_EQ(Int("q"), 2);
}

TEST_F(Statements, AssignsEachType) {
  Exec("r := 2.5; s := 'ab' + 'c'; x := 7 div 2");
  EXPECT_EQ(Real("r"), 2.5);
  EXPECT_EQ(Str("s"), "abc");
  EXPECT_EQ(Int("x"), 3);
  Exec("s := 'a' + #0 + 'b'");
  EXPECT_EQ(Str("s"), "a");  // a stored string ends at its NUL
}

TEST_F(Statements, ReportsBadStatements) {
  const std::pair<const char*, std::string> Cases[] = {
      {"5 := x", Msg(m::kSyntaxError, "5")},
      {"x = 5", Msg(m::kSyntaxError, "=")},
      {"x", Msg(m::kSyntaxError, "")},
      {"Foo", Msg(m::kSyntaxError, "Foo")},
      {"; (", Msg(m::kSyntaxError, "(")},
      {"True := 1", Msg(m::kReadOnlyAssignment, "True")},
      {"IF x = 0 THEN", Msg(m::kSyntaxError, "if")},
      {"IF x = 0", Msg(m::kSyntaxError, "if")},
      {"FOR r := 1 TO 3 DO x := 1", Msg(m::kSyntaxError, "for")},
      {"FOR zz := 1 TO 3 DO x := 1", Msg(m::kSyntaxError, "for")},
      {"FOR True := 1 TO 3 DO x := 1", Msg(m::kSyntaxError, "for")},
      {"FOR i = 1 TO 3 DO x := 1", Msg(m::kSyntaxError, "for")},
      {"FOR i := 1 x := 1", Msg(m::kSyntaxError, "for")},
      {"FOR i := 1 TO 3 x := 1", Msg(m::kSyntaxError, "for")},
      {"WHILE x < 1 x := 1", Msg(m::kSyntaxError, "while")},
      {"CASE x 1: a := 1 END", Msg(m::kMissingOf, "case")},
      {"CASE x OF 1 a := 1 END", Msg(m::kMalformed, "case")},
      {"CASE x OF 0: a := 1 END", Msg(m::kMissingEnd, "case")},
  };
  for (const auto& [Body, Expected] : Cases) EXPECT_EQ(ExecError(Body), Expected) << Body;
}

TEST_F(Statements, ErrorsOnlyWhenReached) {
  Exec("IF True THEN x := 1 ELSE Rubbish; WHILE False DO Rubbish; FOR i := 2 TO 1 DO Rubbish");
  EXPECT_EQ(Int("x"), 1);
  // What ran before an error stays done.
  EXPECT_EQ(ExecError("a := 1; Rubbish; b := 1"), Msg(m::kSyntaxError, "Rubbish"));
  EXPECT_EQ(Int("a"), 1);
  EXPECT_EQ(Int("b"), 0);
}

TEST_F(Statements, If) {
  const std::pair<const char*, std::int64_t> Cases[] = {
      {"a := 1; IF a > 0 THEN x := 1 ELSE x := 2", 1},
      {"IF a > 0 THEN x := 1 ELSE x := 2", 2},
      {"IF 0 THEN x := 1; x := x + 10", 10},
      {"IF 1 THEN BEGIN x := 1; x := x + 1 END ELSE x := 9", 2},
      {"IF 0 THEN BEGIN x := 1 END ELSE BEGIN x := 3; x := x * 2 END; x := x + 1", 7},
      // The inner IF takes every ELSE; with a false outer condition nothing runs.
      {"a := 1; b := 1; IF a THEN IF b THEN x := 1 ELSE x := 2 ELSE x := 3", 1},
      {"a := 1; IF a THEN IF b THEN x := 1 ELSE x := 2 ELSE x := 3", 2},
      {"x := 5; IF a THEN IF b THEN x := 1 ELSE x := 2 ELSE x := 3", 5},
  };
  for (const auto& [Body, Expected] : Cases) {
    Exec(Body);
    EXPECT_EQ(Int("x"), Expected) << Body;
  }
}

TEST_F(Statements, For) {
  Exec("FOR i := 1 TO 3 DO s := s + 'x'");
  EXPECT_EQ(Str("s"), "xxx");
  EXPECT_EQ(Int("i"), 3);
  Exec("FOR i := 3 TO 1 DO x := 1");
  EXPECT_EQ(Int("i"), 3);
  EXPECT_EQ(Int("x"), 0);
  Exec("FOR i := 3 DOWNTO 1 DO x := x * 10 + i");
  EXPECT_EQ(Int("x"), 321);
  Exec("n := 3; FOR i := 1 TO n DO n := n + 1");  // bounds are taken once
  EXPECT_EQ(Int("n"), 6);
  Exec("FOR i := 1 TO 3 DO BEGIN x := x + i; i := 10 END");  // the body cannot change the count
  EXPECT_EQ(Int("x"), 6);
  EXPECT_EQ(Int("i"), 10);
  Exec("FOR i := 1 TO 10 DO BEGIN IF i = 4 THEN BREAK; x := x + 1 END; y := 1");
  EXPECT_EQ(Int("i"), 4);
  EXPECT_EQ(Int("x"), 3);
  EXPECT_EQ(Int("y"), 1);
  Exec("FOR i := 1 TO 5 DO BEGIN IF i mod 2 = 0 THEN CONTINUE; x := x * 10 + i END");
  EXPECT_EQ(Int("x"), 135);
  // Only the low 32 bits of the bounds count.
  Exec("FOR i := 4294967296 TO 1 DO x := x * 10 + i + 1");
  EXPECT_EQ(Int("x"), 12);
  Exec("FOR i := 2147483647 TO 2147483647 DO x := i");
  EXPECT_EQ(Int("x"), 2147483647);
  Exec("FOR i := -2147483647 - 1 DOWNTO -2147483647 - 1 DO x := i");
  EXPECT_EQ(Int("x"), -2147483647 - 1);
}

TEST_F(Statements, WhileAndRepeat) {
  Exec("WHILE i < 5 DO BEGIN i := i + 1; IF i = 2 THEN CONTINUE; x := x + 1 END");
  EXPECT_EQ(Int("i"), 5);
  EXPECT_EQ(Int("x"), 4);
  Exec("WHILE True DO BEGIN i := i + 1; IF i >= 3 THEN BREAK END; y := 1");
  EXPECT_EQ(Int("i"), 3);
  EXPECT_EQ(Int("y"), 1);
  Exec("REPEAT i := i + 1 UNTIL i >= 10");
  EXPECT_EQ(Int("i"), 10);
  Exec("REPEAT x := x + 1 UNTIL True");  // runs once
  EXPECT_EQ(Int("x"), 1);
  Exec("REPEAT i := i + 1; IF i < 3 THEN CONTINUE; x := x + 1 UNTIL i >= 5");
  EXPECT_EQ(Int("x"), 3);
  Exec("REPEAT REPEAT x := x + 1 UNTIL x mod 3 = 0; i := i + 1 UNTIL i = 2");
  EXPECT_EQ(Int("x"), 6);
}

// A REPEAT standing directly as a loop body, a branch or a then-part loops as a whole.
TEST_F(Statements, RepeatAsBody) {
  Exec("FOR i := 1 TO 3 DO REPEAT x := x + 1 UNTIL x mod 2 = 0");
  EXPECT_EQ(Int("x"), 6);
  Exec("WHILE i < 2 DO REPEAT i := i + 1; x := x + 1 UNTIL x >= 3");
  EXPECT_EQ(Int("x"), 3);
  Exec("IF True THEN REPEAT x := x + 1 UNTIL x = 4 ELSE y := 1");
  EXPECT_EQ(Int("x"), 4);
  EXPECT_EQ(Int("y"), 0);
  Exec("IF False THEN y := 1 ELSE REPEAT x := x + 1 UNTIL x = 4");
  EXPECT_EQ(Int("x"), 4);
  Exec("CASE 1 OF 1: REPEAT x := x + 1 UNTIL x = 5; 2: y := 1; END");
  EXPECT_EQ(Int("x"), 5);
  EXPECT_EQ(Int("y"), 0);
}

TEST_F(Statements, Case) {
  for (const auto& [Selector, Expected] : {std::pair{4, 1}, {2, 2}, {9, 0}, {1, 1}, {5, 1}}) {
    Exec("x := " + std::to_string(Selector) + "; CASE x OF 1, 3..5: a := 1; 2: a := 2; ELSE a := 0 END");
    EXPECT_EQ(Int("a"), Expected) << Selector;
  }
  Exec("CASE 2 OF 1..3: x := x + 1; 2: x := x + 10; ELSE x := 100 END");  // every match runs
  EXPECT_EQ(Int("x"), 11);
  Exec("CASE 7 OF 9..1: x := 1; (3 + 4): x := 2; END");
  EXPECT_EQ(Int("x"), 2);
  Exec("CASE 2 OF 2: BEGIN x := 1; y := 2 END END");
  EXPECT_EQ(Int("y"), 2);
  Exec("CASE 0 OF 1: x := 1; ELSE x := 2; y := 3 END");  // the ELSE part is a sequence
  EXPECT_EQ(Int("y"), 3);
  // A last simple branch followed directly by END runs, then the missing END is reported.
  EXPECT_EQ(ExecError("CASE 2 OF 2: a := 2 END"), Msg(m::kMissingEnd, "case"));
  EXPECT_EQ(Int("a"), 2);
}

TEST_F(Statements, JumpsOutsideLoopsEndTheProgram) {
  for (const char* Jump : {"BREAK", "CONTINUE", "EXIT"}) {
    Exec(std::string("x := 1; BEGIN IF True THEN ") + Jump + "; x := 2 END; x := 3");
    EXPECT_EQ(Int("x"), 1) << Jump;
  }
  Exec("FOR i := 1 TO 3 DO BEGIN WHILE True DO EXIT END; x := 1");
  EXPECT_EQ(Int("i"), 1);
  EXPECT_EQ(Int("x"), 0);
}

TEST_F(Statements, CallForms) {
  RecordingOwner Owner;
  Owner.Bind(PP);
  std::vector<std::string> Funcs;
  PP.IntFuncParam = [&](const std::string& Name, std::int32_t, const TPPAParams&, std::int32_t& Err_CD,
                        std::int64_t& Result) {
    Funcs.push_back(Name);
    Result = 1;
    Err_CD = 0;
  };
  PP.DeclarePrototype = {"procedure Beep;", "procedure Say(s: String; n: Integer);", "function F: Integer;"};
  Run({"VAR beep: Integer;", "BEGIN Beep; Beep(); Say('hi', 1 + 1); F; beep := 3 END"});
  EXPECT_EQ(Owner.Calls, (std::vector<std::string>{"BEEP()", "BEEP()", "SAY(hi,2)", "BEEP()"}));
  EXPECT_EQ(Funcs, std::vector<std::string>{"F"});
  EXPECT_EQ(Int("beep"), 0);  // a name that is a routine and a variable is a call
}

TEST_F(Statements, WritesHostObjectsAfterStoring) {
  std::vector<std::string> Writes;
  PP.AddIntValue("H", 0, 0, 1, 9);
  PP.AddStrValue("T", "", 0, 1, 4);
  PP.IntObjParam = [&](const std::string& Name, std::int32_t Index, std::uint8_t Mode, std::int32_t& Err_CD,
                       std::int64_t& V) {
    if (Mode == 1) Writes.push_back(Name + std::to_string(Index) + "=" + std::to_string(V));
    Err_CD = Mode == 1 ? 77 : 0;  // a write's result is not looked at
  };
  PP.StrObjParam = [&](const std::string& Name, std::int32_t Index, std::uint8_t Mode, std::int32_t& Err_CD,
                       std::string& V) {
    if (Mode == 1) Writes.push_back(Name + std::to_string(Index) + "=" + V);
    V = "changed";
    Err_CD = 0;
  };
  Run({"h := 5; t := 'x'"});
  EXPECT_EQ(Writes, (std::vector<std::string>{"H9=5", "T4=x"}));
  EXPECT_EQ(PP.Values.Find("T")->StrValue, "x");
}

// An owner call that removes the variable being assigned or counted must not leave a write
// through a freed record.
TEST_F(Statements, VariableRemovedDuringItsOwnStatement) {
  bool Retype = true;
  PP.IntFuncParam = [&](const std::string&, std::int32_t, const TPPAParams&, std::int32_t& Err_CD, std::int64_t& R) {
    PP.RemoveValue("x");
    if (Retype) PP.AddStrConst("x", "now a string", 0);
    R = 1;
    Err_CD = 0;
  };
  PP.DeclarePrototype = {"function Drop: Integer;"};
  EXPECT_EQ(ExecError("x := Drop + 1"), Msg(m::kUndefinedName, "x"));
  EXPECT_EQ(Str("x"), "now a string");
  PP.RemoveValue("x");
  Retype = false;
  EXPECT_EQ(ExecError("FOR x := 1 TO 3 DO y := Drop"), Msg(m::kSyntaxError, "for"));
  EXPECT_EQ(Int("y"), 1);
}

TEST_F(Statements, StopFromAMessageHandlerEndsTheRunQuietly) {
  std::int64_t AtStop = -1;
  const auto Timer = platform::desktop::SetTimer(std::chrono::milliseconds(1), [&] {
    if (AtStop < 0) AtStop = PP.Values.Find("x")->IntValue;
    PP.Stop();  // the pump drops the interruption error
  });
  EXPECT_EQ(ExecError("WHILE True DO x := x + 1"), std::nullopt);
  platform::desktop::KillTimer(Timer);
  EXPECT_EQ(PP.Stopped, 1);
  EXPECT_EQ(Int("x"), AtStop);
}

// ---- Nesting ----

using Generator = std::string (*)(int);

std::string Blocks(int K) {
  std::string S;
  for (int i = 0; i < K; ++i) S += "BEGIN ";
  S += "x := 1";
  for (int i = 0; i < K; ++i) S += " END";
  return S;
}
std::string Ifs(int K) {
  std::string S;
  for (int i = 0; i < K; ++i) S += "IF 1 THEN ";
  return S + "x := 1";
}
std::string Parens(int K) { return "x := " + std::string(static_cast<std::size_t>(K), '(') + "1" + std::string(static_cast<std::size_t>(K), ')'); }
std::string StrParens(int K) { return "s := " + std::string(static_cast<std::size_t>(K), '(') + "'a'" + std::string(static_cast<std::size_t>(K), ')'); }
std::string Loops(int K) {
  std::string S;
  for (int i = 0; i < K; ++i) S += "WHILE x = 0 DO ";
  return S + "x := 1";
}
std::string Calls(int K) {
  std::string S = "s := ";
  for (int i = 0; i < K; ++i) S += "Trim(";
  return S + "'a'" + std::string(static_cast<std::size_t>(K), ')');
}

// Every evaluator and argument list in turn, each level a whole string expression.
std::string MixedCalls(int K) {
  static const char* const kWraps[][2] = {
      {"Trim(", ")"},          {"Copy(", ", 1, 9)"}, {"IntToStr(Length(", "))"},
      {"FloatToStr(Frac(StrToFloat(", ")))"}, {"(", ")"},         {"IntToStr((Pos('a', ", ")))"},
  };
  std::string Open, Close;
  for (int i = 0; i < K; ++i) {
    Open += kWraps[i % 6][0];
    Close = kWraps[i % 6][1] + Close;
  }
  return "s := " + Open + "'a'" + Close;
}
std::string MixedStatements(int K) {
  std::string Open, Close;
  for (int i = 0; i < K; ++i) {
    if (i % 3 == 0) Open += "IF 1 THEN ";
    if (i % 3 == 1) Open += "BEGIN ", Close = " END" + Close;
    if (i % 3 == 2) Open += "WHILE x = 0 DO ";
  }
  return Open + "x := 1" + Close;
}

constexpr Generator kShapes[] = {Blocks, Ifs, Parens, StrParens, Loops, Calls, MixedCalls, MixedStatements};

// The nesting error or nothing, from running Body on a thread with a small stack.
std::optional<std::string> RunOnSmallStack(const std::vector<std::string>& Source) {
  struct Job {
    const std::vector<std::string>* Source;
    std::optional<std::string> Result;
  } J{&Source, std::nullopt};
#if defined(__SANITIZE_ADDRESS__)
  constexpr std::size_t kStack = 8u << 20;  // sanitizer frames are several times larger
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  constexpr std::size_t kStack = 8u << 20;
#else
  constexpr std::size_t kStack = 1u << 20;
#endif
#else
  constexpr std::size_t kStack = 1u << 20;
#endif
  pthread_attr_t Attr;
  pthread_attr_init(&Attr);
  pthread_attr_setstacksize(&Attr, kStack);
  pthread_t Thread;
  auto Body = [](void* Arg) -> void* {
    auto* Jb = static_cast<Job*>(Arg);
    TPoorPascal PP;
    PP.Source = *Jb->Source;
    Jb->Result = ErrorOf([&] { PP.Execute(); });
    return nullptr;
  };
  EXPECT_EQ(pthread_create(&Thread, &Attr, Body, &J), 0);
  pthread_join(Thread, nullptr);
  pthread_attr_destroy(&Attr);
  return J.Result;
}

std::vector<std::string> NestingProgram(Generator G, int K) {
  return {"VAR x: Integer; s: String;", "BEGIN", G(K), "END"};
}

TEST(Nesting, DeepestAllowedNestingFitsASmallStack) {
  for (Generator G : kShapes) {
    // Find the deepest nesting this shape may reach, then run exactly that on a 1 MiB stack.
    auto Fails = [&](int K) {
      TPoorPascal PP;
      PP.Source = NestingProgram(G, K);
      const auto E = ErrorOf([&] { PP.Execute(); });
      EXPECT_TRUE(!E || *E == Msg(ppa_messages::kNestingTooDeep)) << G(1);
      return E.has_value();
    };
    // An IF or WHILE whose body is a block runs it on the same level, so that mixture goes further.
    const bool SharesLevels = G == MixedStatements;
    int Deepest = 0;  // runs
    int Refused = TPoorPascal::kMaxNesting + 1;  // fails
    while (SharesLevels && !Fails(Refused) && Refused < 4 * TPoorPascal::kMaxNesting) Deepest = Refused, Refused *= 2;
    ASSERT_TRUE(Fails(Refused)) << G(1);
    while (Refused - Deepest > 1) {
      const int Mid = (Deepest + Refused) / 2;
      (Fails(Mid) ? Refused : Deepest) = Mid;
    }
    EXPECT_GE(Deepest, TPoorPascal::kMaxNesting / 4) << G(1);
    if (!SharesLevels) {
      EXPECT_LT(Deepest, TPoorPascal::kMaxNesting) << G(1);
    }
    EXPECT_EQ(RunOnSmallStack(NestingProgram(G, Deepest)), std::nullopt) << G(1);
    EXPECT_EQ(RunOnSmallStack(NestingProgram(G, Deepest + 1)), Msg(ppa_messages::kNestingTooDeep)) << G(1);
  }
}

// Former crash: thousands of levels must end in the nesting error, not a stack overflow.
TEST(Nesting, ThousandsOfLevelsEndInTheNestingError) {
  // Statement shapes re-scan their rest at every level, so a thousand levels is enough to show it;
  // parentheses are cheap and go far deeper.
  for (Generator G : kShapes) EXPECT_EQ(RunOnSmallStack(NestingProgram(G, 1000)), Msg(ppa_messages::kNestingTooDeep)) << G(1);
  EXPECT_EQ(RunOnSmallStack(NestingProgram(Parens, 100000)), Msg(ppa_messages::kNestingTooDeep));
}

}  // namespace
