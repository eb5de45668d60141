// Internals shared by the files of the simulated desktop. Each file keeps its own part of the
// desktop's state and offers a reset for desktop::Reset.
#pragma once

#include <cstdint>

#include "desktop.h"

namespace platform::sim {

desktop::Locale CurrentLocale();

// Calls the window's procedure (or answers for a built-in control); 0 for an unknown window.
// Exceptions thrown by the procedure are dropped here, as a window procedure must not leak them.
std::intptr_t Deliver(WindowHandle Window, std::uint32_t Message, std::uintptr_t WParam, std::intptr_t LParam);

void ResetLocale();
void ResetQueue();
void ResetWindows();
void ResetMenus();
void ResetDialogs();
void ResetClock();
void ResetVersions();

}  // namespace platform::sim
