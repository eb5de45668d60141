#include <gtest/gtest.h>

#include "platform/posix/desktop.h"

namespace {

using platform::desktop::Locale;

class Text : public ::testing::Test {
 protected:
  void SetUp() override { platform::desktop::Reset(); }
  void TearDown() override { platform::desktop::Reset(); }
};

struct CaseRow {
  Locale L;
  const char* In;
  const char* Upper;
  const char* Lower;
};

TEST_F(Text, CaseMappingFollowsTheCodePage) {
  const CaseRow Rows[] = {
      {Locale::JaJP, "abc XYZ 09", "ABC XYZ 09", "abc xyz 09"},
      // 0x83 0x61 is one character whose trail byte looks like 'a'; 0x82 0x60 likewise for '`'.
      {Locale::JaJP, "a\x83\x61z", "A\x83\x61Z", "a\x83\x61z"},
      {Locale::JaJP, "\x83\x41Q", "\x83\x41Q", "\x83\x41q"},
      // Half-width kana and a lead byte cut off at the end are single bytes and stay.
      {Locale::JaJP, "\xb1x\x83", "\xb1X\x83", "\xb1x\x83"},
      // 1252: accented letters map, the multiplication and division signs do not.
      {Locale::EnUS, "\xe0\xe9\xfe\xf7\xd7", "\xc0\xc9\xde\xf7\xd7", "\xe0\xe9\xfe\xf7\xd7"},
      {Locale::EnUS, "\x9a\x9c\x9e\xff", "\x8a\x8c\x8e\x9f", "\x9a\x9c\x9e\xff"},
      {Locale::EnUS, "\x8a\x8c\x8e\x9f\xc0", "\x8a\x8c\x8e\x9f\xc0", "\x9a\x9c\x9e\xff\xe0"},
      // In 1252 0x83 is no lead byte: the 'a' after it maps.
      {Locale::EnUS, "\x83\x61", "\x83\x41", "\x83\x61"},
      // ASCII first, then the code page's own letters.
      {Locale::EnUS, "Ab\xe0\x9a" "C", "AB\xc0\x8a" "C", "ab\xe0\x9a" "c"},
      {Locale::JaJP, "Ab\x83\x61\x82\x60" "C", "AB\x83\x61\x82\x60" "C", "ab\x83\x61\x82\x60" "c"},
  };
  for (const CaseRow& R : Rows) {
    platform::desktop::SetLocale(R.L);
    EXPECT_EQ(platform::AnsiUpperCase(R.In), R.Upper) << R.In;
    EXPECT_EQ(platform::AnsiLowerCase(R.In), R.Lower) << R.In;
    std::string InPlace = R.In;
    platform::AnsiUpperCaseInPlace(InPlace.data(), InPlace.size());
    EXPECT_EQ(InPlace, R.Upper) << R.In;
  }
}

TEST_F(Text, CodePageFollowsTheLocale) {
  EXPECT_EQ(platform::CodePage(), 932);
  EXPECT_TRUE(platform::IsLeadByte(0x81));
  EXPECT_TRUE(platform::IsLeadByte(0xFC));
  EXPECT_FALSE(platform::IsLeadByte(0xA1));
  platform::desktop::SetLocale(Locale::EnUS);
  EXPECT_EQ(platform::CodePage(), 1252);
  EXPECT_FALSE(platform::IsLeadByte(0x81));
}

struct CompareRow {
  Locale L;
  const char* A;
  const char* B;
  int Str;   // sign of AnsiCompareStr
  int Text;  // sign of AnsiCompareText
};

int Sign(int V) { return V < 0 ? -1 : V > 0 ? 1 : 0; }

TEST_F(Text, ComparisonIsLocaleLike) {
  const CompareRow Rows[] = {
      {Locale::JaJP, "abc", "abc", 0, 0},
      {Locale::JaJP, "", "", 0, 0},
      {Locale::JaJP, "", "a", -1, -1},
      {Locale::JaJP, "a", "A", -1, 0},  // lower case first, as the word sort does
      {Locale::JaJP, "B", "a", 1, 1},   // case folded first: not byte order
      {Locale::JaJP, "Ab", "aC", -1, -1},
      {Locale::JaJP, "aB", "Ab", -1, 0},  // the first case difference decides
      {Locale::JaJP, "abc", "ab", 1, 1},
      {Locale::JaJP, "_", "a", -1, -1},
      {Locale::JaJP, "{", "0", -1, -1},  // symbols before digits before letters
      {Locale::JaJP, "9", "a", -1, -1},
      {Locale::JaJP, "z", "\xb1", -1, -1},          // half-width kana after letters
      {Locale::JaJP, "\xb1", "\x82\xa0", -1, -1},  // double-byte characters last
      // Double-byte characters compare as units; their trail bytes are not folded.
      {Locale::JaJP, "\x83\x41", "\x83\x61", -1, -1},
      {Locale::JaJP, "\x88\x9f", "\x88\x9f", 0, 0},
      {Locale::EnUS, "\xe9", "\xc9", -1, 0},  // e acute, both cases
      {Locale::EnUS, "e", "\xe9", -1, -1},    // accents after the plain letter...
      {Locale::EnUS, "\xe9", "f", -1, -1},    // ...but before the next letter
      {Locale::EnUS, "\xe9z", "ea", 1, 1},    // the letters decide before the accents
      {Locale::EnUS, "\x8a", "\x9a", 1, 0},
  };
  for (const CompareRow& R : Rows) {
    platform::desktop::SetLocale(R.L);
    EXPECT_EQ(Sign(platform::AnsiCompareStr(R.A, R.B)), R.Str) << R.A << " / " << R.B;
    EXPECT_EQ(Sign(platform::AnsiCompareStr(R.B, R.A)), -R.Str) << R.B << " / " << R.A;
    EXPECT_EQ(Sign(platform::AnsiCompareText(R.A, R.B)), R.Text) << R.A << " / " << R.B;
    EXPECT_EQ(Sign(platform::AnsiCompareText(R.B, R.A)), -R.Text) << R.B << " / " << R.A;
  }
}

TEST_F(Text, AnsiPosSkipsTrailBytes) {
  struct Row {
    Locale L;
    const char* Sub;
    const char* S;
    std::size_t Pos;
  } Rows[] = {
      {Locale::JaJP, "b", "abc", 2},
      {Locale::JaJP, "", "abc", 0},
      {Locale::JaJP, "x", "", 0},
      {Locale::JaJP, "abcd", "abc", 0},
      {Locale::JaJP, "A", "\x83\x41", 0},       // only a trail byte matches
      {Locale::JaJP, "A", "\x83\x41" "A", 3},   // the next occurrence counts
      {Locale::JaJP, "\x41\x83", "\x83\x41\x83\x41", 0},
      {Locale::JaJP, "\x83\x41", "x\x83\x41", 2},
      {Locale::EnUS, "A", "\x83\x41", 2},  // no double-byte characters in 1252
  };
  for (const Row& R : Rows) {
    platform::desktop::SetLocale(R.L);
    EXPECT_EQ(platform::AnsiPos(R.Sub, R.S), R.Pos) << R.Sub << " in " << R.S;
  }
}

TEST_F(Text, ConversionsRoundTrip) {
  // "日本語 abc" in 932 and the same in UTF-8.
  const std::string Sjis = "\x93\xfa\x96\x7b\x8c\xea abc";
  const std::string Utf8 = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e abc";
  EXPECT_EQ(platform::ToUtf8(Sjis), Utf8);
  EXPECT_EQ(platform::FromUtf8(Utf8), Sjis);
  EXPECT_EQ(platform::ToUtf16(Sjis), u"日本語 abc");
  EXPECT_EQ(platform::FromUtf16(u"日本語 abc"), Sjis);
  EXPECT_EQ(platform::ToUtf8(""), "");

  platform::desktop::SetLocale(Locale::EnUS);
  const std::string Latin = "caf\xe9 \x80";  // café €
  EXPECT_EQ(platform::ToUtf8(Latin), "caf\xc3\xa9 \xe2\x82\xac");
  EXPECT_EQ(platform::FromUtf8(platform::ToUtf8(Latin)), Latin);
  EXPECT_EQ(platform::FromUtf16(platform::ToUtf16(Latin)), Latin);
}

// Pure ASCII skips the converter; the converter, made to run by one more character, must agree.
TEST_F(Text, AsciiConvertsAsTheConverterDoes) {
  std::string Ascii;
  for (int C = 0; C < 0x80; ++C) Ascii += static_cast<char>(C);
  const std::u16string Wide(Ascii.begin(), Ascii.end());
  for (const Locale L : {Locale::JaJP, Locale::EnUS}) {
    platform::desktop::SetLocale(L);
    const std::string Extra = L == Locale::JaJP ? "\x93\xfa" : "\xe9";  // 日 or é
    const std::u16string ExtraWide = L == Locale::JaJP ? u"日" : u"é";
    EXPECT_EQ(platform::ToUtf16(Ascii), Wide);
    EXPECT_EQ(platform::ToUtf16(Ascii + Extra), Wide + ExtraWide);
    EXPECT_EQ(platform::FromUtf16(Wide), Ascii);
    EXPECT_EQ(platform::FromUtf16(Wide + ExtraWide), Ascii + Extra);
    const std::string ExtraUtf8 = L == Locale::JaJP ? "\xe6\x97\xa5" : "\xc3\xa9";
    EXPECT_EQ(platform::ToUtf8(Ascii), Ascii);
    EXPECT_EQ(platform::ToUtf8(Ascii + Extra), Ascii + ExtraUtf8);
    EXPECT_EQ(platform::FromUtf8(Ascii), Ascii);
    EXPECT_EQ(platform::FromUtf8(Ascii + ExtraUtf8), Ascii + Extra);
  }
}

TEST_F(Text, BadInputBecomesQuestionMarks) {
  // 932: a lead byte cut off, and a lead byte with an impossible trail byte.
  EXPECT_EQ(platform::ToUtf8("a\x83"), "a?");
  EXPECT_EQ(platform::ToUtf8(std::string("\x81\x7f", 2)).front(), '?');
  EXPECT_EQ(platform::FromUtf8("\xe2\x82\xac"), "?");  // no euro sign in 932
  EXPECT_EQ(platform::FromUtf8("x\xff" "y"), "x?y");    // invalid UTF-8
  EXPECT_EQ(platform::FromUtf8("\xe6\x97"), "?");      // cut off
  const std::u16string LoneSurrogate(1, static_cast<char16_t>(0xD800));
  EXPECT_EQ(platform::FromUtf16(LoneSurrogate + u"a"), "?a");
  platform::desktop::SetLocale(Locale::EnUS);
  EXPECT_EQ(platform::FromUtf8("\xe6\x97\xa5"), "?");
  EXPECT_EQ(platform::ToUtf8("\x81"), "?");  // undefined in 1252
}

}  // namespace
