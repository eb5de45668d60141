#include <string>
#include <vector>

#include "tests/interpreter/support.h"

namespace {

using namespace ppa_test;
namespace m = ppa_messages;

class Loader : public PascalTest {};

TEST_F(Loader, DeclaresPrototypes) {
  PP.DeclareRoutine("  procedure Beep;\t", 0);
  const TPPARoutine* Beep = PP.Procedures.Find("beep");
  ASSERT_NE(Beep, nullptr);
  EXPECT_EQ(PP.Procedures.FindEntry("beep")->Name, "BEEP");
  EXPECT_EQ(Beep->Index, 0);
  EXPECT_EQ(Beep->Permanent, 0);
  EXPECT_TRUE(Beep->Params.empty());

  PP.DeclareRoutine("function F:Integer;Index 7;", 0);
  EXPECT_EQ(PP.Functions.Find("F")->ResultType, pvInteger);
  EXPECT_EQ(PP.Functions.Find("F")->Index, 7);

  PP.DeclareRoutine("procedure P(a,b:Integer;c:String; d : real);", 0);
  const TPPAParams& Params = PP.Procedures.Find("P")->Params;
  ASSERT_EQ(Params.size(), 4u);
  const char* Names[] = {"A", "B", "C", "D"};
  const TPPAValueType Types[] = {pvInteger, pvInteger, pvString, pvReal};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Params[i].Name, Names[i]);
    EXPECT_EQ(Params[i].Argument.ValueType, Types[i]);
  }
}

TEST_F(Loader, ReadsIndexNumbers) {
  const std::pair<const char*, std::int32_t> Cases[] = {
      {"$100A", 4106}, {"10", 10}, {"-1", 0}, {"X", 0}, {"$", 0}, {"$FFFFFFFF", -1}, {"99999999999", 0},
  };
  int n = 0;
  for (const auto& [Text, Index] : Cases) {
    const std::string Name = "R" + std::to_string(n++);
    PP.DeclareRoutine("procedure " + Name + ";Index " + Text + ";", 0);
    EXPECT_EQ(PP.Procedures.Find(Name)->Index, Index) << Text;
  }
}

TEST_F(Loader, RejectsBadPrototypes) {
  const std::pair<const char*, std::string> Cases[] = {
      {"proc P;", Msg(m::kDefinitionError)},
      {"procedure\tP;", Msg(m::kDefinitionError)},
      {"procedure P(a:Integer)", Msg(m::kDefinitionError)},
      {"procedure P(a:Integer;", Msg(m::kDefinitionError)},
      {"procedure 5;", Msg(m::kDefinitionError)},
      {"function F;", Msg(m::kDefinitionError)},
      {"function F:Boolean;", Msg(m::kDefinitionError)},
      {"procedure P();", Msg(m::kSyntaxError, ")")},
      {"procedure P(a:Integer,b:Integer);", Msg(m::kSyntaxError, ",")},
      {"procedure P(a Integer);", Msg(m::kSyntaxError, "INTEGER")},
      {"procedure P(a:Bool);", Msg(m::kSyntaxError, "BOOL")},
      {"procedure P(a:Integer;A:String);", Msg(m::kDuplicateParameter, "A")},
      {"procedure P(a,b,a:Integer);", Msg(m::kDuplicateParameter, "A")},
      {"function Pos(S:String):Integer;Index 5;", Msg(m::kDuplicateRoutine, "POS")},
      {"procedure copy;", Msg(m::kDuplicateRoutine, "COPY")},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(ErrorOf([&] { PP.DeclareRoutine(C.first, 0); }), C.second) << C.first;
    EXPECT_EQ(PP.Procedures.Find("P"), nullptr) << C.first;
  }
}

TEST_F(Loader, PrepareSourceNormalisesLines) {
  const TPPALines Lines = {"a:=1;  // set a", "", "   // only a comment", "s := 'x  y';\t", "'open", "b:=2"};
  EXPECT_EQ(TPoorPascal::PrepareSource(Lines), "a := 1 ;\r\ns := 'x  y' ;\r\n'open\r\nb := 2\r\n");
  EXPECT_EQ(TPoorPascal::PrepareSource({}), "");
}

TEST_F(Loader, EmptyProgramsRunNothing) {
  EXPECT_EQ(RunError({}), std::nullopt);
  EXPECT_EQ(RunError({"", "  // comment", "\t"}), std::nullopt);
}

TEST_F(Loader, VarSectionDeclaresVariables) {
  Run({"VAR a, b: Integer; s: String;", "  r: Real;", "BEGIN", "  b := 2", "END."});
  EXPECT_EQ(Int("a"), 0);
  EXPECT_EQ(Int("b"), 2);
  EXPECT_EQ(Str("s"), "");
  EXPECT_EQ(Real("r"), 0.0);
  const TPPAValue* A = PP.Values.Find("A");
  EXPECT_EQ(A->Permanent, 0);
  EXPECT_EQ(PP.Values.FindEntry("A")->Name, "a");
  EXPECT_EQ(PP.Running, 0);
}

