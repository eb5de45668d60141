// The 27 built-in routines: tables of calls and their results, then the ones that reach the
// platform (code pages, dialogs, processes, the message pump, sleeping).
#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>

#include "interpreter/numbers.h"
#include "platform/posix/desktop.h"
#include "tests/interpreter/eval_support.h"

namespace {

using ppa_test::Msg;
namespace m = ppa_messages;
namespace desktop = platform::desktop;

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

class BuiltinTest : public ppa_test::EvalTest {
 protected:
  void TearDown() override { desktop::Reset(); }

  void Call(std::string_view Statement) {
    TPPAParser P(Statement);
    const std::string Name = P.Token();
    P.Next();
    PP.CallProc(P, Name);
  }
};

TEST_F(BuiltinTest, StringFunctions) {
  const struct {
    const char* Call;
    std::string Result;
  } kCases[] = {
      {"Copy('abcdef', 2, 3)", "bcd"},
      {"Copy('abc', 0, 2)", "ab"},
      {"Copy('abc', -5, 2)", "ab"},
      {"Copy('abc', 4, 1)", ""},
      {"Copy('abc', 2, -1)", ""},
      {"Copy('abc', 2, 99)", "bc"},
      {"Copy('', 1, 1)", ""},
      {"Copy('abc', 4294967298, 1)", "b"},  // positions are the low 32 bits
      {"Copy('abc', 1, 4294967295)", ""},   // ... signed: a length of -1
      {"Delete('abcdef', 2, 3)", "aef"},
      {"Delete('abc', 0, 1)", "abc"},
      {"Delete('abc', 4, 1)", "abc"},
      {"Delete('abc', 2, 0)", "abc"},
      {"Delete('abc', 2, 99)", "a"},
      {"Insert('X', 'abc', 2)", "aXbc"},
      {"Insert('X', 'abc', 0)", "Xabc"},
      {"Insert('X', 'abc', 4)", "abcX"},
      {"Insert('X', 'abc', 10)", "abcX"},
      {"Insert('', 'abc', 2)", "abc"},
      {"Insert('X', '', 5)", "X"},
      {"IntToStr(-42)", "-42"},
      {"IntToStr(-9223372036854775807 - 1)", "-9223372036854775808"},
      {"LowerCase('AbC1')", "abc1"},
      {"UpperCase('aBc1')", "ABC1"},
      {"Trim(#9' a b '#1#32)", "a b"},
      {"TrimLeft('  a ')", "a "},
      {"TrimRight('  a ')", "  a"},
      {"Trim('   ')", ""},
      {"FloatToStr(1.5)", "1.5"},
      {"FloatToStr(7 / 2)", "3.5"},
  };
  for (const auto& C : kCases) EXPECT_EQ(PP.EvalStr(C.Call), C.Result) << C.Call;
}

TEST(BuiltinFloatToStr, GeneralFormat) {
  const double kInf = std::numeric_limits<double>::infinity();
  const struct {
    double Value;
    const char* Text;
  } kCases[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {100.0, "100"},
      {-2.25, "-2.25"},
      {0.1 + 0.2, "0.3"},  // 15 digits hide the binary error
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {999999999999999.0, "999999999999999"},
      {1e15, "1E15"},
      {1e20, "1E20"},
      {123456789012345678.0, "1.23456789012346E17"},
      {0.0001, "0.0001"},
      {0.00001, "0.00001"},
      {0.000015, "0.000015"},
      {0.000001, "1E-6"},
      {0.00000015, "1.5E-7"},
      {-1.5e-300, "-1.5E-300"},
      {kInf, "INF"},
      {-kInf, "-INF"},
      {std::numeric_limits<double>::quiet_NaN(), "NAN"},
  };
  for (const auto& C : kCases) EXPECT_EQ(ppa_numbers::FormatReal(C.Value), C.Text) << C.Text;
}

TEST_F(BuiltinTest, IntegerFunctions) {
  const struct {
    const char* Call;
    std::int64_t Result;
  } kCases[] = {
      {"CompareStr('a', 'b')", -1},
      {"CompareStr('b', 'a')", 1},
      {"CompareStr('a', 'a')", 0},
      {"Length('abc')", 3},
      {"Length('')", 0},
      {"Length('x'#0'y')", 1},  // a string argument ends at its first NUL
      {"Pos('b', 'abc')", 2},
      {"Pos('c', 'abcabc')", 3},
      {"Pos('', 'abc')", 0},
      {"Pos('x', 'abc')", 0},
      {"Pos('abc', '')", 0},
      {"StrToInt('12a')", 0},
      {"StrToInt('$FF')", 255},
      {"StrToInt(' 12')", 12},
      {"StrToInt('0x10')", 16},
      {"StrToInt('9223372036854775808')", 0},
      {"StrToInt('-9223372036854775808')", kMin},
      {"Trunc(-2.7)", -2},
      {"Trunc(2.7)", 2},
      {"Round(2.5)", 2},
      {"Round(3.5)", 4},
      {"Round(-2.5)", -2},
      {"Round(2.6)", 3},
      {"Trunc(1e30)", kMin},
      {"Round(1 / 0)", kMin},
  };
  for (const auto& C : kCases) EXPECT_EQ(PP.EvalInt(C.Call), C.Result) << C.Call;
}

TEST_F(BuiltinTest, RealFunctions) {
  const struct {
    const char* Call;
    double Result;
  } kCases[] = {
      {"Int(-2.5)", -2.0},
      {"Int(2.5)", 2.0},
      {"Frac(-2.5)", -0.5},
      {"Frac(2.75)", 0.75},
      {"StrToFloat('abc')", 0.0},
      {"StrToFloat(' 2.5 ')", 2.5},
      {"StrToFloat('1e3')", 1000.0},
      {"StrToFloat('2,5')", 0.0},
  };
  for (const auto& C : kCases) EXPECT_EQ(PP.EvalReal(C.Call), C.Result) << C.Call;
  EXPECT_TRUE(std::isnan(PP.EvalReal("Frac(1 / 0)")));
}

TEST_F(BuiltinTest, IsDefine) {
  EXPECT_EQ(PP.EvalInt("IsDefine('DEBUG')"), 0);
  PP.Define = {"Trace", "DEBUG"};
  EXPECT_EQ(PP.EvalInt("IsDefine('debug')"), -1);
  EXPECT_EQ(PP.EvalInt("IsDefine('TRACE')"), -1);
  EXPECT_EQ(PP.EvalInt("IsDefine('DEBUG ')"), 0);
  EXPECT_EQ(PP.EvalInt("IsDefine('')"), 0);
}

// Under code page 932 the bytes of double-byte characters are left alone and counted as bytes.
TEST_F(BuiltinTest, DoubleByteTextUnderCodePage932) {
  ASSERT_EQ(platform::CodePage(), 932);
  EXPECT_EQ(PP.EvalStr("UpperCase('b'#$83'a')"), "B\x83" "a");  // 'a' is the trail byte here
  EXPECT_EQ(PP.EvalStr("LowerCase('A'#$82'A')"), "a\x82" "A");
  EXPECT_EQ(PP.EvalInt("Pos('a', #$83'a')"), 0);
  EXPECT_EQ(PP.EvalInt("Pos('a', #$83'aa')"), 3);
  EXPECT_EQ(PP.EvalInt("Length(#$82#$A0#$82#$A2)"), 4);
}

TEST_F(BuiltinTest, AccentedLettersUnderCodePage1252) {
  desktop::SetLocale(desktop::Locale::EnUS);
  ASSERT_EQ(platform::CodePage(), 1252);
  EXPECT_EQ(PP.EvalStr("UpperCase('caf'#$E9)"), "CAF\xC9");
  EXPECT_EQ(PP.EvalStr("LowerCase(#$C0'B')"), "\xE0" "b");
  EXPECT_EQ(PP.EvalInt("Pos('a', #$83'a')"), 2);  // no double-byte characters here
}

TEST_F(BuiltinTest, InputBoxAndMessageBox) {
  const platform::WindowHandle Active = desktop::CreateWindow({"Main", "Main", {}, 0, 0, {}});
  desktop::SetActiveWindow(Active);
  std::vector<desktop::DialogRequest> Requests;
  std::optional<std::string> Typed = "typed";
  desktop::SetDialogHandler([&](const desktop::DialogRequest& R) {
    Requests.push_back(R);
    desktop::DialogAnswer A;
    const bool Ok = R.Type == desktop::DialogRequest::Kind::InputBox && Typed;
    A.Button = Ok ? platform::IDOK : platform::IDCANCEL;
    A.Input = Typed;
    return A;
  });
  EXPECT_EQ(PP.EvalStr("InputBox('Title', 'Prompt', 'preset')"), "typed");
  Typed.reset();  // Cancel
  EXPECT_EQ(PP.EvalStr("InputBox('Title', 'Prompt', 'preset')"), "preset");
  EXPECT_EQ(PP.EvalInt("MessageBox('Text', 'Caption', $100000024)"), platform::IDCANCEL);
  ASSERT_EQ(Requests.size(), 3u);
  EXPECT_EQ(Requests[0].Caption, "Title");
  EXPECT_EQ(Requests[0].Text, "Prompt");
  EXPECT_EQ(Requests[0].Default, "preset");
  EXPECT_EQ(Requests[2].Owner, Active);
  EXPECT_EQ(Requests[2].Text, "Text");
  EXPECT_EQ(Requests[2].Caption, "Caption");
  EXPECT_EQ(Requests[2].Flags, 0x24u);  // the low 32 bits
}

// A real child process: the command line is the quoted path, a blank, then CmdLine.
TEST_F(BuiltinTest, ExecAndShell) {
  EXPECT_EQ(PP.EvalInt("Exec('/bin/sh', '-c \"exit 7\"', True)"), 7);
  EXPECT_EQ(PP.EvalInt("Exec('/bin/sh', '-c \"exit 255\"', True)"), 255);
  EXPECT_EQ(PP.EvalInt("Exec('/no/such/program', '', True)"), 0);
  const auto Start = std::chrono::steady_clock::now();
  EXPECT_EQ(PP.EvalInt("Exec('/bin/sh', '-c \"sleep 1\"', 0)"), -1);
  EXPECT_EQ(PP.EvalInt("Exec('/bin/sh', '-c \"exit 7\"', 1)"), -1);  // only True waits
  EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::milliseconds(500));
  EXPECT_GT(PP.EvalInt("Shell('/bin/true', '')"), 32);
  EXPECT_LE(PP.EvalInt("Shell('/no/such/program', '')"), 32);
}

