// The real evaluator, and the real rules of numbers.h.
//
//   relation = sum { ("=" | "<>" | "<" | "<=" | ">" | ">=") sum }
//   sum      = term { ("+" | "-") term }
//   term     = factor { ("*" | "/") factor }
//   factor   = "(" typed-relation ")" | "+" term | "-" term | operand
//   operand  = number literal | integer or real value | integer or real function call
//
// Unlike the integer evaluator, the whole text is always real (only parenthesised parts are typed by
// their first token), integers are welcome as operands, and there are no word operators: div, and
// and the like simply end the expression.
//
// Floating-point exceptions stay masked, as the host set them: a library loaded into another
// program must not change its FP state. Overflow, division by zero and invalid operations therefore
// give infinities and NaN without error.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "interpreter/eval_common.h"
#include "interpreter/messages.h"
#include "interpreter/numbers.h"
#include "interpreter/poor_pascal.h"

namespace ppa_numbers {

namespace {
bool IsDigit(char C) { return C >= '0' && C <= '9'; }
}  // namespace

// The syntax is checked here and the digits converted by from_chars, which is correctly rounded and,
// unlike strtod, ignores the C locale's decimal separator.
std::optional<double> ParseReal(std::string_view Text) {
  std::size_t Begin = 0, End = Text.size();
  while (Begin < End && Text[Begin] == ' ') ++Begin;
  while (End > Begin && Text[End - 1] == ' ') --End;
  const std::string_view T = Text.substr(Begin, End - Begin);
  std::size_t i = 0;
  bool Negative = false;
  if (i < T.size() && (T[i] == '+' || T[i] == '-')) Negative = T[i++] == '-';
  const std::size_t Number = i;
  std::size_t Digits = 0;
  for (; i < T.size() && IsDigit(T[i]); ++i) ++Digits;
  if (i < T.size() && T[i] == '.') {
    for (++i; i < T.size() && IsDigit(T[i]); ++i) ++Digits;
  }
  if (Digits == 0) return std::nullopt;
  if (i < T.size() && (T[i] == 'E' || T[i] == 'e')) {
    ++i;
    if (i < T.size() && (T[i] == '+' || T[i] == '-')) ++i;
    const std::size_t ExponentDigits = i;
    while (i < T.size() && IsDigit(T[i])) ++i;
    if (i == ExponentDigits) return std::nullopt;
  }
  if (i != T.size()) return std::nullopt;
  // from_chars takes no "+" in front of the exponent; drop it.
  std::string Core(T.substr(Number));
  if (const auto Plus = Core.find("+"); Plus != std::string::npos) Core.erase(Plus, 1);
  double Value = 0.0;
  const auto [Ptr, Ec] = std::from_chars(Core.data(), Core.data() + Core.size(), Value);
  if (Ec == std::errc::result_out_of_range) {
    // An underflow is near enough to 0; an overflow does not convert.
    const auto E = Core.find_first_of("Ee");
    if (E == std::string::npos || Core[E + 1] != '-') return std::nullopt;
    Value = 0.0;
  } else if (Ec != std::errc() || Ptr != Core.data() + Core.size()) {
    return std::nullopt;
  }
  return Negative ? -Value : Value;
}

// Worked example: 0.000015 rounds to the digits "15" with the point 4 places before them
// (Exponent -4), so it is written 0.000015; 1.5E-7 has Exponent -6 and is written in scientific
// form.
std::string FormatReal(double X) {
  if (std::isnan(X)) return "NAN";
  if (std::isinf(X)) return X < 0 ? "-INF" : "INF";
  if (X == 0.0) return "0";
  // 15 significant digits, correctly rounded: d.dddddddddddddde±x.
  char Buffer[64];
  const auto Result = std::to_chars(Buffer, Buffer + sizeof Buffer, X, std::chars_format::scientific, 14);
  const std::string_view S(Buffer, static_cast<std::size_t>(Result.ptr - Buffer));
  const bool Negative = S[0] == '-';
  const std::size_t Mark = S.find('e');
  std::string Digits;
  for (const char C : S.substr(Negative ? 1 : 0, Mark - (Negative ? 1 : 0))) {
    if (C != '.') Digits += C;
  }
  while (Digits.size() > 1 && Digits.back() == '0') Digits.pop_back();
  int Power = 0;
  std::from_chars(S.data() + Mark + 1 + (S[Mark + 1] == '+' ? 1 : 0), S.data() + S.size(), Power);
  // Digits stand for 0.Digits times 10^Exponent.
  const int Exponent = Power + 1;
  // Built by appending: "text" + std::string trips a false -Wrestrict in g++ 12 at -O2.
  std::string Out = Negative ? "-" : "";
  if (Exponent > 15 || Exponent < -4) {
    Out += Digits[0];
    if (Digits.size() > 1) Out.append(".").append(Digits, 1);
    Out.append("E").append(std::to_string(Power));
  } else if (Exponent <= 0) {
    Out.append("0.").append(static_cast<std::size_t>(-Exponent), '0').append(Digits);
  } else if (static_cast<std::size_t>(Exponent) >= Digits.size()) {
    Out.append(Digits).append(static_cast<std::size_t>(Exponent) - Digits.size(), '0');
  } else {
    const auto Point = static_cast<std::size_t>(Exponent);
    Out.append(Digits, 0, Point).append(".").append(Digits, Point);
  }
  return Out;
}

}  // namespace ppa_numbers

