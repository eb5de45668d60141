// The message queue, the timers and the pump of the simulated desktop. The pump runs on one
// thread; PostMessage alone may also be called from another thread, so that a test can wake a
// thread blocked in WaitMessage.
#include <time.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "desktop.h"
#include "sim.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

struct Posted {
  WindowHandle Window;
  std::uint32_t Message;
  std::uintptr_t WParam;
  std::intptr_t LParam;
};

struct Timer {
  std::chrono::milliseconds Interval;
  Clock::time_point Due;
  // Shared, so that a tick that kills its own timer does not destroy the function it runs in.
  std::shared_ptr<std::function<void()>> Tick;
};

std::mutex QueueLock;
std::condition_variable QueueChanged;
std::deque<Posted> Queue;  // guarded by QueueLock
// Queue's length, readable without the lock: the pump runs at every statement sequence and is
// nearly always empty-handed.
std::atomic<std::size_t> Queued{0};

std::map<std::uintptr_t, Timer> Timers;
std::uintptr_t NextTimerId = 1;

// With nothing queued and no timer nothing on this thread can ever end the wait, so WaitMessage
// then returns after this interval instead of hanging; the caller's loop decides what follows.
constexpr auto kIdleWait = std::chrono::milliseconds(20);

bool QueueEmpty() {
  std::lock_guard<std::mutex> Guard(QueueLock);
  return Queue.empty();
}

std::optional<Clock::time_point> NextDue() {
  std::optional<Clock::time_point> Next;
  for (const auto& [Id, T] : Timers) {
    if (!Next || T.Due < *Next) Next = T.Due;
  }
  return Next;
}

bool TakeOne(Posted& Out) {
  std::lock_guard<std::mutex> Guard(QueueLock);
  if (Queue.empty()) return false;
  Out = Queue.front();
  Queue.pop_front();
  Queued.store(Queue.size(), std::memory_order_release);
  return true;
}

void RunDueTimers() {
  const auto Now = Clock::now();
  std::vector<std::uintptr_t> Due;
  for (const auto& [Id, T] : Timers) {
    if (T.Due <= Now) Due.push_back(Id);
  }
  for (const std::uintptr_t Id : Due) {
    const auto It = Timers.find(Id);
    if (It == Timers.end()) continue;  // killed by an earlier tick
    // Like WM_TIMER, missed periods are not made up: the next tick is one interval from now.
    It->second.Due = Now + It->second.Interval;
    const auto Tick = It->second.Tick;
    try {
      if (Tick && *Tick) (*Tick)();
    } catch (...) {
    }
  }
}

}  // namespace

void sim::ResetQueue() {
  {
    std::lock_guard<std::mutex> Guard(QueueLock);
    Queue.clear();
    Queued.store(0, std::memory_order_release);
  }
  Timers.clear();
  NextTimerId = 1;
}

void desktop::PostMessage(WindowHandle Window, std::uint32_t Message, std::uintptr_t WParam,
                          std::intptr_t LParam) {
  {
    std::lock_guard<std::mutex> Guard(QueueLock);
    Queue.push_back({Window, Message, WParam, LParam});
    Queued.store(Queue.size(), std::memory_order_release);
  }
  QueueChanged.notify_all();
}

std::uintptr_t desktop::SetTimer(std::chrono::milliseconds Interval, std::function<void()> Tick) {
  if (Interval < std::chrono::milliseconds(0)) Interval = std::chrono::milliseconds(0);
  const std::uintptr_t Id = NextTimerId++;
  Timers[Id] = {Interval, Clock::now() + Interval, std::make_shared<std::function<void()>>(std::move(Tick))};
  return Id;
}

void desktop::KillTimer(std::uintptr_t Id) { Timers.erase(Id); }

void ProcessMessages() {
  // Nothing queued and no timer: nothing to deliver, so skip the lock and the clock.
  if (Queued.load(std::memory_order_acquire) == 0 && Timers.empty()) return;
  // Only what is queued now is delivered: a handler that posts again waits for the next round,
  // so a message that re-posts itself cannot keep the pump from returning.
  std::size_t Count;
  {
    std::lock_guard<std::mutex> Guard(QueueLock);
    Count = Queue.size();
  }
  Posted M{};
  for (std::size_t I = 0; I < Count && TakeOne(M); ++I) {
    sim::Deliver(M.Window, M.Message, M.WParam, M.LParam);
  }
  RunDueTimers();
}

bool MessagePending() {
  if (!QueueEmpty()) return true;
  const auto Next = NextDue();
  return Next && *Next <= Clock::now();
}

void WaitMessage() {
  const auto Next = NextDue();
  std::unique_lock<std::mutex> Guard(QueueLock);
  const auto Until = Next ? *Next : Clock::now() + kIdleWait;
  QueueChanged.wait_until(Guard, Until, [] { return !Queue.empty(); });
}

void Sleep(std::uint32_t Milliseconds) {
  timespec Left{static_cast<time_t>(Milliseconds / 1000), static_cast<long>(Milliseconds % 1000) * 1000000L};
  while (nanosleep(&Left, &Left) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
