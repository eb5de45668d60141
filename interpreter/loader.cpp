// Loading a program: Execute, the prototype reader, source preparation and the VAR section.
#include <new>
#include <stdexcept>

#include "interpreter/messages.h"
#include "interpreter/poor_pascal.h"
#include "platform/platform.h"

namespace {

using ppa_messages::kDefinitionError;
using ppa_messages::kSyntaxError;

// Blanks and control characters, as the run-time library's Trim sees them.
bool IsBlank(char C) { return static_cast<unsigned char>(C) <= 32; }

std::string_view TrimLeft(std::string_view S) {
  while (!S.empty() && IsBlank(S.front())) S.remove_prefix(1);
  return S;
}
std::string_view TrimRight(std::string_view S) {
  while (!S.empty() && IsBlank(S.back())) S.remove_suffix(1);
  return S;
}
std::string_view Trim(std::string_view S) { return TrimLeft(TrimRight(S)); }

[[noreturn]] void Fail(std::string_view Pattern, std::string_view Arg = {}) {
  throw TPPAError(PPAFormat(Pattern, Arg));
}

// "INTEGER", "REAL" or "STRING" as a value type; false for any other word.
bool ReadType(const TPPAParser& P, TPPAValueType& Type) {
  if (P.Is("INTEGER")) {
    Type = pvInteger;
  } else if (P.Is("REAL")) {
    Type = pvReal;
  } else if (P.Is("STRING")) {
    Type = pvString;
  } else {
    return false;
  }
  return true;
}

// The number after INDEX: decimal digits or "$" and hex digits in 32 bits; anything else is 0.
std::int32_t ReadIndex(std::string_view T) {
  if (T.empty() || (T.front() != '$' && (T.front() < '0' || T.front() > '9'))) return 0;
  const bool Hex = T.front() == '$';
  if (Hex) T.remove_prefix(1);
  if (T.empty()) return 0;
  std::uint64_t V = 0;
  for (char C : T) {
    int D;
    if (C >= '0' && C <= '9') {
      D = C - '0';
    } else if (Hex && C >= 'A' && C <= 'F') {
      D = C - 'A' + 10;
    } else if (Hex && C >= 'a' && C <= 'f') {
      D = C - 'a' + 10;
    } else {
      return 0;
    }
    V = V * (Hex ? 16 : 10) + static_cast<std::uint64_t>(D);
    if (V > 0xFFFFFFFFull) return 0;
  }
  // Hex spans all 32 bits (as $FFFFFFFF is -1); decimal stops at the signed maximum.
  if (!Hex && V > 0x7FFFFFFFull) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(V));
}

// One parameter group: name { "," name } ":" type, standing before ";" or ")" afterwards.
void ReadParamGroup(TPPAParser& P, TPPAParams& Params) {
  const std::size_t First = Params.size();
  for (;;) {
    if (P.Kind != ptIdent) Fail(kSyntaxError, P.TokenView());
    // The whole prototype is upper-cased already, so names compare byte for byte.
    for (const TPPAParam& Earlier : Params) {
      if (Earlier.Name == P.TokenView()) Fail(ppa_messages::kDuplicateParameter, P.TokenView());
    }
    Params.push_back(TPPAParam{P.Token(), {}});
    P.Next();
    if (!P.Accept(",")) break;
  }
  if (!P.Accept(":")) Fail(kSyntaxError, P.TokenView());
  TPPAValueType Type;
  if (!ReadType(P, Type)) Fail(kSyntaxError, P.TokenView());
  for (std::size_t i = First; i < Params.size(); ++i) Params[i].Argument.ValueType = Type;
  P.Next();
  if (!P.Is(";") && !P.Is(")")) Fail(kSyntaxError, P.TokenView());
}

// Clears Running, frees Parser and empties the token cache however Execute ends.
class TRunScope {
 public:
  TRunScope(std::uint8_t& Running, std::unique_ptr<TPPAParser>& Parser, TPPATokenCache& Tokens)
      : Running_(Running), Parser_(Parser), Tokens_(Tokens) {
    Running_ = 1;
  }
  ~TRunScope() {
    Running_ = 0;
    Parser_.reset();
    Tokens_.Clear();
  }
  TRunScope(const TRunScope&) = delete;
  TRunScope& operator=(const TRunScope&) = delete;

 private:
  std::uint8_t& Running_;
  std::unique_ptr<TPPAParser>& Parser_;
  TPPATokenCache& Tokens_;
};

}  // namespace

