// The component: its tables, its values, the built-in declarations and the rule for calling the owner.
#include <array>
#include <string_view>

#include "interpreter/messages.h"
#include "interpreter/plans.h"
#include "interpreter/poor_pascal.h"
#include "platform/platform.h"

namespace {

// The built-in routines, declared in this order by every new component. Their Index values select
// the behaviour in the built-in dispatchers; keep the two in step.
constexpr std::array<std::string_view, 27> kBuiltinPrototypes = {
    "procedure ProcessMessages;Index $0001;",
    "procedure Sleep(Milliseconds:Integer);Index $0002;",
    "procedure Pause;Index $0003;",
    "function Copy(S:String;Start,Length:Integer):String;Index $1001;",
    "function Delete(S:String;Index,Count:Integer):String;Index $1002;",
    "function InputBox(ACaption,APrompt,ADefault:String):String;Index $1003;",
    "function Insert(Source:String;S:String;Index:Integer):String;Index $1004;",
    "function IntToStr(Value:Integer):String;Index $1005;",
    "function LowerCase(S:String):String;Index $1006;",
    "function Trim(S:String):String;Index $1007;",
    "function TrimLeft(S:String):String;Index $1008;",
    "function TrimRight(S:String):String;Index $1009;",
    "function UpperCase(S:String):String;Index $100A;",
    "function FloatToStr(Value:Real):String;Index $100B;",
    "function CompareStr(S1,S2:String):Integer;Index $2001;",
    "function Exec(Path,CmdLine:String;Wait:Integer):Integer;Index $2002;",
    "function Length(S:String):Integer;Index $2003;",
    "function MessageBox(Text,Caption:String;Flags:Integer):Integer;Index $2004;",
    "function Pos(Substr:String;S:String): Integer;Index $2005;",
    "function Shell(Path,CmdLine:String):Integer;Index $2006;",
    "function StrToInt(S: String):Integer;Index $2007;",
    "function IsDefine(S:String):Integer;Index $2008;",
    "function Trunc(X:Real):Integer;Index $2009;",
    "function Round(X:Real):Integer;Index $200A;",
    "function Frac(X:Real):Real;Index $3001;",
    "function Int(X:Real):Real;Index $3002;",
    "function StrToFloat(S:String):Real;Index $3003;",
};

// A stored string ends at its first NUL, as the owner's C-string view of it would.
std::string_view BeforeNul(std::string_view S) { return S.substr(0, S.find('\0')); }

}  // namespace

std::string PPAFormat(std::string_view Pattern, std::string_view Arg) {
  const std::size_t At = Pattern.find("%s");
  if (At == std::string_view::npos) return std::string(Pattern);
  std::string Out;
  Out.reserve(Pattern.size() + Arg.size());
  Out.append(Pattern.substr(0, At)).append(Arg).append(Pattern.substr(At + 2));
  return Out;
}

// ---- Tables ----

template <typename Record>
std::string TPPATable<Record>::Key(std::string_view Name) {
  return platform::AnsiUpperCase(Name);
}

template <typename Record>
const typename TPPATable<Record>::Entry* TPPATable<Record>::FindEntry(std::string_view Name) const {
  const auto It = Entries.find(Key(Name));
  return It == Entries.end() ? nullptr : &It->second;
}

template <typename Record>
Record* TPPATable<Record>::Find(std::string_view Name) const {
  const Entry* E = FindEntry(Name);
  return E ? E->Data.get() : nullptr;
}

template <typename Record>
Record* TPPATable<Record>::Add(std::string_view Name, std::unique_ptr<Record> Data) {
  auto [It, Added] = Entries.try_emplace(Key(Name));
  if (!Added) return nullptr;
  It->second.Name = std::string(Name);
  It->second.Data = std::move(Data);
  ++Generation;
  return It->second.Data.get();
}

template <typename Record>
void TPPATable<Record>::Remove(std::string_view Name) {
  if (Entries.erase(Key(Name)) != 0) ++Generation;
}

template class TPPATable<TPPAValue>;
template class TPPATable<TPPARoutine>;

// ---- The component ----

// Here, where the memo's type is complete.
TPPAScannedText::TPPAScannedText() = default;
TPPAScannedText::~TPPAScannedText() = default;

TPoorPascal::TPoorPascal() {
  AddIntConst("True", 1, -1);
  AddIntConst("False", 1, 0);
  AddStrConst("Nil", "", 1);
  for (std::string_view Prototype : kBuiltinPrototypes) DeclareRoutine(Prototype, 1);
}

// The tables own their records, the lists their lines; Parser exists only inside Execute.
TPoorPascal::~TPoorPascal() = default;

// The permanent value-table entries the owner adds; a present name, in any spelling, is refused.
TPPAValue& TPoorPascal::AddPermanentValue(std::string_view Name, TPPAValueType Type, std::uint8_t ReadOnly,
                                          std::uint8_t HostObject, std::int32_t Index) {
  if (Values.Find(Name)) throw TPPAError(PPAFormat(ppa_messages::kDuplicateValue, Name));
  auto V = std::make_unique<TPPAValue>();
  V->Permanent = 1;
  V->ReadOnly = ReadOnly;
  V->HostObject = HostObject;
  V->ValueType = Type;
  V->Index = Index;
  return *Values.Add(Name, std::move(V));
}

void TPoorPascal::AddIntValue(std::string_view Name, std::uint8_t ReadOnly, std::int64_t Value,
                              std::uint8_t HostObject, std::int32_t Index) {
  AddPermanentValue(Name, pvInteger, ReadOnly, HostObject, Index).IntValue = Value;
}

void TPoorPascal::AddIntConst(std::string_view Name, std::uint8_t ReadOnly, std::int64_t Value) {
  AddIntValue(Name, ReadOnly, Value, 0, 0);
}

void TPoorPascal::AddStrValue(std::string_view Name, std::string_view Value, std::uint8_t ReadOnly,
                              std::uint8_t HostObject, std::int32_t Index) {
  AddPermanentValue(Name, pvString, ReadOnly, HostObject, Index).StrValue = std::string(BeforeNul(Value));
}

void TPoorPascal::AddStrConst(std::string_view Name, std::string_view Value, std::uint8_t ReadOnly) {
  AddStrValue(Name, Value, ReadOnly, 0, 0);
}

void TPoorPascal::RemoveValue(std::string_view Name) { Values.Remove(Name); }

// Called from a handler the run itself called, the error unwinds the run. Called from a message
// handler while the run pumps messages, the pump drops the error and the run finds Stopped at its
// next check.
void TPoorPascal::Stop() {
  if (!Running) return;
  Paused = 0;
  Stopped = 1;
  throw TPPAError(ppa_messages::kStopped);
}

// One counter for every recursive door: statement sequences, expression factors and routine calls
// all raise Depth, so no mix of them can exhaust the stack.
void TPoorPascal::TNestingGuard::TooDeep() { throw TPPAError(ppa_messages::kNestingTooDeep); }

void TPoorPascal::CheckOwnerResult(std::int32_t Err_CD, const std::string& Subject) {
  if (Err_CD == 0) return;
  // An empty ErrorProc slot is never called: the failure still becomes an error, naming the subject.
  if (!ErrorProc) throw TPPAError(PPAFormat(ppa_messages::kOwnerError, Subject));
  std::string Message;
  ErrorProc(Err_CD, Message);
  throw TPPAError(Message);
}
