// The integer evaluator (also the boolean one: a comparison gives -1 or 0), and the 64-bit integer
// rules of numbers.h.
//
//   relation = sum { ("=" | "<>" | "<" | "<=" | ">" | ">=") sum }
//   sum      = term { ("+" | "-" | "or" | "xor") term }
//   term     = [ "not" ] factor { ("*" | "div" | "mod" | "and" | "shl" | "shr") factor }
//   factor   = "(" typed-relation ")" | "+" term | "-" term | operand
//   operand  = integer literal | integer value | integer function call
//
// The whole text and each parenthesised part are typed by their first token: a real or string part
// is evaluated by its own evaluator and converted.
#include <cmath>
#include <limits>

#include "interpreter/eval_common.h"
#include "interpreter/messages.h"
#include "interpreter/numbers.h"
#include "interpreter/poor_pascal.h"

namespace ppa_numbers {

// ---- The 64-bit rules that are not inline in numbers.h ----

void DivisionByZero() { throw TPPAError(ppa_messages::kDivisionByZero); }

namespace {
// The count is the low 8 bits of Count as a signed byte: 0..63 shift, 64..127 clear everything,
// and a negative count uses its low 5 bits. A shift by 64 or more is undefined in C++, hence the
// explicit middle case. Returns -1 for "result is 0".
int ShiftCount(std::int64_t Count) {
  const auto C = static_cast<std::int8_t>(static_cast<std::uint8_t>(static_cast<std::uint64_t>(Count) & 0xFF));
  if (C >= 64) return -1;
  if (C < 0) return C & 31;
  return C;
}
}  // namespace

// Logical shifts on the unsigned bits: shr lets zeros in also for a negative left side.
std::int64_t ShiftLeft(std::int64_t A, std::int64_t Count) {
  const int C = ShiftCount(Count);
  return C < 0 ? 0 : static_cast<std::int64_t>(static_cast<std::uint64_t>(A) << C);
}
std::int64_t ShiftRight(std::int64_t A, std::int64_t Count) {
  const int C = ShiftCount(Count);
  return C < 0 ? 0 : static_cast<std::int64_t>(static_cast<std::uint64_t>(A) >> C);
}

// Floating-point exceptions stay masked (a library inside the host must not change the host's FP
// state), so an out-of-range or NaN real gives INT64_MIN, as the masked conversion instruction
// does; converting it with a plain cast would be undefined.
std::int64_t Truncate(double X) {
  constexpr double kTwo63 = 9223372036854775808.0;
  if (!(X >= -kTwo63 && X < kTwo63)) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(X);
}

// Halves go to the even neighbour. Done by hand rather than with nearbyint, which would follow the
// host's current rounding mode. X - trunc(X) is exact for every double.
std::int64_t Round(double X) {
  if (!std::isfinite(X)) return std::numeric_limits<std::int64_t>::min();
  double Whole = std::trunc(X);
  const double Part = std::fabs(X - Whole);
  const double Away = X < 0 ? -1.0 : 1.0;
  if (Part > 0.5 || (Part == 0.5 && std::fmod(Whole, 2.0) != 0.0)) Whole += Away;
  return Truncate(Whole);
}

namespace {
int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  return -1;
}
}  // namespace

// Accumulated as a magnitude in unsigned 64 bits, so that -9223372036854775808 fits and overflow is
// seen before it happens.
std::optional<std::int64_t> ParseInt(std::string_view Text) {
  std::size_t i = 0;
  while (i < Text.size() && Text[i] == ' ') ++i;
  bool Negative = false;
  if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) Negative = Text[i++] == '-';
  bool Hex = false;
  if (i < Text.size() && Text[i] == '$') {
    Hex = true;
    ++i;
  } else if (i + 1 < Text.size() && Text[i] == '0' && (Text[i + 1] == 'x' || Text[i + 1] == 'X')) {
    Hex = true;
    i += 2;
  }
  if (i == Text.size()) return std::nullopt;
  constexpr std::uint64_t kMaxPositive = 0x7FFFFFFFFFFFFFFFull;
  const std::uint64_t Limit = (Negative && !Hex) ? kMaxPositive + 1 : kMaxPositive;
  const std::uint64_t Base = Hex ? 16 : 10;
  std::uint64_t Magnitude = 0;
  for (; i < Text.size(); ++i) {
    const int D = Hex ? HexDigit(Text[i]) : (Text[i] >= '0' && Text[i] <= '9' ? Text[i] - '0' : -1);
    if (D < 0) return std::nullopt;
    if (Magnitude > (Limit - static_cast<std::uint64_t>(D)) / Base) return std::nullopt;
    Magnitude = Magnitude * Base + static_cast<std::uint64_t>(D);
  }
  return Negative ? Negate(static_cast<std::int64_t>(Magnitude)) : static_cast<std::int64_t>(Magnitude);
}

}  // namespace ppa_numbers

namespace {

// Evaluates an integer context (a whole text or a parenthesised part) by the type its first token
// tells: a real part is truncated, a string part converted with the fallback -1.
std::int64_t TypedIntRelation(TPoorPascal& PPA, TPPAParser& P) {
  switch (PPA.OperandType(P)) {
    case pvReal: return ppa_numbers::Truncate(PPA.RealRelation(P));
    case pvString: return ppa_numbers::TextToInt(PPA.StrRelation(P), -1);
    default: return PPA.IntRelation(P);
  }
}

}  // namespace

