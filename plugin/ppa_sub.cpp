// The template routines: the fifteen routines a template program uses to talk to the mail client.
#include "ppa_sub.h"

#include <cstring>
#include <string_view>

#include "dialogs.h"
#include "plugin_state.h"

// ORDER: the Index of each line is what the handlers below dispatch on.
const char* const TPPASub::kPrototypes[15] = {
    "procedure Println(S:String);Index 1;",
    "procedure SetHeader(S1,S2:String);Index 2;",
    "procedure OriginalMessage(S: String);Index 3;",
    "procedure ReadFromFile(S: String);Index 4;",
    "procedure Message(I1,I2:Integer;S:String);Index 5;",
    "procedure SetSignature(S:String);Index 6;",
    "procedure ShowMessage(S: String);Index 7;",
    "procedure SetCursor(I: Integer);Index 8;",
    "procedure Attach(S: String);Index 9;",
    "procedure SaveMsgToFile(S: String);Index 10;",
    "function GetHeader(S:String):String;Index 1;",
    "function StringAt(I:Integer):String;Index 2;",
    "function CompGetHeader(S:String):String;Index 3;",
    "function Rand(I:Integer):Integer;Index 1;",
    "function FileExists(S:String):Integer;Index 2;",
};

namespace {

constexpr std::int32_t kUnknownRoutine = -1;
// Offsets of the codes a failing routine reports: procedure N gives N, integer function N gives
// 20 + N, string function N gives 40 + N.
constexpr std::int32_t kIntFuncCodes = 20;
constexpr std::int32_t kStrFuncCodes = 40;
constexpr std::int32_t kMessageFailed = 5;
constexpr std::int32_t kStringAtFailed = 42;
constexpr std::int32_t kAttachNoFile = 91;
constexpr int kHeaderBlockSize = 256;
constexpr std::string_view kShowMessageCaption = "Veskera";

struct TCodeMessage {
  std::int32_t Code;
  const char* Text;
};
constexpr TCodeMessage kMessages[] = {
    {1, "Error occured in procedure println\n\r\n\rThis will terminate VESK"},
    {2, "Error occured in procedure SetHeader\n\r\n\rThis will terminate VESK"},
    {3, "Error occured in procedure OriginalMessage\n\r\n\rThis will terminate VESK"},
    {4, "Error occured in procedure ReadFromFile\n\r\n\rThis will terminate VESK"},
    {5, "Error occured in procedure Message\n\r\n\rThis will terminate VESK"},
    {6, "Error occured in procedure SetSignature\n\r\n\rThis will terminate VESK"},
    {7, "Error occured in procedure ShowMessage\n\r\n\rThis will terminate VESK"},
    {8, "Error occured in procedure SetCursor\n\r\n\rThis will terminate VESK"},
    {9, "Error occured in procedure Attach\n\r\n\rThis will terminate VESK"},
    {10, "Error occured in procedure SaveMsgToFile\n\r\n\rThis will terminate VESK"},
    {21, "Error occured in function Rand\n\r\n\rThis will terminate VESK"},
    {22, "Error occured in function FileExists\n\r\n\rThis will terminate VESK"},
    {41, "Error occured in function GetHeader\n\r\n\rThis will terminate VESK"},
    {42, "Error occured in function StringAt\n\r\n\rThis will terminate VESK"},
    {43, "Error occured in function CompGetHeader\n\r\n\rThis will terminate VESK"},
    {91, "Error occured in procedure Attach\n\r\n\rFile Not Exist"},
    {-1, "Undefined function / procedure call"},
};

// A routine's failure travels as this, from deep in its work to its handler's catch.
struct TRoutineFailed {
  std::int32_t Code;
};

const TPPAArgument& Arg(const TPPAParams& Argument, std::size_t Position) {
  return Argument.at(Position).Argument;
}
const std::string& StrArg(const TPPAParams& Argument, std::size_t Position) {
  return Arg(Argument, Position).StrValue;
}
// Only the low 32 bits of an integer argument count.
std::int32_t IntArg(const TPPAParams& Argument, std::size_t Position) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(Arg(Argument, Position).IntValue));
}

