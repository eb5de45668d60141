// The template runner: finds the template program in a compose window, runs it, and writes what it
// printed back into the window.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "dialogs.h"
#include "plugin_state.h"

// ---- Line lists ----

TLineList SplitLines(std::string_view Text) {
  Text = Text.substr(0, Text.find('\0'));
  TLineList Lines;
  // The next CR and the next LF at or after Start, each found by memchr and kept until passed.
  std::size_t Start = 0, Cr = Text.find('\r'), Lf = Text.find('\n');
  while (Start < Text.size()) {
    const std::size_t End = std::min(Cr, Lf);
    if (End == std::string_view::npos) {
      Lines.emplace_back(Text.substr(Start));
      break;
    }
    Lines.emplace_back(Text.substr(Start, End - Start));
    Start = End + 1;
    if (End == Cr && Start < Text.size() && Text[Start] == '\n') ++Start;
    if (Cr < Start) Cr = Text.find('\r', Start);
    if (Lf < Start) Lf = Text.find('\n', Start);
  }
  return Lines;
}

std::string JoinLines(const TLineList& Lines) {
  std::size_t Size = 0;
  for (const std::string& Line : Lines) Size += Line.size() + 2;
  std::string Text;
  Text.reserve(Size);
  for (const std::string& Line : Lines) {
    Text += Line;
    Text += "\r\n";
  }
  return Text;
}

std::string BlockText(const char* Block, std::size_t Size) {
  if (Block == nullptr) return {};
  const void* Nul = std::memchr(Block, '\0', Size);
  return std::string(Block, Nul ? static_cast<const char*>(Nul) - Block : Size);
}

// ---- Mail identifiers ----

namespace {

// StrToInt's rules: leading blanks, a sign, then decimal digits or hexadecimal ones after "$",
// "x" or "0x". Nothing may follow the digits. Hexadecimal reads up to 32 bits and wraps, as
// "$FFFFFFFF" is -1; decimal must fit the signed range.
std::optional<std::int32_t> ParseInt32(std::string_view S) {
  std::size_t I = 0;
  while (I < S.size() && S[I] == ' ') ++I;
  bool Negative = false;
  if (I < S.size() && (S[I] == '+' || S[I] == '-')) Negative = S[I++] == '-';
  unsigned Base = 10;
  if (I < S.size() && (S[I] == '$' || S[I] == 'x' || S[I] == 'X')) {
    Base = 16;
    ++I;
  } else if (I + 1 < S.size() && S[I] == '0' && (S[I + 1] == 'x' || S[I + 1] == 'X')) {
    Base = 16;
    I += 2;
  }
  if (I == S.size()) return std::nullopt;
  const std::uint64_t Limit = Base == 16 ? 0xFFFFFFFFull : (Negative ? 0x80000000ull : 0x7FFFFFFFull);
  std::uint64_t Value = 0;
  for (; I < S.size(); ++I) {
    const char C = S[I];
    unsigned Digit;
    if (C >= '0' && C <= '9') {
      Digit = static_cast<unsigned>(C - '0');
    } else if (Base == 16 && C >= 'a' && C <= 'f') {
      Digit = static_cast<unsigned>(C - 'a' + 10);
    } else if (Base == 16 && C >= 'A' && C <= 'F') {
      Digit = static_cast<unsigned>(C - 'A' + 10);
    } else {
      return std::nullopt;
    }
    Value = Value * Base + Digit;
    if (Value > Limit) return std::nullopt;
  }
  const auto Bits = static_cast<std::uint32_t>(Negative ? 0u - Value : Value);
  return static_cast<std::int32_t>(Bits);
}

}  // namespace

