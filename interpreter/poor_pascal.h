// TPoorPascal: the template language's interpreter as its owner sees it.
//
// The owner installs event handlers, puts prototype lines into DeclarePrototype, adds and removes
// named values, puts the program into Source and calls Execute. Every error leaves Execute as a
// TPPAError carrying only its message text (code page 932 for the interpreter's own messages).
// Nothing inside the interpreter catches; the owner is the edge.
//
// The interpreter works directly on program text: statements, conditions and bodies are cut out as
// texts and read afresh each time they run. There is no syntax tree. Reading the same texts again
// is what costs, so what a reading found is remembered per text (tokens, cuts, names, and plans:
// what a reading would do, valid while the tables stand as they stood) and replayed; reading
// every text plainly stays the reference behaviour.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scanner.h"

enum TPPAValueType : std::uint8_t {
  pvInteger = 0,  // signed 64-bit; also the truth values -1 (true) and 0 (false)
  pvReal = 1,     // IEEE double
  pvString = 2,   // single-byte string of the system code page
};

// The one error type of the interpreter: a message text and nothing else.
class TPPAError : public std::exception {
 public:
  explicit TPPAError(std::string Message) : Message_(std::move(Message)) {}
  const char* what() const noexcept override { return Message_.c_str(); }
  const std::string& Message() const noexcept { return Message_; }

 private:
  std::string Message_;
};

// Formats a catalogue message: the one "%s" replaced by Arg (messages without "%s" come back as they are).
std::string PPAFormat(std::string_view Pattern, std::string_view Arg = {});

// A value-table entry. Only the field that ValueType names is meaningful.
struct TPPAValue {
  std::uint8_t Permanent = 1;   // survives the clean-up at the start of Execute
  std::uint8_t ReadOnly = 0;    // assignments are refused
  std::uint8_t HostObject = 0;  // reads and writes go through the owner's object events
  TPPAValueType ValueType = pvInteger;
  std::int64_t IntValue = 0;
  double RealValue = 0.0;
  std::string StrValue;  // never holds a NUL: a stored string ends at its first NUL
  std::int32_t Index = 0;
};

// The argument record of one parameter, filled by the caller before each call.
struct TPPAArgument {
  TPPAValueType ValueType = pvInteger;
  std::int64_t IntValue = 0;
  double RealValue = 0.0;
  std::string StrValue;
};

// One parameter: its upper-cased name and its argument record.
struct TPPAParam {
  std::string Name;
  TPPAArgument Argument;
};

// A routine's parameters in declaration order; handed to the owner's routine events as Argument,
// where the owner reads argument i as Argument[i].Argument.
using TPPAParams = std::vector<TPPAParam>;

// A procedure-table or function-table entry. Routines have no body: each is built in (Permanent 1,
// carried out by Index) or carried out by the owner (Permanent 0).
struct TPPARoutine {
  std::uint8_t Permanent = 0;
  std::int32_t Index = 0;
  TPPAParams Params;
  TPPAValueType ResultType = pvInteger;  // functions only
};

// A name table: lookup ignores letter case by the system code page's rules; names are kept as
// added. Adding a present name stores nothing, so callers look names up first.
template <typename Record>
class TPPATable {
 public:
  struct Entry {
    std::string Name;  // as added
    std::unique_ptr<Record> Data;
  };

  Record* Find(std::string_view Name) const;
  const Entry* FindEntry(std::string_view Name) const;
  // Returns the new record, or nullptr when the name is present (nothing is stored then).
  Record* Add(std::string_view Name, std::unique_ptr<Record> Data);
  void Remove(std::string_view Name);
  // Removes every entry for which Pred(record) holds.
  template <typename Pred>
  void RemoveIf(Pred P) {
    for (auto it = Entries.begin(); it != Entries.end();) {
      if (P(*it->second.Data)) {
        it = Entries.erase(it);
        ++Generation;
      } else {
        ++it;
      }
    }
  }
  std::size_t Count() const { return Entries.size(); }
  // Bumped on every addition and removal, so a cache of lookups can tell that it is stale.
  std::uint64_t Generation = 0;

 private:
  static std::string Key(std::string_view Name);
  std::unordered_map<std::string, Entry> Entries;  // key: the name folded to upper case
};

