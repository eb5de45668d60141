// The statement executor. Statements are cut out of the text as token runs (each token followed by
// one blank) and run by scanning them afresh: for «WHILE i < 3 DO BEGIN i := i + 1 END », the
// condition is the text «i < 3 » and the body «i := i + 1 », evaluated and run on every pass.
// These readers are the reference; a text read once runs again from its plan (plans.h), which
// repeats what they would do.
#include <algorithm>

#include "interpreter/messages.h"
#include "interpreter/poor_pascal.h"
#include "platform/platform.h"

namespace {

using ppa_messages::kSyntaxError;

[[noreturn]] void Fail(std::string_view Pattern, std::string_view Arg = {}) {
  throw TPPAError(PPAFormat(Pattern, Arg));
}

// Only these words change the nesting level; IF, THEN, ELSE, DO and OF do not.
// Every token of every cut-out text passes through here, so most words are let go on their length.
int LevelChange(const TPPAParser& P) {
  if (P.Kind != ptIdent) return 0;
  switch (P.TokenView().size()) {
    case 3: return P.Is("END") ? -1 : 0;
    case 4: return P.Is("CASE") ? 1 : 0;
    case 5: return P.Is("BEGIN") ? 1 : P.Is("UNTIL") ? -1 : 0;
    case 6: return P.Is("REPEAT") ? 1 : 0;
    default: return 0;
  }
}

void AppendToken(std::string& Text, const TPPAParser& P) { Text.append(P.TokenView()).push_back(' '); }

// The block standing on BEGIN, ELSE or REPEAT, up to (not past) its Terminator at level 0.
std::string CollectBlock(TPPAParser& P, std::string_view Terminator) {
  std::string Text;
  P.Next();
  if (P.Is("END") || P.Is("UNTIL")) return Text;
  int Level = 0;
  do {
    Level += LevelChange(P);
    AppendToken(Text, P);
    P.Next();
  } while (!(Level == 0 && P.Is(Terminator)) && !P.AtEnd());
  return Text;
}

// Truncates to the low 32 bits, read as signed: FOR counts in 32 bits.
std::int32_t Low32(std::int64_t V) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(V)); }

// The memo of the current name token, or nullptr unless P replays a cached text. Names are ASCII
// (the scanner's letters), so what they find depends only on the tables, never on the code page.
TPPANameMemo* NameMemo(const TPPAParser& P) {
  TPPAScannedText* S = P.Scanned();
  if (S == nullptr || P.Kind != ptIdent) return nullptr;
  if (S->Names.empty()) S->Names.resize(S->Tokens.size());
  return &S->Names[P.TokenIndex()];
}

// Takes the current token always, then every token up to the first stop word (not consumed).
std::string CollectUntilPlain(TPPAParser& P, std::initializer_list<std::string_view> StopWords) {
  std::string Text;
  auto AtStop = [&] {
    for (std::string_view W : StopWords) {
      if (P.Is(W)) return true;
    }
    return false;
  };
  do {
    AppendToken(Text, P);
    P.Next();
  } while (!P.AtEnd() && !AtStop());
  return Text;
}

std::string CollectBodyPlain(TPPAParser& P) {
  if (P.Is("BEGIN") || P.Is("ELSE")) return CollectBlock(P, "END");
  // A REPEAT standing as a body is collected as one statement, UNTIL condition included, so that
  // «FOR i := 1 TO 3 DO REPEAT ... UNTIL c» really loops; ExecRepeat cuts its own block again.
  std::string Text;
  int Level = 0;
  int Ifs = 0;
  for (;;) {
    Level += LevelChange(P);
    const bool WasIf = P.Is("IF");
    AppendToken(Text, P);
    P.Next();
    // Once an IF is inside, every ELSE at this level belongs to it.
    if (WasIf) ++Ifs;
    if (Level == 0 && ((Ifs == 0 && P.Is("ELSE")) || P.Is(";"))) break;
    if (P.AtEnd()) break;
  }
  return Text;
}