// "folder>255" -> "folder?00000000000000FF". Without a ">", the whole value but its last character
// is taken as the number, which is how a bare number or an unusable value turns into "nil".
std::string MailIdFromRef(std::string_view Ref) {
  const std::size_t Gt = Ref.find('>');
  const std::size_t P = Gt == std::string_view::npos ? 0 : Gt + 1;
  const std::size_t MaxNumber = Ref.empty() ? 0 : Ref.size() - 1;
  const std::string_view NumberText = Ref.substr(P, MaxNumber);
  const std::string_view FolderText = P > 1 ? Ref.substr(0, P - 1) : std::string_view();
  const std::optional<std::int32_t> N = ParseInt32(NumberText);
  if (!N) return "nil";
  char Hex[17];
  std::snprintf(Hex, sizeof Hex, "%016llX",
                static_cast<unsigned long long>(static_cast<std::uint32_t>(*N)));
  std::string Id(FolderText);
  Id += '?';
  Id += Hex;
  return Id;
}

// ---- The run ----

namespace {

constexpr std::string_view kMarker = "BEGIN_VESK";
constexpr std::string_view kStatusText = "Executing VESK...";
constexpr int kMimeBlockSize = 64;
constexpr int kRefBlockSize = 1024;
constexpr int kHeaderBlockSize = 256;

// The fourteen names a run defines, in the order they are removed after it.
constexpr const char* kRunValueNames[] = {
    "refFrom", "refDate", "refTo", "refSub", "refLines", "CompMode", "Now",
    "Today",   "Hour",    "Minute", "Date",  "Month",    "Year",     "DoW",
};
constexpr const char* kRefValueNames[] = {"refFrom", "refDate", "refTo", "refSub", "refLines"};

struct THeaderValue {
  const char* Header;
  const char* Name;
};
constexpr THeaderValue kRefHeaders[] = {
    {"From", "refFrom"}, {"Date", "refDate"}, {"To", "refTo"}, {"Subject", "refSub"}};

// The compose window's whole text, copied.
std::string ReadComposeText(const TBeckyAPI& Api, platform::WindowHandle Window) {
  TBeckyBlock Mime(Api, kMimeBlockSize);
  return HostText(Api.BKA_CompGetText(Window, Mime.Data(), Mime.Size()));
}

bool IsTemplate(const TLineList& Lines) {
  return Lines.size() >= 2 && platform::AnsiPos(kMarker, platform::AnsiUpperCase(Lines[0])) != 0;
}

// Marks a run under way for its lifetime, so that a compose window opened from inside one of its
// dialogs cannot start a second run over the same interpreter and lists.
class TRunFlag {
 public:
  explicit TRunFlag(TPluginState& St) : St_(St) { St_.RunInProgress = true; }
  ~TRunFlag() { St_.RunInProgress = false; }
  TRunFlag(const TRunFlag&) = delete;
  TRunFlag& operator=(const TRunFlag&) = delete;

 private:
  TPluginState& St_;
};

// What a run changes outside the compose window, put back however the run ends: the current
// directory and the run values. Whatever cut a run off, the next one finds none of its names taken.
class TRunScope {
 public:
  explicit TRunScope(TPPASub& Ppa) : Ppa_(Ppa), SavedDirectory_(platform::GetCurrentDirectory()) {}
  ~TRunScope() {
    try {
      platform::SetCurrentDirectory(SavedDirectory_);
    } catch (...) {
      // Ignored like any other failure to change the directory.
    }
    for (const char* Name : kRunValueNames) {
      try {
        Ppa_.RemoveValue(Name);
      } catch (...) {
        // Removing an entry frees memory; there is nothing to recover from.
      }
    }
  }
  TRunScope(const TRunScope&) = delete;
  TRunScope& operator=(const TRunScope&) = delete;

 private:
  TPPASub& Ppa_;
  std::string SavedDirectory_;
};

// Makes the referenced message the host's current one for the reading of its headers and text,
// and the earlier one current again afterwards, also when the reading fails.
class TCurrentMailScope {
 public:
  TCurrentMailScope(const TBeckyAPI& Api, const std::string& MailId, std::string Saved)
      : Api_(Api), Saved_(std::move(Saved)) {
    Api_.BKA_SetCurrentMail(MailId.c_str());
  }
  ~TCurrentMailScope() { Api_.BKA_SetCurrentMail(Saved_.c_str()); }
  TCurrentMailScope(const TCurrentMailScope&) = delete;
  TCurrentMailScope& operator=(const TCurrentMailScope&) = delete;