TEST_F(BuiltinTest, SleepRefusesForever) {
  EXPECT_EQ(ppa_test::ErrorOf([&] { Call("Sleep(-1)"); }), Msg(m::kInfiniteSleep, "Sleep"));
  EXPECT_EQ(ppa_test::ErrorOf([&] { Call("Sleep($1FFFFFFFF)"); }), Msg(m::kInfiniteSleep, "Sleep"));
  const auto Start = std::chrono::steady_clock::now();
  Call("Sleep(4294967296 + 30)");  // the low 32 bits: 30 ms
  const auto Slept = std::chrono::steady_clock::now() - Start;
  EXPECT_GE(Slept, std::chrono::milliseconds(30));
  EXPECT_LT(Slept, std::chrono::seconds(5));
}

TEST_F(BuiltinTest, ProcessMessagesDeliversWhatIsQueued) {
  int Delivered = 0;
  const platform::WindowHandle W = desktop::CreateWindow(
      {"Sink", "", {}, 0, 0, [&](platform::WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) {
         ++Delivered;
         return std::intptr_t{0};
       }});
  desktop::PostMessage(W, 0x400, 0, 0);
  desktop::PostMessage(W, 0x400, 0, 0);
  Call("ProcessMessages");
  EXPECT_EQ(Delivered, 2);
}

// Pause calls PauseProc, then waits for messages until something clears Paused -- without spinning.
TEST_F(BuiltinTest, PauseWaitsWithoutSpinning) {
  int PauseCalls = 0;
  PP.PauseProc = [&] {
    ++PauseCalls;
    EXPECT_EQ(PP.Paused, 1);
  };
  int Ticks = 0;
  desktop::SetTimer(std::chrono::milliseconds(50), [&] {
    if (++Ticks == 4) PP.Paused = 0;
  });
  const std::clock_t Cpu = std::clock();
  const auto Start = std::chrono::steady_clock::now();
  Call("Pause");
  const double CpuSeconds = static_cast<double>(std::clock() - Cpu) / CLOCKS_PER_SEC;
  EXPECT_EQ(PauseCalls, 1);
  EXPECT_EQ(Ticks, 4);
  EXPECT_GE(std::chrono::steady_clock::now() - Start, std::chrono::milliseconds(200));
  EXPECT_LT(CpuSeconds, 0.1);
}

}  // namespace
