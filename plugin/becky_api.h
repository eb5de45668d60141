// TBeckyAPI: the host's API functions, bound by name from the host's program module.
//
// Every host function uses stdcall; texts are NUL-terminated strings of the system code page; the
// plug-in copies a returned text at once and does not release it; blocks the host fills come from
// BKA_Alloc and go back through BKA_Free. Binding is all or nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/abi.h"
#include "platform/platform.h"

// The host's command callback: the compose window and a parameter the plug-in does not use.
using TBeckyCommandCallback = void(PLATFORM_STDCALL*)(platform::WindowHandle Window, std::intptr_t Param);

// The sixteen host functions the plug-in calls.
using TBKA_GetVersion = const char*(PLATFORM_STDCALL*)();
using TBKA_Command = void(PLATFORM_STDCALL*)(platform::WindowHandle Window, const char* Command);
using TBKA_RegisterCommand = int(PLATFORM_STDCALL*)(const char* Caption, int MenuType,
                                                    TBeckyCommandCallback Callback);
using TBKA_GetDataFolder = const char*(PLATFORM_STDCALL*)();
using TBKA_SetMessageText = void(PLATFORM_STDCALL*)(platform::WindowHandle Window, const char* Text);
using TBKA_GetCurrentMail = const char*(PLATFORM_STDCALL*)();
using TBKA_SetCurrentMail = void(PLATFORM_STDCALL*)(const char* MailId);
using TBKA_GetSpecifiedHeader = void(PLATFORM_STDCALL*)(const char* Header, char* Block, int Size);
using TBKA_GetText = char*(PLATFORM_STDCALL*)(char* MimeType, int Size);
using TBKA_CompGetSpecifiedHeader = void(PLATFORM_STDCALL*)(platform::WindowHandle Window,
                                                            const char* Header, char* Block, int Size);
using TBKA_CompSetSpecifiedHeader = void(PLATFORM_STDCALL*)(platform::WindowHandle Window,
                                                            const char* Header, const char* Value);
using TBKA_CompGetText = char*(PLATFORM_STDCALL*)(platform::WindowHandle Window, char* MimeType, int Size);
using TBKA_CompSetText = void(PLATFORM_STDCALL*)(platform::WindowHandle Window, int Mode, const char* Text);
using TBKA_CompAttachFile = void(PLATFORM_STDCALL*)(platform::WindowHandle Window, const char* Path,
                                                    const char* MimeType);
using TBKA_Alloc = void*(PLATFORM_STDCALL*)(int Size);
using TBKA_Free = void(PLATFORM_STDCALL*)(void* Block);

// The 54 names in slot order. The host must export every one of them.
// ORDER: the slots of TBeckyAPI below follow this list.
inline constexpr const char* kBeckyApiNames[] = {
    "BKA_GetVersion",          "BKA_Command",          "BKA_GetWindowHandles",
    "BKA_RegisterCommand",     "BKA_RegisterUICallback", "BKA_GetDataFolder",
    "BKA_GetTempFolder",       "BKA_GetTempFileName",  "BKA_GetCurrentMailBox",
    "BKA_SetCurrentMailBox",   "BKA_GetCurrentFolder", "BKA_SetCurrentFolder",
    "BKA_GetFolderDisplayName", "BKA_SetMessageText",  "BKA_GetCurrentMail",
    "BKA_SetCurrentMail",      "BKA_GetNextMail",      "BKA_SetSel",
    "BKA_AppendMessage",       "BKA_MoveSelectedMessages", "BKA_GetStatus",
    "BKA_ComposeMail",         "BKA_GetCharSet",       "BKA_GetSource",
    "BKA_SetSource",           "BKA_GetHeader",        "BKA_GetText",
    "BKA_SetText",             "BKA_GetSpecifiedHeader", "BKA_SetSpecifiedHeader",
    "BKA_CompGetCharSet",      "BKA_CompGetSource",    "BKA_CompSetSource",
    "BKA_CompGetHeader",       "BKA_CompGetSpecifiedHeader", "BKA_CompSetSpecifiedHeader",
    "BKA_CompGetText",         "BKA_CompSetText",      "BKA_CompAttachFile",
    "BKA_Alloc",               "BKA_ReAlloc",          "BKA_Free",
    "BKA_ISO_2022_JP",         "BKA_ISO_2022_KR",      "BKA_HZ_GB2312",
    "BKA_ISO_8859_2",          "BKA_EUC_JP",           "BKA_UTF_7",
    "BKA_UTF_8",               "BKA_B64Convert",       "BKA_QPConvert",
    "BKA_MIMEHeader",          "BKA_SerializeRcpts",   "BKA_Connect",
};
inline constexpr int kBeckyApiCount = sizeof(kBeckyApiNames) / sizeof(kBeckyApiNames[0]);
static_assert(kBeckyApiCount == 54, "the host API has 54 functions");

class TBeckyAPI {
 public:
  // Looks a name up in the host; nullptr when it is not exported.
  using Resolver = std::function<void*(const char* Name)>;

