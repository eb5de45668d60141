// Message boxes and input boxes, answered by the installed dialog handler.
#include <iterator>

#include "desktop.h"
#include "sim.h"

namespace platform {
namespace {

desktop::DialogHandler Handler;

// A modal box runs its own message loop, so what is queued is delivered while it is open.
std::optional<desktop::DialogAnswer> Ask(const desktop::DialogRequest& Request) {
  ProcessMessages();
  if (!Handler) return std::nullopt;
  const desktop::DialogHandler Current = Handler;  // the handler may replace itself
  try {
    return Current(Request);
  } catch (...) {
    return desktop::DialogAnswer{0, std::nullopt};
  }
}

}  // namespace

void sim::ResetDialogs() { Handler = nullptr; }

void desktop::SetDialogHandler(DialogHandler H) { Handler = std::move(H); }

int desktop::DefaultButton(std::uint32_t Flags) {
  // The buttons of each MB_ type (the low four bits), in their order on the box.
  static constexpr int Buttons[][3] = {
      {IDOK, 0, 0},     // MB_OK
      {IDOK, IDCANCEL, 0},  // MB_OKCANCEL
      {3, 4, 5},        // MB_ABORTRETRYIGNORE: IDABORT, IDRETRY, IDIGNORE
      {6, 7, IDCANCEL}, // MB_YESNOCANCEL: IDYES, IDNO
      {6, 7, 0},        // MB_YESNO
      {4, IDCANCEL, 0}, // MB_RETRYCANCEL
      {IDCANCEL, 10, 11},  // MB_CANCELTRYCONTINUE: IDTRYAGAIN, IDCONTINUE
  };
  const std::uint32_t Type = Flags & 0xF;
  if (Type >= std::size(Buttons)) return 0;  // MessageBoxA refuses an unknown type
  const std::uint32_t Default = (Flags >> 8) & 0xF;  // MB_DEFBUTTON1..4
  // A default button beyond the box's buttons falls back to the first, as on Windows.
  if (Default < 3 && Buttons[Type][Default] != 0) return Buttons[Type][Default];
  return Buttons[Type][0];
}

int MessageBox(WindowHandle Owner, std::string_view Text, std::string_view Caption, std::uint32_t Flags) {
  desktop::DialogRequest Request;
  Request.Type = desktop::DialogRequest::Kind::MessageBox;
  Request.Owner = Owner;
  Request.Caption = std::string(Caption);
  Request.Text = std::string(Text);
  Request.Flags = Flags;
  const auto Answer = Ask(Request);
  return Answer ? Answer->Button : desktop::DefaultButton(Flags);
}

std::optional<std::string> InputBox(std::string_view Caption, std::string_view Prompt, std::string_view Default) {
  desktop::DialogRequest Request;
  Request.Type = desktop::DialogRequest::Kind::InputBox;
  Request.Owner = GetActiveWindow();
  Request.Caption = std::string(Caption);
  Request.Text = std::string(Prompt);
  Request.Default = std::string(Default);
  const auto Answer = Ask(Request);
  if (!Answer || Answer->Button != IDOK) return std::nullopt;
  // OK without a text given leaves the preset text in the field.
  return Answer->Input ? *Answer->Input : std::string(Default);
}

}  // namespace platform
