// HtmlToText beyond ASCII: in both system code pages, over texts that mix markup with double-byte
// characters, broken sequences and bytes the code page does not map, it must give what the UTF-16
// walk gives and what the in-place walk gives.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "html_reference.h"
#include "platform/platform.h"
#include "platform/posix/desktop.h"
#include "plugin/plugin_state.h"

namespace {

using platform::desktop::Locale;

// Failure messages show bytes outside printable ASCII as \xNN.
std::string Escaped(std::string_view S) {
  std::string R;
  for (const char C : S) {
    const auto B = static_cast<unsigned char>(C);
    if (B >= 0x20 && B < 0x7F) {
      R += C;
    } else {
      char Hex[5];
      std::snprintf(Hex, sizeof Hex, "\\x%02X", B);
      R += Hex;
    }
  }
  return R;
}

class HtmlToTextCodePages : public ::testing::TestWithParam<Locale> {
 protected:
  void SetUp() override {
    platform::desktop::Reset();
    platform::desktop::SetLocale(GetParam());
  }
  void TearDown() override { platform::desktop::Reset(); }

  static void ExpectBothWalks(const std::string& Html) {
    const std::string Text = HtmlToText(Html);
    EXPECT_EQ(Escaped(Text), Escaped(html_reference::WideHtmlToText(Html))) << Escaped(Html);
    EXPECT_EQ(Escaped(Text), Escaped(html_reference::Reference(Html))) << "in-place: " << Escaped(Html);
  }
};

// Text outside ASCII comes out as the code page's round trip through UTF-16 leaves it: bytes that do
// not map become "?", a lead byte that the next byte cannot complete becomes "?" while that byte
// still counts, and a character with two codes comes back under its preferred one.
TEST(HtmlToTextNonAscii, ComesOutAsTheCodePageRoundTripLeavesIt) {
  struct Case {
    Locale L;
    const char* Html;
    const char* Text;
  };
  const Case Cases[] = {
      {Locale::EnUS, "\x82\xA0<br>\xE9", "\x82\xA0\r\n\xE9"},
      {Locale::EnUS, "\x81\x8D\x8F\x90\x9D&amp;", "?????&"},
      {Locale::JaJP, "\x82\xA0<br>\x82\xA2", "\x82\xA0\r\n\x82\xA2"},
      {Locale::JaJP, "\x81<br>x", "?\r\nx"},
      {Locale::JaJP, "\x81&lt;", "?<"},
      {Locale::JaJP, "x\x81", "x?"},
      {Locale::JaJP, "\xED\x40 \x87\x90", "\xFA\x5C \x81\xE0"},
      {Locale::JaJP, "<TD\x82\x61>\xB1", "\r\n\xB1"},
      {Locale::JaJP, "<\x81\x40" "BR>x", "x"},  // an ideographic space is not a blank
  };
  for (const Case& C : Cases) {
    platform::desktop::Reset();
    platform::desktop::SetLocale(C.L);
    EXPECT_EQ(Escaped(HtmlToText(C.Html)), Escaped(C.Text)) << platform::CodePage() << ": " << Escaped(C.Html);
  }
  platform::desktop::Reset();
}

TEST_P(HtmlToTextCodePages, TrickyTexts) {
  using namespace std::string_literals;
  const std::vector<std::string> Tricky = {
      // Lead bytes of 932 before the characters that start or end something, and at the end.
      "\x81<br>x", "<br\x81>x", "\x81>", "<a\x81>b", "\x81&amp;", "&\x81" "amp;", "\x81\r\nx",
      "\x81 ", " \x81  x", "x\x81", "<p>\x81", "\x9F<", "\xFC>", "\xE0&lt;",
      // Well-formed double-byte characters, some with trail bytes that look like letters.
      "\x82\xA0<br>\x82\xA2", "<\x82\x60>x", "<B\x82R>x", "<TD\x82\x61>x", "<P\x81\x40x>y",
      "<\x81\x40" "BR>x", "<BR\x81\x40>x", "< \x82\xA0 >", "\x83\x41\x83\x43 \x83\x45",
      // Characters that do not convert back to the same bytes, half-width kana, unmapped bytes.
      "\xED\x40<br>\x87\x90", "<td>\xFA\x40\xB1\xDF", "\x80\xA0\xFD\xFE\xFF<p>",
      "\x81\x8D\x8F\x90\x9D<br>", "<\xE9>&nbsp;\xFF", "\x85\x40&lt;", "\xEB\x40\x40>",
      // Bytes above 0x7F at the edges of a tag name, which are not blanks.
      "<BR\xE9>x", "<\xA0P>x", "<td\x82\xA0 >x", "< \x81\x40/head>x",
      // NUL and control characters around tags.
      "<\0BR\0>x"s, "\0\x81\0"s, "<\x01P\x1F>y",
  };
  for (const std::string& T : Tricky) ExpectBothWalks(T);
}

// Texts built from pieces chosen at random, with a fixed seed so that a failure repeats.
class TextMaker {
 public:
  explicit TextMaker(unsigned Seed) : Gen(Seed) {}

