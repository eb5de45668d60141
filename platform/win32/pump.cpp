// The thread's message pump.
#include "../platform.h"
#include "win.h"

namespace platform {

void ProcessMessages() {
  // As the VCL's ProcessMessages: until the queue is empty. A window procedure that lets a C++
  // exception reach this frame has already broken its contract; the pump drops it.
  // The common case is an empty queue; asking for its status is far cheaper than PeekMessage.
  if (HIWORD(::GetQueueStatus(QS_ALLINPUT)) == 0) return;
  try {
    MSG Msg;
    while (::PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) {
      if (Msg.message == WM_QUIT) {
        // The host's own loop must still see it, or the host could not close.
        ::PostQuitMessage(static_cast<int>(Msg.wParam));
        return;
      }
      ::TranslateMessage(&Msg);
      ::DispatchMessageA(&Msg);
    }
  } catch (...) {
  }
}

bool MessagePending() { return HIWORD(::GetQueueStatus(QS_ALLINPUT)) != 0; }

void WaitMessage() {
  // Unlike WaitMessage, this also returns for input that is already queued but was seen before.
  ::MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void Sleep(std::uint32_t Milliseconds) { ::Sleep(Milliseconds); }

}  // namespace platform