const TBeckyAPI& Api() {
  const TPluginState& St = State();
  if (!St.BkApi || !St.BkApi->Bound()) throw TRoutineFailed{0};
  return *St.BkApi;
}
TLineList& Output() { return *State().OutputLines; }
const TLineList& Original() { return *State().OriginalLines; }

// Entry K (from 1) of the referenced message, or the routine's failure.
const std::string& OriginalLine(std::int64_t K, std::int32_t Code) {
  const TLineList& Lines = Original();
  if (K < 1 || K > static_cast<std::int64_t>(Lines.size())) throw TRoutineFailed{Code};
  return Lines[static_cast<std::size_t>(K - 1)];
}

std::string HeaderOf(platform::WindowHandle Compose, bool FromCompose, const std::string& Name) {
  const TBeckyAPI& A = Api();
  TBeckyBlock Block(A, kHeaderBlockSize);
  if (FromCompose) {
    A.BKA_CompGetSpecifiedHeader(Compose, Name.c_str(), Block.Data(), Block.Size());
  } else {
    A.BKA_GetSpecifiedHeader(Name.c_str(), Block.Data(), Block.Size());
  }
  return Block.Text();
}

// Runs one routine's work and turns any failure into its code, so that nothing but Err_CD leaves.
template <typename Work>
void Guard(std::int32_t& Err_CD, std::int32_t FailureCode, Work&& W) {
  try {
    W();
  } catch (const TRoutineFailed& F) {
    Err_CD = F.Code != 0 ? F.Code : FailureCode;
  } catch (...) {
    Err_CD = FailureCode;
  }
}

std::uint32_t Seed = 0;

}  // namespace

void RandSeed(std::uint32_t NewSeed) { Seed = NewSeed; }

std::int32_t RandomInt(std::int32_t Range) {
  Seed = Seed * 134775813u + 1u;
  const std::uint64_t Product = std::uint64_t{static_cast<std::uint32_t>(Range)} * Seed;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(Product >> 32));
}

void TPPASub::PPA1ProcParam(const std::string& /*ProcName*/, std::int32_t Index, const TPPAParams& Argument,
                            std::int32_t& Err_CD) {
  Err_CD = 0;
  if (Index < 1 || Index > 10) {
    Err_CD = kUnknownRoutine;
    return;
  }
  Guard(Err_CD, Index, [&] {
    TPluginState& St = State();
    switch (Index) {
      case 1:  // Println(S)
        Output().push_back(StrArg(Argument, 0));
        break;
      case 2:  // SetHeader(Name, Value)
        Api().BKA_CompSetSpecifiedHeader(platform::GetForegroundWindow(), StrArg(Argument, 0).c_str(),
                                         StrArg(Argument, 1).c_str());
        break;
      case 3: {  // OriginalMessage(Prefix)
        const std::string& Prefix = StrArg(Argument, 0);
        TLineList& Out = Output();
        for (const std::string& Line : Original()) Out.push_back(Prefix + Line);
        break;
      }
      case 4: {  // ReadFromFile(Name): the file's lines as one entry
        const std::optional<std::string> Data = platform::ReadFile(StrArg(Argument, 0));
        if (!Data) throw TRoutineFailed{4};
        Output().push_back(JoinLines(SplitLines(*Data)));
        break;
      }
      case 5: {  // Message(First, Last, Prefix): lines First to Last of the referenced message
        const std::int32_t First = IntArg(Argument, 0), Last = IntArg(Argument, 1);
        const std::string& Prefix = StrArg(Argument, 2);
        if (Last < First) throw TRoutineFailed{kMessageFailed};
        for (std::int64_t K = First; K <= Last; ++K) Output().push_back(Prefix + OriginalLine(K, kMessageFailed));
        break;
      }
      case 6:  // SetSignature(Name)
        St.SignatureName = StrArg(Argument, 0);
        break;
      case 7:  // ShowMessage(Text)
        platform::MessageBox(platform::GetActiveWindow(), StrArg(Argument, 0), kShowMessageCaption,
                             platform::MB_OK);
        break;
      case 8:  // SetCursor(Line)
        St.CursorLine = IntArg(Argument, 0);
        break;
      case 9: {  // Attach(Path)
        const std::string& Path = StrArg(Argument, 0);
        if (!platform::FileExists(Path)) throw TRoutineFailed{kAttachNoFile};
        Api().BKA_CompAttachFile(platform::GetForegroundWindow(), Path.c_str(), nullptr);
        break;
      }
      case 10:  // SaveMsgToFile(Path): the referenced message, not the output
        if (!platform::WriteFile(StrArg(Argument, 0), JoinLines(Original()))) throw TRoutineFailed{10};
        break;
    }
  });
}

