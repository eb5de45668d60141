// The integer evaluator. Its tests have the same shape as those of the real and string evaluators:
// values, operands of other types, errors, host values, number rules, limits.
#include <cmath>
#include <limits>

#include "interpreter/numbers.h"
#include "tests/interpreter/eval_support.h"

namespace {

using ppa_test::ErrorCase;
using ppa_test::EvalTest;
using ppa_test::Msg;
namespace m = ppa_messages;

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

TEST_F(EvalTest, IntValues) {
  const struct {
    const char* Text;
    std::int64_t Value;
  } kCases[] = {
      {"1 + 2 * 3", 7},
      {"(1 + 2) * 3", 9},
      {"2 - 3 - 4", -5},
      {"100 div 10 div 5", 2},
      {"7 div 2", 3},
      {"-7 div 2", -3},
      {"-7 mod 2", -1},
      {"7 mod -2", 1},
      {"7 DIV 2 Mod 2", 1},
      // Comparisons give -1 and 0, and chain on those.
      {"1 < 2", -1},
      {"2 < 1", 0},
      {"1 <= 1", -1},
      {"2 >= 3", 0},
      {"1 <> 1", 0},
      {"1 < 2 = -1", -1},
      {"True", -1},
      // Bitwise operators double as the logical ones.
      {"not 0", -1},
      {"not -1", 0},
      {"not 1 and 3", 2},
      {"3 and 5", 1},
      {"3 or 4", 7},
      {"3 xor 5", 6},
      {"i and (not i)", 0},
      // A sign takes the whole term.
      {"-1 and 1", -1},
      {"(-1) and 1", 1},
      {"-2 * 3", -6},
      {"+5", 5},
      {"(-5)", -5},
      {"((1 + 2))", 3},
      // Shifts are logical; the count is the low byte, signed.
      {"1 shl 63", kMin},
      {"(-1) shr 63", 1},
      {"-1 shr 63", 0},
      {"1 shl 64", 0},
      {"1 shl 127", 0},
      {"1 shl 256", 1},
      {"1 shl -1", 2147483648},
      {"1 shl -32", 1},
      // Overflow wraps.
      {"9223372036854775807 + 1", kMin},
      {"9223372036854775807 * 2", -2},
      {"-(-9223372036854775807 - 1)", kMin},
      {"(-9223372036854775807 - 1) div -1", kMin},
      {"(-9223372036854775807 - 1) mod -1", 0},
      // Literals out of range are 0.
      {"9223372036854775807", kMax},
      {"9223372036854775808", 0},
      {"$7FFFFFFFFFFFFFFF", kMax},
      {"$8000000000000000", 0},
      {"$", 0},
      {"$ff", 255},
      // What follows the expression is not read.
      {"1 2", 1},
      {"1 ) x", 1},
  };
  for (const auto& C : kCases) EXPECT_EQ(PP.EvalInt(C.Text), C.Value) << C.Text;
}

// The first token of the text, or of a parenthesised part, decides its type.
TEST_F(EvalTest, IntFromOtherTypes) {
  const struct {
    const char* Text;
    std::int64_t Value;
  } kCases[] = {
      {"s", 12},
      {"t", -1},
      {"e", -1},
      {"t = 'abc'", -1},
      {"s = 'abc'", 0},
      {"t = 'abc' and undefined", -1},  // the string expression ends at "and"
      {"(t = 'abc') and (s = '12')", -1},
      {"(t = 'abc') and (s = 'x')", 0},
      {"('7') + 1", 8},
      {"IntToStr(5)", 5},
      {"r", 2},
      {"r > 2", -1},
      {"1.5 < i", -1},
      {"(r) * 2", 4},
      {"(2.9) + (0.0 - 2.9)", 0},
      {"Length('abc') + 1", 4},
      {"1.0 / 0", kMin},  // infinity truncated
      {"(0.0 / 0) + 1", kMin + 1},
  };
  for (const auto& C : kCases) EXPECT_EQ(PP.EvalInt(C.Text), C.Value) << C.Text;
}

TEST_F(EvalTest, IntErrors) {
  const ErrorCase kCases[] = {
      {"i > 1.5", m::kSyntaxError, "1.5"},
      {"i + 'a'", m::kSyntaxError, "'a'"},
      {"1 +", m::kSyntaxError, ""},
      {"1 + ,", m::kSyntaxError, ","},
      {"()", m::kSyntaxError, ""},
      {"() + 1", m::kSyntaxError, "+"},
      {"i + r", m::kWrongVariableType, "r"},
      {"-r", m::kWrongVariableType, "r"},
      {"1 + Copy('a', 1, 1)", m::kWrongResultType, "Copy"},
      {"i and not i", m::kUndefinedName, "not"},
      {"x + 1", m::kUndefinedName, "x"},
      {"(1", m::kMissingRightParen, ""},
      {"(1 2)", m::kMissingRightParen, ""},
      {"5 div 0", m::kDivisionByZero, ""},
      {"5 mod 0", m::kDivisionByZero, ""},
      {"(1 div 0.5)", m::kSyntaxError, "0.5"},
      {"(-2.9)", m::kSyntaxError, "2.9"},  // a sign tells no type, so the part is an integer one
  };
  for (const auto& C : kCases) EXPECT_EQ(IntError(C.Text), Msg(C.Pattern, C.Arg)) << C.Text;
}

// A host value is read through the owner on each use, under the owner-call rule.
TEST_F(EvalTest, IntHostValue) {
  PP.AddIntValue("Host", 0, 5, 1, 7);
  std::int64_t Seen = 0;
  PP.IntObjParam = [&](const std::string& Name, std::int32_t Index, std::uint8_t Mode, std::int32_t& Err_CD,
                       std::int64_t& Value) {
    EXPECT_EQ(Name, "Host");
    EXPECT_EQ(Index, 7);
    EXPECT_EQ(Mode, 0);
    Seen = Value;
    Value = 42;
    Err_CD = 0;
  };
  EXPECT_EQ(PP.EvalInt("host + 1"), 43);
  EXPECT_EQ(Seen, 5);

  PP.IntObjParam = [](const std::string&, std::int32_t, std::uint8_t, std::int32_t&, std::int64_t& Value) {
    Value = 42;  // Err_CD left at -1: the value is not used
  };
  std::int32_t Code = 0;
  PP.ErrorProc = [&](std::int32_t Error_CD, std::string& Message) {
    Code = Error_CD;
    Message = "owner failed";
  };
  EXPECT_EQ(IntError("Host"), "owner failed");
  EXPECT_EQ(Code, -1);
}

TEST(IntRules, ParseInt) {
  const struct {
    const char* Text;
    std::optional<std::int64_t> Value;
  } kCases[] = {
      {"12", 12},
      {"  +12", 12},
      {"-12", -12},
      {"00012", 12},
      {"$FF", 255},
      {"0x1f", 31},
      {"0X1F", 31},
      {"-$10", -16},
      {"-9223372036854775808", kMin},
      {"9223372036854775807", kMax},
      {"9223372036854775808", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"$7FFFFFFFFFFFFFFF", kMax},
      {"$8000000000000000", std::nullopt},
      {"-$8000000000000000", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"12 ", std::nullopt},
      {"12a", std::nullopt},
      {"1 2", std::nullopt},
      {"\t1", std::nullopt},
      {"- 1", std::nullopt},
      {"$-1", std::nullopt},
  };
  for (const auto& C : kCases) EXPECT_EQ(ppa_numbers::ParseInt(C.Text), C.Value) << C.Text;
}

TEST(IntRules, TruncateAndRound) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const double kInf = std::numeric_limits<double>::infinity();
  const struct {
    double X;
    std::int64_t Truncated, Rounded;
  } kCases[] = {
      {2.9, 2, 3},
      {-2.9, -2, -3},
      {2.5, 2, 2},
      {3.5, 3, 4},
      {-2.5, -2, -2},
      {-3.5, -3, -4},
      {0.5, 0, 0},
      {-0.5, 0, 0},
      {2.6, 2, 3},
      {4503599627370497.0, 4503599627370497, 4503599627370497},  // 2^52 + 1: no fraction left
      {9223372036854774784.0, 9223372036854774784, 9223372036854774784},  // the largest below 2^63
      {-9223372036854775808.0, kMin, kMin},
      {9223372036854775808.0, kMin, kMin},
      {-1e19, kMin, kMin},
      {kInf, kMin, kMin},
      {-kInf, kMin, kMin},
      {kNaN, kMin, kMin},
  };
  for (const auto& C : kCases) {
    EXPECT_EQ(ppa_numbers::Truncate(C.X), C.Truncated) << C.X;
    EXPECT_EQ(ppa_numbers::Round(C.X), C.Rounded) << C.X;
  }
}

// Deep nesting ends in the nesting error, not a stack overflow, and leaves the counter clean.
TEST_F(EvalTest, IntNestingLimit) {
  const std::string Deep = std::string(100000, '(') + "1" + std::string(100000, ')');
  EXPECT_EQ(IntError(Deep), Msg(m::kNestingTooDeep));
  EXPECT_EQ(IntError(std::string(100000, '-') + "1"), Msg(m::kNestingTooDeep));
  EXPECT_EQ(IntError(std::string(100000, '(') + "'1'"), Msg(m::kNestingTooDeep));
  EXPECT_EQ(PP.EvalInt("(((1)))"), 1);
  const std::string Fine = std::string(50, '(') + "1" + std::string(50, ')');
  EXPECT_EQ(PP.EvalInt(Fine), 1);
}

}  // namespace
