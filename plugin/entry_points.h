// The fourteen functions the host calls, exported by name (ordinals 1 to 14 in this order, see
// veskera.def). Each is a catch-all edge: no exception leaves it.
#pragma once

#include <cstdint>

#include "platform/abi.h"
#include "platform/platform.h"

// The record BKC_OnPlugInInfo fills: four NUL-terminated texts of at most 79 characters.
struct TBeckyPlugInInfo {
  char Name[80];
  char Vendor[80];
  char Version[80];
  char Description[80];
};

// The host's compose modes that have a name; every other number is "COMP_MODE_ERR".
inline constexpr int kCompTemplate = 3;
// The menu type of a compose window's menu.
inline constexpr int kComposeMenu = 10;

// ORDER: veskera.def.
extern "C" {
int PLATFORM_STDCALL BKC_OnStart();
int PLATFORM_STDCALL BKC_OnExit();
int PLATFORM_STDCALL BKC_OnMenuInit(platform::WindowHandle Window, platform::MenuHandle Menu, int MenuType);
int PLATFORM_STDCALL BKC_OnOpenFolder(const char* FolderId);
int PLATFORM_STDCALL BKC_OnOpenMail(const char* MailId);
int PLATFORM_STDCALL BKC_OnEveryMinute();
int PLATFORM_STDCALL BKC_OnOpenCompose(platform::WindowHandle Window, int Mode);
int PLATFORM_STDCALL BKC_OnOutgoing(platform::WindowHandle Window, int Mode);
int PLATFORM_STDCALL BKC_OnKeyDispatch(platform::WindowHandle Window, int Key, int Shift);
int PLATFORM_STDCALL BKC_OnRetrieve(const char* Message, const char* MailId);
int PLATFORM_STDCALL BKC_OnSend(const char* Message);
int PLATFORM_STDCALL BKC_OnFinishRetrieve(int Count);
int PLATFORM_STDCALL BKC_OnPlugInSetup(platform::WindowHandle Window);
int PLATFORM_STDCALL BKC_OnPlugInInfo(TBeckyPlugInInfo* Info);
}

// The name of a compose mode, as a template reads it in CompMode.
const char* CompModeNameOf(int Mode);
