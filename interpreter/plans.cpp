// The planner: makes a text's plan by reading it as the evaluators and the executor do, and runs it.
//
// Each Plan... function below mirrors the reader of the same name in eval_int.cpp, eval_real.cpp,
// eval_str.cpp, calls.cpp or statements.cpp: the same tokens taken in the same order, the same
// lookups, the same cuts. Where the reader would raise an error, or an expression would call
// something that may change the tables, planning gives up (TNoPlan) and the reader runs the text.
#include "interpreter/plans.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

#include "interpreter/builtins.h"
#include "interpreter/eval_common.h"
#include "interpreter/numbers.h"
#include "platform/platform.h"

namespace ppa_plans {

// Planning gives up: the text is read whenever it runs under these tables.
struct TNoPlan {};

// A text that changes the tables on every pass would be planned on every pass; after this many
// plans for one use of a text, it is read instead.
constexpr std::uint8_t kMaxAttempts = 8;

using ppa_eval::TRelation;

enum class TOp : std::uint8_t {
  // Integer results.
  IntLiteral, IntValue, IntCall, IntNot, IntNegate, IntAdd, IntSubtract, IntOr, IntXor, IntMultiply,
  IntDivide, IntRemainder, IntAnd, IntShiftLeft, IntShiftRight, IntRelation, IntOfReal, IntOfStr,
  // Real results.
  RealLiteral, RealValue, RealCall, RealNegate, RealAdd, RealSubtract, RealMultiply, RealDivide,
  RealRelation, RealOfInt, RealOfStr,
  // String results.
  StrLiteral, StrValue, StrCall, StrConcat, StrRelation,
};

// An operator word of a sum or term level and the operation it plans.
struct TOperatorWord {
  std::string_view Word;
  TOp Op;
};

// A call of a built-in or owner routine, resolved once.
struct TCallPlan {
  TPPARoutine Routine;  // the routine as found; its Params receive the arguments of each call
  std::string Upper;    // the name the owner is told
  std::vector<TPPAScannedText*> Arguments;
  ppa_builtins::TProcHandler Proc = nullptr;
  ppa_builtins::TIntHandler IntFunc = nullptr;
  ppa_builtins::TRealHandler RealFunc = nullptr;
  ppa_builtins::TStrHandler StrFunc = nullptr;
  bool IsFunction = false;
  std::uint16_t Level = 0;  // in an expression: the guards standing around the call, its own included
  bool Busy = false;        // its Params hold a call in progress
};

struct TNode {
  TOp Op;
  TRelation Relation = TRelation::None;
  std::int32_t A = -1;  // operands, as indices into the plan's nodes
  std::int32_t B = -1;
  std::int64_t Int = 0;
  double Real = 0.0;
  std::string Str;
  const TPPAValue* Value = nullptr;
  TCallPlan* Call = nullptr;
  // Where an operand that is a literal or a variable of the node's own type keeps its value, so
  // that it is read without evaluating the operand's node; nullptr for other operands.
  const void* ALeaf = nullptr;
  const void* BLeaf = nullptr;
};

struct TExprPlan : TPPAPlan {
  std::vector<TNode> Nodes;
  std::vector<std::unique_ptr<TCallPlan>> Calls;
  std::int32_t Root = -1;
  int Height = 0;        // the deepest nesting of guards the reading would reach inside the text
  bool Effects = false;  // it calls the owner, directly or in an argument
  // Whether it may run at that depth: beyond, the reader must run the text and raise the nesting
  // error where it always did.
  bool FitsAt(int Depth) const { return Depth + Height <= TPoorPascal::kMaxNesting; }
};

struct TCaseLabel {
  TPPAScannedText* Low;
  TPPAScannedText* High;  // the same as Low for a single value
  bool Range;
  // Both bounds are integer literals, whose values are known (as long as evaluating them could not
  // reach the nesting limit).
  bool Constant;
  std::int64_t LowValue;
  std::int64_t HighValue;
};

struct TCaseArm {
  std::vector<TCaseLabel> Labels;
  TPPAScannedText* Branch;
};

struct TStatementPlan : TPPAPlan {
  enum TForm : std::uint8_t { Call, Assignment, Block, Break, Continue, Exit, If, For, While, Repeat, Case };
  TForm Form = Call;
  std::unique_ptr<TCallPlan> Routine;
  std::string Name;               // the assigned or counted variable
  TPPAValue* Variable = nullptr;  // the assigned one
  TPPAScannedText* Expression = nullptr;
  TPPAScannedText* Condition = nullptr;  // also the FOR limit and the CASE selector
  TPPAScannedText* Body = nullptr;       // also the THEN part
  TPPAScannedText* Else = nullptr;
  TPPAScannedText* Start = nullptr;
  bool Upward = true;
  std::vector<TCaseArm> Arms;
  // The plan of the expression or condition the statement evaluates first (of the assigned
  // variable's type, or integer for a condition), when it calls no owner: made with the statement's plan, it holds whenever that
  // does. (Stamps only grow, so a
  // statement plan that holds means no other stamp has come since, and no plan was replaced.)
  const TExprPlan* First = nullptr;
  std::string Scratch;  // a string assignment's value while it is made
};

// Raises the interpreter's depth for a planned call as the readers' guards would have raised it.
class TRaised {
 public:
  TRaised(int& Depth, int By) : Depth_(Depth), By_(By) { Depth_ += By_; }
  ~TRaised() { Depth_ -= By_; }
  TRaised(const TRaised&) = delete;
  TRaised& operator=(const TRaised&) = delete;

 private:
  int& Depth_;
  int By_;
};

// The argument records of one call: the plan's own, or a copy of them while those hold a call in
// progress. A call of the same text from inside its own arguments cannot happen; the copy keeps it
// safe anyway.
class TCallArguments {
 public:
  explicit TCallArguments(TCallPlan& C) : C_(C), Nested_(C.Busy) {
    if (Nested_) Copy_ = C.Routine.Params;
    C_.Busy = true;
  }
  ~TCallArguments() { C_.Busy = Nested_; }
  TCallArguments(const TCallArguments&) = delete;
  TCallArguments& operator=(const TCallArguments&) = delete;
  TPPAParams& Get() { return Nested_ ? Copy_ : C_.Routine.Params; }

 private:
  TCallPlan& C_;
  bool Nested_;
  TPPAParams Copy_;
};

}  // namespace ppa_plans

using namespace ppa_plans;  // NOLINT: this file is the planner

// ---- Making plans ----

// One reading of one text, for its plan. A friend of the interpreter, whose readers' parts it uses.
class TPPAPlanMaker {
 public:
  // Around: the guards standing around the text when it is planned as part of another.
  TPPAPlanMaker(TPoorPascal& Owner, TPPAParser& Parser, int Around) : PP(Owner), P(Parser), Base(Around) {}

  void PlanExpression(TExprPlan& Plan, TPPAPlanKind Kind);
  void PlanStatement(TStatementPlan& Plan);

