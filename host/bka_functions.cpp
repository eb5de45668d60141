// The host API: the 54 BKA_ functions, exported from the executable so that the plug-in finds
// them by name. Sixteen do what the plug-in relies on; the rest exist only to be found and do
// nothing. All act on the live HeadlessHost and are harmless without one.
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "host/headless_host.h"

using platform::WindowHandle;

namespace {

host::HeadlessHost* Live() { return host::HeadlessHost::Current(); }

void Note(std::string Call) {
  if (auto* H = Live()) H->Log().Calls.push_back(std::move(Call));
}

std::string Arg(const char* Text) { return Text ? Text : ""; }

// Writes Text into a block of Size bytes as a NUL-terminated text, cut to fit.
void Fill(char* Block, int Size, std::string_view Text) {
  if (!Block || Size <= 0) return;
  std::size_t N = std::min(Text.size(), static_cast<std::size_t>(Size) - 1);
  std::memcpy(Block, Text.data(), N);
  Block[N] = '\0';
}

}  // namespace

extern "C" {

// ---- The sixteen the plug-in calls ----

const char* PLATFORM_STDCALL BKA_GetVersion() {
  Note("BKA_GetVersion()");
  auto* H = Live();
  return H ? H->Keep("GetVersion", H->Options().Version) : "";
}

void PLATFORM_STDCALL BKA_Command(WindowHandle Window, const char* Command) {
  std::string C = Arg(Command);
  Note("BKA_Command(" + C + ")");
  auto* H = Live();
  if (!H) return;
  H->Log().Commands.push_back(C);
  if (auto* W = H->FindCompose(Window); W && C == "CsrDown") {
    ++W->CaretLine;
    W->CaretMoved = true;
  }
}

int PLATFORM_STDCALL BKA_RegisterCommand(const char* Caption, int MenuType, TBeckyCommandCallback Callback) {
  Note("BKA_RegisterCommand(" + Arg(Caption) + ", " + std::to_string(MenuType) + ")");
  auto* H = Live();
  return H ? H->RegisterCommand(Arg(Caption), MenuType, Callback) : 0;
}

const char* PLATFORM_STDCALL BKA_GetDataFolder() {
  Note("BKA_GetDataFolder()");
  auto* H = Live();
  return H ? H->Keep("GetDataFolder", H->DataFolder()) : "";
}

void PLATFORM_STDCALL BKA_SetMessageText(WindowHandle Window, const char* Text) {
  Note("BKA_SetMessageText(" + std::to_string(Window) + ", " + Arg(Text) + ")");
  if (auto* H = Live()) H->Log().StatusTexts.push_back({Window, Arg(Text)});
}

const char* PLATFORM_STDCALL BKA_GetCurrentMail() {
  Note("BKA_GetCurrentMail()");
  auto* H = Live();
  return H ? H->Keep("GetCurrentMail", H->CurrentMail()) : "";
}

void PLATFORM_STDCALL BKA_SetCurrentMail(const char* MailId) {
  Note("BKA_SetCurrentMail(" + Arg(MailId) + ")");
  auto* H = Live();
  if (!H) return;
  H->Log().CurrentMailChanges.push_back(Arg(MailId));
  H->SetCurrentMail(Arg(MailId));
}

void PLATFORM_STDCALL BKA_GetSpecifiedHeader(const char* Header, char* Block, int Size) {
  Note("BKA_GetSpecifiedHeader(" + Arg(Header) + ")");
  auto* H = Live();
  const host::Message* M = H ? H->CurrentMessage() : nullptr;
  Fill(Block, Size, M ? M->Header(Arg(Header)) : std::string());
}

char* PLATFORM_STDCALL BKA_GetText(char* MimeType, int Size) {
  Note("BKA_GetText()");
  auto* H = Live();
  const host::Message* M = H ? H->CurrentMessage() : nullptr;
  Fill(MimeType, Size, M ? M->MimeType : "text/plain");
  if (!H) return nullptr;
  return const_cast<char*>(H->Keep("GetText", M ? M->Body : std::string()));
}

void PLATFORM_STDCALL BKA_CompGetSpecifiedHeader(WindowHandle Window, const char* Header, char* Block, int Size) {
  Note("BKA_CompGetSpecifiedHeader(" + Arg(Header) + ")");
  auto* H = Live();
  const host::ComposeWindow* W = H ? H->FindCompose(Window) : nullptr;
  Fill(Block, Size, W ? W->Header(Arg(Header)) : std::string());
}

void PLATFORM_STDCALL BKA_CompSetSpecifiedHeader(WindowHandle Window, const char* Header, const char* Value) {
  std::string Name = Arg(Header), V = Arg(Value);
  Note("BKA_CompSetSpecifiedHeader(" + Name + ", " + V + ")");
  auto* H = Live();
  if (!H) return;
  H->Log().HeadersSet.emplace_back(Name, V);
  auto* W = H->FindCompose(Window);
  if (!W) return;
  for (auto& [N, Old] : W->Headers) {
    if (platform::AnsiCompareText(N, Name) == 0) {
      Old = V;
      return;
    }
  }
  W->Headers.emplace_back(Name, V);
}

char* PLATFORM_STDCALL BKA_CompGetText(WindowHandle Window, char* MimeType, int Size) {
  Note("BKA_CompGetText()");
  Fill(MimeType, Size, "text/plain");
  auto* H = Live();
  if (!H) return nullptr;
  const host::ComposeWindow* W = H->FindCompose(Window);
  return const_cast<char*>(H->Keep("CompGetText", W ? W->Text : std::string()));
}

void PLATFORM_STDCALL BKA_CompSetText(WindowHandle Window, int Mode, const char* Text) {
  // The whole message comes through here: each copy of it is made once, at its full size.
  const std::string_view T = Text ? Text : "";
  std::string Call = "BKA_CompSetText(" + std::to_string(Mode) + ", ";
  Call.reserve(Call.size() + T.size() + 1);
  Call += T;
  Call += ')';
  Note(std::move(Call));
  auto* H = Live();
  if (!H) return;
  H->Log().TextsSet.emplace_back(T);
  auto* W = H->FindCompose(Window);
  if (!W) return;
  // Mode 0 replaces the whole text; other modes insert at the caret, which stays where it is.
  if (Mode == 0) {
    W->Text = T;
    W->CaretLine = 1;
    W->CaretMoved = false;
  } else {
    W->Text += T;
  }
}

void PLATFORM_STDCALL BKA_CompAttachFile(WindowHandle Window, const char* Path, const char* MimeType) {
  Note("BKA_CompAttachFile(" + Arg(Path) + ", " + Arg(MimeType) + ")");
  auto* H = Live();
  if (!H) return;
  H->Log().Attachments.push_back(Arg(Path));
  if (auto* W = H->FindCompose(Window)) W->Attachments.push_back(Arg(Path));
}

void* PLATFORM_STDCALL BKA_Alloc(int Size) {
  // A real block even for 0 bytes, so that every result can go back through BKA_Free.
  return std::malloc(Size > 0 ? static_cast<std::size_t>(Size) : 1);
}

void PLATFORM_STDCALL BKA_Free(void* Block) { std::free(Block); }

// ---- The rest: present so that binding succeeds; never called ----

int PLATFORM_STDCALL BKA_GetWindowHandles(WindowHandle*, WindowHandle*, WindowHandle*, WindowHandle*) { return 0; }
int PLATFORM_STDCALL BKA_RegisterUICallback(const char*, void*) { return 0; }
const char* PLATFORM_STDCALL BKA_GetTempFolder() { return nullptr; }
const char* PLATFORM_STDCALL BKA_GetTempFileName(const char*) { return nullptr; }
const char* PLATFORM_STDCALL BKA_GetCurrentMailBox() { return nullptr; }
void PLATFORM_STDCALL BKA_SetCurrentMailBox(const char*) {}
const char* PLATFORM_STDCALL BKA_GetCurrentFolder() { return nullptr; }
void PLATFORM_STDCALL BKA_SetCurrentFolder(const char*) {}
const char* PLATFORM_STDCALL BKA_GetFolderDisplayName(const char*) { return nullptr; }
const char* PLATFORM_STDCALL BKA_GetNextMail(int, char*, int, int*, int) { return nullptr; }
void PLATFORM_STDCALL BKA_SetSel(const char*, int) {}
int PLATFORM_STDCALL BKA_AppendMessage(const char*, const char*) { return 0; }
int PLATFORM_STDCALL BKA_MoveSelectedMessages(const char*, int) { return 0; }
int PLATFORM_STDCALL BKA_GetStatus(const char*) { return 0; }
WindowHandle PLATFORM_STDCALL BKA_ComposeMail(const char*) { return 0; }
int PLATFORM_STDCALL BKA_GetCharSet(const char*, char*, int) { return 0; }
char* PLATFORM_STDCALL BKA_GetSource(const char*) { return nullptr; }
void PLATFORM_STDCALL BKA_SetSource(const char*, const char*) {}
void PLATFORM_STDCALL BKA_GetHeader(const char*, char*, int) {}
void PLATFORM_STDCALL BKA_SetText(int, const char*) {}
void PLATFORM_STDCALL BKA_SetSpecifiedHeader(const char*, const char*) {}
int PLATFORM_STDCALL BKA_CompGetCharSet(WindowHandle, char*, int) { return 0; }
char* PLATFORM_STDCALL BKA_CompGetSource(WindowHandle) { return nullptr; }
void PLATFORM_STDCALL BKA_CompSetSource(WindowHandle, const char*) {}
void PLATFORM_STDCALL BKA_CompGetHeader(WindowHandle, char*, int) {}
void* PLATFORM_STDCALL BKA_ReAlloc(void*, int) { return nullptr; }
int PLATFORM_STDCALL BKA_ISO_2022_JP(const char*, int) { return 0; }
int PLATFORM_STDCALL BKA_ISO_2022_KR(const char*, int) { return 0; }
int PLATFORM_STDCALL BKA_HZ_GB2312(const char*, int) { return 0; }
int PLATFORM_STDCALL BKA_ISO_8859_2(const char*, int) { return 0; }
int PLATFORM_STDCALL BKA_EUC_JP(const char*, int) { return 0; }
int PLATFORM_STDCALL BKA_UTF_7(const char*, int) { return 0; }
int PLATFORM_STDCALL BKA_UTF_8(const char*, int) { return 0; }
int PLATFORM_STDCALL BKA_B64Convert(char*, const char*, int, int) { return 0; }
int PLATFORM_STDCALL BKA_QPConvert(char*, const char*, int, int) { return 0; }
char* PLATFORM_STDCALL BKA_MIMEHeader(const char*, char*, int, int) { return nullptr; }
char* PLATFORM_STDCALL BKA_SerializeRcpts(const char*) { return nullptr; }
int PLATFORM_STDCALL BKA_Connect(int) { return 0; }

}  // extern "C"

