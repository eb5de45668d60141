// The string evaluator and the decoding of string literals.
//
//   relation = sum { ("=" | "<>" | "<" | "<=" | ">" | ">=") sum }
//   sum      = factor { ("+" | <a string literal follows>) factor }
//   factor   = "(" relation ")" | operand
//   operand  = string literal | string value | string function call
//
// Unlike the other two there is no type decision (every part is a string), no term level and no
// unary sign; a literal directly after an operand is concatenated ('Line'#13#10), and a comparison
// gives the strings "-1" and "0". Comparison is by unsigned bytes, case-sensitive.
#include <algorithm>

#include "interpreter/eval_common.h"
#include "interpreter/messages.h"
#include "interpreter/numbers.h"
#include "interpreter/poor_pascal.h"


std::string TPoorPascal::EvalStr(std::string_view Text) {
  if (TPPAScannedText* Cached = CachedText(Text)) return EvalStr(*Cached);
  TPPAParser P(Text);
  return StrRelation(P);
}

std::string TPoorPascal::ReadStr(TPPAScannedText& Text) {
  TPPAParser P(Tokens, Text);
  return StrRelation(P);
}

std::string TPoorPascal::StrRelation(TPPAParser& P) {
  std::string Left = StrSum(P);
  for (ppa_eval::TRelation Op; (Op = ppa_eval::TakeRelation(P)) != ppa_eval::TRelation::None;) {
    const std::string Right = StrSum(P);
    Left = ppa_eval::Holds(Op, Left, Right) ? "-1" : "0";
  }
  return Left;
}

std::string TPoorPascal::StrSum(TPPAParser& P) {
  std::string Left = StrFactor(P);
  while (ppa_eval::TakeWord(P, "+") || P.Kind == ptString) {
    const std::string Right = StrFactor(P);
    ppa_eval::CheckJoinedLength(Left.size(), Right.size());
    Left += Right;
  }
  return Left;
}

std::string TPoorPascal::StrFactor(TPPAParser& P) {
  TNestingGuard Guard(*this);
  using ppa_eval::TakeWord;
  if (TakeWord(P, "(")) {
    std::string Value = StrRelation(P);
    Expect(P, ")");
    return Value;
  }
  if (TakeWord(P, ")")) throw TPPAError(PPAFormat(ppa_messages::kSyntaxError, P.TokenView()));
  return StrOperand(P);
}

std::string TPoorPascal::StrOperand(TPPAParser& P) {
  if (P.Kind == ptString) {
    std::string Value = DecodeLiteral(P.TokenView());
    P.Next();
    return Value;
  }
  if (P.Kind != ptIdent) throw TPPAError(PPAFormat(ppa_messages::kSyntaxError, P.TokenView()));
  if (const auto* E = FindValue(P)) {
    const TPPAValue& V = *E->Data;
    if (V.ValueType != pvString) throw TPPAError(PPAFormat(ppa_messages::kWrongVariableType, P.TokenView()));
    std::string Value = V.StrValue;
    if (V.HostObject == 1) {
      const std::string Name = E->Name;  // the handler may change the table
      std::int32_t Err_CD = -1;
      if (StrObjParam) StrObjParam(Name, V.Index, 0, Err_CD, Value);
      CheckOwnerResult(Err_CD, Name);
    }
    P.Next();
    return Value;
  }
  if (const auto* F = FindFunction(P)) {
    if (F->Data->ResultType != pvString) throw TPPAError(PPAFormat(ppa_messages::kWrongResultType, P.TokenView()));
    const std::string Name = F->Name;
    P.Next();
    return CallStrFunc(P, Name);
  }
  throw TPPAError(PPAFormat(ppa_messages::kUndefinedName, P.TokenView()));
}

// Worked examples: 'it''s' is it's; #65, #065 and #$41 are A; #1000 reads only "100"; #$4142 reads
// only "414" and, being 256 or more, is empty. A literal without its closing quote ('abc) keeps its
// opening quote.
std::string TPoorPascal::DecodeLiteral(std::string_view Text) {
  if (Text.empty()) return {};
  if (Text.front() == '\'' && Text.back() == '\'') {
    if (Text.size() < 2) return {};
    std::string Value;
    const std::string_view Body = Text.substr(1, Text.size() - 2);
    for (std::size_t i = 0; i < Body.size(); ++i) {
      Value += Body[i];
      if (Body[i] == '\'' && i + 1 < Body.size() && Body[i + 1] == '\'') ++i;
    }
    return Value;
  }
  if (Text.find('#') == std::string_view::npos) return std::string(Text);
  // Only up to three digits count, whatever follows them.
  const std::string Digits = Text.find("#$") != std::string_view::npos
                                 ? "0x" + std::string(Text.substr(std::min<std::size_t>(2, Text.size()), 3))
                                 : std::string(Text.substr(1, 3));
  const std::optional<std::int64_t> Code = ppa_numbers::ParseInt(Digits);
  if (!Code) throw TPPAError(PPAFormat(ppa_messages::kNotAValidInteger, Digits));
  if (*Code < 0 || *Code > 255) return {};
  return std::string(1, static_cast<char>(static_cast<unsigned char>(*Code)));
}