 private:
  // Counts one guard of the readers around what is planned during its lifetime.
  class TGuarded {
   public:
    explicit TGuarded(TPPAPlanMaker& M) : M_(M) {
      // Beyond the limit the reader raises the nesting error; that reading is left to it.
      if (M_.Base + M_.Level >= TPoorPascal::kMaxNesting) throw TNoPlan{};
      if (++M_.Level > M_.Expr->Height) M_.Expr->Height = M_.Level;
    }
    ~TGuarded() { --M_.Level; }
    TGuarded(const TGuarded&) = delete;
    TGuarded& operator=(const TGuarded&) = delete;

   private:
    TPPAPlanMaker& M_;
  };

  // Nodes are added in the order they run. Once the owner may have changed the tables, nothing that
  // the reading would look up in them may follow.
  std::int32_t Add(TOp Op, std::int32_t A = -1, std::int32_t B = -1) {
    if (Expr->Effects && LooksUp(Op)) throw TNoPlan{};
    TNode N{};
    N.Op = Op;
    N.A = A;
    N.B = B;
    Expr->Nodes.push_back(std::move(N));
    return static_cast<std::int32_t>(Expr->Nodes.size() - 1);
  }
  std::int32_t AddRelation(TOp Op, TRelation R, std::int32_t A, std::int32_t B) {
    const std::int32_t I = Add(Op, A, B);
    Expr->Nodes[I].Relation = R;
    return I;
  }
  TNode& Last() { return Expr->Nodes.back(); }
  static bool LooksUp(TOp Op) {
    switch (Op) {
      case TOp::IntValue: case TOp::IntCall: case TOp::RealValue: case TOp::RealCall: case TOp::StrValue:
      case TOp::StrCall:
        return true;
      default:
        return false;
    }
  }

  // The cut's cached text; a cut the cache could not take has no plan.
  static TPPAScannedText* Cached(const TPoorPascal::TCut& Cut) {
    if (Cut.Scanned() == nullptr) throw TNoPlan{};
    return Cut.Scanned();
  }
  void Close() {
    if (!P.Accept(")")) throw TNoPlan{};
  }

  std::int32_t Chain(std::int32_t First, std::span<const TOperatorWord> Words,
                     std::int32_t (TPPAPlanMaker::*Operand)());
  std::int32_t Relations(TOp Op, std::int32_t (TPPAPlanMaker::*Sum)());
  std::int32_t IntContext();
  std::int32_t IntRelation();
  std::int32_t IntSum();
  std::int32_t IntTerm();
  std::int32_t IntFactor();
  std::int32_t IntOperand();
  std::int32_t RealRelation();
  std::int32_t RealSum();
  std::int32_t RealTerm();
  std::int32_t RealFactor();
  std::int32_t RealOperand();
  std::int32_t StrRelation();
  std::int32_t StrSum();
  std::int32_t StrFactor();
  std::int32_t StrOperand();
  // A function call in an expression, the scanner behind the name: pure built-ins and the owner's.
  std::int32_t FunctionCall(TOp Op, const std::string& Name);
  // A call's routine and argument list, the scanner behind the name. Effects is nullptr for a call
  // statement; in an expression the arguments must have plans too, and *Effects tells whether the
  // call may reach the owner.
  std::unique_ptr<TCallPlan> PlanCall(const TPPATable<TPPARoutine>& Table, const std::string& Name, bool* Effects);
  void PlanCase(TStatementPlan& Plan);
  static void LinkLeaves(TExprPlan& Plan);
  // The text's plan of that kind when it calls no owner, else nullptr.
  const TExprPlan* PurePlan(TPPAScannedText& Text, TPPAPlanKind Kind) {
    const TExprPlan* Plan = TPPAPlanner::ExpressionPlan(PP, Text, Kind, 0);
    return Plan != nullptr && !Plan->Effects ? Plan : nullptr;
  }

  TPoorPascal& PP;
  TPPAParser& P;
  TExprPlan* Expr = nullptr;
  int Base;
  int Level = 0;
};

namespace {

// The plan of that use of Text under the tables as they stand, made by Make(Plan, Parser) when
// missing or stale; nullptr when the text has none.
template <typename TPlan, typename MakeFn>
TPlan* PlanFor(TPoorPascal& PP, TPPATokenCache& Cache, TPPAScannedText& Text, TPPAPlanKind Kind, MakeFn Make) {
  std::unique_ptr<TPPAPlan>& Slot = Text.Plans[Kind];
  const std::uint64_t Stamp = PP.TablesStamp();
  if (Slot && Slot->Stamp == Stamp) return Slot->Ready ? static_cast<TPlan*>(Slot.get()) : nullptr;
  const std::uint8_t Attempts = Slot ? Slot->Attempts : 0;
  if (Attempts >= kMaxAttempts || (Slot && Slot->Running != 0)) return nullptr;
  auto Plan = std::make_unique<TPlan>();
  Plan->Stamp = Stamp;
  Plan->Attempts = static_cast<std::uint8_t>(Attempts + 1);
  try {
    TPPAParser Parser(Cache, Text);
    Make(*Plan, Parser);
    // A rough size, so that plans count against the cache's bound like the texts they belong to.
    Plan->Ready = Cache.Charge(sizeof(TPlan) + Text.Tokens.size() * sizeof(TNode));
  } catch (const TNoPlan&) {
  } catch (const TPPAError&) {
    // Only literals can raise while planning (a character code that is no number); reading raises it.
  }
  if (!Plan->Ready) {
    // Keep only what tells that this use has no plan under these tables.
    auto Empty = std::make_unique<TPlan>();
    Empty->Stamp = Plan->Stamp;
    Empty->Attempts = Plan->Attempts;
    Plan = std::move(Empty);
  }
  Slot = std::move(Plan);
  return Slot->Ready ? static_cast<TPlan*>(Slot.get()) : nullptr;
}

}  // namespace

void TPPAPlanMaker::PlanExpression(TExprPlan& Plan, TPPAPlanKind Kind) {
  Expr = &Plan;
  switch (Kind) {
    case pkInt: Plan.Root = IntContext(); break;
    case pkReal: Plan.Root = RealRelation(); break;
    default: Plan.Root = StrRelation(); break;
  }
  LinkLeaves(Plan);
}

namespace {

// Whether Op computes from integer operands (true) or real ones (false); nullopt otherwise.
std::optional<bool> OperandFamily(TOp Op) {
  switch (Op) {
    case TOp::IntNot: case TOp::IntNegate: case TOp::IntAdd: case TOp::IntSubtract: case TOp::IntOr:
    case TOp::IntXor: case TOp::IntMultiply: case TOp::IntDivide: case TOp::IntRemainder: case TOp::IntAnd:
    case TOp::IntShiftLeft: case TOp::IntShiftRight: case TOp::IntRelation:
      return true;
    case TOp::RealNegate: case TOp::RealAdd: case TOp::RealSubtract: case TOp::RealMultiply:
    case TOp::RealDivide: case TOp::RealRelation:
      return false;
    default:
      return std::nullopt;
  }
}

const void* LeafOf(const TNode& Operand, bool Integer) {
  if (Integer && Operand.Op == TOp::IntLiteral) return &Operand.Int;
  if (Integer && Operand.Op == TOp::IntValue) return &Operand.Value->IntValue;
  if (!Integer && Operand.Op == TOp::RealLiteral) return &Operand.Real;
  if (!Integer && Operand.Op == TOp::RealValue) return &Operand.Value->RealValue;
  return nullptr;
}

}  // namespace

