// The token cache against plain scanning: replayed tokens, whole programs run both ways, and the
// cache's memory bound.
#include <string>
#include <vector>

#include "tests/interpreter/support.h"

namespace {

using namespace ppa_test;

// Every token a scanner yields, with its position and the rest of the text behind it.
std::vector<std::string> Trace(TPPAParser& P) {
  std::vector<std::string> Out;
  for (;;) {
    Out.push_back(std::to_string(P.Kind) + "@" + std::to_string(P.Position()) + ":" + std::string(P.TokenView()) +
                  "|" + std::string(P.Rest()));
    if (P.AtEnd()) break;
    P.Next();
  }
  return Out;
}

TEST(TokenCache, ReplaysWhatThePlainScannerYields) {
  const std::string Texts[] = {
      "", "   ", "a := b + 1; // note\r\nc", "'it''s' #65#$41 'open", "1..5 1.5E+3 1E 2.e5 $FF x.y",
      std::string("a b\0c d", 7), "<= <> >= := .. ( ) , ;", "IF x THEN BEGIN y := 1 END ELSE z",
  };
  TPPATokenCache Cache;
  for (const std::string& Text : Texts) {
    TPPAParser Plain(Text);
    TPPAParser Replayed(&Cache, Text);
    ASSERT_NE(Replayed.Scanned(), nullptr);
    EXPECT_EQ(Trace(Replayed), Trace(Plain)) << Text;
    // Found again, by content and by the address of the cached copy.
    EXPECT_EQ(Cache.Get(Text), Replayed.Scanned());
    EXPECT_EQ(Cache.Get(Replayed.Scanned()->Text), Replayed.Scanned());
  }
}

TEST(TokenCache, StaysWithinItsBoundAndScansPlainlyBeyondIt) {
  TPPATokenCache Cache;
  const std::string Filler(1 << 20, 'x');
  int Taken = 0;
  for (int i = 0; i < 64; ++i) {
    if (Cache.Get(std::to_string(i) + " " + Filler)) ++Taken;
  }
  EXPECT_GT(Taken, 0);
  EXPECT_LT(Taken, 64);
  EXPECT_LE(Cache.Bytes(), TPPATokenCache::kMaxBytes);
  {
    TPPAParser Full(&Cache, "late " + Filler);
    EXPECT_EQ(Full.Scanned(), nullptr);
    EXPECT_EQ(Full.TokenView(), "late");
  }
  {
    // Entries that a scanner replays survive a Clear.
    TPPAParser Holding(&Cache, "0 " + Filler);
    ASSERT_NE(Holding.Scanned(), nullptr);
    Cache.Clear();
    EXPECT_NE(Cache.Bytes(), 0u);
  }
  Cache.Clear();
  EXPECT_EQ(Cache.Bytes(), 0u);
  EXPECT_NE(Cache.Get("late text"), nullptr);
}

// What one run leaves behind: its error, the owner's calls, and the variables.
std::string Outcome(const std::vector<std::string>& Source, bool Cached) {
  TPoorPascal PP;
  PP.SetTokenCacheForTesting(Cached);
  std::vector<std::string> Calls;
  PP.DeclarePrototype = {"procedure Note(V: String);", "procedure Drop(Name: String);",
                         "function Twice(X: Integer): Integer;", "procedure AddC;",
                         "function Vanish(Name: String): Integer;"};
  PP.ProcParam = [&](const std::string& Name, std::int32_t, const TPPAParams& Args, std::int32_t& Err_CD) {
    Err_CD = 0;
    if (Name == "NOTE") Calls.push_back(Args[0].Argument.StrValue);
    if (Name == "DROP") PP.RemoveValue(Args[0].Argument.StrValue);
    if (Name == "ADDC") PP.AddIntConst("c", 0, 42);
  };
  PP.IntFuncParam = [&](const std::string& Name, std::int32_t, const TPPAParams& Args, std::int32_t& Err_CD,
                        std::int64_t& Result) {
    Err_CD = 0;
    if (Name == "VANISH") {
      PP.RemoveValue(Args[0].Argument.StrValue);
      Result = 1;
      return;
    }
    Result = 2 * Args[0].Argument.IntValue;
  };
  PP.Source = Source;
  const std::optional<std::string> Error = ErrorOf([&] { PP.Execute(); });
  std::string Out = "error: " + Error.value_or("-") + "\ncalls:";
  for (const std::string& C : Calls) Out += " " + C;
  for (const char* Name : {"a", "b", "i", "j", "s", "r", "c"}) {
    const TPPAValue* V = PP.Values.Find(Name);
    Out += std::string("\n") + Name + "=";
    if (!V) continue;
    Out += V->ValueType == pvInteger ? std::to_string(V->IntValue)
           : V->ValueType == pvReal  ? std::to_string(V->RealValue)
                                     : V->StrValue;
  }
  return Out;
}

// Statement wrapped in Levels blocks.
std::string Nested(int Levels, const std::string& Statement) {
  std::string Text;
  for (int i = 0; i < Levels; ++i) Text += "BEGIN ";
  Text += Statement;
  for (int i = 0; i < Levels; ++i) Text += " END";
  return Text;
}

TEST(TokenCache, ProgramsRunAlikeWithAndWithoutIt) {
  const char* Head = "VAR a, b, i, j: Integer; s: String; r: Real;";
  const std::vector<std::vector<std::string>> Programs = {
      {Head, "BEGIN", "FOR i := 1 TO 20 DO IF i mod 3 = 0 THEN a := a + i ELSE b := b + 1;", "END."},
      {Head, "BEGIN i := 0;", "WHILE i < 30 DO BEGIN i := i + 1; j := 0;",
       "  REPEAT j := j + 1; IF j mod 7 = 0 THEN CONTINUE;",
       "    CASE j mod 10 OF 0..2: a := a + 1; 3..5: a := a + 2; 6, 8: a := a + 3; ELSE a := a - 1 END;",
       "    IF j > 20 THEN BREAK; UNTIL j >= 30; END;", "END."},
      {Head, "BEGIN", "FOR i := 1 TO 50 DO BEGIN s := 'item ' + IntToStr(i); IF Pos('7', s) > 0 THEN",
       "  Note(UpperCase(Copy(s, 1, 8))); b := b + Length(s + 'x') END;", "END."},
      {Head, "BEGIN r := 0.5;", "FOR i := 1 TO 40 DO BEGIN r := r * 1.01 + 0.25; a := a + Trunc(r / 3.0) + Round(r) END;",
       "s := FloatToStr(r);", "END."},
      // The owner changes the tables during the run: later lookups must see it.
      {Head, "BEGIN", "FOR i := 1 TO 5 DO BEGIN a := a + Twice(i); IF i = 3 THEN Drop('b'); b := i END;", "END."},
      {Head, "BEGIN", "FOR i := 1 TO 4 DO BEGIN IF i = 2 THEN AddC; IF i > 2 THEN a := a + c END;", "END."},
      {Head, "BEGIN", "FOR i := 1 TO 3 DO BEGIN Drop('i'); a := a + 1 END;", "END."},
      // Errors on a later pass, and errors inside cut texts.
      {Head, "BEGIN", "FOR i := 1 TO 5 DO BEGIN a := 10 div (3 - i) END;", "END."},
      {Head, "BEGIN", "FOR i := 1 TO 5 DO IF i = 4 THEN undefinedName := 1 ELSE a := i;", "END."},
      {Head, "BEGIN", "WHILE a < 3 DO BEGIN a := a + 1; s := s + Copy('abc', a, 1 END;", "END."},
      {Head, "BEGIN", "CASE a OF 0: b := 1; 1: b := 2", "END."},
      {Head, "BEGIN", "REPEAT a := a + 1; Note(IntToStr(a)) UNTIL a = 3; EXIT; a := 99", "END."},
      {Head, "BEGIN", "FOR i := 5 DOWNTO 1 DO BEGIN r := r + (('x' + s) * 2) + i; s := s + 'y' END;", "END."},
      {Head, "BEGIN", "s := 'a;b'; FOR i := 1 TO 3 DO s := s + 'END' + #65; a := Length(s)", "END."},
      // An owner function changes the tables in the middle of an expression: what follows the call
      // sees the change, and so does the assignment.
      {Head, "BEGIN", "FOR i := 1 TO 3 DO BEGIN s := IntToStr(Vanish('j')) + 'x' + s; a := a + Vanish('r') + 1 END;",
       "b := Vanish('i') + i;", "END."},
      {Head, "BEGIN", "a := 5; a := Twice(a) + Vanish('a');", "END."},
      {Head, "BEGIN", "FOR i := 1 TO 3 DO IF Vanish('b') + Length(s) > 0 THEN a := a + i;", "END."},
      // The tables change on every pass, more often than remembered readings are renewed.
      {Head, "BEGIN", "FOR i := 1 TO 20 DO BEGIN AddC; a := a + c * i; Drop('c'); b := b + i END;", "END."},
      // A string part of a real expression that fails counts as 0.0, on the passes where it fails.
      {Head, "BEGIN", "FOR i := 1 TO 6 DO BEGIN a := i mod 3;",
       "  r := r + ('x' + IntToStr(10 div a)) * 2 + (IntToStr(i) + '') * 1 END;", "END."},
      // Several labels and ranges, an owner call in a label, the ELSE part.
      {Head, "BEGIN", "FOR i := 0 TO 12 DO CASE i OF 0, 2..4: a := a + 1; 3..Twice(3): b := b + i;",
       "  ELSE s := s + IntToStr(i) END;", "END."},
      // Calls whose results are dropped, and an owner call in a condition.
      {Head, "BEGIN", "FOR i := 1 TO 4 DO BEGIN Twice(i); Length(s); ProcessMessages;",
       "  IF Twice(i) > 4 THEN Note(IntToStr(i)) ELSE Note('-' + IntToStr(Twice(i))) END;", "END."},
      // The nesting limit reached inside an expression of a deeply nested block.
      {Head, "BEGIN", Nested(190, "a := " + std::string(12, '(') + "1" + std::string(12, ')')), "END."},
      {Head, "BEGIN", Nested(180, "a := " + std::string(12, '(') + "1" + std::string(12, ')')), "END."},
  };
  for (const auto& Program : Programs) {
    const std::string Cached = Outcome(Program, true);
    EXPECT_EQ(Cached, Outcome(Program, false)) << Program[2];
    EXPECT_EQ(Cached, Outcome(Program, true)) << "a second cached run";
  }
}

// An owner call that changes the tables and then evaluates the very text that is calling it: the
// inner evaluation must not replace what the outer one is still running from.
TEST(TokenCache, AnOwnerMayRunTheCallingTextAgain) {
  for (const bool Cached : {true, false}) {
    TPoorPascal PP;
    PP.SetTokenCacheForTesting(Cached);
    PP.DeclareRoutine("function Again(X: Integer): Integer;", 0);
    PP.AddIntConst("x", 0, 7);
    const std::string Text = "x + Again(x) * 10 + 1";
    int Calls = 0;
    PP.IntFuncParam = [&](const std::string&, std::int32_t, const TPPAParams& Args, std::int32_t& Err_CD,
                          std::int64_t& Result) {
      Err_CD = 0;
      Result = Args[0].Argument.IntValue;
      if (++Calls == 1) {
        PP.AddIntConst("y", 0, 1);  // the tables change
        Result += PP.EvalInt(Text);
      }
    };
    std::optional<std::int64_t> Value;
    const std::optional<std::string> Error = ErrorOf([&] { Value = PP.EvalInt(Text); });
    ASSERT_FALSE(Error) << *Error;
    // Inner: 7 + 7 * 10 + 1 = 78; outer: 7 + (7 + 78) * 10 + 1.
    EXPECT_EQ(Value, 858) << (Cached ? "cached" : "plain");
    // And once more, from whatever is remembered now.
    Calls = 1;
    EXPECT_EQ(PP.EvalInt(Text), 78);
  }
}

}  // namespace
