#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "interpreter/scanner.h"
#include "platform/posix/desktop.h"

namespace {

using Tokens = std::vector<std::pair<TPPATokenKind, std::string>>;

Tokens Scan(std::string_view Text) {
  Tokens Out;
  TPPAParser P(Text);
  for (int Guard = 0; !P.AtEnd() && Guard < 1000; ++Guard) {
    Out.emplace_back(P.Kind, P.Token());
    P.Next();
  }
  return Out;
}

struct Case {
  const char* Text;
  Tokens Expected;
};

TEST(Scanner, SplitsTextsIntoTokens) {
  const Case Cases[] = {
      {"  x:=1.5e+3;//note",
       {{ptIdent, "x"}, {ptPair, ":="}, {ptReal, "1.5e+3"}, {ptSymbol, ";"}, {ptComment, "//note"}}},
      {"a<=b<>c", {{ptIdent, "a"}, {ptPair, "<="}, {ptIdent, "b"}, {ptPair, "<>"}, {ptIdent, "c"}}},
      {"a< =b", {{ptIdent, "a"}, {ptSymbol, "<"}, {ptSymbol, "="}, {ptIdent, "b"}}},
      {"x>=y..z", {{ptIdent, "x"}, {ptPair, ">="}, {ptIdent, "y"}, {ptPair, ".."}, {ptIdent, "z"}}},
      {"'it''s' x", {{ptString, "'it''s'"}, {ptIdent, "x"}}},
      {"'abc\r\nnext", {{ptString, "'abc\r\nnext"}}},
      {"'ab'#13#10", {{ptString, "'ab'"}, {ptString, "#13"}, {ptString, "#10"}}},
      {"# #$ #$1f", {{ptString, "#"}, {ptString, "#$"}, {ptString, "#$1f"}}},
      {"$ $fF0g", {{ptInteger, "$"}, {ptInteger, "$fF0"}, {ptIdent, "g"}}},
      {"1..5", {{ptInteger, "1"}, {ptPair, ".."}, {ptInteger, "5"}}},
      {"1.5 1.E5 1e5 2.5E-1", {{ptReal, "1.5"}, {ptReal, "1.E5"}, {ptReal, "1e5"}, {ptReal, "2.5E-1"}}},
      {"1Ex 1E+", {{ptReal, "1E"}, {ptIdent, "x"}, {ptReal, "1E+"}}},
      {"1.x", {{ptInteger, "1"}, {ptSymbol, "."}, {ptIdent, "x"}}},
      {".5", {{ptSymbol, "."}, {ptInteger, "5"}}},
      {"12ab 0x1F a1b2_", {{ptInteger, "12"}, {ptIdent, "ab"}, {ptInteger, "0"}, {ptIdent, "x1F"}, {ptIdent, "a1b2_"}}},
      {"_a\t\x01\x1f" "b", {{ptIdent, "_a"}, {ptIdent, "b"}}},
      {"{ (* / /", {{ptSymbol, "{"}, {ptSymbol, "("}, {ptSymbol, "*"}, {ptSymbol, "/"}, {ptSymbol, "/"}}},
      {"a//c\nb", {{ptIdent, "a"}, {ptComment, "//c"}, {ptIdent, "b"}}},
      // Bytes of 128 and more: one symbol each outside literals, carried inside them.
      {"\x82\xA0'\x82\xA0'//\x82\xA0", {{ptSymbol, "\x82"}, {ptSymbol, "\xA0"}, {ptString, "'\x82\xA0'"}, {ptComment, "//\x82\xA0"}}},
  };
  for (const Case& C : Cases) EXPECT_EQ(Scan(C.Text), C.Expected) << C.Text;
}

TEST(Scanner, EmptyTextAndEndAreStable) {
  TPPAParser Empty("");
  EXPECT_EQ(Empty.Kind, ptEnd);
  EXPECT_EQ(Empty.Token(), "");
  EXPECT_EQ(Empty.Position(), 0);

  TPPAParser P("a ");
  EXPECT_EQ(P.Next(), ptEnd);
  EXPECT_EQ(P.Position(), 2);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(P.Next(), ptEnd);
  EXPECT_EQ(P.Token(), "");
}

TEST(Scanner, TextEndsAtFirstNulAndIsCopied) {
  std::string Text("a\0b", 3);
  TPPAParser P(Text);
  Text = "zzz";  // the scanner reads its own copy
  EXPECT_EQ(P.Token(), "a");
  EXPECT_EQ(P.Next(), ptEnd);
  EXPECT_EQ(P.Rest(), "");
}

TEST(Scanner, AcceptIgnoresCaseAndKeepsPositionOnFailure) {
  for (const char* Word : {"end", "End", "END"}) {
    TPPAParser P(std::string(Word) + " x");
    EXPECT_TRUE(P.Accept("END")) << Word;
    EXPECT_EQ(P.Token(), "x");
  }
  TPPAParser P("  <= y");
  EXPECT_FALSE(P.Accept("<"));  // whole tokens only
  EXPECT_EQ(P.Token(), "<=");
  EXPECT_EQ(P.Position(), 2);
  EXPECT_TRUE(P.Is("<="));
  EXPECT_FALSE(P.Is("<=y"));
  EXPECT_EQ(P.Rest(), "<= y");
}

TEST(Scanner, UpperTokenFoldsLetters) {
  TPPAParser P("beGin_9");
  EXPECT_EQ(P.UpperToken(), "BEGIN_9");
}

// Outside ASCII the comparison follows the system code page, exactly as UpperToken would.
TEST(Scanner, AcceptFollowsTheCodePageOutsideAscii) {
  platform::desktop::SetLocale(platform::desktop::Locale::EnUS);
  EXPECT_TRUE(TPPAParser("\xE9").Is("\xC9"));  // e acute folds to E acute in code page 1252
  platform::desktop::SetLocale(platform::desktop::Locale::JaJP);
  // In code page 932 the "a" is the second byte of a double-byte character and is not folded.
  EXPECT_FALSE(TPPAParser("'\x83" "a'").Is("'\x83" "A'"));
  EXPECT_TRUE(TPPAParser("'\x83" "a'").Is("'\x83" "a'"));
  EXPECT_TRUE(TPPAParser("'\x83" "a' x").Accept("'\x83" "a'"));
  platform::desktop::Reset();
}

}  // namespace