// What one name token of a scanned text found in each table, valid while that table's Generation is
// the one noted (~0 for never looked up): a lookup costs one comparison while the tables stand still.
struct TPPANameMemo {
  std::uint64_t ValuesGeneration = ~0ull;
  std::uint64_t ProceduresGeneration = ~0ull;
  std::uint64_t FunctionsGeneration = ~0ull;
  const TPPATable<TPPAValue>::Entry* Value = nullptr;
  const TPPATable<TPPARoutine>::Entry* Procedure = nullptr;
  const TPPATable<TPPARoutine>::Entry* Function = nullptr;
};

// Events: slots holding a handler of the owner. Parameters follow the owner interface:
// names upper-cased for routines and as stored for objects; Err_CD preset to -1 by the caller.
using TProcParam = std::function<void(const std::string& ProcName, std::int32_t Index,
                                      const TPPAParams& Argument, std::int32_t& Err_CD)>;
using TIntFuncParam = std::function<void(const std::string& FuncName, std::int32_t Index,
                                         const TPPAParams& Argument, std::int32_t& Err_CD,
                                         std::int64_t& ResultValue)>;
using TRealFuncParam = std::function<void(const std::string& FuncName, std::int32_t Index,
                                          const TPPAParams& Argument, std::int32_t& Err_CD,
                                          double& ResultValue)>;
using TStrFuncParam = std::function<void(const std::string& FuncName, std::int32_t Index,
                                         const TPPAParams& Argument, std::int32_t& Err_CD,
                                         std::string& ResultValue)>;
using TErrorProc = std::function<void(std::int32_t Error_CD, std::string& Err_Message)>;
using TIntObjParam = std::function<void(const std::string& ObjName, std::int32_t Index,
                                        std::uint8_t GS_Mode, std::int32_t& Err_CD,
                                        std::int64_t& Value)>;
using TRealObjParam = std::function<void(const std::string& ObjName, std::int32_t Index,
                                         std::uint8_t GS_Mode, std::int32_t& Err_CD, double& Value)>;
using TStrObjParam = std::function<void(const std::string& ObjName, std::int32_t Index,
                                        std::uint8_t GS_Mode, std::int32_t& Err_CD,
                                        std::string& Value)>;
using TPauseProc = std::function<void()>;

using TPPALines = std::vector<std::string>;

class TPoorPascal {
 public:
  // Declares the constants True, False and Nil and the 27 built-in routines.
  TPoorPascal();
  virtual ~TPoorPascal();
  // The tables own their records and the events are bound to this instance's owner.
  TPoorPascal(const TPoorPascal&) = delete;
  TPoorPascal& operator=(const TPoorPascal&) = delete;

  // ---- The owner interface ----

  // Lines tested by IsDefine; the interpreter never changes them.
  TPPALines Define;
  // The program, one line per entry.
  TPPALines Source;
  // Prototypes of the owner's routines, one per line, declared afresh at every Execute.
  TPPALines DeclarePrototype;

  TProcParam ProcParam;
  TIntFuncParam IntFuncParam;
  TRealFuncParam RealFuncParam;
  TStrFuncParam StrFuncParam;
  TErrorProc ErrorProc;
  TIntObjParam IntObjParam;
  TRealObjParam RealObjParam;
  TStrObjParam StrObjParam;
  TPauseProc PauseProc;

  void AddIntValue(std::string_view Name, std::uint8_t ReadOnly, std::int64_t Value,
                   std::uint8_t HostObject, std::int32_t Index);
  void AddIntConst(std::string_view Name, std::uint8_t ReadOnly, std::int64_t Value);
  void AddStrValue(std::string_view Name, std::string_view Value, std::uint8_t ReadOnly,
                   std::uint8_t HostObject, std::int32_t Index);
  void AddStrConst(std::string_view Name, std::string_view Value, std::uint8_t ReadOnly);
  // Removes the entry of that name if there is one, permanent or not.
  void RemoveValue(std::string_view Name);
  // During a run: sets Stopped and raises the interruption error. Outside a run: nothing.
  void Stop();
  // Runs the program in Source. Every error leaves as a TPPAError.
  void Execute();

  // ---- Run flags ----
  std::uint8_t Stopped = 0;
  std::uint8_t BreakFlag = 0;
  std::uint8_t ContinueFlag = 0;
  std::uint8_t Paused = 0;
  std::uint8_t ExitFlag = 0;
  std::uint8_t Running = 0;

