// Simulated windows and the built-in combo box.
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "desktop.h"
#include "sim.h"

namespace platform {
namespace {

struct ComboState {
  std::vector<std::string> Entries;
  int Selection = -1;
};

struct Window {
  desktop::WindowInit Init;
  std::vector<WindowHandle> Children;  // in creation order
  std::optional<ComboState> Combo;
};

std::map<WindowHandle, Window> Windows;
WindowHandle NextWindow = 0x10000;
WindowHandle Foreground = 0;
WindowHandle Active = 0;

Window* Find(WindowHandle H) {
  const auto It = Windows.find(H);
  return It == Windows.end() ? nullptr : &It->second;
}

bool HasPrefixIgnoringCase(const std::string& Entry, std::string_view Prefix) {
  if (Entry.size() < Prefix.size()) return false;
  return AnsiCompareText(std::string_view(Entry).substr(0, Prefix.size()), Prefix) == 0;
}

// CB_SELECTSTRING: the search starts after Start and wraps around; -1 searches from the top.
std::intptr_t SelectString(Window& W, std::uintptr_t Start, const char* Text) {
  if (Text == nullptr) return desktop::CB_ERR;
  ComboState& C = *W.Combo;
  const std::string_view Prefix = Text;
  const auto N = static_cast<std::intptr_t>(C.Entries.size());
  const auto From = static_cast<std::intptr_t>(Start);
  const std::intptr_t First = (From < 0 || From >= N) ? 0 : From + 1;
  for (std::intptr_t K = 0; K < N; ++K) {
    const std::intptr_t I = (First + K) % N;
    if (HasPrefixIgnoringCase(C.Entries[static_cast<std::size_t>(I)], Prefix)) {
      C.Selection = static_cast<int>(I);
      W.Init.Text = C.Entries[static_cast<std::size_t>(I)];
      return I;
    }
  }
  return desktop::CB_ERR;
}

std::intptr_t ComboProc(Window& W, std::uint32_t Message, std::uintptr_t WParam, std::intptr_t LParam) {
  switch (Message) {
    case CB_SELECTSTRING:
      return SelectString(W, WParam, reinterpret_cast<const char*>(LParam));
    case desktop::CB_GETCURSEL:
      return W.Combo->Selection;
    case desktop::CB_GETCOUNT:
      return static_cast<std::intptr_t>(W.Combo->Entries.size());
    default:
      return 0;
  }
}

void Visit(WindowHandle Parent, const std::function<bool(WindowHandle)>& Visitor, bool& Go) {
  const Window* P = Find(Parent);
  if (P == nullptr) return;
  // A copy: the visitor may create or destroy windows.
  const std::vector<WindowHandle> Children = P->Children;
  for (const WindowHandle C : Children) {
    if (!Go) return;
    if (Find(C) == nullptr) continue;
    Go = Visitor(C);
    if (Go) Visit(C, Visitor, Go);
  }
}

}  // namespace

void sim::ResetWindows() {
  Windows.clear();
  NextWindow = 0x10000;
  Foreground = 0;
  Active = 0;
}

std::intptr_t sim::Deliver(WindowHandle H, std::uint32_t Message, std::uintptr_t WParam, std::intptr_t LParam) {
  Window* W = Find(H);
  if (W == nullptr) return 0;
  if (W->Combo) return ComboProc(*W, Message, WParam, LParam);
  // A copy: the handler may destroy its own window.
  const desktop::MessageHandler Handler = W->Init.Handler;
  if (!Handler) return 0;
  try {
    return Handler(H, Message, WParam, LParam);
  } catch (...) {
    return 0;
  }
}

WindowHandle desktop::CreateWindow(WindowInit Init) {
  if (Init.Parent != 0 && Find(Init.Parent) == nullptr) Init.Parent = 0;
  const WindowHandle H = NextWindow;
  NextWindow += 4;
  const WindowHandle Parent = Init.Parent;
  Windows[H].Init = std::move(Init);
  if (Parent != 0) Windows[Parent].Children.push_back(H);
  return H;
}

void desktop::DestroyWindow(WindowHandle H) {
  Window* W = Find(H);
  if (W == nullptr) return;
  const std::vector<WindowHandle> Children = W->Children;
  for (const WindowHandle C : Children) DestroyWindow(C);
  if (Window* P = Find(Windows[H].Init.Parent)) {
    P->Children.erase(std::remove(P->Children.begin(), P->Children.end(), H), P->Children.end());
  }
  Windows.erase(H);
  if (Foreground == H) Foreground = 0;
  if (Active == H) Active = 0;
}

bool desktop::IsWindow(WindowHandle H) { return Find(H) != nullptr; }

void desktop::SetWindowText(WindowHandle H, std::string Text) {
  if (Window* W = Find(H)) W->Init.Text = std::move(Text);
}

void desktop::SetForegroundWindow(WindowHandle H) { Foreground = H; }
void desktop::SetActiveWindow(WindowHandle H) { Active = H; }

WindowHandle desktop::CreateComboBox(WindowHandle Parent, int ControlId, Rect Bounds,
                                     std::vector<std::string> Entries) {
  const WindowHandle H = CreateWindow({"ComboBox", "", Bounds, Parent, ControlId, nullptr});
  Windows[H].Combo = ComboState{std::move(Entries), -1};
  return H;
}

int desktop::ComboSelection(WindowHandle Combo) {
  const Window* W = Find(Combo);
  return W != nullptr && W->Combo ? W->Combo->Selection : -1;
}

std::vector<std::string> desktop::ComboEntries(WindowHandle Combo) {
  const Window* W = Find(Combo);
  return W != nullptr && W->Combo ? W->Combo->Entries : std::vector<std::string>();
}

WindowHandle GetActiveWindow() { return Active; }
WindowHandle GetForegroundWindow() { return Foreground; }

void EnumChildWindows(WindowHandle Parent, const std::function<bool(WindowHandle)>& Visitor) {
  if (!Visitor) return;
  bool Go = true;
  Visit(Parent, Visitor, Go);
}

std::string GetClassName(WindowHandle H) {
  const Window* W = Find(H);
  return W != nullptr ? W->Init.ClassName.substr(0, 255) : std::string();
}

std::string GetWindowText(WindowHandle H) {
  const Window* W = Find(H);
  return W != nullptr ? W->Init.Text : std::string();
}

bool GetWindowRect(WindowHandle H, Rect& Out) {
  const Window* W = Find(H);
  if (W == nullptr) return false;
  Out = W->Init.Bounds;
  return true;
}

int GetDlgCtrlID(WindowHandle H) {
  const Window* W = Find(H);
  return W != nullptr ? W->Init.ControlId : 0;
}

std::intptr_t SendMessage(WindowHandle H, std::uint32_t Message, std::uintptr_t WParam, std::intptr_t LParam) {
  return sim::Deliver(H, Message, WParam, LParam);
}

}  // namespace platform