// Once the nodes stand where they will stay.
void TPPAPlanMaker::LinkLeaves(TExprPlan& Plan) {
  for (TNode& Node : Plan.Nodes) {
    const std::optional<bool> Integer = OperandFamily(Node.Op);
    if (!Integer) continue;
    if (Node.A >= 0) Node.ALeaf = LeafOf(Plan.Nodes[static_cast<std::size_t>(Node.A)], *Integer);
    if (Node.B >= 0) Node.BLeaf = LeafOf(Plan.Nodes[static_cast<std::size_t>(Node.B)], *Integer);
  }
}

// ---- The levels every evaluator shares ----

namespace {

// In the order the readers test them.
constexpr TOperatorWord kIntSumWords[] = {
    {"+", TOp::IntAdd}, {"-", TOp::IntSubtract}, {"or", TOp::IntOr}, {"xor", TOp::IntXor}};
constexpr TOperatorWord kIntTermWords[] = {
    {"*", TOp::IntMultiply}, {"div", TOp::IntDivide},   {"mod", TOp::IntRemainder},
    {"and", TOp::IntAnd},    {"shl", TOp::IntShiftLeft}, {"shr", TOp::IntShiftRight}};
constexpr TOperatorWord kRealSumWords[] = {{"+", TOp::RealAdd}, {"-", TOp::RealSubtract}};
constexpr TOperatorWord kRealTermWords[] = {{"*", TOp::RealMultiply}, {"/", TOp::RealDivide}};

}  // namespace

// First { word Operand }, left to right, for the words of Words.
std::int32_t TPPAPlanMaker::Chain(std::int32_t First, std::span<const TOperatorWord> Words,
                                  std::int32_t (TPPAPlanMaker::*Operand)()) {
  std::int32_t Left = First;
  for (;;) {
    const TOperatorWord* Taken = nullptr;
    for (const TOperatorWord& W : Words) {
      if (ppa_eval::TakeWord(P, W.Word)) {
        Taken = &W;
        break;
      }
    }
    if (Taken == nullptr) return Left;
    const std::int32_t Right = (this->*Operand)();
    Left = Add(Taken->Op, Left, Right);
  }
}

// Sum { comparison Sum }, each comparison planned as Op.
std::int32_t TPPAPlanMaker::Relations(TOp Op, std::int32_t (TPPAPlanMaker::*Sum)()) {
  std::int32_t Left = (this->*Sum)();
  for (TRelation R; (R = ppa_eval::TakeRelation(P)) != TRelation::None;) {
    const std::int32_t Right = (this->*Sum)();
    Left = AddRelation(Op, R, Left, Right);
  }
  return Left;
}

// ---- Integer expressions ----

std::int32_t TPPAPlanMaker::IntContext() {
  switch (PP.OperandType(P)) {
    case pvReal: return Add(TOp::IntOfReal, RealRelation());
    case pvString: return Add(TOp::IntOfStr, StrRelation());
    default: return IntRelation();
  }
}

std::int32_t TPPAPlanMaker::IntRelation() { return Relations(TOp::IntRelation, &TPPAPlanMaker::IntSum); }

std::int32_t TPPAPlanMaker::IntSum() { return Chain(IntTerm(), kIntSumWords, &TPPAPlanMaker::IntTerm); }

std::int32_t TPPAPlanMaker::IntTerm() {
  const std::int32_t First = ppa_eval::TakeWord(P, "not") ? Add(TOp::IntNot, IntFactor()) : IntFactor();
  return Chain(First, kIntTermWords, &TPPAPlanMaker::IntFactor);
}

std::int32_t TPPAPlanMaker::IntFactor() {
  const TGuarded Guard(*this);
  using ppa_eval::TakeWord;
  if (TakeWord(P, "(")) {
    const std::int32_t Value = IntContext();
    Close();
    return Value;
  }
  if (ppa_eval::IsWord(P, ")")) throw TNoPlan{};
  if (TakeWord(P, "+")) return IntTerm();
  if (TakeWord(P, "-")) return Add(TOp::IntNegate, IntTerm());
  return IntOperand();
}

std::int32_t TPPAPlanMaker::IntOperand() {
  if (P.Kind == ptInteger) {
    const std::int32_t I = Add(TOp::IntLiteral);
    Last().Int = ppa_numbers::TextToInt(P.TokenView(), 0);
    P.Next();
    return I;
  }
  if (P.Kind != ptIdent) throw TNoPlan{};
  if (const auto* E = PP.FindValue(P)) {
    if (E->Data->ValueType != pvInteger || E->Data->HostObject == 1) throw TNoPlan{};
    const std::int32_t I = Add(TOp::IntValue);
    Last().Value = E->Data.get();
    P.Next();
    return I;
  }
  if (const auto* F = PP.FindFunction(P)) {
    if (F->Data->ResultType != pvInteger) throw TNoPlan{};
    const std::string Name = F->Name;
    P.Next();
    return FunctionCall(TOp::IntCall, Name);
  }
  throw TNoPlan{};
}

// ---- Real expressions ----

std::int32_t TPPAPlanMaker::RealRelation() { return Relations(TOp::RealRelation, &TPPAPlanMaker::RealSum); }

std::int32_t TPPAPlanMaker::RealSum() { return Chain(RealTerm(), kRealSumWords, &TPPAPlanMaker::RealTerm); }

std::int32_t TPPAPlanMaker::RealTerm() { return Chain(RealFactor(), kRealTermWords, &TPPAPlanMaker::RealFactor); }

std::int32_t TPPAPlanMaker::RealFactor() {
  const TGuarded Guard(*this);
  using ppa_eval::TakeWord;
  if (TakeWord(P, "(")) {
    std::int32_t Value;
    switch (PP.OperandType(P)) {
      case pvInteger: Value = Add(TOp::RealOfInt, IntRelation()); break;
      case pvString: {
        // A string part that fails counts as 0.0 and the reader skips to its closing parenthesis;
        // planned only where that is also where a successful reading stops.
        const std::int64_t Close = P.Position() + ppa_eval::ClosingOffset(P.Rest());
        Value = Add(TOp::RealOfStr, StrRelation());
        if (P.Position() != Close) throw TNoPlan{};
        break;
      }
      default: Value = RealRelation(); break;
    }
    Close();
    return Value;
  }
  if (ppa_eval::IsWord(P, ")")) throw TNoPlan{};
  if (TakeWord(P, "+")) return RealTerm();
  if (TakeWord(P, "-")) return Add(TOp::RealNegate, RealTerm());
  return RealOperand();
}