// prototype: ("PROCEDURE " | "FUNCTION ") name [ "(" group { ";" group } ")" ] [ ":" type ] [ ";" "INDEX" number ] ";"
void TPoorPascal::DeclareRoutine(std::string_view Text, std::uint8_t Permanent) {
  const std::string Upper = platform::AnsiUpperCase(Trim(Text));
  std::string_view Rest = Upper;
  bool IsFunction;
  if (Rest.starts_with("PROCEDURE ")) {
    IsFunction = false;
    Rest.remove_prefix(10);
  } else if (Rest.starts_with("FUNCTION ")) {
    IsFunction = true;
    Rest.remove_prefix(9);
  } else {
    Fail(kDefinitionError);
  }
  Rest = TrimLeft(Rest);
  if (!Rest.ends_with(';')) Fail(kDefinitionError);
  Rest.remove_suffix(1);
  Rest = TrimRight(Rest);

  TPPAParser P(Rest);
  if (P.Kind != ptIdent) Fail(kDefinitionError);
  const std::string Name = P.Token();
  P.Next();
  if (Procedures.Find(Name) || Functions.Find(Name)) Fail(ppa_messages::kDuplicateRoutine, Name);

  auto R = std::make_unique<TPPARoutine>();
  R->Permanent = Permanent;
  if (P.Is("(")) {
    if (Rest.find(')') == std::string_view::npos) Fail(kDefinitionError);
    do {
      P.Next();
      ReadParamGroup(P, R->Params);
    } while (!P.Is(")") && !P.AtEnd());
    P.Next();
  }
  if (IsFunction) {
    if (!P.Accept(":")) Fail(kDefinitionError);
    TPPAValueType Type;
    if (!ReadType(P, Type)) Fail(kDefinitionError);
    R->ResultType = Type;
    P.Next();
  }
  // For a procedure a ":" here simply is not ";" and leaves the index at 0.
  if (P.Accept(";") && P.Accept("INDEX")) R->Index = ReadIndex(P.TokenView());
  (IsFunction ? Functions : Procedures).Add(Name, std::move(R));
}

// declaration: name { "," name } ":" type ";"
void TPoorPascal::ReadVarDeclaration(TPPAParser& P) {
  std::vector<std::string> Names;
  std::vector<std::string> Folded;
  for (;;) {
    if (P.Kind != ptIdent) Fail(kSyntaxError, P.TokenView());
    std::string Key = platform::AnsiUpperCase(P.TokenView());
    bool Repeated = Values.Find(P.TokenView()) != nullptr;
    for (const std::string& F : Folded) Repeated = Repeated || F == Key;
    if (Repeated) Fail(ppa_messages::kDuplicateValue, P.TokenView());
    Names.push_back(P.Token());
    Folded.push_back(std::move(Key));
    P.Next();
    if (!P.Accept(",")) break;
  }
  if (!P.Accept(":")) Fail(kSyntaxError, P.TokenView());
  TPPAValueType Type;
  if (!ReadType(P, Type)) Fail(kSyntaxError, P.TokenView());
  // Added before the ";" is checked: a declaration without it still leaves its variables behind.
  for (const std::string& N : Names) {
    auto V = std::make_unique<TPPAValue>();
    V->Permanent = 0;
    V->ValueType = Type;
    if (Type == pvString) V->StrValue.reserve(255);
    Values.Add(N, std::move(V));
  }
  P.Next();
  if (!P.Accept(";")) Fail(kSyntaxError, P.TokenView());
}

std::string TPoorPascal::PrepareSource(const TPPALines& Lines) {
  std::string Out;
  std::string Line;
  for (const std::string& Source : Lines) {
    Line.clear();
    for (TPPAParser P(Source); !P.AtEnd(); P.Next()) {
      if (P.Kind == ptComment) continue;
      Line.append(P.TokenView()).push_back(' ');
    }
    const std::string_view Kept = TrimRight(Line);
    if (!Kept.empty()) Out.append(Kept).append("\r\n");
  }
  return Out;
}

// program: [ "VAR" declaration { declaration } ] statements
void TPoorPascal::Execute() {
  // A second run started from a message handler would clear the first run's tables and flags
  // under its feet; refuse it and leave the running program alone.
  if (Running) throw TPPAError(ppa_messages::kAlreadyRunning);
  // Memory exhaustion leaves as the interpreter's own error, so that the owner sees one error type.
  try {
    Stopped = BreakFlag = ContinueFlag = Paused = ExitFlag = 0;
    auto Transient = [](const auto& Record) { return Record.Permanent == 0; };
    Values.RemoveIf(Transient);
    Functions.RemoveIf(Transient);
    Procedures.RemoveIf(Transient);
    for (const std::string& Line : DeclarePrototype) {
      const std::string_view Prototype = Trim(Line);
      if (!Prototype.empty()) DeclareRoutine(Prototype, 0);
    }
    const std::string Program = PrepareSource(Source);

    // Texts of an earlier run are of no use to this one.
    Tokens.Clear();
    Parser = std::make_unique<TPPAParser>(TokenCache(), Program);
    TRunScope Scope(Running, Parser, Tokens);
    const bool HasVar = Parser->Accept("VAR");
    if (HasVar) {
      do {
        ReadVarDeclaration(*Parser);
      } while (!Parser->Is("BEGIN") && !Parser->AtEnd());
    }
    const std::size_t Start = static_cast<std::size_t>(Parser->Position());
    std::size_t LastEnd = std::string::npos;
    for (; !Parser->AtEnd(); Parser->Next()) {
      if (Parser->Is("END")) LastEnd = static_cast<std::size_t>(Parser->Position());
    }
    if (!HasVar) {
      ExecStatements(Program);
    } else {
      // The statement part runs from BEGIN up to the last END, which it leaves out; the executor
      // runs such a text as one compound statement.
      if (LastEnd == std::string::npos) Fail(ppa_messages::kMissingEnd, "Block");
      ExecStatements(std::string_view(Program).substr(Start, LastEnd - Start));
    }
  } catch (const std::bad_alloc&) {
    throw TPPAError(ppa_messages::kOutOfMemory);
  } catch (const std::length_error&) {
    throw TPPAError(ppa_messages::kOutOfMemory);
  }
}
