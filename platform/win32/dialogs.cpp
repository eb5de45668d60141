// The message box and a modal input box built from an in-memory dialog template.
#include <vector>

#include "../platform.h"
#include "win.h"

namespace platform {
namespace {

constexpr WORD kPromptId = 101;
constexpr WORD kEditId = 102;

// A DLGTEMPLATE with its items, written as the WORD stream that DialogBoxIndirectParam reads.
// Texts are set at WM_INITDIALOG with the ANSI calls, so the template holds only empty ones.
class TemplateWriter {
 public:
  void Dialog(DWORD Style, WORD Items, short Cx, short Cy) {
    Dword(Style);
    Dword(0);  // extended style
    Word(Items);
    Coordinates(0, 0, Cx, Cy);
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    Word(0);  // empty title
    Word(8);  // point size, for DS_SETFONT
    for (const char* C = "MS Shell Dlg"; *C != '\0'; ++C) Word(static_cast<WORD>(*C));
    Word(0);
  }
  void Item(DWORD Style, short X, short Y, short Cx, short Cy, WORD Id, WORD ClassAtom) {
    if (Words_.size() % 2 != 0) Word(0);  // items start on a DWORD boundary
    Dword(Style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Coordinates(X, Y, Cx, Cy);
    Word(Id);
    Word(0xFFFF);
    Word(ClassAtom);
    Word(0);  // empty text
    Word(0);  // no creation data
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(Words_.data()); }

 private:
  void Word(WORD W) { Words_.push_back(W); }
  void Dword(DWORD D) {
    Word(LOWORD(D));
    Word(HIWORD(D));
  }
  void Coordinates(short X, short Y, short Cx, short Cy) {
    for (const short V : {X, Y, Cx, Cy}) Word(static_cast<WORD>(V));
  }
  std::vector<WORD> Words_;  // the allocation is suitably aligned for the DWORDs inside
};

struct InputState {
  std::string Caption, Prompt, Default, Text;
};

INT_PTR CALLBACK InputProc(HWND Dialog, UINT Message, WPARAM WParam, LPARAM LParam) {
  // No exception may unwind through user32: a failure closes the box as cancelled.
  try {
    switch (Message) {
      case WM_INITDIALOG: {
        ::SetWindowLongPtrA(Dialog, DWLP_USER, LParam);
        const auto* S = reinterpret_cast<const InputState*>(LParam);
        ::SetWindowTextA(Dialog, S->Caption.c_str());
        ::SetDlgItemTextA(Dialog, kPromptId, S->Prompt.c_str());
        ::SetDlgItemTextA(Dialog, kEditId, S->Default.c_str());
        ::SetDlgItemTextA(Dialog, IDOK, "OK");
        ::SetDlgItemTextA(Dialog, IDCANCEL, "Cancel");
        const HWND Edit = ::GetDlgItem(Dialog, kEditId);
        ::SendMessageA(Edit, EM_SETSEL, 0, -1);
        ::SetFocus(Edit);
        return FALSE;  // the focus is set
      }
      case WM_COMMAND:
        if (LOWORD(WParam) == IDOK) {
          auto* S = reinterpret_cast<InputState*>(::GetWindowLongPtrA(Dialog, DWLP_USER));
          const HWND Edit = ::GetDlgItem(Dialog, kEditId);
          const int Length = ::GetWindowTextLengthA(Edit);
          std::string Text(static_cast<std::size_t>(Length > 0 ? Length : 0) + 1, '\0');
          const int N = ::GetWindowTextA(Edit, Text.data(), static_cast<int>(Text.size()));
          Text.resize(N > 0 ? static_cast<std::size_t>(N) : 0);
          S->Text = std::move(Text);
          ::EndDialog(Dialog, IDOK);
          return TRUE;
        }
        if (LOWORD(WParam) == IDCANCEL) {
          ::EndDialog(Dialog, IDCANCEL);
          return TRUE;
        }
        return FALSE;
      default:
        return FALSE;
    }
  } catch (...) {
    ::EndDialog(Dialog, IDCANCEL);
    return TRUE;
  }
}

HINSTANCE ThisModule() {
  HMODULE Module = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &Module);
  return Module;
}

}  // namespace

WindowHandle GetActiveWindow() { return reinterpret_cast<WindowHandle>(::GetActiveWindow()); }
WindowHandle GetForegroundWindow() { return reinterpret_cast<WindowHandle>(::GetForegroundWindow()); }

int MessageBox(WindowHandle Owner, std::string_view Text, std::string_view Caption, std::uint32_t Flags) {
  const std::string T(Text), C(Caption);
  return ::MessageBoxA(win::Hwnd(Owner), T.c_str(), C.c_str(), Flags);
}

std::optional<std::string> InputBox(std::string_view Caption, std::string_view Prompt, std::string_view Default) {
  constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;
  TemplateWriter T;
  T.Dialog(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 4, 220, 76);
  T.Item(SS_LEFT | SS_NOPREFIX, 7, 7, 206, 24, kPromptId, kStatic);
  T.Item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 34, 206, 14, kEditId, kEdit);
  T.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 109, 55, 50, 14, IDOK, kButton);
  T.Item(BS_PUSHBUTTON | WS_TABSTOP, 163, 55, 50, 14, IDCANCEL, kButton);

  InputState State{std::string(Caption), std::string(Prompt), std::string(Default), std::string()};
  const INT_PTR R = ::DialogBoxIndirectParamA(ThisModule(), T.Get(), ::GetActiveWindow(), InputProc,
                                              reinterpret_cast<LPARAM>(&State));
  if (R != IDOK) return std::nullopt;
  return std::move(State.Text);
}

}  // namespace platform