namespace {

// Skips P forward to the ")" that closes the parenthesis whose content began at Inner (a view of P's
// text taken when P stood on the content's first token, at offset Start).
void SkipToClose(TPPAParser& P, std::string_view Inner, std::int64_t Start) {
  const std::int64_t Close = Start + ppa_eval::ClosingOffset(Inner);
  while (!P.AtEnd() && P.Position() < Close) P.Next();
}

}  // namespace

double TPoorPascal::EvalReal(std::string_view Text) {
  if (TPPAScannedText* Cached = CachedText(Text)) return EvalReal(*Cached);
  TPPAParser P(Text);
  return RealRelation(P);
}

double TPoorPascal::ReadReal(TPPAScannedText& Text) {
  TPPAParser P(Tokens, Text);
  return RealRelation(P);
}

double TPoorPascal::RealRelation(TPPAParser& P) {
  double Left = RealSum(P);
  for (ppa_eval::TRelation Op; (Op = ppa_eval::TakeRelation(P)) != ppa_eval::TRelation::None;) {
    const double Right = RealSum(P);
    Left = ppa_eval::Holds(Op, Left, Right) ? -1.0 : 0.0;
  }
  return Left;
}

double TPoorPascal::RealSum(TPPAParser& P) {
  using ppa_eval::TakeWord;
  double Left = RealTerm(P);
  for (;;) {
    if (TakeWord(P, "+")) {
      Left += RealTerm(P);
    } else if (TakeWord(P, "-")) {
      Left -= RealTerm(P);
    } else {
      return Left;
    }
  }
}

double TPoorPascal::RealTerm(TPPAParser& P) {
  using ppa_eval::TakeWord;
  double Left = RealFactor(P);
  for (;;) {
    if (TakeWord(P, "*")) {
      Left *= RealFactor(P);
    } else if (TakeWord(P, "/")) {
      Left /= RealFactor(P);  // x / 0 is an infinity or NaN: exceptions are masked
    } else {
      return Left;
    }
  }
}

double TPoorPascal::RealFactor(TPPAParser& P) {
  TNestingGuard Guard(*this);
  using ppa_eval::TakeWord;
  if (TakeWord(P, "(")) {
    double Value = 0.0;
    switch (OperandType(P)) {
      case pvInteger: Value = static_cast<double>(IntRelation(P)); break;
      case pvString: {
        // A string part that fails to evaluate counts as 0.0, so ('a' + y) * 2 is 0.0 even with y
        // undefined: the one place where the interpreter drops an error. A stop, the nesting limit
        // and exhausted memory are not the program's value and still end the run.
        const std::string_view Inner = P.Rest();
        const std::int64_t Start = P.Position();
        try {
          Value = ppa_numbers::ParseReal(StrRelation(P)).value_or(0.0);
        } catch (const TPPAError& E) {
          if (!ppa_eval::DropsStringPartError(Stopped, E)) throw;
          SkipToClose(P, Inner, Start);
          Value = 0.0;
        }
        break;
      }
      default: Value = RealRelation(P); break;
    }
    Expect(P, ")");
    return Value;
  }
  if (TakeWord(P, ")")) throw TPPAError(PPAFormat(ppa_messages::kSyntaxError, P.TokenView()));
  if (TakeWord(P, "+")) return RealTerm(P);
  if (TakeWord(P, "-")) return -RealTerm(P);
  return RealOperand(P);
}

double TPoorPascal::RealOperand(TPPAParser& P) {
  if (P.Kind == ptInteger || P.Kind == ptReal) {
    const std::string_view Text = P.TokenView();
    // A hexadecimal literal has the value the integer evaluator gives it, not the 0.0 that the
    // decimal conversion would make of it.
    const double Value = Text.starts_with('$') ? static_cast<double>(ppa_numbers::TextToInt(Text, 0))
                                                : ppa_numbers::ParseReal(Text).value_or(0.0);
    P.Next();
    return Value;
  }
  if (P.Kind != ptIdent) throw TPPAError(PPAFormat(ppa_messages::kSyntaxError, P.TokenView()));
  if (const auto* E = FindValue(P)) {
    const TPPAValue& V = *E->Data;
    if (V.ValueType == pvString) throw TPPAError(PPAFormat(ppa_messages::kWrongVariableType, P.TokenView()));
    double Value = 0.0;
    if (V.HostObject != 1) {
      Value = V.ValueType == pvInteger ? static_cast<double>(V.IntValue) : V.RealValue;
    } else {
      const std::string Name = E->Name;  // the handler may change the table
      std::int32_t Err_CD = -1;
      if (V.ValueType == pvInteger) {
        std::int64_t IntValue = V.IntValue;
        if (IntObjParam) IntObjParam(Name, V.Index, 0, Err_CD, IntValue);
        CheckOwnerResult(Err_CD, Name);
        Value = static_cast<double>(IntValue);
      } else {
        Value = V.RealValue;
        if (RealObjParam) RealObjParam(Name, V.Index, 0, Err_CD, Value);
        CheckOwnerResult(Err_CD, Name);
      }
    }
    P.Next();
    return Value;
  }
  if (const auto* F = FindFunction(P)) {
    if (F->Data->ResultType == pvString) throw TPPAError(PPAFormat(ppa_messages::kWrongResultType, P.TokenView()));
    const std::string Name = F->Name;
    const bool IsInteger = F->Data->ResultType == pvInteger;
    P.Next();
    return IsInteger ? static_cast<double>(CallIntFunc(P, Name)) : CallRealFunc(P, Name);
  }
  throw TPPAError(PPAFormat(ppa_messages::kUndefinedName, P.TokenView()));
}
