// The plug-in's own dialogs: modal, one "OK" button, owned by the active window, titled "Error",
// "Warning" or "Information" with the matching icon.
#pragma once

#include <string_view>

enum class TDialogKind { Error, Warning, Information };

// Never throws: a dialog is what the edges show when everything else has failed.
void ShowDialog(TDialogKind Kind, std::string_view Text) noexcept;

// The plug-in's messages. Their parts are separated by LF CR, twice.
inline constexpr std::string_view kRunFailedMessage =
    "Error occurred while executing VESK Script.\n\r\n\rThis will terminate VESK.";
inline constexpr std::string_view kAlreadyRunningMessage =
    "A VESK script is already running.\n\r\n\rThis template was left as it is.";
inline constexpr std::string_view kBindFailedMessage = "Fail to initialize BeckyAPI";
inline constexpr std::string_view kInternalErrorMessage =
    "Error occurred in the VESK plug-in.\n\r\n\rThe request was not completed.";