std::int32_t TPPAPlanMaker::RealOperand() {
  if (P.Kind == ptInteger || P.Kind == ptReal) {
    const std::string_view Text = P.TokenView();
    const std::int32_t I = Add(TOp::RealLiteral);
    Last().Real = Text.starts_with('$') ? static_cast<double>(ppa_numbers::TextToInt(Text, 0))
                                        : ppa_numbers::ParseReal(Text).value_or(0.0);
    P.Next();
    return I;
  }
  if (P.Kind != ptIdent) throw TNoPlan{};
  if (const auto* E = PP.FindValue(P)) {
    const TPPAValue& V = *E->Data;
    if (V.ValueType == pvString || V.HostObject == 1) throw TNoPlan{};
    const std::int32_t I = Add(V.ValueType == pvInteger ? TOp::IntValue : TOp::RealValue);
    Last().Value = &V;
    P.Next();
    return V.ValueType == pvInteger ? Add(TOp::RealOfInt, I) : I;
  }
  if (const auto* F = PP.FindFunction(P)) {
    if (F->Data->ResultType == pvString) throw TNoPlan{};
    const std::string Name = F->Name;
    const bool IsInteger = F->Data->ResultType == pvInteger;
    P.Next();
    return IsInteger ? Add(TOp::RealOfInt, FunctionCall(TOp::IntCall, Name)) : FunctionCall(TOp::RealCall, Name);
  }
  throw TNoPlan{};
}

// ---- String expressions ----

std::int32_t TPPAPlanMaker::StrRelation() { return Relations(TOp::StrRelation, &TPPAPlanMaker::StrSum); }

std::int32_t TPPAPlanMaker::StrSum() {
  std::int32_t Left = StrFactor();
  while (ppa_eval::TakeWord(P, "+") || P.Kind == ptString) {
    const std::int32_t Right = StrFactor();
    Left = Add(TOp::StrConcat, Left, Right);
  }
  return Left;
}

std::int32_t TPPAPlanMaker::StrFactor() {
  const TGuarded Guard(*this);
  if (ppa_eval::TakeWord(P, "(")) {
    const std::int32_t Value = StrRelation();
    Close();
    return Value;
  }
  if (ppa_eval::IsWord(P, ")")) throw TNoPlan{};
  return StrOperand();
}

std::int32_t TPPAPlanMaker::StrOperand() {
  if (P.Kind == ptString) {
    std::string Value = TPoorPascal::DecodeLiteral(P.TokenView());
    const std::int32_t I = Add(TOp::StrLiteral);
    Last().Str = std::move(Value);
    P.Next();
    return I;
  }
  if (P.Kind != ptIdent) throw TNoPlan{};
  if (const auto* E = PP.FindValue(P)) {
    if (E->Data->ValueType != pvString || E->Data->HostObject == 1) throw TNoPlan{};
    const std::int32_t I = Add(TOp::StrValue);
    Last().Value = E->Data.get();
    P.Next();
    return I;
  }
  if (const auto* F = PP.FindFunction(P)) {
    if (F->Data->ResultType != pvString) throw TNoPlan{};
    const std::string Name = F->Name;
    P.Next();
    return FunctionCall(TOp::StrCall, Name);
  }
  throw TNoPlan{};
}

// ---- Calls ----

std::int32_t TPPAPlanMaker::FunctionCall(TOp Op, const std::string& Name) {
  const TGuarded Guard(*this);  // the dispatcher's
  bool Effects = false;
  std::unique_ptr<TCallPlan> Call = PlanCall(PP.Functions, Name, &Effects);
  Call->Level = static_cast<std::uint16_t>(Level);
  const std::int32_t I = Add(Op);
  Last().Call = Call.get();
  Expr->Calls.push_back(std::move(Call));
  if (Effects) Expr->Effects = true;
  return I;
}

std::unique_ptr<TCallPlan> TPPAPlanMaker::PlanCall(const TPPATable<TPPARoutine>& Table, const std::string& Name,
                                                   bool* Effects) {
  const bool InExpression = Effects != nullptr;
  auto Call = std::make_unique<TCallPlan>();
  Call->Upper = platform::AnsiUpperCase(Name);
  const TPPARoutine* R = Table.Find(Call->Upper);
  if (R == nullptr) throw TNoPlan{};
  Call->Routine = *R;
  Call->IsFunction = &Table == &PP.Functions;
  if (R->Permanent == 1) {
    if (InExpression && !ppa_builtins::IsPure(R->Index)) throw TNoPlan{};
    if (!Call->IsFunction) {
      Call->Proc = ppa_builtins::Find<ppa_builtins::TProcHandler>(R->Index);
    } else if (R->ResultType == pvInteger) {
      Call->IntFunc = ppa_builtins::Find<ppa_builtins::TIntHandler>(R->Index);
    } else if (R->ResultType == pvReal) {
      Call->RealFunc = ppa_builtins::Find<ppa_builtins::TRealHandler>(R->Index);
    } else {
      Call->StrFunc = ppa_builtins::Find<ppa_builtins::TStrHandler>(R->Index);
    }
    if (!Call->Proc && !Call->IntFunc && !Call->RealFunc && !Call->StrFunc) throw TNoPlan{};
  } else if (InExpression) {
    *Effects = true;
  }
  // As ReadArguments and CloseArguments read the list.
  const std::size_t N = R->Params.size();
  if (N == 0) return Call;
  if (P.TokenView() != "(") throw TNoPlan{};
  P.Next();
  for (std::size_t i = 0; i < N; ++i) {
    TPPAScannedText* Text = Cached(PP.ArgumentCut(P));
    if (InExpression) {
      const auto Kind = static_cast<TPPAPlanKind>(R->Params[i].Argument.ValueType);
      const TExprPlan* Argument = TPPAPlanner::ExpressionPlan(PP, *Text, Kind, Base + Level);
      if (Argument == nullptr) throw TNoPlan{};
      if (Argument->Effects) *Effects = true;
    }
    Call->Arguments.push_back(Text);
    if (i + 1 < N) P.Next();
  }
  if (P.TokenView() != ")") throw TNoPlan{};
  P.Next();
  return Call;
}

// ---- Statements ----

namespace {

// The words the keyword form of a statement looks for.
bool IsStatementKeyword(const TPPAParser& P) {
  for (const char* Word : {"BEGIN", "BREAK", "CONTINUE", "EXIT", "IF", "FOR", "WHILE", "REPEAT", "CASE"}) {
    if (P.Is(Word)) return true;
  }
  return false;
}

}  // namespace

