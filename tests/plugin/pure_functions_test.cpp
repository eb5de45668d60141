// The plug-in's pure functions: mail identifiers, HTML to text, line lists, host blocks, the error
// messages and the random generator.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "html_reference.h"
#include "platform/posix/desktop.h"
#include "plugin/plugin_state.h"
#include "plugin/ppa_sub.h"

namespace {

TEST(MailIdFromRef, Cases) {
  struct Case {
    const char* Ref;
    const char* Id;
  };
  const Case Cases[] = {
      {"abc>255", "abc?00000000000000FF"},
      {"folder>42", "folder?000000000000002A"},
      {"a\\b\\c>0", "a\\b\\c?0000000000000000"},
      {">7", "?0000000000000007"},          // an empty folder part
      {"f>-1", "f?00000000FFFFFFFF"},       // a negative number shows its 32-bit pattern
      {"f>$1F", "f?000000000000001F"},      // hexadecimal prefixes
      {"f>0x1f", "f?000000000000001F"},
      {"f>  12", "f?000000000000000C"},     // leading blanks
      {"f>2147483647", "f?000000007FFFFFFF"},
      {"f>-2147483648", "f?0000000080000000"},
      {"f>$FFFFFFFF", "f?00000000FFFFFFFF"},
      {"a>b>5", "nil"},                      // only the first ">" splits
      {"f>2147483648", "nil"},              // overflow
      {"f>$100000000", "nil"},
      {"f>12 ", "nil"},                      // nothing may follow the digits
      {"f>", "nil"},
      {"f>$", "nil"},
      {"", "nil"},
      {"abc", "nil"},
      {"123", "?000000000000000C"},         // no ">": the value but its last character
  };
  for (const Case& C : Cases) EXPECT_EQ(MailIdFromRef(C.Ref), C.Id) << C.Ref;
}

// ---- HTML to text ----

using html_reference::Reference;

class HtmlToTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::desktop::Reset();
    platform::desktop::SetLocale(platform::desktop::Locale::EnUS);
  }
  void TearDown() override { platform::desktop::Reset(); }
};

TEST_F(HtmlToTextTest, DocumentedResults) {
  struct Case {
    const char* Html;
    const char* Text;
  };
  const Case Cases[] = {
      {"<p>a&lt;b</p>", "\r\na<b"},
      {"x<br>y", "x\r\ny"},
      {"x<br/>y", "xy"},
      {"a\r\nb", "ab"},
      {"a   b", "a b"},
      {"&AMP;", "&AMP;"},
      {"&nbsp;&quot;&gt;&amp;lt;", " \">&lt;"},  // a replaced character is not looked at again
      {"<html><head><title>T</title></head><body>", "T\r\n"},
      {"<td>1<TD>2< td >3", "\r\n1\r\n2\r\n3"},
      {"<p class=x>a<P\tx>b", "\r\nab"},  // "P " begins a paragraph, "P" and a tab does not
      {"a > b < c", "a > b < c"},           // no closing ">" after the "<"
      {"a>b<c>d", "a>bd"},                  // a ">" before the "<" stays text
      {"<<b>>", ">"},                       // the second "<" is part of the first tag's name
      {"<B\r\nR>", "\r\n"},                 // the CR LF inside the tag is gone before the name is read
      {"", ""},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(HtmlToText(C.Html), C.Text) << C.Html;
    EXPECT_EQ(Reference(C.Html), C.Text) << "reference: " << C.Html;
  }
}

TEST_F(HtmlToTextTest, AgreesWithTheInPlaceWalk) {
  const std::vector<std::string> Tricky = {
      "a  \r\n b",   "  <p>  </p>  ", "<br  >x", "&&lt;&gt;", "&nbsp",     "<&lt;br>", "<a><b>",
      "<p\r\n>x",    "\r\r\n\n",      "<>",       "><",       "<P >x<P>y", "& amp;",   "a<br>\r\nb",
      "<td> <TD>  ", "   ",           "<",        ">",        "&",         "x<BR>",    "< / head >",
  };
  for (const std::string& T : Tricky) EXPECT_EQ(HtmlToText(T), Reference(T)) << T;

  // Random texts over the characters that matter, fixed seed so that a failure repeats.
  const std::string Alphabet = "<>&;/ \r\n\tnbsplatgquomBRPTDHEAdhex";
  std::mt19937 Gen(20240611);
  std::uniform_int_distribution<std::size_t> Pick(0, Alphabet.size() - 1), Length(0, 40);
  for (int Round = 0; Round < 3000; ++Round) {
    std::string T;
    for (std::size_t K = Length(Gen); K > 0; --K) T += Alphabet[Pick(Gen)];
    ASSERT_EQ(HtmlToText(T), Reference(T)) << T;
  }
}

TEST_F(HtmlToTextTest, LargeInputTakesLinearTime) {
  // Every character of these is deleted or edited by the in-place walk.
  std::string Html;
  for (int K = 0; K < 200000; ++K) Html += "<b>  &amp;\r\n";
  const std::string Text = HtmlToText(Html);
  EXPECT_EQ(Text.size(), 200000u * 2);
  EXPECT_EQ(Text.substr(0, 4), " & &");
}