TEST_F(Loader, StatementPartEndsAtTheLastEnd) {
  // The inner END closes the inner block; only the last one is cut off.
  Run({"var a: integer;", "begin", "  begin a := 1 end;", "  a := a + 1", "end"});
  EXPECT_EQ(Int("a"), 2);
  // Without a VAR section the whole program runs; END is not required.
  PP.AddIntConst("n", 0, 0);
  Run({"n := 3;", "n := n * 2"});
  EXPECT_EQ(Int("n"), 6);
  Run({"BEGIN n := 1 END."});
  EXPECT_EQ(Int("n"), 1);
}

TEST_F(Loader, VarSectionErrors) {
  const std::pair<std::vector<std::string>, std::string> Cases[] = {
      {{"VAR a: Integer;", "BEGIN a := 1;"}, Msg(m::kMissingEnd, "Block")},
      {{"VAR a: Integer;", "a := 1;"}, Msg(m::kDuplicateValue, "a")},  // declarations run up to BEGIN
      {{"VAR a: Integer; VAR b: Integer;", "BEGIN END"}, Msg(m::kSyntaxError, "b")},
      {{"VAR a, a: Integer;", "BEGIN END"}, Msg(m::kDuplicateValue, "a")},
      {{"VAR a: Integer; A: Real;", "BEGIN END"}, Msg(m::kDuplicateValue, "A")},
      {{"VAR True: Integer;", "BEGIN END"}, Msg(m::kDuplicateValue, "True")},
      {{"VAR a: Integer = 5;", "BEGIN END"}, Msg(m::kSyntaxError, "=")},
      {{"VAR 5: Integer;", "BEGIN END"}, Msg(m::kSyntaxError, "5")},
      {{"VAR a: Bool;", "BEGIN END"}, Msg(m::kSyntaxError, "Bool")},
      {{"VAR a: Integer", "BEGIN END"}, Msg(m::kSyntaxError, "BEGIN")},
  };
  for (const auto& [Lines, Expected] : Cases) {
    EXPECT_EQ(RunError(Lines), Expected) << Lines[0];
    EXPECT_EQ(PP.Running, 0);
  }
  // Variables of a declaration missing its ";" are declared before the check.
  EXPECT_NE(PP.Values.Find("a"), nullptr);
}

TEST_F(Loader, EachRunStartsFromPermanentEntries) {
  PP.AddIntConst("Owner", 0, 5);
  PP.DeclarePrototype = {"procedure Beep;", "   ", "function Twice(x:Integer):Integer;"};
  Run({"VAR v: Integer;", "BEGIN v := 1 END"});
  EXPECT_NE(PP.Values.Find("v"), nullptr);  // stays until the next run
  EXPECT_NE(PP.Procedures.Find("Beep"), nullptr);
  EXPECT_NE(PP.Functions.Find("Twice"), nullptr);

  PP.DeclarePrototype = {"procedure Other;"};
  Run({"Owner := Owner + 1"});
  EXPECT_EQ(PP.Values.Find("v"), nullptr);
  EXPECT_EQ(PP.Procedures.Find("Beep"), nullptr);
  EXPECT_EQ(PP.Functions.Find("Twice"), nullptr);
  EXPECT_NE(PP.Procedures.Find("Other"), nullptr);
  EXPECT_EQ(Int("Owner"), 6);
  EXPECT_EQ(PP.Functions.Count(), 24u);
}

TEST_F(Loader, PrototypeErrorStopsBeforeTheProgram) {
  PP.AddIntConst("x", 0, 0);
  PP.DeclarePrototype = {"procedure Fine;", "function Pos(S:String):Integer;"};
  EXPECT_EQ(RunError({"x := 1"}), Msg(m::kDuplicateRoutine, "POS"));
  EXPECT_EQ(Int("x"), 0);
  EXPECT_NE(PP.Procedures.Find("Fine"), nullptr);
  EXPECT_EQ(PP.Running, 0);
}

TEST_F(Loader, RunFlagsAreClearedAtTheStart) {
  PP.Stopped = PP.BreakFlag = PP.ContinueFlag = PP.Paused = PP.ExitFlag = 1;
  PP.AddIntConst("x", 0, 0);
  Run({"x := 1"});
  EXPECT_EQ(Int("x"), 1);
  EXPECT_EQ(PP.Stopped + PP.BreakFlag + PP.ContinueFlag + PP.Paused + PP.ExitFlag, 0);
}

TEST_F(Loader, RefusesASecondRunDuringARun) {
  std::optional<std::string> Inner;
  PP.ProcParam = [&](const std::string&, std::int32_t, const TPPAParams&, std::int32_t& Err_CD) {
    Inner = ErrorOf([&] { PP.Execute(); });
    Err_CD = 0;
  };
  PP.DeclarePrototype = {"procedure Again;"};
  Run({"VAR x: Integer;", "BEGIN Again; x := 7 END"});
  EXPECT_EQ(Inner, Msg(m::kAlreadyRunning));
  EXPECT_EQ(Int("x"), 7);  // the outer run carried on unharmed
}

}  // namespace