// One label item: up to the next "," outside parentheses.
std::string LabelItem(TPPAParser& P) {
  std::string Item;
  int Parens = 0;
  do {
    if (P.Is("(")) ++Parens;
    if (P.Is(")")) --Parens;
    AppendToken(Item, P);
    P.Next();
  } while (!P.AtEnd() && !(P.Is(",") && Parens == 0));
  return Item;
}

}  // namespace

void TPoorPascal::SplitStatements(std::string_view Separator, std::string_view Text, TPPALines& List) {
  List.clear();
  TPPAParser P(Text);
  int Level = 0;
  std::string Piece;
  while (!P.AtEnd()) {
    while (!(Level == 0 && P.TokenView() == Separator) && !P.AtEnd()) {
      Level += LevelChange(P);
      AppendToken(Piece, P);
      P.Next();
    }
    if (!Piece.empty()) List.push_back(std::move(Piece));
    Piece.clear();
    P.Next();
  }
}

// Takes the current token always, then every token up to the first stop word (not consumed).
TPoorPascal::TCut TPoorPascal::CollectUntil(TPPAParser& P, TCutKind Kind, std::initializer_list<std::string_view> StopWords) {
  return Memo(P, Kind, [StopWords](TPPAParser& Q) { return CollectUntilPlain(Q, StopWords); });
}

// body: "BEGIN" ... "END" | "ELSE" ... "END" | one statement (up to ";" or an ELSE at level 0)
TPoorPascal::TCut TPoorPascal::CollectBody(TPPAParser& P) { return Memo(P, ckBody, CollectBodyPlain); }

TPoorPascal::TCut TPoorPascal::LabelCut(TPPAParser& P) { return Memo(P, ckLabel, LabelItem); }

TPoorPascal::TCut TPoorPascal::RepeatBlockCut(TPPAParser& P) {
  return Memo(P, ckRepeatBlock, [](TPPAParser& Q) { return CollectBlock(Q, "UNTIL"); });
}

TPoorPascal::TCut TPoorPascal::RestCut(TPPAParser& P) {
  // While replaying, the rest is memoised like any cut, so that it reaches the evaluator as a cached text.
  if (P.Scanned() == nullptr) return TCut(P.Rest());
  return Memo(P, ckRest, [](TPPAParser& Q) { return std::string(Q.Rest()); });
}

namespace {

// A name token's entry in Table: from its memo while the table is unchanged, else looked up anew.
template <typename Record>
const typename TPPATable<Record>::Entry* Remembered(
    const TPPATable<Record>& Table, const TPPAParser& P, TPPANameMemo* M,
    const typename TPPATable<Record>::Entry* TPPANameMemo::*Found, std::uint64_t TPPANameMemo::*Generation) {
  if (M == nullptr) return Table.FindEntry(P.TokenView());
  if (M->*Generation != Table.Generation) {
    M->*Found = Table.FindEntry(P.TokenView());
    M->*Generation = Table.Generation;
  }
  return M->*Found;
}

}  // namespace

const TPPATable<TPPAValue>::Entry* TPoorPascal::FindValue(const TPPAParser& P) const {
  return Remembered(Values, P, NameMemo(P), &TPPANameMemo::Value, &TPPANameMemo::ValuesGeneration);
}

const TPPATable<TPPARoutine>::Entry* TPoorPascal::FindProcedure(const TPPAParser& P) const {
  return Remembered(Procedures, P, NameMemo(P), &TPPANameMemo::Procedure, &TPPANameMemo::ProceduresGeneration);
}

const TPPATable<TPPARoutine>::Entry* TPoorPascal::FindFunction(const TPPAParser& P) const {
  return Remembered(Functions, P, NameMemo(P), &TPPANameMemo::Function, &TPPANameMemo::FunctionsGeneration);
}

const std::vector<TPPAScannedText*>* TPoorPascal::SplitCached(TPPAScannedText& Text) {
  TPPALines List;
  SplitStatements(";", Text.Text, List);
  std::vector<TPPAScannedText*> Pieces;
  for (const std::string& Statement : List) {
    TPPAScannedText* Piece = Tokens.Get(Statement);
    if (Piece == nullptr) return nullptr;
    Pieces.push_back(Piece);
  }
  Text.Statements = std::move(Pieces);
  Text.Split = true;
  return &Text.Statements;
}

