// The Windows headers for the Win32 bodies. Include after platform.h: its constants share names with
// macros of windows.h, and the macros that would rename our operations are removed here.
#pragma once

#include "../platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
#include <winver.h>

#undef AppendMenu
#undef CreateWindow
#undef GetClassName
#undef GetCurrentDirectory
#undef GetFileVersionInfo
#undef GetFileVersionInfoSize
#undef GetWindowText
#undef MessageBox
#undef PostMessage
#undef SendMessage
#undef SetCurrentDirectory
#undef VerQueryValue

namespace platform::win {

inline HWND Hwnd(WindowHandle H) { return reinterpret_cast<HWND>(H); }
inline HMENU Hmenu(MenuHandle H) { return reinterpret_cast<HMENU>(H); }

// Windows takes int lengths; the texts of this system stay far below that.
inline int Length(std::size_t N) { return N > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(N); }

}  // namespace platform::win
