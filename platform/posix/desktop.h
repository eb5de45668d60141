// The simulated desktop behind the POSIX platform: windows, menus, a message queue with timers,
// dialogs answered by a handler, the emulated system locale, the clock and version resources.
// The headless host and the tests build their world with these calls; the platform operations of
// platform.h then behave over it as Windows would. Single-threaded, like a Windows UI thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../platform.h"

namespace platform::desktop {

// A window procedure: gets every message sent or posted to its window.
using MessageHandler =
    std::function<std::intptr_t(WindowHandle Window, std::uint32_t Message, std::uintptr_t WParam,
                                std::intptr_t LParam)>;

struct WindowInit {
  std::string ClassName;
  std::string Text;
  Rect Bounds;  // screen coordinates
  WindowHandle Parent = 0;
  int ControlId = 0;
  MessageHandler Handler;  // may be empty
};

// Windows, in creation order among their siblings (EnumChildWindows visits them in that order).
WindowHandle CreateWindow(WindowInit Init);
void DestroyWindow(WindowHandle Window);  // and its descendants
bool IsWindow(WindowHandle Window);
void SetWindowText(WindowHandle Window, std::string Text);
void SetForegroundWindow(WindowHandle Window);
void SetActiveWindow(WindowHandle Window);

// A built-in ComboBox: a window of class "ComboBox" whose handler keeps a list of entries and
// answers CB_SELECTSTRING (first entry beginning with the text, letter case ignored, from after the
// start index; -1 searches from the top), CB_GETCURSEL and CB_GETCOUNT like the real control.
WindowHandle CreateComboBox(WindowHandle Parent, int ControlId, Rect Bounds, std::vector<std::string> Entries);
// The entry a combo box has selected, or -1.
int ComboSelection(WindowHandle Combo);
std::vector<std::string> ComboEntries(WindowHandle Combo);
inline constexpr std::uint32_t CB_GETCOUNT = 0x0146;
inline constexpr std::uint32_t CB_GETCURSEL = 0x0147;
inline constexpr std::intptr_t CB_ERR = -1;

// Queues a message for the window's handler; the pump delivers it. The one call that another
// thread may make: it also wakes a WaitMessage. With nothing queued and no timer, WaitMessage
// returns after a short idle wait, since nothing on this thread could ever end it.
void PostMessage(WindowHandle Window, std::uint32_t Message, std::uintptr_t WParam, std::intptr_t LParam);
// A timer that calls Tick from the message pump every Interval (WaitMessage wakes for it).
std::uintptr_t SetTimer(std::chrono::milliseconds Interval, std::function<void()> Tick);
void KillTimer(std::uintptr_t Id);

// Menus: a menu bar's drop-down menus are items with a submenu.
struct MenuItem {
  std::uint32_t Flags = 0;
  std::uintptr_t Id = 0;
  std::string Caption;
  MenuHandle SubMenu = 0;
};
MenuHandle CreateMenu();
void AppendSubMenu(MenuHandle Menu, std::string Caption, MenuHandle SubMenu);
std::vector<MenuItem> MenuItems(MenuHandle Menu);

// Dialogs. Every message box and input box goes to the handler; without one a message box gives
// its default button and an input box is cancelled. Like a real box's modal loop, a box first
// delivers what is queued (one ProcessMessages). A handler that throws counts as a failed box.
struct DialogRequest {
  enum class Kind { MessageBox, InputBox } Type = Kind::MessageBox;
  WindowHandle Owner = 0;
  std::string Caption;
  std::string Text;     // the message, or the input box's prompt
  std::string Default;  // the input box's preset text
  std::uint32_t Flags = 0;
};
struct DialogAnswer {
  int Button = IDOK;                 // the message box's result; IDOK or IDCANCEL for an input box
  std::optional<std::string> Input;  // the input box's text on OK
};
using DialogHandler = std::function<DialogAnswer(const DialogRequest&)>;
void SetDialogHandler(DialogHandler Handler);
// The button a message box with these flags gives when its default button is pressed.
int DefaultButton(std::uint32_t Flags);

// The emulated system locale.
enum class Locale { JaJP, EnUS };
// ja-JP: code page 932, short date yyyy/mm/dd, long time h:nn:ss, day names in Japanese.
// en-US: code page 1252, short date m/d/yyyy, long time h:nn:ss AM/PM, day names Sun..Sat.
void SetLocale(Locale L);
// A fixed local clock for LocalNow; nullopt returns to the real clock.
void SetClock(std::optional<DateTime> Fixed);

// A version resource for a program file name (looked up by its name without folder, letter case
// ignored). nullopt removes it. The translation is language 0x0411, code page 0x04B0 unless given.
void SetFileVersion(const std::string& FileName, std::optional<std::string> FileVersion,
                    std::uint16_t Language = 0x0411, std::uint16_t CodePage = 0x04B0);

// Forgets every window, menu, timer, queued message, handler and setting.
void Reset();

}  // namespace platform::desktop
