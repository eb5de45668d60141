#include "dialogs.h"

#include "platform/platform.h"

void ShowDialog(TDialogKind Kind, std::string_view Text) noexcept {
  std::string_view Caption = "Error";
  std::uint32_t Icon = platform::MB_ICONERROR;
  if (Kind == TDialogKind::Warning) {
    Caption = "Warning";
    Icon = platform::MB_ICONWARNING;
  } else if (Kind == TDialogKind::Information) {
    Caption = "Information";
    Icon = platform::MB_ICONINFORMATION;
  }
  try {
    platform::MessageBox(platform::GetActiveWindow(), Text, Caption, platform::MB_OK | Icon);
  } catch (...) {
    // Nothing is left to tell the user with.
  }
}