std::int64_t TPoorPascal::EvalInt(std::string_view Text) {
  if (TPPAScannedText* Cached = CachedText(Text)) return EvalInt(*Cached);
  TPPAParser P(Text);
  return TypedIntRelation(*this, P);
}

std::int64_t TPoorPascal::ReadInt(TPPAScannedText& Text) {
  TPPAParser P(Tokens, Text);
  return TypedIntRelation(*this, P);
}

int TPoorPascal::OperandType(const TPPAParser& P) const {
  switch (P.Kind) {
    case ptString: return pvString;
    case ptInteger: return pvInteger;
    case ptReal: return pvReal;
    case ptIdent:
      if (const auto* V = FindValue(P)) return V->Data->ValueType;
      if (const auto* F = FindFunction(P)) return F->Data->ResultType;
      return -1;
    default: return -1;
  }
}

std::int64_t TPoorPascal::IntRelation(TPPAParser& P) {
  std::int64_t Left = IntSum(P);
  for (ppa_eval::TRelation Op; (Op = ppa_eval::TakeRelation(P)) != ppa_eval::TRelation::None;) {
    const std::int64_t Right = IntSum(P);
    Left = ppa_eval::Holds(Op, Left, Right) ? -1 : 0;
  }
  return Left;
}

std::int64_t TPoorPascal::IntSum(TPPAParser& P) {
  using ppa_eval::TakeWord;
  std::int64_t Left = IntTerm(P);
  for (;;) {
    if (TakeWord(P, "+")) {
      Left = ppa_numbers::Add(Left, IntTerm(P));
    } else if (TakeWord(P, "-")) {
      Left = ppa_numbers::Subtract(Left, IntTerm(P));
    } else if (TakeWord(P, "or")) {
      Left |= IntTerm(P);
    } else if (TakeWord(P, "xor")) {
      Left ^= IntTerm(P);
    } else {
      return Left;
    }
  }
}

// "not" complements only the term's first factor: not a and b is (not a) and b.
std::int64_t TPoorPascal::IntTerm(TPPAParser& P) {
  using ppa_eval::TakeWord;
  std::int64_t Left = TakeWord(P, "not") ? ~IntFactor(P) : IntFactor(P);
  for (;;) {
    if (TakeWord(P, "*")) {
      Left = ppa_numbers::Multiply(Left, IntFactor(P));
    } else if (TakeWord(P, "div")) {
      Left = ppa_numbers::Divide(Left, IntFactor(P));
    } else if (TakeWord(P, "mod")) {
      Left = ppa_numbers::Remainder(Left, IntFactor(P));
    } else if (TakeWord(P, "and")) {
      Left &= IntFactor(P);
    } else if (TakeWord(P, "shl")) {
      Left = ppa_numbers::ShiftLeft(Left, IntFactor(P));
    } else if (TakeWord(P, "shr")) {
      Left = ppa_numbers::ShiftRight(Left, IntFactor(P));
    } else {
      return Left;
    }
  }
}

// A sign takes the whole term that follows: -2 * 3 is -(2 * 3), -a and b is -(a and b).
std::int64_t TPoorPascal::IntFactor(TPPAParser& P) {
  TNestingGuard Guard(*this);
  using ppa_eval::TakeWord;
  if (TakeWord(P, "(")) {
    const std::int64_t Value = TypedIntRelation(*this, P);
    Expect(P, ")");
    return Value;
  }
  if (TakeWord(P, ")")) throw TPPAError(PPAFormat(ppa_messages::kSyntaxError, P.TokenView()));
  if (TakeWord(P, "+")) return IntTerm(P);
  if (TakeWord(P, "-")) return ppa_numbers::Negate(IntTerm(P));
  return IntOperand(P);
}

std::int64_t TPoorPascal::IntOperand(TPPAParser& P) {
  if (P.Kind == ptInteger) {
    const std::int64_t Value = ppa_numbers::TextToInt(P.TokenView(), 0);  // a literal too large is 0
    P.Next();
    return Value;
  }
  if (P.Kind != ptIdent) throw TPPAError(PPAFormat(ppa_messages::kSyntaxError, P.TokenView()));
  if (const auto* E = FindValue(P)) {
    const TPPAValue& V = *E->Data;
    if (V.ValueType != pvInteger) throw TPPAError(PPAFormat(ppa_messages::kWrongVariableType, P.TokenView()));
    std::int64_t Value = V.IntValue;
    if (V.HostObject == 1) {
      const std::string Name = E->Name;  // the handler may change the table
      std::int32_t Err_CD = -1;
      if (IntObjParam) IntObjParam(Name, V.Index, 0, Err_CD, Value);
      CheckOwnerResult(Err_CD, Name);
    }
    P.Next();
    return Value;
  }
  if (const auto* F = FindFunction(P)) {
    if (F->Data->ResultType != pvInteger) throw TPPAError(PPAFormat(ppa_messages::kWrongResultType, P.TokenView()));
    const std::string Name = F->Name;
    P.Next();
    return CallIntFunc(P, Name);
  }
  throw TPPAError(PPAFormat(ppa_messages::kUndefinedName, P.TokenView()));
}

// Every caller expects ")", so the message does not name the word.
void TPoorPascal::Expect(TPPAParser& P, std::string_view Word) {
  if (!P.Accept(Word)) throw TPPAError(ppa_messages::kMissingRightParen);
}
