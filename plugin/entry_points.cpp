// The functions the host calls. Each one is an edge: whatever fails inside ends in one dialog, and
// the host always gets its documented result.
#include "entry_points.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "dialogs.h"
#include "plugin_state.h"

namespace {

constexpr const char* kMenuCaption = "Run VESK Script";
constexpr int kToolsMenuPosition = 3;  // the fourth drop-down menu of a compose window
constexpr const char* kHostProgram = "B2.exe";
constexpr const char* kAboutText =
    "Veskera (VESK) Plug-In.\r\n"
    "Programmable templates for the compose window.\r\n"
    "Written by the Veskera developers.";

constexpr TBeckyPlugInInfo kInfo = {
    "Veskera",
    "The Veskera developers",
    "1.0.0 Beta 9a",
    "Adds programmable template to Becky!2",
};

template <typename Work>
int Edge(int Result, Work&& W) noexcept {
  try {
    W();
  } catch (...) {
    ShowDialog(TDialogKind::Error, kInternalErrorMessage);
  }
  return Result;
}

// The last two characters of the host program's file version ("2.05.10" -> "10"), or nothing when
// the program has no readable version resource.
std::optional<std::string> HostBeta(const TBeckyAPI& Api) {
  const std::uint32_t Size = platform::GetFileVersionInfoSize(kHostProgram);
  if (Size == 0 || Size > INT_MAX) return std::nullopt;
  TBeckyBlock Block(Api, static_cast<int>(Size));
  if (!platform::GetFileVersionInfo(kHostProgram, Size, Block.Data())) return std::nullopt;
  const void* Value = nullptr;
  std::uint32_t Length = 0;
  if (!platform::VerQueryValue(Block.Data(), "\\VarFileInfo\\Translation", Value, Length) || Value == nullptr ||
      Length < sizeof(std::uint32_t)) {
    return std::nullopt;
  }
  std::uint32_t Translation;
  std::memcpy(&Translation, Value, sizeof Translation);
  char SubBlock[64];
  std::snprintf(SubBlock, sizeof SubBlock, "\\StringFileInfo\\%4.4x%4.4x\\FileVersion",
                static_cast<unsigned>(Translation & 0xFFFFu), static_cast<unsigned>(Translation >> 16));
  if (!platform::VerQueryValue(Block.Data(), SubBlock, Value, Length) || Value == nullptr) return std::nullopt;
  // The text may or may not count its NUL; it never reaches past the block.
  const auto* Text = static_cast<const char*>(Value);
  const auto Start = reinterpret_cast<std::uintptr_t>(Block.Data());
  const auto At = reinterpret_cast<std::uintptr_t>(Text);
  std::size_t Limit = Length;
  if (At >= Start && At < Start + Size) Limit = std::min<std::size_t>(Limit, Start + Size - At);
  std::string Version = BlockText(Text, Limit);
  return Version.size() < 2 ? Version : Version.substr(Version.size() - 2);
}

void Start() {
  TPluginState& St = State();
  if (!St.BkApi) St.BkApi = std::make_unique<TBeckyAPI>();
  const bool Bound = St.BkApi->Bind();
  if (!Bound) ShowDialog(TDialogKind::Warning, kBindFailedMessage);
  St.PPA1 = std::make_unique<TPPASub>();
  St.SourceLines = std::make_unique<TLineList>();
  St.OriginalLines = std::make_unique<TLineList>();
  St.OutputLines = std::make_unique<TLineList>();
  RandSeed(platform::TickCount());
  St.ErrorShown = false;
  TPPASub* Ppa = St.PPA1.get();
  Ppa->ProcParam = [Ppa](const std::string& Name, std::int32_t Index, const TPPAParams& Args, std::int32_t& Err) {
    Ppa->PPA1ProcParam(Name, Index, Args, Err);
  };
  Ppa->ErrorProc = [Ppa](std::int32_t Code, std::string& Message) { Ppa->PPA1ErrorProc(Code, Message); };
  Ppa->IntFuncParam = [Ppa](const std::string& Name, std::int32_t Index, const TPPAParams& Args, std::int32_t& Err,
                            std::int64_t& Result) { Ppa->PPA1IntFuncParam(Name, Index, Args, Err, Result); };
  Ppa->StrFuncParam = [Ppa](const std::string& Name, std::int32_t Index, const TPPAParams& Args, std::int32_t& Err,
                            std::string& Result) { Ppa->PPA1StrFuncParam(Name, Index, Args, Err, Result); };
  for (const char* Line : TPPASub::kPrototypes) Ppa->DeclarePrototype.emplace_back(Line);
  // Without the host API there is no version to ask for, and a null slot must not be called.
  Ppa->AddStrConst("Ver", Bound ? HostText(St.BkApi->BKA_GetVersion()) : std::string(), 1);
  Ppa->AddStrConst("Beta", "Error", 1);
  if (!Bound) return;
  std::optional<std::string> Beta;
  try {
    Beta = HostBeta(*St.BkApi);
  } catch (...) {
    // An unreadable version resource leaves "Error", without a word.
  }
  if (Beta) {
    Ppa->RemoveValue("Beta");
    Ppa->AddStrConst("Beta", *Beta, 1);
  }
}

void Exit() {
  TPluginState& St = State();
  if (St.RunInProgress) {
    // The run's frames still use the interpreter and the lists: end the run, and let it release them.
    St.ExitPending = true;
    try {
      if (St.PPA1) St.PPA1->Stop();
    } catch (...) {
      // Stop raises the interruption to its caller; the run itself ends at its next check.
    }
    return;
  }
  ReleaseRunObjects();
}

void MenuInit(platform::MenuHandle Menu, int MenuType) {
  if (MenuType != kComposeMenu) return;
  const TPluginState& St = State();
  if (!St.BkApi || !St.BkApi->Bound()) return;
  const platform::MenuHandle Sub = platform::GetSubMenu(Menu, kToolsMenuPosition);
  const int Id = St.BkApi->BKA_RegisterCommand(kMenuCaption, kComposeMenu, &RunTemplate);
  platform::AppendMenu(Sub, 0, static_cast<std::uintptr_t>(static_cast<std::uint32_t>(Id)), kMenuCaption);
}

void CopyField(char (&Field)[80], const char* Text) {
  std::strncpy(Field, Text, sizeof Field - 1);
  Field[sizeof Field - 1] = '\0';
}

}  // namespace