// ---- Line lists and host blocks ----

TEST(LineLists, SplitRule) {
  struct Case {
    std::string Text;
    TLineList Lines;
  };
  const Case Cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
      {"\r\n\r\n", {"", ""}},
      {"a\n\rb", {"a", "", "b"}},  // LF then CR is two line ends
      {"a\r\r\nb", {"a", "", "b"}},
      {"\n", {""}},
      {"\r\r", {"", ""}},
      {"a\rb\r", {"a", "b"}},
      {std::string("a\nb\0c\nd", 7), {"a", "b"}},  // the text ends at its first NUL
      {std::string("\0a\n", 3), {}},
  };
  for (const Case& C : Cases) EXPECT_EQ(SplitLines(C.Text), C.Lines) << C.Text;
}

// Every text of up to seven characters from "a", CR, LF and NUL, against the rule applied a byte
// at a time.
TEST(LineLists, SplitAgreesWithTheByteByByteRule) {
  auto Reference = [](std::string_view Text) {
    Text = Text.substr(0, Text.find('\0'));
    TLineList Lines;
    std::size_t Start = 0;
    for (std::size_t I = 0; I < Text.size(); ++I) {
      const char C = Text[I];
      if (C != '\r' && C != '\n') continue;
      Lines.emplace_back(Text.substr(Start, I - Start));
      if (C == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') ++I;
      Start = I + 1;
    }
    if (Start < Text.size()) Lines.emplace_back(Text.substr(Start));
    return Lines;
  };
  const char Alphabet[] = {'a', '\r', '\n', '\0'};
  std::vector<std::string> Texts = {""};
  for (std::size_t From = 0; From < Texts.size(); ++From) {
    if (Texts[From].size() == 7) continue;
    for (char C : Alphabet) Texts.push_back(Texts[From] + C);
  }
  for (const std::string& Text : Texts) EXPECT_EQ(SplitLines(Text), Reference(Text)) << testing::PrintToString(Text);
}

TEST(LineLists, JoinPutsCrLfAfterEveryLine) {
  EXPECT_EQ(JoinLines({}), "");
  EXPECT_EQ(JoinLines({""}), "\r\n");
  EXPECT_EQ(JoinLines({"a", "b"}), "a\r\nb\r\n");
  EXPECT_EQ(SplitLines(JoinLines({"a", "", "b"})), (TLineList{"a", "", "b"}));
}

TEST(BlockText, StopsAtNulOrAtTheEnd) {
  const char Full[4] = {'a', 'b', 'c', 'd'};  // a host that filled the block to the end
  EXPECT_EQ(BlockText(Full, 4), "abcd");
  EXPECT_EQ(BlockText(Full, 2), "ab");
  EXPECT_EQ(BlockText("ab\0cd", 5), "ab");
  EXPECT_EQ(BlockText(nullptr, 16), "");
  EXPECT_EQ(BlockText(Full, 0), "");
}

// ---- Error messages and Rand ----

TEST(ErrorMessage, Table) {
  EXPECT_EQ(TPPASub::ErrorMessage(1), "Error occured in procedure println\n\r\n\rThis will terminate VESK");
  EXPECT_EQ(TPPASub::ErrorMessage(10), "Error occured in procedure SaveMsgToFile\n\r\n\rThis will terminate VESK");
  EXPECT_EQ(TPPASub::ErrorMessage(22), "Error occured in function FileExists\n\r\n\rThis will terminate VESK");
  EXPECT_EQ(TPPASub::ErrorMessage(43), "Error occured in function CompGetHeader\n\r\n\rThis will terminate VESK");
  EXPECT_EQ(TPPASub::ErrorMessage(91), "Error occured in procedure Attach\n\r\n\rFile Not Exist");
  EXPECT_EQ(TPPASub::ErrorMessage(-1), "Undefined function / procedure call");
  EXPECT_EQ(TPPASub::ErrorMessage(11), "Error code 11\n\r\n\rThis will terminate VESK");
  EXPECT_EQ(TPPASub::ErrorMessage(0), "Error code 0\n\r\n\rThis will terminate VESK");
}

TEST(Rand, RangeAndSequence) {
  RandSeed(0);
  // seed 0 -> 1 -> 134775814: the high halves of 10 * seed.
  EXPECT_EQ(RandomInt(10), 0);
  EXPECT_EQ(RandomInt(1 << 30), static_cast<std::int32_t>((std::uint64_t{1} << 30) * 134775814u >> 32));
  RandSeed(12345);
  for (int K = 0; K < 1000; ++K) {
    EXPECT_EQ(RandomInt(1), 0);
    EXPECT_EQ(RandomInt(0), 0);
    const std::int32_t R = RandomInt(10);
    EXPECT_GE(R, 0);
    EXPECT_LT(R, 10);
  }
}

}  // namespace
