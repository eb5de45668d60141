// Answers the plug-in's modal dialogs. A thread timer keeps firing inside every modal loop of the
// thread (message boxes and the input box dispatch it like any other message), so each tick looks
// for a visible, enabled top-level window of this thread that is not one of the host's own.
#include <deque>
#include <set>

#include "b2_host.h"

namespace b2 {
namespace {

std::deque<std::string> answers;
std::set<HWND> answered;  // pressed already, but maybe not yet destroyed
int pressId = 0;          // 0: the dialog's default button

struct Found {
  std::string texts;    // the non-empty static texts, joined by " | "
  std::string buttons;  // every button's caption, quoted, in creation order
  HWND icon = nullptr;
  HWND edit = nullptr;
  HWND firstButton = nullptr;
  HWND defaultButton = nullptr;
};

BOOL CALLBACK collect(HWND child, LPARAM param) {
  Found& found = *reinterpret_cast<Found*>(param);
  std::string cls = ClassOf(child);
  if (_stricmp(cls.c_str(), "Static") == 0) {
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      found.icon = child;
    } else if (std::string text = TextOf(child); !text.empty()) {
      if (!found.texts.empty()) found.texts += " | ";
      found.texts += text;
    }
  } else if (_stricmp(cls.c_str(), "Edit") == 0 && found.edit == nullptr) {
    found.edit = child;
  } else if (_stricmp(cls.c_str(), "Button") == 0) {
    if (found.firstButton == nullptr) found.firstButton = child;
    if (!found.buttons.empty()) found.buttons += ',';
    found.buttons += Quote(TextOf(child));
    if ((GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) found.defaultButton = child;
  }
  return TRUE;
}

const char* iconName(HWND iconControl) {
  if (iconControl == nullptr) return "none";
  auto icon = reinterpret_cast<HICON>(SendMessageA(iconControl, STM_GETICON, 0, 0));
  if (icon == nullptr) return "none";
  if (icon == LoadIcon(nullptr, IDI_ERROR)) return "error";
  if (icon == LoadIcon(nullptr, IDI_WARNING)) return "warning";
  if (icon == LoadIcon(nullptr, IDI_INFORMATION)) return "information";
  if (icon == LoadIcon(nullptr, IDI_QUESTION)) return "question";
  return "other";
}

// The button a user pressing Enter would get: the one drawn as default, else the dialog's default
// identifier (Wine's message box answers DM_GETDEFID with IDOK even when it has no such button).
int buttonToPress(HWND dialog, const Found& found) {
  if (pressId != 0) return pressId;
  if (found.defaultButton != nullptr) return GetDlgCtrlID(found.defaultButton);
  LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
  if (HIWORD(def) == DC_HASDEFID && GetDlgItem(dialog, LOWORD(def)) != nullptr) return LOWORD(def);
  if (GetDlgItem(dialog, IDOK) != nullptr) return IDOK;
  return found.firstButton != nullptr ? GetDlgCtrlID(found.firstButton) : IDOK;
}

void answer(HWND dialog) {
  Found found;
  EnumChildWindows(dialog, collect, reinterpret_cast<LPARAM>(&found));
  std::string line = "DIALOG title=" + Quote(TextOf(dialog)) + " icon=" + iconName(found.icon) +
                     " text=" + Quote(found.texts);
  if (std::string cls = ClassOf(dialog); cls != "#32770") line += " class=" + Quote(cls);
  if (found.edit != nullptr) {
    line += " edit=" + Quote(TextOf(found.edit));
    if (!answers.empty()) {
      SetWindowTextA(found.edit, answers.front().c_str());
      line += " typed=" + Quote(answers.front());
      answers.pop_front();
    }
  }
  int id = buttonToPress(dialog, found);
  HWND button = GetDlgItem(dialog, id);
  line += " buttons=" + found.buttons;
  line += " press=" + std::to_string(id);
  Log("%s", line.c_str());
  answered.insert(dialog);
  // Posted, not sent: the dialog ends itself from its own loop, as after a real click.
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

BOOL CALLBACK visit(HWND window, LPARAM) {
  if (!IsWindowVisible(window) || !IsWindowEnabled(window) || answered.count(window) != 0) return TRUE;
  std::string cls = ClassOf(window);
  if (cls == "B2Compose" || cls == "B2Main") return TRUE;
  answer(window);
  return TRUE;
}

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
  for (auto it = answered.begin(); it != answered.end();) it = IsWindow(*it) ? std::next(it) : answered.erase(it);
  EnumThreadWindows(GetCurrentThreadId(), visit, 0);
}

}  // namespace

void StartAnsweringDialogs() { SetTimer(nullptr, 0, 20, tick); }
void QueueAnswer(std::string text) { answers.push_back(std::move(text)); }
void PressInDialogs(int buttonId) { pressId = buttonId; }

}  // namespace b2
