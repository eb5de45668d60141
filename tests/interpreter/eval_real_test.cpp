// The real evaluator, in the shape of the integer evaluator's tests.
#include <cmath>
#include <limits>

#include "interpreter/numbers.h"
#include "tests/interpreter/eval_support.h"

namespace {

using ppa_test::ErrorCase;
using ppa_test::EvalTest;
using ppa_test::Msg;
namespace m = ppa_messages;

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST_F(EvalTest, RealValues) {
  const struct {
    const char* Text;
    double Value;
  } kCases[] = {
      {"1 + 2.5", 3.5},
      {"7 / 2", 3.5},  // real division, also between integers
      {"1 / 4 * 2", 0.5},
      {"10 - 2 - 3", 5.0},
      {"1e3", 1000.0},
      {"1.5E-1", 0.15},
      {"1.5e+3", 1500.0},
      {"2.5 > 2", -1.0},
      {"1.0 = 1", -1.0},
      {"2 < 1.5", 0.0},
      {"1 < 2 = -1", -1.0},
      {"-2.5 * 2", -5.0},
      {"-(1)", -1.0},
      {"+2.5", 2.5},
      {"((1.5))", 1.5},
      {"2.5 3", 2.5},
      {"1E", 0.0},  // a literal that does not convert
      {"$10 * 1.0", 16.0},  // hexadecimal literals keep their integer value
      {"9223372036854775808 * 1.0", 9223372036854775808.0},
      // Overflow and division by zero give infinities: FP exceptions stay masked.
      {"1 / 0", kInf},
      {"-1 / 0", -kInf},
      {"1e308 * 10", kInf},
  };
  for (const auto& C : kCases) EXPECT_EQ(PP.EvalReal(C.Text), C.Value) << C.Text;
  EXPECT_TRUE(std::isnan(PP.EvalReal("0 / 0")));
}

// Integers are welcome anywhere; a parenthesised part is typed by its first token, and a string part
// that fails counts as 0.0.
TEST_F(EvalTest, RealFromOtherTypes) {
  const struct {
    const char* Text;
    double Value;
  } kCases[] = {
      {"i / 2", 1.5},
      {"r * 2", 5.4},
      {"r div 2", 2.7},  // no word operators: the expression ends before div
      {"(1 + 2) * 1.5", 4.5},
      {"(7 div 2) * 1.0", 3.0},
      {"('2.5') * 2", 5.0},
      {"('abc') * 2", 0.0},
      {"(s) + 1", 13.0},
      {"('a' + y) * 2", 0.0},
      {"(('a' + y)) + 1", 1.0},
      {"('a' + (y)) + 1", 1.0},
      {"Length('abcd') / 8", 0.5},
      {"Int(2.5) + 1", 3.0},
  };
  for (const auto& C : kCases) EXPECT_DOUBLE_EQ(PP.EvalReal(C.Text), C.Value) << C.Text;
}

TEST_F(EvalTest, RealErrors) {
  const ErrorCase kCases[] = {
      {"1.5 + 'a'", m::kSyntaxError, "'a'"},
      {"1.5 +", m::kSyntaxError, ""},
      {") 1", m::kSyntaxError, "1"},
      {"s + 1", m::kWrongVariableType, "s"},
      {"Copy('a', 1, 1) * 2", m::kWrongResultType, "Copy"},
      {"not r", m::kUndefinedName, "not"},
      {"(y) * 2", m::kUndefinedName, "y"},  // (y) tells no type, so it is a real part
      {"(1.5", m::kMissingRightParen, ""},
      {"(1 div 0) * 1.0", m::kDivisionByZero, ""},
  };
  for (const auto& C : kCases) EXPECT_EQ(RealError(C.Text), Msg(C.Pattern, C.Arg)) << C.Text;
}

// Dropping a string part's error must not swallow a stop requested meanwhile.
TEST_F(EvalTest, RealKeepsStopFromStringPart) {
  PP.DeclareRoutine("function Fail: String; Index 1;", 0);
  PP.ErrorProc = [&](std::int32_t, std::string& Message) {
    PP.Stopped = 1;
    Message = "stopped";
  };
  EXPECT_EQ(RealError("(Fail) * 2"), "stopped");
}

TEST_F(EvalTest, RealHostValue) {
  AddValue("Host", pvReal).HostObject = 1;
  PP.Values.Find("Host")->RealValue = 1.25;
  PP.AddIntValue("HostInt", 0, 5, 1, 3);
  PP.RealObjParam = [](const std::string& Name, std::int32_t, std::uint8_t Mode, std::int32_t& Err_CD, double& Value) {
    EXPECT_EQ(Name, "Host");
    EXPECT_EQ(Mode, 0);
    Value *= 2;
    Err_CD = 0;
  };
  PP.IntObjParam = [](const std::string& Name, std::int32_t Index, std::uint8_t, std::int32_t& Err_CD,
                      std::int64_t& Value) {
    EXPECT_EQ(Name, "HostInt");
    Value += Index;
    Err_CD = 0;
  };
  EXPECT_EQ(PP.EvalReal("host + hostint"), 2.5 + 8);

  PP.RealObjParam = nullptr;  // nobody answers: Err_CD stays -1
  std::int32_t Code = 0;
  PP.ErrorProc = [&](std::int32_t Error_CD, std::string& Message) {
    Code = Error_CD;
    Message = "owner failed";
  };
  EXPECT_EQ(RealError("Host"), "owner failed");
  EXPECT_EQ(Code, -1);
}

TEST(RealRules, ParseReal) {
  const struct {
    const char* Text;
    std::optional<double> Value;
  } kCases[] = {
      {"2.5", 2.5},
      {"  -2.5  ", -2.5},
      {"+1e3", 1000.0},
      {"1E+3", 1000.0},
      {"1.5e-1", 0.15},
      {"5.", 5.0},
      {".5", 0.5},
      {"1e-400", 0.0},  // underflow is near enough to 0
      {"1e400", std::nullopt},
      {"1E", std::nullopt},
      {"1e+", std::nullopt},
      {"2,5", std::nullopt},
      {"$10", std::nullopt},
      {"0x10", std::nullopt},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {".", std::nullopt},
      {"1 2", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
  };
  for (const auto& C : kCases) EXPECT_EQ(ppa_numbers::ParseReal(C.Text), C.Value) << C.Text;
}

TEST_F(EvalTest, RealNestingLimit) {
  const std::string Deep = std::string(100000, '(') + "1.5" + std::string(100000, ')');
  EXPECT_EQ(RealError(Deep), Msg(m::kNestingTooDeep));
  EXPECT_EQ(RealError(std::string(100000, '-') + "1"), Msg(m::kNestingTooDeep));
  EXPECT_EQ(RealError("(" + std::string(100000, '(') + "'1'"), Msg(m::kNestingTooDeep));
  EXPECT_EQ(PP.EvalReal("(((1.5)))"), 1.5);
}

}  // namespace
