// Windows and menus of the host, reached through user32.
#include "../platform.h"
#include "win.h"

namespace platform {
namespace {

struct Enumeration {
  const std::function<bool(WindowHandle)>* Visit;
};

BOOL CALLBACK VisitOne(HWND Window, LPARAM Param) {
  // No exception may unwind through user32: a throwing visitor ends the enumeration.
  try {
    const auto* E = reinterpret_cast<const Enumeration*>(Param);
    return (*E->Visit)(reinterpret_cast<WindowHandle>(Window)) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

}  // namespace

void EnumChildWindows(WindowHandle Parent, const std::function<bool(WindowHandle)>& Visit) {
  if (!Visit) return;
  Enumeration E{&Visit};
  ::EnumChildWindows(win::Hwnd(Parent), VisitOne, reinterpret_cast<LPARAM>(&E));
}

std::string GetClassName(WindowHandle Window) {
  char Buffer[256];
  const int N = ::GetClassNameA(win::Hwnd(Window), Buffer, sizeof Buffer);
  return N > 0 ? std::string(Buffer, static_cast<std::size_t>(N)) : std::string();
}

std::string GetWindowText(WindowHandle Window) {
  const int Length = ::GetWindowTextLengthA(win::Hwnd(Window));
  if (Length <= 0) return std::string();
  std::string Text(static_cast<std::size_t>(Length) + 1, '\0');
  const int N = ::GetWindowTextA(win::Hwnd(Window), Text.data(), Length + 1);
  Text.resize(N > 0 ? static_cast<std::size_t>(N) : 0);
  return Text;
}

bool GetWindowRect(WindowHandle Window, Rect& Out) {
  RECT R;
  if (!::GetWindowRect(win::Hwnd(Window), &R)) return false;
  Out = {R.left, R.top, R.right, R.bottom};
  return true;
}

int GetDlgCtrlID(WindowHandle Window) { return ::GetDlgCtrlID(win::Hwnd(Window)); }

std::intptr_t SendMessage(WindowHandle Window, std::uint32_t Message, std::uintptr_t WParam, std::intptr_t LParam) {
  return ::SendMessageA(win::Hwnd(Window), Message, WParam, LParam);
}

MenuHandle GetSubMenu(MenuHandle Menu, int Position) {
  return reinterpret_cast<MenuHandle>(::GetSubMenu(win::Hmenu(Menu), Position));
}

bool AppendMenu(MenuHandle Menu, std::uint32_t Flags, std::uintptr_t Id, std::string_view Caption) {
  const std::string Text(Caption);
  return ::AppendMenuA(win::Hmenu(Menu), Flags, Id, Text.c_str()) != FALSE;
}

}  // namespace platform