void TPPASub::PPA1IntFuncParam(const std::string& /*FuncName*/, std::int32_t Index, const TPPAParams& Argument,
                               std::int32_t& Err_CD, std::int64_t& ResultValue) {
  Err_CD = 0;
  if (Index < 1 || Index > 2) {
    Err_CD = kUnknownRoutine;
    return;
  }
  Guard(Err_CD, kIntFuncCodes + Index, [&] {
    if (Index == 1) {  // Rand(Range)
      ResultValue = RandomInt(IntArg(Argument, 0));
    } else {  // FileExists(Path)
      ResultValue = platform::FileExists(StrArg(Argument, 0)) ? -1 : 0;
    }
  });
}

void TPPASub::PPA1StrFuncParam(const std::string& /*FuncName*/, std::int32_t Index, const TPPAParams& Argument,
                               std::int32_t& Err_CD, std::string& ResultValue) {
  Err_CD = 0;
  if (Index < 1 || Index > 3) {
    Err_CD = kUnknownRoutine;
    return;
  }
  Guard(Err_CD, kStrFuncCodes + Index, [&] {
    switch (Index) {
      case 1:  // GetHeader(Name): of the host's current message
        ResultValue = HeaderOf(0, false, StrArg(Argument, 0));
        break;
      case 2:  // StringAt(Line)
        ResultValue = OriginalLine(IntArg(Argument, 0), kStringAtFailed);
        break;
      case 3:  // CompGetHeader(Name): of the message being composed
        ResultValue = HeaderOf(platform::GetForegroundWindow(), true, StrArg(Argument, 0));
        break;
    }
  });
}

void TPPASub::PPA1ErrorProc(std::int32_t Error_CD, std::string& /*Err_Message*/) {
  ShowDialog(TDialogKind::Error, ErrorMessage(Error_CD));
  State().ErrorShown = true;
  Stop();
}

std::string TPPASub::ErrorMessage(std::int32_t Error_CD) {
  for (const TCodeMessage& M : kMessages) {
    if (M.Code == Error_CD) return M.Text;
  }
  return "Error code " + std::to_string(Error_CD) + "\n\r\n\rThis will terminate VESK";
}

// Called from inside the system's window enumeration, which no exception may cross: a window that
// cannot be read is passed over.
bool FindSignatureControls(platform::WindowHandle H, std::intptr_t /*Param*/) {
  try {
    TPluginState& St = State();
    const std::string ClassName = platform::GetClassName(H);
    const std::string Text = platform::GetWindowText(H);
    platform::Rect Own, Label;
    const bool HaveOwn = platform::GetWindowRect(H, Own);
    if (platform::AnsiPos("(&G)", Text) != 0 || platform::AnsiPos("Si&gnature", Text) != 0) St.SignatureLabel = H;
    if (St.SignatureLabel != 0 && ClassName == "ComboBox" && HaveOwn &&
        platform::GetWindowRect(St.SignatureLabel, Label) && Own.Top == Label.Top) {
      St.SignatureCombo = H;
    }
  } catch (...) {
  }
  return true;
}
