// Calling conventions at the boundary with the host program. The host is a 32-bit Windows program
// whose callbacks and API functions use stdcall; elsewhere the mark means nothing.
#pragma once

#if defined(_WIN32)
#define PLATFORM_STDCALL __stdcall
#else
#define PLATFORM_STDCALL
#endif
