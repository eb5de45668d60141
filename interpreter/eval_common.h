// Token tests shared by the three evaluators and the routine calls. Internal to the interpreter.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "interpreter/messages.h"
#include "interpreter/poor_pascal.h"
#include "interpreter/scanner.h"

namespace ppa_eval {

// True when the current token is Word, ASCII letter case ignored; consumes nothing. Every operator and
// keyword the evaluators look for is ASCII, where this agrees with TPPAParser::Is without building
// the upper-cased token for each of the dozen tests an operand goes through.
inline bool IsWord(const TPPAParser& P, std::string_view Word) {
  const std::string_view T = P.TokenView();
  if (T.size() != Word.size()) return false;
  for (std::size_t i = 0; i < T.size(); ++i) {
    char A = T[i], B = Word[i];
    if (A >= 'a' && A <= 'z') A = static_cast<char>(A - 'a' + 'A');
    if (B >= 'a' && B <= 'z') B = static_cast<char>(B - 'a' + 'A');
    if (A != B) return false;
  }
  return true;
}

// IsWord, then Next when it holds.
inline bool TakeWord(TPPAParser& P, std::string_view Word) {
  if (!IsWord(P, Word)) return false;
  P.Next();
  return true;
}

// Raises the out-of-memory error when strings of these lengths joined would pass the interpreter's
// string limit: a template that doubles a string in a loop ends in an error instead of exhausting
// the host's memory.
inline void CheckJoinedLength(std::size_t A, std::size_t B) {
  if (B > TPoorPascal::kMaxStringLength - std::min(A, TPoorPascal::kMaxStringLength))
    throw TPPAError(ppa_messages::kOutOfMemory);
}

// Whether the error of a failing string part in a real expression is dropped (the part counts as
// 0.0). A stop, the nesting limit and exhausted memory are not the program's value and still end
// the run.
inline bool DropsStringPartError(bool Stopped, const TPPAError& E) {
  return !Stopped && E.Message() != ppa_messages::kNestingTooDeep && E.Message() != ppa_messages::kOutOfMemory;
}

// The offset in Inner of the ")" that closes a parenthesis whose content Inner begins with (or of
// the end, when none does).
inline std::int64_t ClosingOffset(std::string_view Inner) {
  TPPAParser Q(Inner);
  int Depth = 0;
  for (; !Q.AtEnd(); Q.Next()) {
    if (Q.TokenView() == "(") ++Depth;
    if (Q.TokenView() == ")" && Depth-- == 0) break;
  }
  return Q.Position();
}

enum class TRelation { None, Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };

// Takes one of the six comparison operators when it is the current token.
inline TRelation TakeRelation(TPPAParser& P) {
  static constexpr struct {
    std::string_view Text;
    TRelation Op;
  } kRelations[] = {{"=", TRelation::Equal},     {"<>", TRelation::NotEqual},
                    {"<", TRelation::Less},      {"<=", TRelation::LessEqual},
                    {">", TRelation::Greater},   {">=", TRelation::GreaterEqual}};
  for (const auto& R : kRelations) {
    if (P.TokenView() == R.Text) {
      P.Next();
      return R.Op;
    }
  }
  return TRelation::None;
}

// Whether L Op R holds, for integers, reals (NaN compares unequal to everything) and strings (bytes
// compared as unsigned, as std::char_traits<char> does).
template <typename T>
bool Holds(TRelation Op, const T& L, const T& R) {
  switch (Op) {
    case TRelation::Equal: return L == R;
    case TRelation::NotEqual: return L != R;
    case TRelation::Less: return L < R;
    case TRelation::LessEqual: return L <= R;
    case TRelation::Greater: return L > R;
    case TRelation::GreaterEqual: return L >= R;
    case TRelation::None: break;
  }
  return false;
}

}  // namespace ppa_eval
