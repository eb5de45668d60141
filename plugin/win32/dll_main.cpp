// The library's load and unload. A host that lacks any of its API functions gets a refusal to load,
// so the plug-in never runs against part of the API.
//
// <windows.h> stays out: its macros (MB_OK and the like) would collide with the platform layer's
// names. The loader's entry has this form: BOOL DllMain(HINSTANCE, DWORD, LPVOID).
#include "platform/abi.h"
#include "plugin/plugin_state.h"

namespace {
constexpr unsigned long kProcessDetach = 0;  // DLL_PROCESS_DETACH
constexpr unsigned long kProcessAttach = 1;  // DLL_PROCESS_ATTACH
}  // namespace

extern "C" int PLATFORM_STDCALL DllMain(void* /*Instance*/, unsigned long Reason, void* /*Reserved*/) {
  if (Reason == kProcessAttach) return LibraryStartup() ? 1 : 0;
  if (Reason == kProcessDetach) LibraryExit();
  return 1;
}