  // ---- Tables (read by owners and tests; changed only through the operations above) ----
  TPPATable<TPPAValue> Values;
  TPPATable<TPPARoutine> Procedures;
  TPPATable<TPPARoutine> Functions;
  // A stamp that changes whenever any of the three tables gains or loses an entry: what was learnt
  // from the tables holds while it stands.
  std::uint64_t TablesStamp() const { return Values.Generation + Procedures.Generation + Functions.Generation; }

  // ---- Operations of the interpreter's parts, public so that each can be driven on its own ----

  // Loading and declarations.
  void DeclareRoutine(std::string_view Text, std::uint8_t Permanent);
  static std::string PrepareSource(const TPPALines& Lines);

  // Expressions. Each evaluates the expression at the start of Text and ignores what follows it.
  std::int64_t EvalInt(std::string_view Text);
  double EvalReal(std::string_view Text);
  std::string EvalStr(std::string_view Text);
  // 0, 1 or 2 by the type the current token tells (a literal's kind, a value's or function's
  // type); -1 when it tells none.
  int OperandType(const TPPAParser& P) const;
  std::int64_t IntRelation(TPPAParser& P);
  std::int64_t IntSum(TPPAParser& P);
  std::int64_t IntTerm(TPPAParser& P);
  std::int64_t IntFactor(TPPAParser& P);
  std::int64_t IntOperand(TPPAParser& P);
  double RealRelation(TPPAParser& P);
  double RealSum(TPPAParser& P);
  double RealTerm(TPPAParser& P);
  double RealFactor(TPPAParser& P);
  double RealOperand(TPPAParser& P);
  std::string StrRelation(TPPAParser& P);
  std::string StrSum(TPPAParser& P);
  std::string StrFactor(TPPAParser& P);
  std::string StrOperand(TPPAParser& P);
  // Raises the missing-parenthesis error unless the current token is Word (then consumes it).
  static void Expect(TPPAParser& P, std::string_view Word);
  // The value of a ptString token's text: a quoted literal or a character code.
  static std::string DecodeLiteral(std::string_view Text);

  // Routine calls. The scanner stands behind the routine's name; Name is the name as stored.
  void CallProc(TPPAParser& P, const std::string& Name);
  std::int64_t CallIntFunc(TPPAParser& P, const std::string& Name);
  double CallRealFunc(TPPAParser& P, const std::string& Name);
  std::string CallStrFunc(TPPAParser& P, const std::string& Name);

  // Statements.
  void ExecStatements(std::string_view Text);
  static void SplitStatements(std::string_view Separator, std::string_view Text, TPPALines& List);
  bool MatchCaseLabels(std::string_view Labels, std::int64_t Selector);

  // Whether scanners replay texts from the token cache (the default) or scan every text afresh,
  // the reference behaviour that the cache must match. Only tests switch it off.
  void SetTokenCacheForTesting(bool On) { UseTokenCache = On; }

  // The deepest nesting of expressions, blocks and calls taken together that a run may reach:
  // enough for any real template, and safe on a 1 MiB stack of a 32-bit process.
  static constexpr int kMaxNesting = 200;
  // The longest string a concatenation or Insert may make: a template that doubles a string in a
  // loop ends in the out-of-memory error instead of exhausting the host's memory.
  static constexpr std::size_t kMaxStringLength = 256u << 20;

 protected:
  // Raises Depth for the guard's lifetime; throws the nesting error beyond kMaxNesting.
  class TNestingGuard {
   public:
    explicit TNestingGuard(TPoorPascal& Owner) : Owner_(Owner) {
      if (Owner_.Depth >= kMaxNesting) TooDeep();
      ++Owner_.Depth;
    }
    ~TNestingGuard() { --Owner_.Depth; }
    TNestingGuard(const TNestingGuard&) = delete;
    TNestingGuard& operator=(const TNestingGuard&) = delete;

   private:
    [[noreturn]] static void TooDeep();
    TPoorPascal& Owner_;
  };

  // The rule for calling the owner: Err_CD 0 is success; anything else goes through ErrorProc
  // and becomes an error. Subject names the routine or object for the fallback message.
  void CheckOwnerResult(std::int32_t Err_CD, const std::string& Subject);