// Stores the expression's value in the variable, then tells a host object's owner. If the table
// changed during the evaluation (an owner call may remove entries), the variable is looked up again
// by name. The write call's result is not looked at.
template <typename TText>
void TPoorPascal::Assign(const std::string& Name, TPPAValue* V, TText& Expression) {
  const std::uint64_t Generation = Values.Generation;
  std::int32_t Err_CD = -1;
  switch (V->ValueType) {
    case pvInteger: {
      std::int64_t I = EvalInt(Expression);
      V = Reassigned(Name, V, pvInteger, Generation);
      V->IntValue = I;
      if (V->HostObject && IntObjParam) IntObjParam(Name, V->Index, 1, Err_CD, I);
      return;
    }
    case pvReal: {
      double R = EvalReal(Expression);
      V = Reassigned(Name, V, pvReal, Generation);
      V->RealValue = R;
      if (V->HostObject && RealObjParam) RealObjParam(Name, V->Index, 1, Err_CD, R);
      return;
    }
    case pvString: {
      std::string S = EvalStr(Expression);
      S.resize(std::min(S.size(), S.find('\0')));  // a stored string ends at its first NUL
      V = Reassigned(Name, V, pvString, Generation);
      V->StrValue = S;
      if (V->HostObject && StrObjParam) StrObjParam(Name, V->Index, 1, Err_CD, S);
      return;
    }
  }
}

template void TPoorPascal::Assign(const std::string&, TPPAValue*, const TCut&);
template void TPoorPascal::Assign(const std::string&, TPPAValue*, TPPAScannedText&);

TPPAValue* TPoorPascal::FindAssigned(const std::string& Name, TPPAValueType Type) {
  TPPAValue* V = Values.Find(Name);
  if (!V || V->ValueType != Type) Fail(ppa_messages::kUndefinedName, Name);
  return V;
}

// labels: item { "," item }, item: expression [ ".." expression ]
bool TPoorPascal::MatchCaseLabels(std::string_view Labels, std::int64_t Selector) {
  TPPAParser P(TokenCache(), Labels);
  while (!P.AtEnd()) {
    const TCut Cut = LabelCut(P);
    const std::string_view Item = Cut;
    std::int64_t Low;
    std::int64_t High;
    const std::size_t Range = Item.find("..");
    if (Range != std::string_view::npos) {
      Low = EvalInt(Item.substr(0, Range));
      High = EvalInt(Item.substr(Range + 2));
    } else {
      Low = High = EvalInt(Item);
    }
    if (Low <= Selector && Selector <= High) return true;
    P.Next();
  }
  return false;
}

// IF condition THEN body [ ELSE body ]
void TPoorPascal::ExecIf(TPPAParser& P) {
  P.Next();
  const TCut Condition = CollectUntil(P, ckThen, {"THEN"});
  P.Accept("THEN");
  if (P.AtEnd()) Fail(kSyntaxError, "if");
  const TCut ThenPart = CollectBody(P);
  P.Accept("END");
  const bool Taken = EvalInt(Condition) != 0;
  if (Taken) ExecStatements(ThenPart);
  if (P.Accept("ELSE")) {
    const TCut ElsePart = CollectBody(P);
    if (!Taken) ExecStatements(ElsePart);
  }
  P.Accept("END");
  P.Accept(";");
}