void TPPAPlanMaker::PlanStatement(TStatementPlan& Plan) {
  using TForm = TStatementPlan::TForm;
  if (P.Kind != ptIdent) throw TNoPlan{};
  // The call form; whatever follows the call would be read on as another form.
  if (const auto* Proc = PP.FindProcedure(P)) {
    const std::string Name = Proc->Name;
    P.Next();
    Plan.Routine = PlanCall(PP.Procedures, Name, nullptr);
    if (!P.AtEnd()) throw TNoPlan{};
    Plan.Form = TForm::Call;
    return;
  }
  if (const auto* Func = PP.FindFunction(P)) {
    const std::string Name = Func->Name;
    P.Next();
    Plan.Routine = PlanCall(PP.Functions, Name, nullptr);
    if (!P.AtEnd()) throw TNoPlan{};
    Plan.Form = TForm::Call;
    return;
  }
  if (const auto* Entry = PP.FindValue(P)) {
    if (Entry->Data->ReadOnly) throw TNoPlan{};
    Plan.Name = Entry->Name;
    Plan.Variable = Entry->Data.get();
    P.Next();
    if (!P.Accept(":=")) throw TNoPlan{};
    Plan.Expression = Cached(PP.RestCut(P));
    // The reader goes on to the keyword form on the token after ":=".
    if (P.Is(";") || IsStatementKeyword(P)) throw TNoPlan{};
    Plan.Form = TForm::Assignment;
    if (Plan.Variable->HostObject == 0) {
      Plan.First = PurePlan(*Plan.Expression, static_cast<TPPAPlanKind>(Plan.Variable->ValueType));
    }
    return;
  }
  if (P.Is("BEGIN")) {
    Plan.Body = Cached(PP.CollectBody(P));
    Plan.Form = TForm::Block;
  } else if (P.Is("BREAK")) {
    Plan.Form = TForm::Break;
  } else if (P.Is("CONTINUE")) {
    Plan.Form = TForm::Continue;
  } else if (P.Is("EXIT")) {
    Plan.Form = TForm::Exit;
  } else if (P.Is("IF")) {
    P.Next();
    Plan.Condition = Cached(PP.CollectUntil(P, TPoorPascal::ckThen, {"THEN"}));
    P.Accept("THEN");
    if (P.AtEnd()) throw TNoPlan{};
    Plan.Body = Cached(PP.CollectBody(P));
    P.Accept("END");
    if (P.Accept("ELSE")) Plan.Else = Cached(PP.CollectBody(P));
    Plan.Form = TForm::If;
    Plan.First = PurePlan(*Plan.Condition, pkInt);
  } else if (P.Is("FOR")) {
    P.Next();
    Plan.Name = P.Token();
    const TPoorPascal::TCut Start = PP.CollectUntil(P, TPoorPascal::ckToOrDownto, {"TO", "DOWNTO"});
    if (Start.View().find(":=") == std::string_view::npos || P.AtEnd()) throw TNoPlan{};
    Plan.Start = Cached(Start);
    Plan.Upward = P.Is("TO");
    P.Next();
    Plan.Condition = Cached(PP.CollectUntil(P, TPoorPascal::ckDo, {"DO"}));
    if (P.AtEnd()) throw TNoPlan{};
    P.Next();
    Plan.Body = Cached(PP.CollectBody(P));
    Plan.Form = TForm::For;
  } else if (P.Is("WHILE")) {
    P.Next();
    Plan.Condition = Cached(PP.CollectUntil(P, TPoorPascal::ckDo, {"DO"}));
    if (P.AtEnd()) throw TNoPlan{};
    P.Next();
    Plan.Body = Cached(PP.CollectBody(P));
    Plan.Form = TForm::While;
  } else if (P.Is("REPEAT")) {
    Plan.Body = Cached(PP.RepeatBlockCut(P));
    P.Accept("UNTIL");
    Plan.Condition = Cached(PP.CollectUntil(P, TPoorPascal::ckSemicolon, {";"}));
    Plan.Form = TForm::Repeat;
  } else if (P.Is("CASE")) {
    PlanCase(Plan);
    Plan.Form = TForm::Case;
  } else {
    throw TNoPlan{};
  }
}

// As ExecCase and MatchCaseLabels read it, planned only when the whole statement is well formed:
// then cutting every arm first changes nothing.
void TPPAPlanMaker::PlanCase(TStatementPlan& Plan) {
  P.Next();
  Plan.Condition = Cached(PP.CollectUntil(P, TPoorPascal::ckOf, {"OF"}));
  if (P.AtEnd()) throw TNoPlan{};
  P.Next();
  do {
    TCaseArm Arm{};
    TPPAScannedText* Labels = Cached(PP.CollectUntil(P, TPoorPascal::ckColon, {":"}));
    if (!P.Accept(":")) throw TNoPlan{};
    Arm.Branch = Cached(PP.CollectBody(P));
    TPPAParser L(PP.Tokens, *Labels);
    while (!L.AtEnd()) {
      const TPoorPascal::TCut Item = PP.LabelCut(L);
      const std::string_view Text = Item;
      const std::size_t Range = Text.find("..");
      TCaseLabel Label{};
      Label.Range = Range != std::string_view::npos;
      Label.Low = PP.Tokens.Get(Label.Range ? Text.substr(0, Range) : Text);
      Label.High = Label.Range ? PP.Tokens.Get(Text.substr(Range + 2)) : Label.Low;
      if (Label.Low == nullptr || Label.High == nullptr) throw TNoPlan{};
      const auto Literal = [&](TPPAScannedText* Bound, std::int64_t& Value) {
        const TExprPlan* BoundPlan = TPPAPlanner::ExpressionPlan(PP, *Bound, pkInt, 0);
        if (BoundPlan == nullptr) return false;
        const TNode& Root = BoundPlan->Nodes[static_cast<std::size_t>(BoundPlan->Root)];
        if (Root.Op != TOp::IntLiteral) return false;
        Value = Root.Int;
        return true;
      };
      Label.Constant = Literal(Label.Low, Label.LowValue) && Literal(Label.High, Label.HighValue);
      Arm.Labels.push_back(Label);
      L.Next();
    }
    Plan.Arms.push_back(std::move(Arm));
    P.Accept("END");
    P.Accept(";");
  } while (!P.Is("ELSE") && !P.Is("END") && !P.AtEnd());
  if (P.Is("ELSE")) Plan.Else = Cached(PP.CollectBody(P));
  if (!P.Accept("END")) throw TNoPlan{};
}

namespace {

// Counts a run of a plan that may reach the owner, so that the plan is not replaced while it runs
// (the owner may change the tables and run the same text again).
class TRunning {
 public:
  explicit TRunning(const TPPAPlan& Plan) : Plan_(Plan) { ++Plan_.Running; }
  ~TRunning() { --Plan_.Running; }
  TRunning(const TRunning&) = delete;
  TRunning& operator=(const TRunning&) = delete;

 private:
  const TPPAPlan& Plan_;
};

}  // namespace

// ---- Running plans ----

// Runs plans. An expression plan looks nothing up once it may have reached the owner, so it holds
// throughout.
class TPPAPlanRunner {
 public:
  explicit TPPAPlanRunner(TPoorPascal& Owner) : PP(Owner) {}