 private:
  const TBeckyAPI& Api_;
  std::string Saved_;
};

std::string TwoDigits(int Value) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "%02d", Value);
  return Text;
}

std::string FourDigits(int Value) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "%04d", Value);
  return Text;
}

// Defines refFrom .. refLines and fills OriginalLines from the referenced message.
void DefineReference(TPluginState& St, platform::WindowHandle Window) {
  const TBeckyAPI& Api = *St.BkApi;
  TPPASub& Ppa = *St.PPA1;
  const std::string SavedMail = HostText(Api.BKA_GetCurrentMail());
  std::string Ref;
  {
    TBeckyBlock Block(Api, kRefBlockSize);
    Api.BKA_CompGetSpecifiedHeader(Window, "X-Becky-Ref", Block.Data(), Block.Size());
    Ref = Block.Text();
  }
  const std::string MailId = MailIdFromRef(Ref);
  if (MailId == "nil") {
    for (const char* Name : kRefValueNames) Ppa.AddStrConst(Name, "", 1);
    return;
  }
  for (const char* Name : kRefValueNames) Ppa.RemoveValue(Name);
  Ppa.RemoveValue("CompMode");
  TCurrentMailScope Current(Api, MailId, SavedMail);
  {
    TBeckyBlock Block(Api, kHeaderBlockSize);
    for (const THeaderValue& H : kRefHeaders) {
      std::memset(Block.Data(), 0, static_cast<std::size_t>(Block.Size()));
      Api.BKA_GetSpecifiedHeader(H.Header, Block.Data(), Block.Size());
      Ppa.AddStrConst(H.Name, Block.Text(), 1);
    }
  }
  TBeckyBlock Mime(Api, kMimeBlockSize);
  const char* Body = Api.BKA_GetText(Mime.Data(), Mime.Size());
  const std::string_view BodyText = Body ? std::string_view(Body) : std::string_view();
  *St.OriginalLines = Mime.Text() == "text/html" ? SplitLines(HtmlToText(BodyText)) : SplitLines(BodyText);
  Ppa.AddStrConst("refLines", std::to_string(St.OriginalLines->size()), 1);
}

// CompMode and the clock's values, all from one reading of the clock so that they agree.
void DefineRunValues(TPluginState& St) {
  TPPASub& Ppa = *St.PPA1;
  Ppa.AddStrConst("CompMode", St.CompModeName, 0);
  const platform::DateTime T = platform::LocalNow();
  Ppa.AddStrConst("Now", platform::FormatLongTime(T), 1);
  Ppa.AddStrConst("Today", platform::FormatShortDate(T), 1);
  Ppa.AddStrConst("Hour", TwoDigits(T.Hour), 1);
  Ppa.AddStrConst("Minute", TwoDigits(T.Minute), 1);
  Ppa.AddStrConst("Date", TwoDigits(T.Day), 1);
  Ppa.AddStrConst("Month", TwoDigits(T.Month), 1);
  Ppa.AddStrConst("Year", FourDigits(T.Year), 1);
  Ppa.AddStrConst("DoW", platform::AbbrevDayName(T.DayOfWeek), 1);
}

void SelectSignature(TPluginState& St, platform::WindowHandle Window) {
  // A handle from an earlier window's search would point the selection at the wrong box.
  St.SignatureLabel = 0;
  St.SignatureCombo = 0;
  platform::EnumChildWindows(Window, [](platform::WindowHandle H) { return FindSignatureControls(H, 0); });
  if (St.SignatureCombo == 0) return;
  platform::SendMessage(St.SignatureCombo, platform::CB_SELECTSTRING, static_cast<std::uintptr_t>(-1),
                        reinterpret_cast<std::intptr_t>(St.SignatureName.c_str()));
  const auto Id = static_cast<std::uint32_t>(platform::GetDlgCtrlID(St.SignatureCombo)) & 0xFFFFu;
  platform::SendMessage(Window, platform::WM_COMMAND, Id | (platform::CBN_SELENDOK << 16),
                        static_cast<std::intptr_t>(St.SignatureCombo));
}