// FOR variable := start (TO | DOWNTO) limit DO body
void TPoorPascal::ExecFor(TPPAParser& P) {
  P.Next();
  const std::string Name(P.TokenView());
  ForVariable(Name);
  const TCut Start = CollectUntil(P, ckToOrDownto, {"TO", "DOWNTO"});
  if (Start.View().find(":=") == std::string_view::npos || P.AtEnd()) Fail(kSyntaxError, "for");
  const bool Upward = P.Is("TO");
  P.Next();
  ExecStatements(Start);
  const std::int64_t First = ForVariable(Name).IntValue;
  const TCut Limit = CollectUntil(P, ckDo, {"DO"});
  if (P.AtEnd()) Fail(kSyntaxError, "for");
  P.Next();
  // A real limit arrives truncated by EvalInt (NaN and out-of-range reals as INT64_MIN).
  const std::int64_t Last = EvalInt(Limit);
  const TCut Body = CollectBody(P);
  RunForLoop(Name, First, Last, Upward, Body);
}

TPPAValue& TPoorPascal::ForVariable(const std::string& Name) {
  TPPAValue* V = Values.Find(Name);
  if (!V || V->ValueType != pvInteger || V->ReadOnly) Fail(kSyntaxError, "for");
  return *V;
}

void TPoorPascal::RunForLoop(const std::string& Name, std::int64_t Start, std::int64_t Limit, bool Upward,
                             const TCut& Body) {
  const std::int32_t First = Low32(Start);
  const std::int32_t Last = Low32(Limit);
  if (Upward ? Last >= First : Last <= First) {
    // Unsigned 32-bit counting: the full range is 2^32 passes, which wraps to 0 and still counts
    // down correctly, and stepping past the end of the range is well defined.
    std::uint32_t Passes = Upward ? static_cast<std::uint32_t>(Last) - static_cast<std::uint32_t>(First) + 1
                                  : static_cast<std::uint32_t>(First) - static_cast<std::uint32_t>(Last) + 1;
    std::uint32_t V = static_cast<std::uint32_t>(First);
    std::uint64_t Generation = Values.Generation;
    TPPAValue* Var = &ForVariable(Name);
    for (;;) {
      if (Stopped) break;
      if (Values.Generation != Generation) {
        Var = &ForVariable(Name);
        Generation = Values.Generation;
      }
      Var->IntValue = static_cast<std::int32_t>(V);
      ContinueFlag = 0;
      ExecStatements(Body);
      if (ExitFlag || BreakFlag) break;
      V = Upward ? V + 1 : V - 1;
      if (--Passes == 0) break;
    }
  }
  BreakFlag = ContinueFlag = 0;
}

// WHILE condition DO body
void TPoorPascal::ExecWhile(TPPAParser& P) {
  P.Next();
  const TCut Condition = CollectUntil(P, ckDo, {"DO"});
  if (P.AtEnd()) Fail(kSyntaxError, "while");
  P.Next();
  const TCut Body = CollectBody(P);
  RunWhile(Condition, Body);
}

void TPoorPascal::RunWhile(const TCut& Condition, const TCut& Body) {
  while (!Stopped && EvalInt(Condition) != 0) {
    ContinueFlag = 0;
    ExecStatements(Body);
    if (ExitFlag || BreakFlag) break;
  }
  BreakFlag = ContinueFlag = 0;
}

// REPEAT statements UNTIL condition
void TPoorPascal::ExecRepeat(TPPAParser& P) {
  const TCut Body = RepeatBlockCut(P);
  P.Accept("UNTIL");
  const TCut Condition = CollectUntil(P, ckSemicolon, {";"});
  P.Next();
  RunRepeat(Body, Condition);
}

void TPoorPascal::RunRepeat(const TCut& Body, const TCut& Condition) {
  std::int64_t Done = 0;
  while (!Stopped && Done == 0) {
    ContinueFlag = 0;
    ExecStatements(Body);
    if (ExitFlag || BreakFlag) break;
    Done = EvalInt(Condition);
  }
  BreakFlag = ContinueFlag = 0;
}