  std::int64_t Int(const TExprPlan& Plan, std::int32_t I);
  double Real(const TExprPlan& Plan, std::int32_t I);
  std::string Str(const TExprPlan& Plan, std::int32_t I);
  void StrInto(const TExprPlan& Plan, std::int32_t I, std::string& Out);
  bool Statement(TStatementPlan& S);
  // Whether the statement's first expression runs from the plan it keeps, which holds whenever the
  // statement's does.
  bool FirstRuns(const TStatementPlan& S) const {
    return S.First != nullptr && S.First->FitsAt(PP.Depth);
  }
  [[gnu::noinline]] void For(TStatementPlan& S);
  // The direct assignment of a real or string.
  [[gnu::noinline]] void AssignOther(TStatementPlan& S);
  [[gnu::noinline]] void Case(TStatementPlan& S);

 private:
  template <typename TResult, typename Handler>
  TResult Call(TCallPlan& C, Handler TCallPlan::*Run);
  template <typename TResult, typename Handler>
  TResult Invoke(TCallPlan& C, Handler TCallPlan::*Run, const TPPAParams& Args);
  // The rarer operations, kept out of Int and Real so that those stay small: they recurse for every
  // operation of an expression.
  [[gnu::noinline]] std::int64_t IntCall(TCallPlan& C) { return Call<std::int64_t>(C, &TCallPlan::IntFunc); }
  [[gnu::noinline]] double RealCall(TCallPlan& C) { return Call<double>(C, &TCallPlan::RealFunc); }
  [[gnu::noinline]] std::int64_t IntOfStr(const TExprPlan& Plan, std::int32_t I) {
    return ppa_numbers::TextToInt(Str(Plan, I), -1);
  }
  [[gnu::noinline]] double RealOfStr(const TExprPlan& Plan, std::int32_t I);
  [[gnu::noinline]] void CallStatement(TCallPlan& C);
  void ReadArguments(TCallPlan& C, TPPAParams& Args);

  TPoorPascal& PP;
};

// Fills the call's argument records as ReadArguments does, each by its parameter's type.
void TPPAPlanRunner::ReadArguments(TCallPlan& C, TPPAParams& Args) {
  for (std::size_t i = 0; i < C.Arguments.size(); ++i) {
    TPPAArgument& A = Args[i].Argument;
    switch (C.Routine.Params[i].Argument.ValueType) {
      case pvInteger: A.IntValue = PP.EvalInt(*C.Arguments[i]); break;
      case pvReal: A.RealValue = PP.EvalReal(*C.Arguments[i]); break;
      case pvString:
        PP.EvalStrInto(*C.Arguments[i], A.StrValue);
        A.StrValue.resize(std::min(A.StrValue.size(), A.StrValue.find('\0')));  // as the reader's ReadArguments cuts it
        break;
    }
  }
}

template <typename TResult, typename Handler>
TResult TPPAPlanRunner::Call(TCallPlan& C, Handler TCallPlan::*Run) {
  const TRaised Raised(PP.Depth, C.Level);
  TCallArguments Args(C);
  ReadArguments(C, Args.Get());
  return Invoke<TResult>(C, Run, Args.Get());
}

// The routine of a call whose arguments are read: the built-in's handler, or the owner's event
// with its result checked. TResult is void for a procedure.
template <typename TResult, typename Handler>
TResult TPPAPlanRunner::Invoke(TCallPlan& C, Handler TCallPlan::*Run, const TPPAParams& Args) {
  const TPPARoutine& R = C.Routine;
  if (R.Permanent == 1) return (C.*Run)(PP, Args);
  std::int32_t Err_CD = -1;
  if constexpr (std::is_void_v<TResult>) {
    if (PP.ProcParam) PP.ProcParam(C.Upper, R.Index, Args, Err_CD);
    PP.CheckOwnerResult(Err_CD, C.Upper);
  } else {
    TResult Result = TResult();
    if constexpr (std::is_same_v<TResult, std::int64_t>) {
      if (PP.IntFuncParam) PP.IntFuncParam(C.Upper, R.Index, Args, Err_CD, Result);
    } else if constexpr (std::is_same_v<TResult, double>) {
      if (PP.RealFuncParam) PP.RealFuncParam(C.Upper, R.Index, Args, Err_CD, Result);
    } else {
      if (PP.StrFuncParam) PP.StrFuncParam(C.Upper, R.Index, Args, Err_CD, Result);
    }
    PP.CheckOwnerResult(Err_CD, C.Upper);
    return Result;
  }
}

std::int64_t TPPAPlanRunner::Int(const TExprPlan& Plan, std::int32_t I) {
  namespace N = ppa_numbers;
  const TNode& Node = Plan.Nodes[static_cast<std::size_t>(I)];
  // Left before right, as the reader evaluates them. Most operands are literals and variables,
  // read here without a call.
  auto Left = [&] { return Node.ALeaf ? *static_cast<const std::int64_t*>(Node.ALeaf) : Int(Plan, Node.A); };
  auto Right = [&] { return Node.BLeaf ? *static_cast<const std::int64_t*>(Node.BLeaf) : Int(Plan, Node.B); };
  switch (Node.Op) {
    case TOp::IntLiteral: return Node.Int;
    case TOp::IntValue: return Node.Value->IntValue;
    case TOp::IntCall: return IntCall(*Node.Call);
    case TOp::IntNot: return ~Left();
    case TOp::IntNegate: return N::Negate(Left());
    case TOp::IntAdd: { const std::int64_t L = Left(); return N::Add(L, Right()); }
    case TOp::IntSubtract: { const std::int64_t L = Left(); return N::Subtract(L, Right()); }
    case TOp::IntOr: { const std::int64_t L = Left(); return L | Right(); }
    case TOp::IntXor: { const std::int64_t L = Left(); return L ^ Right(); }
    case TOp::IntMultiply: { const std::int64_t L = Left(); return N::Multiply(L, Right()); }
    case TOp::IntDivide: { const std::int64_t L = Left(); return N::Divide(L, Right()); }
    case TOp::IntRemainder: { const std::int64_t L = Left(); return N::Remainder(L, Right()); }
    case TOp::IntAnd: { const std::int64_t L = Left(); return L & Right(); }
    case TOp::IntShiftLeft: { const std::int64_t L = Left(); return N::ShiftLeft(L, Right()); }
    case TOp::IntShiftRight: { const std::int64_t L = Left(); return N::ShiftRight(L, Right()); }
    case TOp::IntRelation: {
      const std::int64_t L = Left();
      return ppa_eval::Holds(Node.Relation, L, Right()) ? -1 : 0;
    }
    case TOp::IntOfReal: return N::Truncate(Real(Plan, Node.A));
    case TOp::IntOfStr: return IntOfStr(Plan, Node.A);
    default: return 0;  // not an integer operation: never planned
  }
}