namespace host {

namespace {

template <typename F>
void* Address(F* Function) {
  return reinterpret_cast<void*>(Function);
}

// ORDER: kBeckyApiNames.
#define VESK_BKA(Name) {#Name, Address(&Name)}
const BkaExport kExports[] = {
    VESK_BKA(BKA_GetVersion),          VESK_BKA(BKA_Command),          VESK_BKA(BKA_GetWindowHandles),
    VESK_BKA(BKA_RegisterCommand),     VESK_BKA(BKA_RegisterUICallback), VESK_BKA(BKA_GetDataFolder),
    VESK_BKA(BKA_GetTempFolder),       VESK_BKA(BKA_GetTempFileName),  VESK_BKA(BKA_GetCurrentMailBox),
    VESK_BKA(BKA_SetCurrentMailBox),   VESK_BKA(BKA_GetCurrentFolder), VESK_BKA(BKA_SetCurrentFolder),
    VESK_BKA(BKA_GetFolderDisplayName), VESK_BKA(BKA_SetMessageText),  VESK_BKA(BKA_GetCurrentMail),
    VESK_BKA(BKA_SetCurrentMail),      VESK_BKA(BKA_GetNextMail),      VESK_BKA(BKA_SetSel),
    VESK_BKA(BKA_AppendMessage),       VESK_BKA(BKA_MoveSelectedMessages), VESK_BKA(BKA_GetStatus),
    VESK_BKA(BKA_ComposeMail),         VESK_BKA(BKA_GetCharSet),       VESK_BKA(BKA_GetSource),
    VESK_BKA(BKA_SetSource),           VESK_BKA(BKA_GetHeader),        VESK_BKA(BKA_GetText),
    VESK_BKA(BKA_SetText),             VESK_BKA(BKA_GetSpecifiedHeader), VESK_BKA(BKA_SetSpecifiedHeader),
    VESK_BKA(BKA_CompGetCharSet),      VESK_BKA(BKA_CompGetSource),    VESK_BKA(BKA_CompSetSource),
    VESK_BKA(BKA_CompGetHeader),       VESK_BKA(BKA_CompGetSpecifiedHeader), VESK_BKA(BKA_CompSetSpecifiedHeader),
    VESK_BKA(BKA_CompGetText),         VESK_BKA(BKA_CompSetText),      VESK_BKA(BKA_CompAttachFile),
    VESK_BKA(BKA_Alloc),               VESK_BKA(BKA_ReAlloc),          VESK_BKA(BKA_Free),
    VESK_BKA(BKA_ISO_2022_JP),         VESK_BKA(BKA_ISO_2022_KR),      VESK_BKA(BKA_HZ_GB2312),
    VESK_BKA(BKA_ISO_8859_2),          VESK_BKA(BKA_EUC_JP),           VESK_BKA(BKA_UTF_7),
    VESK_BKA(BKA_UTF_8),               VESK_BKA(BKA_B64Convert),       VESK_BKA(BKA_QPConvert),
    VESK_BKA(BKA_MIMEHeader),          VESK_BKA(BKA_SerializeRcpts),   VESK_BKA(BKA_Connect),
};
#undef VESK_BKA
static_assert(std::size(kExports) == kBeckyApiCount, "one export per host API name");

}  // namespace

std::span<const BkaExport> BkaExports() { return kExports; }

TBeckyAPI::Resolver BkaResolver(std::string Missing) {
  return [Missing = std::move(Missing)](const char* Name) -> void* {
    if (!Name || Missing == Name) return nullptr;
    for (const BkaExport& E : kExports) {
      if (std::strcmp(E.Name, Name) == 0) return E.Address;
    }
    return nullptr;
  };
}

}  // namespace host