  std::string Make(std::size_t Pieces) {
    static const char* const kAscii[] = {
        "<", ">", "&", ";", "/", " ", "  ", "\r", "\n", "\r\n", "\t", "br", "BR", "p", "P ", "td",
        "TD", "/head", "nbsp;", "lt;", "gt;", "quot;", "amp;", "x", "a", "@", "\\", "~",
    };
    static const char* const kDouble[] = {
        "\x82\xA0", "\x81\x40", "\x88\x9F", "\x83\x41", "\xB1", "\xDF", "\xED\x40", "\x87\x90",
        "\xFA\x40", "\xF0\x40", "\x82\x60", "\x81\x7E",
    };
    std::string T;
    for (; Pieces > 0; --Pieces) {
      switch (Pick(0, 9)) {
        case 0: T += static_cast<char>(Pick(0, 1) ? Pick(0x81, 0x9F) : Pick(0xE0, 0xFC)); break;  // a lead
        case 1: T += static_cast<char>(Pick(0, 1) ? Pick(0x40, 0x7E) : Pick(0x80, 0xFC)); break;  // a trail
        case 2: T += static_cast<char>(Pick(0x80, 0xFF)); break;
        case 3: T += kDouble[Pick(0, std::size(kDouble) - 1)]; break;
        case 4: T += static_cast<char>(Pick(0, 0x7F)); break;
        default: T += kAscii[Pick(0, std::size(kAscii) - 1)]; break;
      }
    }
    return T;
  }

 private:
  unsigned Pick(unsigned Low, unsigned High) { return std::uniform_int_distribution<unsigned>(Low, High)(Gen); }
  std::mt19937 Gen;
};

TEST_P(HtmlToTextCodePages, RandomShortTexts) {
  TextMaker Maker(20240612);
  for (int Round = 0; Round < 4000; ++Round) {
    ExpectBothWalks(Maker.Make(Round % 40));
    if (HasFailure()) return;
  }
}

// Long texts go far past any buffer or run the walk might keep; only the linear walk can check them.
TEST_P(HtmlToTextCodePages, RandomLongTexts) {
  TextMaker Maker(77);
  for (std::size_t Pieces : {20000u, 300000u}) {
    const std::string Html = Maker.Make(Pieces);
    const std::string Text = HtmlToText(Html);
    ASSERT_EQ(Text, html_reference::WideHtmlToText(Html)) << Pieces << " pieces";
  }
  // The same walk over pure ASCII, which needs no code-page conversion at all.
  std::string Ascii = Maker.Make(300000);
  for (char& C : Ascii) C = static_cast<char>(C & 0x7F);
  ASSERT_EQ(HtmlToText(Ascii), html_reference::WideHtmlToText(Ascii));
}

INSTANTIATE_TEST_SUITE_P(BothLocales, HtmlToTextCodePages, ::testing::Values(Locale::EnUS, Locale::JaJP),
                         [](const ::testing::TestParamInfo<Locale>& Info) {
                           return Info.param == Locale::EnUS ? std::string("Cp1252") : std::string("Cp932");
                         });

}  // namespace