const char* CompModeNameOf(int Mode) {
  switch (Mode) {
    case 0: return "COMP_NEW";
    case 1: return "COMP_NEW_REPLYADDR";
    case 2: return "COMP_NEW_SELADDR";
    case 3: return "COMP_TEMPLATE";
    case 5: return "COMP_REPLY";
    case 6: return "COMP_REPLY_ALL";
    case 7: return "COMP_REPLY_SELADDR";
    case 10: return "COMP_FWD";
    case 11: return "COMP_FWD_REDIRECT";
    case 12: return "COMP_FWD_AS_ATTACHMENT";
    default: return "COMP_MODE_ERR";
  }
}

extern "C" {

int PLATFORM_STDCALL BKC_OnStart() { return Edge(0, [] { Start(); }); }

int PLATFORM_STDCALL BKC_OnExit() { return Edge(0, [] { Exit(); }); }

int PLATFORM_STDCALL BKC_OnMenuInit(platform::WindowHandle /*Window*/, platform::MenuHandle Menu, int MenuType) {
  return Edge(0, [&] { MenuInit(Menu, MenuType); });
}

int PLATFORM_STDCALL BKC_OnOpenFolder(const char* /*FolderId*/) { return 0; }

int PLATFORM_STDCALL BKC_OnOpenMail(const char* /*MailId*/) { return 0; }

int PLATFORM_STDCALL BKC_OnEveryMinute() { return 0; }

int PLATFORM_STDCALL BKC_OnOpenCompose(platform::WindowHandle Window, int Mode) {
  return Edge(0, [&] {
    State().CompModeName = CompModeNameOf(Mode);
    if (Mode != kCompTemplate) RunTemplate(Window, 0);
  });
}

int PLATFORM_STDCALL BKC_OnOutgoing(platform::WindowHandle /*Window*/, int /*Mode*/) { return 0; }

int PLATFORM_STDCALL BKC_OnKeyDispatch(platform::WindowHandle /*Window*/, int /*Key*/, int /*Shift*/) { return 0; }

int PLATFORM_STDCALL BKC_OnRetrieve(const char* /*Message*/, const char* /*MailId*/) { return 0; }

int PLATFORM_STDCALL BKC_OnSend(const char* /*Message*/) { return 0; }

int PLATFORM_STDCALL BKC_OnFinishRetrieve(int /*Count*/) { return 0; }

int PLATFORM_STDCALL BKC_OnPlugInSetup(platform::WindowHandle /*Window*/) {
  ShowDialog(TDialogKind::Information, kAboutText);
  return 1;
}

int PLATFORM_STDCALL BKC_OnPlugInInfo(TBeckyPlugInInfo* Info) {
  if (Info == nullptr) return 0;
  CopyField(Info->Name, kInfo.Name);
  CopyField(Info->Vendor, kInfo.Vendor);
  CopyField(Info->Version, kInfo.Version);
  CopyField(Info->Description, kInfo.Description);
  return 0;
}

}  // extern "C"
