// What the system takes from the operating system. The interpreter and the plug-in reach the OS only
// through these operations; each has one body for Win32 (platform/win32) and one for POSIX
// (platform/posix, over a small simulated desktop that the host and the tests drive).
//
// All texts are single-byte strings of the system code page unless a name says otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "abi.h"

namespace platform {

// Handles are pointer-sized, as the Windows ones are.
using WindowHandle = std::uintptr_t;
using MenuHandle = std::uintptr_t;
using ModuleHandle = std::uintptr_t;

// ---- Message pump ----

// Processes every message pending for this thread once, then returns. Exceptions thrown by a
// message handler do not pass through: like the VCL's message loop, the pump drops them.
void ProcessMessages();
// True when a message is waiting; much cheaper than ProcessMessages when none is.
bool MessagePending();
// Blocks until a message (or a due timer) is waiting. Used by Pause so that it does not spin.
void WaitMessage();

// Suspends the thread without processing messages.
void Sleep(std::uint32_t Milliseconds);

// ---- Code-page text ----

// The system's ANSI code page (932 or 1252 on POSIX, where it is a setting of the simulated desktop).
int CodePage();
// True when Byte starts a double-byte character of the system code page.
bool IsLeadByte(unsigned char Byte);
// Locale-aware case mapping (CharUpperBuffA / CharLowerBuffA): the bytes of double-byte
// characters are left alone, single-byte letters outside ASCII are mapped too.
std::string AnsiUpperCase(std::string_view S);
std::string AnsiLowerCase(std::string_view S);
// Maps in place; the same rules as above.
void AnsiUpperCaseInPlace(char* S, std::size_t Length);
// Comparison under the user's locale: negative, 0 or positive. CompareText ignores case.
int AnsiCompareStr(std::string_view A, std::string_view B);
int AnsiCompareText(std::string_view A, std::string_view B);
// The 1-based position of Sub in S, counting only occurrences that begin on a character boundary;
// 0 when there is none or either text is empty.
std::size_t AnsiPos(std::string_view Sub, std::string_view S);
// True when every unit of S is below 0x80: ASCII, which both code pages, UTF-8 and UTF-16 write
// alike. No early exit, so that the loop vectorises.
template <typename Char>
bool IsAscii(std::basic_string_view<Char> S) {
  using Unit = std::make_unsigned_t<Char>;
  Unit Any = 0;
  for (const Char C : S) Any |= static_cast<Unit>(C);
  return Any < 0x80;
}
inline bool IsAscii(std::string_view S) { return IsAscii<char>(S); }
// Conversions between the system code page and UTF-16 / UTF-8. Unmappable characters become "?".
std::u16string ToUtf16(std::string_view S);
std::string FromUtf16(std::u16string_view S);
std::string ToUtf8(std::string_view S);
std::string FromUtf8(std::string_view S);

// ---- Dialogs ----

// MessageBoxA style flags and results used by the system.
inline constexpr std::uint32_t MB_OK = 0x0;
inline constexpr std::uint32_t MB_OKCANCEL = 0x1;
inline constexpr std::uint32_t MB_YESNO = 0x4;
inline constexpr std::uint32_t MB_ICONERROR = 0x10;
inline constexpr std::uint32_t MB_ICONWARNING = 0x30;
inline constexpr std::uint32_t MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

WindowHandle GetActiveWindow();
WindowHandle GetForegroundWindow();
// A modal message box; its result is the identifier of the button pressed (0 on failure).
int MessageBox(WindowHandle Owner, std::string_view Text, std::string_view Caption, std::uint32_t Flags);
// A modal input box with an edit field preset with Default. OK gives the field's text; Cancel or
// closing the box gives nullopt.
std::optional<std::string> InputBox(std::string_view Caption, std::string_view Prompt,
                                    std::string_view Default);

// ---- Processes and the shell ----

struct ProcessResult {
  bool Started = false;
  std::uint32_t ExitCode = 0;  // when waited for
};
// Starts CommandLine (Windows command-line syntax: the program first, quoted when needed) with the
// environment and current directory of this process. With Wait, blocks without processing
// messages until it ends and reports its exit code.
ProcessResult StartProcess(std::string_view CommandLine, bool Wait);
// ShellExecuteA with the verb "open", no owner window, no directory and SW_SHOW. Above 32 is success.
std::uint32_t ShellOpen(std::string_view File, std::string_view Parameters);

// ---- Windows and menus ----

struct Rect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t CB_SELECTSTRING = 0x014D;
inline constexpr std::uint32_t CBN_SELENDOK = 9;

// Calls Visit for every descendant of Parent, depth first, until it returns false.
void EnumChildWindows(WindowHandle Parent, const std::function<bool(WindowHandle)>& Visit);
// At most 255 bytes, like a 256-byte buffer would hold.
std::string GetClassName(WindowHandle Window);
std::string GetWindowText(WindowHandle Window);
bool GetWindowRect(WindowHandle Window, Rect& Out);
int GetDlgCtrlID(WindowHandle Window);
std::intptr_t SendMessage(WindowHandle Window, std::uint32_t Message, std::uintptr_t WParam,
                          std::intptr_t LParam);
MenuHandle GetSubMenu(MenuHandle Menu, int Position);
bool AppendMenu(MenuHandle Menu, std::uint32_t Flags, std::uintptr_t Id, std::string_view Caption);

// ---- Modules ----

// The program module of this process (the host's executable); 0 when it cannot be had.
ModuleHandle GetProgramModule();
// The address of the function exported by that name, or nullptr.
void* GetProcAddress(ModuleHandle Module, const char* Name);

// ---- Files and directories ----

std::string GetCurrentDirectory();
bool SetCurrentDirectory(std::string_view Path);
// True for an existing file; a directory does not count.
bool FileExists(std::string_view Path);
// The file's bytes, or nullopt when it cannot be read.
std::optional<std::string> ReadFile(std::string_view Path);
// Creates or replaces the file; false when it cannot be written.
bool WriteFile(std::string_view Path, std::string_view Data);

// ---- Version resources ----

// GetFileVersionInfoSizeA / GetFileVersionInfoA / VerQueryValueA over the file found by the
// usual search for a name without a folder. 0 or false on failure.
std::uint32_t GetFileVersionInfoSize(std::string_view File);
bool GetFileVersionInfo(std::string_view File, std::uint32_t Size, void* Block);
bool VerQueryValue(const void* Block, std::string_view SubBlock, const void*& Value, std::uint32_t& Length);

// ---- Clock and locale ----

struct DateTime {
  int Year = 0, Month = 0, Day = 0;  // Month 1..12, Day 1..31
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
  int DayOfWeek = 0;  // 0 Sunday .. 6 Saturday
};
DateTime LocalNow();
// The system's short date format and long time format, and the abbreviated day name.
std::string FormatShortDate(const DateTime& T);
std::string FormatLongTime(const DateTime& T);
std::string AbbrevDayName(int DayOfWeek);
// Milliseconds since some fixed point; seeds the pseudo-random generator.
std::uint32_t TickCount();

}  // namespace platform