  TBeckyAPI() = default;
  // Holds addresses inside the host; a copy would be a second binding nobody unbinds.
  TBeckyAPI(const TBeckyAPI&) = delete;
  TBeckyAPI& operator=(const TBeckyAPI&) = delete;

  // Binds all 54 functions from the program module of this process. True when bound afterwards;
  // an object already bound looks nothing up again.
  bool Bind();
  // The same over a given module and lookup, so that a test can offer a host that lacks a name.
  bool Bind(platform::ModuleHandle Module, const Resolver& Lookup);
  bool Bound() const { return ModuleHandle != 0; }

  // ORDER: kBeckyApiNames. Slots the plug-in never calls hold plain addresses.
  TBKA_GetVersion BKA_GetVersion = nullptr;
  TBKA_Command BKA_Command = nullptr;
  void* BKA_GetWindowHandles = nullptr;
  TBKA_RegisterCommand BKA_RegisterCommand = nullptr;
  void* BKA_RegisterUICallback = nullptr;
  TBKA_GetDataFolder BKA_GetDataFolder = nullptr;
  void* BKA_GetTempFolder = nullptr;
  void* BKA_GetTempFileName = nullptr;
  void* BKA_GetCurrentMailBox = nullptr;
  void* BKA_SetCurrentMailBox = nullptr;
  void* BKA_GetCurrentFolder = nullptr;
  void* BKA_SetCurrentFolder = nullptr;
  void* BKA_GetFolderDisplayName = nullptr;
  TBKA_SetMessageText BKA_SetMessageText = nullptr;
  TBKA_GetCurrentMail BKA_GetCurrentMail = nullptr;
  TBKA_SetCurrentMail BKA_SetCurrentMail = nullptr;
  void* BKA_GetNextMail = nullptr;
  void* BKA_SetSel = nullptr;
  void* BKA_AppendMessage = nullptr;
  void* BKA_MoveSelectedMessages = nullptr;
  void* BKA_GetStatus = nullptr;
  void* BKA_ComposeMail = nullptr;
  void* BKA_GetCharSet = nullptr;
  void* BKA_GetSource = nullptr;
  void* BKA_SetSource = nullptr;
  void* BKA_GetHeader = nullptr;
  TBKA_GetText BKA_GetText = nullptr;
  void* BKA_SetText = nullptr;
  TBKA_GetSpecifiedHeader BKA_GetSpecifiedHeader = nullptr;
  void* BKA_SetSpecifiedHeader = nullptr;
  void* BKA_CompGetCharSet = nullptr;
  void* BKA_CompGetSource = nullptr;
  void* BKA_CompSetSource = nullptr;
  void* BKA_CompGetHeader = nullptr;
  TBKA_CompGetSpecifiedHeader BKA_CompGetSpecifiedHeader = nullptr;
  TBKA_CompSetSpecifiedHeader BKA_CompSetSpecifiedHeader = nullptr;
  TBKA_CompGetText BKA_CompGetText = nullptr;
  TBKA_CompSetText BKA_CompSetText = nullptr;
  TBKA_CompAttachFile BKA_CompAttachFile = nullptr;
  TBKA_Alloc BKA_Alloc = nullptr;
  void* BKA_ReAlloc = nullptr;
  TBKA_Free BKA_Free = nullptr;
  void* BKA_ISO_2022_JP = nullptr;
  void* BKA_ISO_2022_KR = nullptr;
  void* BKA_HZ_GB2312 = nullptr;
  void* BKA_ISO_8859_2 = nullptr;
  void* BKA_EUC_JP = nullptr;
  void* BKA_UTF_7 = nullptr;
  void* BKA_UTF_8 = nullptr;
  void* BKA_B64Convert = nullptr;
  void* BKA_QPConvert = nullptr;
  void* BKA_MIMEHeader = nullptr;
  void* BKA_SerializeRcpts = nullptr;
  void* BKA_Connect = nullptr;

  // The host's program module; 0 while unbound.
  platform::ModuleHandle ModuleHandle = 0;
};

// A text the host returned, copied at once; a null text counts as empty.
inline std::string HostText(const char* Text) { return Text ? std::string(Text) : std::string(); }

// A block for the host to fill: taken from BKA_Alloc, zero-filled so that a host that writes
// nothing leaves an empty text, and given back through BKA_Free when it goes out of scope.
class TBeckyBlock {
 public:
  // Throws std::bad_alloc when the host gives no block.
  TBeckyBlock(const TBeckyAPI& Api, int Size);
  ~TBeckyBlock();
  // The block belongs to the host's allocator: a copy would free it twice.
  TBeckyBlock(const TBeckyBlock&) = delete;
  TBeckyBlock& operator=(const TBeckyBlock&) = delete;

  char* Data() const { return Data_; }
  int Size() const { return Size_; }
  // What the host wrote: up to the first NUL, never past the block's end.
  std::string Text() const;

 private:
  const TBeckyAPI& Api_;
  char* Data_ = nullptr;
  int Size_ = 0;
};