 private:
  TPPAValue& AddPermanentValue(std::string_view Name, TPPAValueType Type, std::uint8_t ReadOnly,
                               std::uint8_t HostObject, std::int32_t Index);
  // A text cut out of a scanner's text: a view of the token cache's copy, or its own copy when the
  // scanner scans plainly. Built in place where it is returned, so the view never dangles.
  class TCut {
   public:
    explicit TCut(TPPAScannedText& Cached) : View_(Cached.Text), Scanned_(&Cached) {}
    explicit TCut(std::string_view Borrowed) : View_(Borrowed) {}
    explicit TCut(std::string Own) : Own_(std::move(Own)), View_(Own_) {}
    TCut(const TCut&) = delete;
    TCut& operator=(const TCut&) = delete;
    std::string_view View() const { return View_; }
    operator std::string_view() const { return View_; }  // NOLINT: a cut is read as its text
    // The cache's entry for the text, or nullptr when the cut is its own copy.
    TPPAScannedText* Scanned() const { return Scanned_; }

   private:
    std::string Own_;
    std::string_view View_;
    TPPAScannedText* Scanned_ = nullptr;
  };
  // The cuts readers take; each kind is memoised apart.
  enum TCutKind : std::uint8_t {
    ckBody, ckRepeatBlock, ckThen, ckToOrDownto, ckDo, ckSemicolon, ckOf, ckColon, ckArgument, ckLabel,
    ckRest,
  };
  // The cut of that Kind at P's current token, as Plain(P) makes it. While P replays a cached text
  // the cut is taken once per position: later the memo gives the same text and moves P to the token
  // where Plain left it. Plain depends on the text alone (never on the tables) and raises nothing.
  template <typename PlainCut>
  TCut Memo(TPPAParser& P, TCutKind Kind, PlainCut Plain) {
    TPPAScannedText* S = P.Scanned();
    if (S == nullptr) return TCut(Plain(P));
    const std::uint64_t Key = static_cast<std::uint64_t>(P.TokenIndex()) << 8 | Kind;
    if (const auto It = S->Cuts.find(Key); It != S->Cuts.end()) {
      P.Seek(It->second.EndToken);
      return TCut(*It->second.Text);
    }
    std::string Text = Plain(P);
    TPPAScannedText* Cut = P.Cache()->Get(Text);
    if (Cut == nullptr) return TCut(std::move(Text));
    S->Cuts.emplace(Key, TPPACut{Cut, P.TokenIndex()});
    return TCut(*Cut);
  }
  // The entries the current name token finds in the tables as they stand; while replaying, through
  // the token's memo, looked up again only when the table's Generation moved.
  const TPPATable<TPPAValue>::Entry* FindValue(const TPPAParser& P) const;
  const TPPATable<TPPARoutine>::Entry* FindProcedure(const TPPAParser& P) const;
  const TPPATable<TPPARoutine>::Entry* FindFunction(const TPPAParser& P) const;
  // The statements of a cached text, split at ";" once; nullptr when the cache is full.
  const std::vector<TPPAScannedText*>* CachedStatements(TPPAScannedText& Text) {
    return Text.Split ? &Text.Statements : SplitCached(Text);
  }
  const std::vector<TPPAScannedText*>* SplitCached(TPPAScannedText& Text);
  // One statement; false when it was BREAK, CONTINUE or EXIT.
  bool ExecStatement(TPPAParser& P);
  bool ExecStatement(TPPAScannedText& Statement);
  [[gnu::noinline]] bool ExecStatementWithoutHeldPlan(TPPAScannedText& Statement);
  // The statements of Text split and read plainly, after the guard and the pump (the cache is off or full).
  void ExecSplitStatements(std::string_view Text);
  [[gnu::noinline]] std::int64_t EvalIntWithoutHeldPlan(TPPAScannedText& Text);

  // The evaluators and the executor on cut or cached texts: a cached text runs from its plan when
  // it has one, else from its replayed tokens.
  std::int64_t EvalInt(const TCut& Text) { return Text.Scanned() ? EvalInt(*Text.Scanned()) : EvalInt(Text.View()); }
  double EvalReal(const TCut& Text) { return Text.Scanned() ? EvalReal(*Text.Scanned()) : EvalReal(Text.View()); }
  std::string EvalStr(const TCut& Text) { return Text.Scanned() ? EvalStr(*Text.Scanned()) : EvalStr(Text.View()); }
  void ExecStatements(const TCut& Text) {
    if (Text.Scanned()) {
      ExecStatements(*Text.Scanned());
    } else {
      ExecStatements(Text.View());
    }
  }
  std::int64_t EvalInt(TPPAScannedText& Text);
  double EvalReal(TPPAScannedText& Text);
  std::string EvalStr(TPPAScannedText& Text);
  // EvalStr into a buffer of the caller's, whose capacity it may reuse.
  void EvalStrInto(TPPAScannedText& Text, std::string& Out);
  // The same from the text's replayed tokens, without a plan.
  std::int64_t ReadInt(TPPAScannedText& Text);
  double ReadReal(TPPAScannedText& Text);
  std::string ReadStr(TPPAScannedText& Text);
  void ExecStatements(TPPAScannedText& Text);
  friend class TPPAPlanner;
  friend class TPPAPlanMaker;
  friend class TPPAPlanRunner;