// CASE selector OF labels ":" body { labels ":" body } [ ELSE statements ] END
void TPoorPascal::ExecCase(TPPAParser& P) {
  bool Matched = false;
  P.Next();
  const TCut SelectorText = CollectUntil(P, ckOf, {"OF"});
  if (P.AtEnd()) Fail(ppa_messages::kMissingOf, "case");
  P.Next();
  const std::int64_t Selector = EvalInt(SelectorText);
  do {
    const TCut Labels = CollectUntil(P, ckColon, {":"});
    if (!P.Accept(":")) Fail(ppa_messages::kMalformed, "case");
    const TCut Branch = CollectBody(P);
    // Every matching branch runs, not only the first.
    if (MatchCaseLabels(Labels, Selector)) {
      ExecStatements(Branch);
      Matched = true;
    }
    P.Accept("END");
    P.Accept(";");
  } while (!P.Is("ELSE") && !P.Is("END") && !P.AtEnd());
  if (P.Is("ELSE")) {
    const TCut ElsePart = CollectBody(P);
    if (!Matched) ExecStatements(ElsePart);
  }
  if (!P.Accept("END")) Fail(ppa_messages::kMissingEnd, "case");
  P.Accept(";");
}

void TPoorPascal::ExecStatements(std::string_view Text) {
  if (TPPAScannedText* Cached = CachedText(Text)) return ExecStatements(*Cached);
  const TNestingGuard Guard(*this);
  // A handler run here may call Stop; the pump drops its error and the checks below see Stopped.
  platform::ProcessMessages();
  ExecSplitStatements(Text);
}

void TPoorPascal::ExecSplitStatements(std::string_view Text) {
  TPPALines List;
  SplitStatements(";", Text, List);
  for (const std::string& Statement : List) {
    if (Stopped || BreakFlag || ContinueFlag || ExitFlag) return;
    TPPAParser P(TokenCache(), Statement);
    if (!ExecStatement(P)) return;
  }
}

bool TPoorPascal::ExecStatement(TPPAParser& P) {
  if (P.Kind != ptIdent) Fail(kSyntaxError, P.TokenView());
  bool Done = false;

  // Call form: procedures first, then functions with the result dropped.
  if (const auto* Proc = FindProcedure(P)) {
    const std::string Name = Proc->Name;
    P.Next();
    CallProc(P, Name);
    Done = true;
  } else if (const auto* Func = FindFunction(P)) {
    const std::string Name = Func->Name;
    const TPPAValueType Type = Func->Data->ResultType;
    P.Next();
    if (Type == pvReal) {
      CallRealFunc(P, Name);
    } else if (Type == pvString) {
      CallStrFunc(P, Name);
    } else {
      CallIntFunc(P, Name);
    }
    Done = true;
  }

  // Assignment form: name ":=" expression (the expression is the rest of the statement).
  if (const auto* Entry = P.Kind == ptIdent ? FindValue(P) : nullptr) {
    if (Entry->Data->ReadOnly) Fail(ppa_messages::kReadOnlyAssignment, P.TokenView());
    const std::string Name = Entry->Name;
    P.Next();
    if (!P.Accept(":=")) Fail(kSyntaxError, P.TokenView());
    const TCut Expression = RestCut(P);
    Assign(Name, Entry->Data.get(), Expression);
    Done = true;
  }

  // Keyword form, on the token the forms above stopped at.
  if (P.Accept(";")) {
    Done = true;
  } else if (P.Kind != ptIdent) {
    // no keyword here
  } else if (P.Is("BEGIN")) {
    ExecStatements(CollectBody(P));
    P.Accept("END");
    P.Accept(";");
    Done = true;
  } else if (P.Is("BREAK")) {
    BreakFlag = 1;
    return false;
  } else if (P.Is("CONTINUE")) {
    ContinueFlag = 1;
    return false;
  } else if (P.Is("EXIT")) {
    ExitFlag = 1;
    return false;
  } else if (P.Is("IF")) {
    ExecIf(P);
    Done = true;
  } else if (P.Is("FOR")) {
    ExecFor(P);
    Done = true;
  } else if (P.Is("WHILE")) {
    ExecWhile(P);
    Done = true;
  } else if (P.Is("REPEAT")) {
    ExecRepeat(P);
    Done = true;
  } else if (P.Is("CASE")) {
    ExecCase(P);
    Done = true;
  }
  if (!Done) Fail(kSyntaxError, P.TokenView());
  return true;
}
