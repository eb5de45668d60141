#include <string>
#include <vector>

#include "tests/interpreter/support.h"

namespace {

using namespace ppa_test;
namespace m = ppa_messages;

class Component : public PascalTest {};

TEST_F(Component, NewComponentHoldsConstantsAndBuiltins) {
  ASSERT_NE(PP.Values.Find("tRUE"), nullptr);
  EXPECT_EQ(PP.Values.Find("TRUE")->IntValue, -1);
  EXPECT_EQ(PP.Values.Find("false")->IntValue, 0);
  EXPECT_EQ(PP.Values.Find("nil")->ValueType, pvString);
  EXPECT_EQ(PP.Values.Find("nil")->StrValue, "");
  EXPECT_EQ(PP.Values.FindEntry("true")->Name, "True");  // stored as written
  EXPECT_EQ(PP.Values.Count(), 3u);
  EXPECT_EQ(PP.Procedures.Count(), 3u);
  EXPECT_EQ(PP.Functions.Count(), 24u);

  const TPPARoutine* Copy = PP.Functions.Find("copy");
  ASSERT_NE(Copy, nullptr);
  EXPECT_EQ(Copy->Permanent, 1);
  EXPECT_EQ(Copy->Index, 0x1001);
  EXPECT_EQ(Copy->ResultType, pvString);
  ASSERT_EQ(Copy->Params.size(), 3u);
  EXPECT_EQ(Copy->Params[1].Name, "START");
  EXPECT_EQ(Copy->Params[2].Argument.ValueType, pvInteger);
  EXPECT_EQ(PP.Functions.Find("StrToFloat")->Index, 0x3003);
  EXPECT_EQ(PP.Functions.Find("Pos")->ResultType, pvInteger);
  EXPECT_EQ(PP.Procedures.Find("Sleep")->Index, 2);
}

TEST_F(Component, AddingValues) {
  PP.AddIntValue("Host", 0, 7, 1, 42);
  const TPPAValue* V = PP.Values.Find("HOST");
  ASSERT_NE(V, nullptr);
  EXPECT_EQ(V->Permanent, 1);
  EXPECT_EQ(V->HostObject, 1);
  EXPECT_EQ(V->Index, 42);
  EXPECT_EQ(V->IntValue, 7);

  PP.AddStrConst("S", std::string("ab\0cd", 5), 0);
  EXPECT_EQ(PP.Values.Find("s")->StrValue, "ab");  // a stored string ends at its NUL

  // A duplicate in any spelling is refused with the name as passed; the entry is unchanged.
  EXPECT_EQ(ErrorOf([&] { PP.AddIntConst("host", 0, 1); }), Msg(m::kDuplicateValue, "host"));
  EXPECT_EQ(ErrorOf([&] { PP.AddStrConst("TRUE", "x", 0); }), Msg(m::kDuplicateValue, "TRUE"));
  EXPECT_EQ(PP.Values.Find("Host")->IntValue, 7);
  EXPECT_EQ(PP.Values.Find("True")->ValueType, pvInteger);
}

TEST_F(Component, RemoveValue) {
  PP.RemoveValue("absent");
  PP.RemoveValue("TRUE");
  EXPECT_EQ(PP.Values.Find("True"), nullptr);
  PP.Execute();  // no run brings a removed constant back
  EXPECT_EQ(PP.Values.Find("True"), nullptr);
}

TEST_F(Component, StopActsOnlyDuringARun) {
  PP.Stop();
  EXPECT_EQ(PP.Stopped, 0);
}

TEST_F(Component, StopFromAnOwnerCallEndsTheRunWithTheInterruption) {
  PP.ProcParam = [&](const std::string&, std::int32_t, const TPPAParams&, std::int32_t&) { PP.Stop(); };
  PP.DeclarePrototype = {"procedure Halt;"};
  PP.Paused = 1;
  EXPECT_EQ(RunError({"VAR x: Integer;", "BEGIN Halt; x := 2 END"}), Msg(m::kStopped));
  EXPECT_EQ(PP.Stopped, 1);
  EXPECT_EQ(PP.Running, 0);
  EXPECT_EQ(Int("x"), 0);
}

TEST(Format, FillsTheOnePlaceholder) {
  EXPECT_EQ(PPAFormat("a[%s]b", "x%sy"), "a[x%sy]b");
  EXPECT_EQ(PPAFormat("plain", "ignored"), "plain");
  EXPECT_EQ(PPAFormat("[%s]"), "[]");
}

// The owner-call rule, through CheckOwnerResult.
TEST_F(Component, OwnerFailureGoesThroughErrorProc) {
  EXPECT_EQ(ErrorOf([&] { PP.CheckOwnerResult(0, "F"); }), std::nullopt);

  // Without a handler the slot is never called; the error names the subject.
  EXPECT_EQ(ErrorOf([&] { PP.CheckOwnerResult(-1, "F"); }), Msg(m::kOwnerError, "F"));

  std::vector<std::int32_t> Codes;
  PP.ErrorProc = [&](std::int32_t Code, std::string& Message) {
    Codes.push_back(Code);
    EXPECT_EQ(Message, "");
    Message = "owner says " + std::to_string(Code);
  };
  EXPECT_EQ(ErrorOf([&] { PP.CheckOwnerResult(-1, "F"); }), "owner says -1");
  EXPECT_EQ(ErrorOf([&] { PP.CheckOwnerResult(5, "F"); }), "owner says 5");
  EXPECT_EQ(Codes, (std::vector<std::int32_t>{-1, 5}));

  // A handler that raises its own error sends it in place of the message.
  PP.ErrorProc = [](std::int32_t, std::string&) { throw TPPAError("own"); };
  EXPECT_EQ(ErrorOf([&] { PP.CheckOwnerResult(3, "F"); }), "own");
}

TEST_F(Component, NestingGuardRestoresDepthOnErrors) {
  {
    std::vector<std::unique_ptr<TTestPascal::TNestingGuard>> Guards;
    for (int i = 0; i < TPoorPascal::kMaxNesting; ++i) Guards.push_back(std::make_unique<TTestPascal::TNestingGuard>(PP));
    EXPECT_EQ(ErrorOf([&] { TTestPascal::TNestingGuard G(PP); }), Msg(m::kNestingTooDeep));
    EXPECT_EQ(ErrorOf([&] { TTestPascal::TNestingGuard G(PP); }), Msg(m::kNestingTooDeep));
  }
  // All released: the full depth is available again.
  std::vector<std::unique_ptr<TTestPascal::TNestingGuard>> Again;
  EXPECT_EQ(ErrorOf([&] {
              for (int i = 0; i < TPoorPascal::kMaxNesting; ++i) Again.push_back(std::make_unique<TTestPascal::TNestingGuard>(PP));
            }),
            std::nullopt);
}

}  // namespace
