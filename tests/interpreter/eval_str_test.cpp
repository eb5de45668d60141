// The string evaluator and literal decoding, in the shape of the integer evaluator's tests.
#include "tests/interpreter/eval_support.h"

namespace {

using ppa_test::ErrorCase;
using ppa_test::EvalTest;
using ppa_test::Msg;
namespace m = ppa_messages;

TEST_F(EvalTest, StrValues) {
  const struct {
    const char* Text;
    std::string Value;
  } kCases[] = {
      {"'ab' + 'cd'", "abcd"},
      {"'ab' 'cd'", "abcd"},
      {"'a'#13#10'b'", "a\r\nb"},
      {"'x' + #$41", "xA"},
      {"#65#066", "AB"},
      {"t 'y'", "abcy"},
      {"('ab' + 'c') + 'd'", "abcd"},
      {"(('x'))", "x"},
      // Comparisons give "-1" and "0", bytes compared unsigned and case-sensitive.
      {"'abc' = 'abc'", "-1"},
      {"'abc' = 'ABC'", "0"},
      {"'ab' < 'abc'", "-1"},
      {"'b' > 'abc'", "-1"},
      {"#128 > 'z'", "-1"},
      {"'a' <> 'a'", "0"},
      {"'a' = 'a' + 'b'", "0"},  // the sum is formed first
      {"'b' = 'b' = '-1'", "-1"},
      {"IntToStr(5) + 'x'", "5x"},
      {"Nil + 'x'", "x"},
      {"'a' 5", "a"},  // what follows the expression is not read
      {"'a' + 'b' ) 'c'", "ab"},
  };
  for (const auto& C : kCases) EXPECT_EQ(PP.EvalStr(C.Text), C.Value) << C.Text;
}

TEST_F(EvalTest, StrErrors) {
  const ErrorCase kCases[] = {
      {"5", m::kSyntaxError, "5"},
      {"-'a'", m::kSyntaxError, "-"},
      {"'a' +", m::kSyntaxError, ""},
      {")", m::kSyntaxError, ""},
      {"i", m::kWrongVariableType, "i"},
      {"'a' + r", m::kWrongVariableType, "r"},
      {"Length('a')", m::kWrongResultType, "Length"},
      {"t + u", m::kUndefinedName, "u"},
      {"('a'", m::kMissingRightParen, ""},
      {"#", m::kNotAValidInteger, ""},
      {"#$", m::kNotAValidInteger, "0x"},
  };
  for (const auto& C : kCases) EXPECT_EQ(StrError(C.Text), Msg(C.Pattern, C.Arg)) << C.Text;
}

TEST(StrLiterals, DecodeLiteral) {
  const struct {
    const char* Text;
    std::string Value;
  } kCases[] = {
      {"", ""},
      {"'abc'", "abc"},
      {"''", ""},
      {"'", ""},
      {"'it''s'", "it's"},
      {"''''", "'"},
      {"'a''''b'", "a''b"},
      {"'abc", "'abc"},  // no closing quote: the opening one stays
      {"#65", "A"},
      {"#065", "A"},
      {"#1000", "d"},  // only three digits count
      {"#$41", "A"},
      {"#$4142", ""},  // $414 is beyond a byte
      {"#255", "\xFF"},
      {"#$FF", "\xFF"},
      {"#256", ""},
  };
  for (const auto& C : kCases) EXPECT_EQ(TPoorPascal::DecodeLiteral(C.Text), C.Value) << C.Text;
  EXPECT_EQ(TPoorPascal::DecodeLiteral("#0"), std::string(1, '\0'));
}

TEST_F(EvalTest, StrHostValue) {
  PP.AddStrValue("Host", "stored", 0, 1, 9);
  PP.StrObjParam = [](const std::string& Name, std::int32_t Index, std::uint8_t Mode, std::int32_t& Err_CD,
                      std::string& Value) {
    EXPECT_EQ(Name, "Host");
    EXPECT_EQ(Index, 9);
    EXPECT_EQ(Mode, 0);
    Value += "+owner";
    Err_CD = 0;
  };
  EXPECT_EQ(PP.EvalStr("host '!'"), "stored+owner!");

  PP.StrObjParam = [](const std::string&, std::int32_t, std::uint8_t, std::int32_t& Err_CD, std::string&) {
    Err_CD = 3;
  };
  std::int32_t Code = 0;
  PP.ErrorProc = [&](std::int32_t Error_CD, std::string& Message) {
    Code = Error_CD;
    Message = "owner failed";
  };
  EXPECT_EQ(StrError("Host"), "owner failed");
  EXPECT_EQ(Code, 3);
}

// A string may not grow beyond the interpreter's limit: doubling one in a loop ends in an error.
TEST_F(EvalTest, StrLengthLimit) {
  AddValue("Half", pvString).StrValue.assign(TPoorPascal::kMaxStringLength / 2 + 1, 'x');
  EXPECT_EQ(StrError("Half + Half"), Msg(m::kOutOfMemory));
  EXPECT_EQ(StrError("Insert(Half, Half, 1)"), Msg(m::kOutOfMemory));
}

TEST_F(EvalTest, StrNestingLimit) {
  const std::string Deep = std::string(100000, '(') + "'a'" + std::string(100000, ')');
  EXPECT_EQ(StrError(Deep), Msg(m::kNestingTooDeep));
  EXPECT_EQ(PP.EvalStr("((('a')))"), "a");
}

}  // namespace