double TPPAPlanRunner::Real(const TExprPlan& Plan, std::int32_t I) {
  const TNode& Node = Plan.Nodes[static_cast<std::size_t>(I)];
  auto Left = [&] { return Node.ALeaf ? *static_cast<const double*>(Node.ALeaf) : Real(Plan, Node.A); };
  auto Right = [&] { return Node.BLeaf ? *static_cast<const double*>(Node.BLeaf) : Real(Plan, Node.B); };
  switch (Node.Op) {
    case TOp::RealLiteral: return Node.Real;
    case TOp::RealValue: return Node.Value->RealValue;
    case TOp::RealCall: return RealCall(*Node.Call);
    case TOp::RealNegate: return -Left();
    case TOp::RealAdd: { const double L = Left(); return L + Right(); }
    case TOp::RealSubtract: { const double L = Left(); return L - Right(); }
    case TOp::RealMultiply: { const double L = Left(); return L * Right(); }
    case TOp::RealDivide: { const double L = Left(); return L / Right(); }
    case TOp::RealRelation: {
      const double L = Left();
      return ppa_eval::Holds(Node.Relation, L, Right()) ? -1.0 : 0.0;
    }
    case TOp::RealOfInt: return static_cast<double>(Int(Plan, Node.A));
    case TOp::RealOfStr: return RealOfStr(Plan, Node.A);
    default: return 0.0;
  }
}

// As the reader: a failing string part is 0.0, except a stop, the nesting limit and exhausted
// memory, which still end the run.
double TPPAPlanRunner::RealOfStr(const TExprPlan& Plan, std::int32_t I) {
  try {
    return ppa_numbers::ParseReal(Str(Plan, I)).value_or(0.0);
  } catch (const TPPAError& E) {
    if (!ppa_eval::DropsStringPartError(PP.Stopped, E)) throw;
    return 0.0;
  }
}

std::string TPPAPlanRunner::Str(const TExprPlan& Plan, std::int32_t I) {
  std::string Out;
  StrInto(Plan, I, Out);
  return Out;
}

// Out is a buffer of the runner's own (an argument record, a statement's scratch), never a
// variable, so writing it while the expression runs changes nothing the expression reads; reusing
// its capacity spares an allocation for most strings.
void TPPAPlanRunner::StrInto(const TExprPlan& Plan, std::int32_t I, std::string& Out) {
  const TNode& Node = Plan.Nodes[static_cast<std::size_t>(I)];
  switch (Node.Op) {
    case TOp::StrLiteral: Out.assign(Node.Str); return;
    case TOp::StrValue: Out.assign(Node.Value->StrValue); return;
    case TOp::StrCall: Out = Call<std::string>(*Node.Call, &TCallPlan::StrFunc); return;
    case TOp::StrConcat: {
      StrInto(Plan, Node.A, Out);
      auto Append = [&Out](const std::string& R) {
        ppa_eval::CheckJoinedLength(Out.size(), R.size());
        Out += R;
      };
      // A literal or a variable on the right is appended where it stands, without a copy.
      const TNode& Right = Plan.Nodes[static_cast<std::size_t>(Node.B)];
      if (Right.Op == TOp::StrLiteral) {
        Append(Right.Str);
      } else if (Right.Op == TOp::StrValue) {
        Append(Right.Value->StrValue);
      } else {
        Append(Str(Plan, Node.B));
      }
      return;
    }
    case TOp::StrRelation: {
      const std::string L = Str(Plan, Node.A);
      Out = ppa_eval::Holds(Node.Relation, L, Str(Plan, Node.B)) ? "-1" : "0";
      return;
    }
    default: Out.clear(); return;
  }
}

bool TPPAPlanRunner::Statement(TStatementPlan& S) {
  using TCut = TPoorPascal::TCut;
  using TForm = TStatementPlan::TForm;
  switch (S.Form) {
    case TForm::Call: CallStatement(*S.Routine); return true;
    case TForm::Assignment:
      // Assign, for a variable that is no host object and an expression that calls no owner.
      if (FirstRuns(S)) {
        if (S.Variable->ValueType == pvInteger) {
          S.Variable->IntValue = Int(*S.First, S.First->Root);
        } else {
          AssignOther(S);
        }
        return true;
      }
      PP.Assign(S.Name, S.Variable, *S.Expression);
      return true;
    case TForm::Block: PP.ExecStatements(*S.Body); return true;
    case TForm::Break: PP.BreakFlag = 1; return false;
    case TForm::Continue: PP.ContinueFlag = 1; return false;
    case TForm::Exit: PP.ExitFlag = 1; return false;
    case TForm::If: {
      // As ExecIf, on the cached texts.
      const bool Taken = (FirstRuns(S) ? Int(*S.First, S.First->Root) : PP.EvalInt(*S.Condition)) != 0;
      if (Taken) {
        PP.ExecStatements(*S.Body);
      } else if (S.Else != nullptr) {
        PP.ExecStatements(*S.Else);
      }
      return true;
    }
    case TForm::For: For(S); return true;
    case TForm::While: PP.RunWhile(TCut(*S.Condition), TCut(*S.Body)); return true;
    case TForm::Repeat: PP.RunRepeat(TCut(*S.Body), TCut(*S.Condition)); return true;
    case TForm::Case: Case(S); return true;
  }
  return true;
}

// A string is made in the scratch and swapped in, so that the scratch keeps the old value's buffer
// for the next pass.
void TPPAPlanRunner::AssignOther(TStatementPlan& S) {
  if (S.Variable->ValueType == pvReal) {
    S.Variable->RealValue = Real(*S.First, S.First->Root);
    return;
  }
  StrInto(*S.First, S.First->Root, S.Scratch);
  S.Scratch.resize(std::min(S.Scratch.size(), S.Scratch.find('\0')));  // a stored string ends at its first NUL
  S.Variable->StrValue.swap(S.Scratch);
}

// The order of ExecFor: the variable checked, the start run, the limit evaluated.
void TPPAPlanRunner::For(TStatementPlan& S) {
  PP.ForVariable(S.Name);
  PP.ExecStatements(*S.Start);
  const std::int64_t First = PP.ForVariable(S.Name).IntValue;
  const std::int64_t Last = PP.EvalInt(*S.Condition);
  PP.RunForLoop(S.Name, First, Last, S.Upward, TPoorPascal::TCut(*S.Body));
}

void TPPAPlanRunner::Case(TStatementPlan& S) {
  const std::int64_t Selector = PP.EvalInt(*S.Condition);
  bool Matched = false;
  for (const TCaseArm& Arm : S.Arms) {
    // Every matching branch runs, not only the first.
    for (const TCaseLabel& Label : Arm.Labels) {
      const bool Known = Label.Constant && PP.Depth < TPoorPascal::kMaxNesting;
      const std::int64_t Low = Known ? Label.LowValue : PP.EvalInt(*Label.Low);
      const std::int64_t High = Known ? Label.HighValue : Label.Range ? PP.EvalInt(*Label.High) : Low;
      if (Low <= Selector && Selector <= High) {
        PP.ExecStatements(*Arm.Branch);
        Matched = true;
        break;
      }
    }
  }
  if (S.Else != nullptr && !Matched) PP.ExecStatements(*S.Else);
}

