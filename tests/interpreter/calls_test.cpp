// Routine calls: argument lists, the owner's routines, nesting of calls.
#include "tests/interpreter/eval_support.h"

namespace {

using ppa_test::EvalTest;
using ppa_test::Msg;
namespace m = ppa_messages;

class CallTest : public EvalTest {
 protected:
  // Runs a procedure statement such as "Sleep(1)"; returns the token the call left current.
  std::string Call(std::string_view Statement) {
    TPPAParser P(Statement);
    const std::string Name = P.Token();
    P.Next();
    PP.CallProc(P, Name);
    return P.Token();
  }
  std::optional<std::string> CallError(std::string_view Statement) {
    return ppa_test::ErrorOf([&] { Call(Statement); });
  }
};

TEST_F(CallTest, ArgumentListsAndWhereTheScannerStops) {
  EXPECT_EQ(Call("ProcessMessages rest"), "rest");
  EXPECT_EQ(Call("ProcessMessages() rest"), "(");  // the statement executor takes the "()"
  EXPECT_EQ(Call("Sleep(1) rest"), "rest");
  EXPECT_EQ(Call("sleep((1 + 1) * 2);"), ";");
  // Commas and parentheses inside literals and nested parentheses do not split arguments.
  EXPECT_EQ(PP.EvalInt("Length('a,b)')"), 4);
  EXPECT_EQ(PP.EvalStr("Copy(('abc'), 1, (1 + 1))"), "ab");
  // Comments between the tokens of an argument are skipped.
  EXPECT_EQ(PP.EvalInt("Length('ab' // note\n)"), 2);
}

TEST_F(CallTest, ArgumentListErrors) {
  const ppa_test::ErrorCase kCases[] = {
      {"Sleep(1, 2)", m::kSyntaxError, ","},
      {"Sleep", m::kSyntaxError, ""},
      {"Sleep 1", m::kSyntaxError, "1"},
      {"Sleep()", m::kSyntaxError, ""},
      {"Sleep(10", m::kSyntaxError, ""},  // sleeps first, then misses the ")"
  };
  for (const auto& C : kCases) EXPECT_EQ(CallError(C.Text), Msg(C.Pattern, C.Arg)) << C.Text;
}

// Each call has its own arguments, so an inner call of the same routine cannot overwrite them.
TEST_F(CallTest, NestedCallsOfTheSameRoutine) {
  EXPECT_EQ(PP.EvalStr("Copy('abcdef', Length(Copy('xyz', 1, 2)), 3)"), "bcd");
  EXPECT_EQ(PP.EvalStr("Copy(Copy('abcdef', 1, 3), 2, 1)"), "b");
  EXPECT_EQ(PP.EvalStr("Insert(Insert('1', '23', 1), Insert('a', 'bc', 3), 2)"), "b123ca");

  PP.DeclareRoutine("function Join(a: string; n: integer; b: string): string; index 5;", 0);
  PP.StrFuncParam = [](const std::string&, std::int32_t, const TPPAParams& Args, std::int32_t& Err_CD,
                       std::string& Result) {
    Result = Args[0].Argument.StrValue + std::to_string(Args[1].Argument.IntValue) + Args[2].Argument.StrValue;
    Err_CD = 0;
  };
  EXPECT_EQ(PP.EvalStr("Join(Join('a', 1, 'b'), 2, Join('c', 3, Join('d', 4, 'e')))"), "a1b2c3d4e");
}

// The owner gets upper-cased names, its own record list, and its result only with Err_CD 0.
TEST_F(CallTest, OwnerFunctions) {
  PP.DeclareRoutine("function twice(x: real; Label: string): real; index 12;", 0);
  std::vector<std::string> Seen;
  std::int32_t Answer = 0;
  PP.RealFuncParam = [&](const std::string& Name, std::int32_t Index, const TPPAParams& Args, std::int32_t& Err_CD,
                         double& Result) {
    Seen = {Name, std::to_string(Index), Args[0].Name, Args[1].Name, Args[1].Argument.StrValue};
    EXPECT_EQ(Result, 0.0);
    Result = Args[0].Argument.RealValue * 2;
    Err_CD = Answer;
  };
  std::vector<std::int32_t> Errors;
  PP.ErrorProc = [&](std::int32_t Code, std::string& Message) {
    Errors.push_back(Code);
    EXPECT_EQ(Message, "");
    Message = "failed";
  };
  EXPECT_EQ(PP.EvalReal("TWICE(1.25, 'a'#0'b') + 1"), 3.5);
  EXPECT_EQ(Seen, (std::vector<std::string>{"TWICE", "12", "X", "LABEL", "a"}));  // a string ends at NUL
  EXPECT_TRUE(Errors.empty());

  Answer = -1;  // the result is set but not used
  EXPECT_EQ(RealError("Twice(1, '')"), "failed");
  Answer = 7;
  EXPECT_EQ(RealError("Twice(1, '')"), "failed");
  PP.RealFuncParam = nullptr;  // nobody carries the call out
  EXPECT_EQ(RealError("Twice(1, '')"), "failed");
  EXPECT_EQ(Errors, (std::vector<std::int32_t>{-1, 7, -1}));
}

// A surplus argument fails after the routine has run; a missing one before.
TEST_F(CallTest, OwnerProceduresAndArgumentCounts) {
  PP.DeclareRoutine("procedure Log(S: String; N: Integer); Index 1;", 0);
  ppa_test::RecordingOwner Owner;
  Owner.Bind(PP);
  EXPECT_EQ(Call("log('hi', 1 + 2);"), ";");
  EXPECT_EQ(CallError("Log('x', 1, 2)"), Msg(m::kSyntaxError, ","));
  EXPECT_EQ(CallError("Log('y')"), Msg(m::kSyntaxError, ""));
  EXPECT_EQ(Owner.Calls, (std::vector<std::string>{"LOG(hi,3)", "LOG(x,1)"}));
}

TEST_F(CallTest, BuiltinNumbersWithoutBehaviour) {
  PP.DeclareRoutine("function Mystery: Integer; Index $9999;", 1);
  PP.DeclareRoutine("function Misfiled: Real; Index $2003;", 1);  // an integer built-in's number
  PP.DeclareRoutine("procedure Odd; Index $1001;", 1);
  EXPECT_EQ(IntError("Mystery + 1"), Msg(m::kUndeclaredBuiltinFunction, "+"));
  EXPECT_EQ(RealError("Misfiled"), Msg(m::kUndeclaredBuiltinFunction, ""));
  EXPECT_EQ(CallError("Odd;"), Msg(m::kUndeclaredBuiltinProcedure, ";"));
}

TEST_F(CallTest, DispatchersTakeTheNameInAnyCase) {
  TPPAParser P("('abc') rest");
  EXPECT_EQ(PP.CallIntFunc(P, "length"), 3);
  EXPECT_EQ(P.Token(), "rest");
  TPPAParser Q("('abc')");
  EXPECT_EQ(PP.CallIntFunc(Q, "NoSuchFunction"), 0);  // nothing happens
  EXPECT_EQ(Q.Token(), "(");
}

TEST_F(CallTest, NestingLimitOfCalls) {
  std::string Deep;
  for (int i = 0; i < 1000; ++i) Deep += "Copy(";
  Deep += "'a'";
  for (int i = 0; i < 1000; ++i) Deep += ", 1, 1)";
  EXPECT_EQ(StrError(Deep), Msg(m::kNestingTooDeep));
  EXPECT_EQ(PP.EvalStr("Copy(Copy(Copy('abc', 2, 2), 1, 1), 1, 1)"), "b");
}

// The calls as a program reaches them: assignments, conditions and a procedure statement.
TEST_F(CallTest, InAProgram) {
  const auto Error = RunError({"var a, b: String; n: Integer; x: Real;", "begin",
                               "  a := 'hello'; b := Copy(a, Length(Copy(a, 1, 2)), 3);",
                               "  n := StrToInt('$10') + Round(2.5);", "  x := Int(7 / 2) + Frac(0.25);",
                               "  if Pos('ll', a) = 3 then a := UpperCase(a) + FloatToStr(x);",
                               "  Sleep(0); ProcessMessages();", "end."});
  EXPECT_EQ(Error, std::nullopt) << *Error;
  EXPECT_EQ(Str("b"), "ell");
  EXPECT_EQ(Int("n"), 18);
  EXPECT_EQ(Str("a"), "HELLO3.25");
}

}  // namespace