  // Reads a call's argument list into Args (a copy of the routine's Params, so that a nested call
  // of the same routine cannot overwrite this call's arguments).
  template <typename TResult, typename TEvent>
  TResult CallFunction(TPPAParser& P, const std::string& Name,
                       TResult (TPoorPascal::*RunBuiltin)(TPPAParser&, const TPPARoutine&, const TPPAParams&),
                       const TEvent& Event);
  void ReadArguments(TPPAParser& P, const TPPARoutine& Routine, TPPAParams& Args);
  TCut CollectUntil(TPPAParser& P, TCutKind Kind, std::initializer_list<std::string_view> StopWords);
  TCut CollectBody(TPPAParser& P);
  // One argument of a call, up to the next "," or ")" outside parentheses.
  TCut ArgumentCut(TPPAParser& P);
  // One item of a CASE label list, up to the next "," outside parentheses.
  TCut LabelCut(TPPAParser& P);
  // A REPEAT block, standing on REPEAT, up to its UNTIL.
  TCut RepeatBlockCut(TPPAParser& P);
  // An assignment's expression: the rest of the statement, P left where it stands.
  TCut RestCut(TPPAParser& P);
  void ReadVarDeclaration(TPPAParser& P);
  // Statement forms; each starts on its keyword. Most cut their parts, then run them as below.
  void ExecIf(TPPAParser& P);
  void ExecFor(TPPAParser& P);
  void ExecWhile(TPPAParser& P);
  void ExecRepeat(TPPAParser& P);
  void ExecCase(TPPAParser& P);
  // Running the parts of a statement form, for the readers above and the plans alike.
  // Expression: a TCut, or a cached text.
  template <typename TText>
  void Assign(const std::string& Name, TPPAValue* Variable, TText& Expression);
  // The assigned variable once its value is computed: looked up again if the table changed since
  // Generation; the undefined-name error if it is gone or of another type now.
  TPPAValue* Reassigned(const std::string& Name, TPPAValue* Variable, TPPAValueType Type, std::uint64_t Generation) {
    return Values.Generation == Generation ? Variable : FindAssigned(Name, Type);
  }
  TPPAValue* FindAssigned(const std::string& Name, TPPAValueType Type);
  // The loop variable is looked up again whenever the table may have changed under a call.
  TPPAValue& ForVariable(const std::string& Name);
  // FOR counts in 32 bits: Start and Limit are taken as their low 32 bits, read as signed.
  void RunForLoop(const std::string& Name, std::int64_t Start, std::int64_t Limit, bool Upward, const TCut& Body);
  void RunWhile(const TCut& Condition, const TCut& Body);
  void RunRepeat(const TCut& Body, const TCut& Condition);
  // Built-in routines, selected by Index.
  void RunBuiltinProc(TPPAParser& P, const TPPARoutine& R, const TPPAParams& Args);
  std::int64_t RunBuiltinIntFunc(TPPAParser& P, const TPPARoutine& R, const TPPAParams& Args);
  double RunBuiltinRealFunc(TPPAParser& P, const TPPARoutine& R, const TPPAParams& Args);
  std::string RunBuiltinStrFunc(TPPAParser& P, const TPPARoutine& R, const TPPAParams& Args);

  // The cache that scanners replay from, or nullptr when it is switched off.
  TPPATokenCache* TokenCache() { return UseTokenCache ? &Tokens : nullptr; }
  // The cache's entry for Text, or nullptr when the cache is off or full.
  TPPAScannedText* CachedText(std::string_view Text) { return UseTokenCache ? Tokens.Get(Text) : nullptr; }

  // The scanner over the whole prepared program while Execute runs.
  std::unique_ptr<TPPAParser> Parser;
  int Depth = 0;
  TPPATokenCache Tokens;
  bool UseTokenCache = true;
};