// As CallProc and CallFunction: the arguments read, the built-in run or the owner called, the result
// (of a function) dropped.
void TPPAPlanRunner::CallStatement(TCallPlan& C) {
  const TPoorPascal::TNestingGuard Guard(PP);
  TCallArguments Args(C);
  ReadArguments(C, Args.Get());
  if (!C.IsFunction) return Invoke<void>(C, &TCallPlan::Proc, Args.Get());
  switch (C.Routine.ResultType) {
    case pvInteger: (void)Invoke<std::int64_t>(C, &TCallPlan::IntFunc, Args.Get()); return;
    case pvReal: (void)Invoke<double>(C, &TCallPlan::RealFunc, Args.Get()); return;
    case pvString: (void)Invoke<std::string>(C, &TCallPlan::StrFunc, Args.Get()); return;
  }
}

// ---- The entry points ----

const TExprPlan* TPPAPlanner::ExpressionPlan(TPoorPascal& PP, TPPAScannedText& Text, TPPAPlanKind Kind, int Base) {
  return PlanFor<TExprPlan>(PP, PP.Tokens, Text, Kind, [&](TExprPlan& Plan, TPPAParser& P) {
    TPPAPlanMaker(PP, P, Base).PlanExpression(Plan, Kind);
  });
}

namespace {

// Where the reader would reach the nesting limit inside the text, it reads the text and raises it.
template <typename TResult, typename RunFn>
bool TryExpression(TPoorPascal& PP, int Depth, TPPAScannedText& Text, TPPAPlanKind Kind, TResult& Result, RunFn Run) {
  auto* Plan = static_cast<const TExprPlan*>(TPPAPlanner::Current(Text, Kind, PP.TablesStamp()));
  if (Plan == nullptr) Plan = TPPAPlanner::ExpressionPlan(PP, Text, Kind, 0);
  if (Plan == nullptr || !Plan->FitsAt(Depth)) return false;
  if (Plan->Effects) {
    const TRunning InProgress(*Plan);
    Result = Run(*Plan);
  } else {
    Result = Run(*Plan);
  }
  return true;
}

}  // namespace

bool TPPAPlanner::TryInt(TPoorPascal& PP, TPPAScannedText& Text, std::int64_t& Result) {
  return TryExpression(PP, PP.Depth, Text, pkInt, Result,
                       [&](const TExprPlan& Plan) { return TPPAPlanRunner(PP).Int(Plan, Plan.Root); });
}

bool TPPAPlanner::TryReal(TPoorPascal& PP, TPPAScannedText& Text, double& Result) {
  return TryExpression(PP, PP.Depth, Text, pkReal, Result,
                       [&](const TExprPlan& Plan) { return TPPAPlanRunner(PP).Real(Plan, Plan.Root); });
}

bool TPPAPlanner::TryStr(TPoorPascal& PP, TPPAScannedText& Text, std::string& Result) {
  return TryExpression(PP, PP.Depth, Text, pkStr, Result,
                       [&](const TExprPlan& Plan) { return TPPAPlanRunner(PP).Str(Plan, Plan.Root); });
}


bool TPPAPlanner::TryStatement(TPoorPascal& PP, TPPAScannedText& Statement, bool& Result) {
  TStatementPlan* Plan = PlanFor<TStatementPlan>(
      PP, PP.Tokens, Statement, pkStatement, [&](TStatementPlan& S, TPPAParser& P) { TPPAPlanMaker(PP, P, 0).PlanStatement(S); });
  if (Plan == nullptr) return false;
  const TRunning InProgress(*Plan);
  Result = TPPAPlanRunner(PP).Statement(*Plan);
  return true;
}

// ---- The interpreter's doors to plans ----
// Defined here, beside the planner, so that the common case (a plan that holds) takes no call.

std::int64_t TPoorPascal::EvalInt(TPPAScannedText& Text) {
  if (auto* Plan = static_cast<const TExprPlan*>(TPPAPlanner::Current(Text, pkInt, TablesStamp()));
      Plan != nullptr && !Plan->Effects && Plan->FitsAt(Depth)) {
    return TPPAPlanRunner(*this).Int(*Plan, Plan->Root);
  }
  return EvalIntWithoutHeldPlan(Text);
}

// The doors' paths where no plan holds yet, kept apart so that the doors stay small.
std::int64_t TPoorPascal::EvalIntWithoutHeldPlan(TPPAScannedText& Text) {
  std::int64_t Result = 0;
  return TPPAPlanner::TryInt(*this, Text, Result) ? Result : ReadInt(Text);
}

double TPoorPascal::EvalReal(TPPAScannedText& Text) {
  double Result = 0.0;
  return TPPAPlanner::TryReal(*this, Text, Result) ? Result : ReadReal(Text);
}

std::string TPoorPascal::EvalStr(TPPAScannedText& Text) {
  std::string Result;
  EvalStrInto(Text, Result);
  return Result;
}

void TPoorPascal::EvalStrInto(TPPAScannedText& Text, std::string& Out) {
  if (auto* Plan = static_cast<const TExprPlan*>(TPPAPlanner::Current(Text, pkStr, TablesStamp()));
      Plan != nullptr && !Plan->Effects && Plan->FitsAt(Depth)) {
    return TPPAPlanRunner(*this).StrInto(*Plan, Plan->Root, Out);
  }
  if (!TPPAPlanner::TryStr(*this, Text, Out)) Out = ReadStr(Text);
}

// The executor's loop over a cached text, here so that each statement's door is taken without a call.
void TPoorPascal::ExecStatements(TPPAScannedText& Text) {
  const TNestingGuard Guard(*this);
  // A handler run here may call Stop; the pump drops its error and the checks below see Stopped.
  platform::ProcessMessages();
  const auto* Statements = CachedStatements(Text);
  if (Statements == nullptr) return ExecSplitStatements(Text.Text);
  for (TPPAScannedText* Statement : *Statements) {
    if (Stopped || BreakFlag || ContinueFlag || ExitFlag) return;
    if (!ExecStatement(*Statement)) return;
  }
}

bool TPoorPascal::ExecStatement(TPPAScannedText& Statement) {
  if (auto* Plan = static_cast<TStatementPlan*>(TPPAPlanner::Current(Statement, pkStatement, TablesStamp()))) {
    const TRunning InProgress(*Plan);
    return TPPAPlanRunner(*this).Statement(*Plan);
  }
  return ExecStatementWithoutHeldPlan(Statement);
}

bool TPoorPascal::ExecStatementWithoutHeldPlan(TPPAScannedText& Statement) {
  bool Result = true;
  if (TPPAPlanner::TryStatement(*this, Statement, Result)) return Result;
  TPPAParser P(Tokens, Statement);
  return ExecStatement(P);
}
