// The library's load and unload. A host that lacks any of its API functions gets a refusal to load,
// so the plug-in never runs against part of the API.
#include <windows.h>

#include "plugin/plugin_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE /*Instance*/, DWORD Reason, LPVOID /*Reserved*/) {
  switch (Reason) {
    case DLL_PROCESS_ATTACH:
      return LibraryStartup() ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
      LibraryExit();
      break;
    default:
      break;
  }
  return TRUE;
}