void PlaceCaret(const TPluginState& St, platform::WindowHandle Window) {
  if (St.CursorLine <= 1) return;
  for (std::int32_t I = 1; I < St.CursorLine; ++I) St.BkApi->BKA_Command(Window, "CsrDown");
  St.BkApi->BKA_Command(Window, "Refresh");
}

// The text of the error that is being handled, for LastRunError.
std::string CurrentErrorText() {
  try {
    throw;
  } catch (const TPPAError& E) {
    return E.Message();
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  } catch (const std::exception& E) {
    return E.what();
  } catch (...) {
    return "Unknown error";
  }
}

void NoteFailure(TPluginState& St) noexcept {
  try {
    St.LastRunError = CurrentErrorText();
  } catch (...) {
    St.LastRunError.clear();
  }
  if (St.LastRunError.empty()) St.LastRunError.assign(1, '?');
}

// Runs the program and writes its output; any error ends here with one message.
void ExecuteGuarded(TPluginState& St, platform::WindowHandle Window) {
  try {
    St.SignatureName.clear();
    St.CursorLine = 0;
    St.PPA1->Execute();
    const std::string Text = JoinLines(*St.OutputLines);
    // Nothing reads the line lists again before the next run refills them: their memory is
    // freed now, for the host's copies of the new text.
    *St.OriginalLines = TLineList();
    *St.OutputLines = TLineList();
    St.BkApi->BKA_CompSetText(Window, 0, Text.c_str());
    if (!St.SignatureName.empty()) SelectSignature(St, Window);
    PlaceCaret(St, Window);
  } catch (...) {
    NoteFailure(St);
    if (!St.ErrorShown) ShowDialog(TDialogKind::Error, kRunFailedMessage);
  }
}

void Run(platform::WindowHandle Window) {
  TPluginState& St = State();
  if (!St.BkApi || !St.BkApi->Bound() || !St.PPA1 || !St.SourceLines || !St.OriginalLines ||
      !St.OutputLines) {
    return;  // not started, or started without the host API
  }
  const TBeckyAPI& Api = *St.BkApi;
  if (St.RunInProgress) {
    // Only a template is worth a word; any other window opening meanwhile is none of ours.
    if (IsTemplate(SplitLines(ReadComposeText(Api, Window)))) {
      ShowDialog(TDialogKind::Warning, kAlreadyRunningMessage);
    }
    return;
  }
  TRunFlag Running(St);
  St.ErrorShown = false;
  St.LastRunError.clear();
  St.SourceLines->clear();
  const std::string ComposeText = ReadComposeText(Api, Window);
  *St.SourceLines = SplitLines(ComposeText);
  if (!IsTemplate(*St.SourceLines)) return;

  Api.BKA_CompSetText(Window, 0, "");
  St.OriginalLines->clear();
  St.OutputLines->clear();
  std::optional<TRunScope> Scope;
  try {
    Scope.emplace(*St.PPA1);
    platform::SetCurrentDirectory(HostText(Api.BKA_GetDataFolder()));
    Api.BKA_SetMessageText(Window, kStatusText.data());
    Api.BKA_SetMessageText(0, kStatusText.data());
    DefineReference(St, Window);
    DefineRunValues(St);
    St.PPA1->Source = *St.SourceLines;
  } catch (...) {
    // The program never ran: give the window its template back rather than leave it empty.
    Api.BKA_CompSetText(Window, 0, ComposeText.c_str());
    throw;
  }
  ExecuteGuarded(St, Window);
}

}  // namespace

void ReleaseRunObjects() {
  TPluginState& St = State();
  St.ExitPending = false;
  St.PPA1.reset();
  St.SourceLines.reset();
  St.OriginalLines.reset();
  St.OutputLines.reset();
}

void PLATFORM_STDCALL RunTemplate(platform::WindowHandle Window, std::intptr_t /*Param*/) {
  TPluginState& St = State();
  try {
    Run(Window);
  } catch (...) {
    // A failure while the run was being prepared: the scopes have put back the directory and the
    // run values by now.
    NoteFailure(St);
    if (!St.ErrorShown) ShowDialog(TDialogKind::Error, kRunFailedMessage);
  }
  if (St.ExitPending && !St.RunInProgress) ReleaseRunObjects();
}
