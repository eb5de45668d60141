#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/posix/desktop.h"

namespace {

namespace desktop = platform::desktop;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class Pump : public ::testing::Test {
 protected:
  void SetUp() override { desktop::Reset(); }
  void TearDown() override { desktop::Reset(); }

  // A window that records the messages it gets.
  platform::WindowHandle Recorder(std::vector<std::uint32_t>& Got) {
    desktop::WindowInit Init;
    Init.ClassName = "Recorder";
    Init.Handler = [&Got](platform::WindowHandle, std::uint32_t M, std::uintptr_t, std::intptr_t) {
      Got.push_back(M);
      if (M == 666) throw std::runtime_error("handler failure");
      return std::intptr_t{0};
    };
    return desktop::CreateWindow(std::move(Init));
  }
};

TEST_F(Pump, DeliversWhatIsQueuedInOrderAndDropsExceptions) {
  std::vector<std::uint32_t> Got;
  const auto W = Recorder(Got);
  EXPECT_FALSE(platform::MessagePending());
  desktop::PostMessage(W, 1, 0, 0);
  desktop::PostMessage(W, 666, 0, 0);
  desktop::PostMessage(W, 2, 0, 0);
  desktop::PostMessage(0x1234, 3, 0, 0);  // no such window: dropped
  EXPECT_TRUE(platform::MessagePending());
  platform::ProcessMessages();
  EXPECT_EQ(Got, (std::vector<std::uint32_t>{1, 666, 2}));
  EXPECT_FALSE(platform::MessagePending());
}

TEST_F(Pump, AMessagePostedByAHandlerWaitsForTheNextRound) {
  int Rounds = 0;
  desktop::WindowInit Init;
  Init.Handler = [&Rounds](platform::WindowHandle Self, std::uint32_t M, std::uintptr_t, std::intptr_t) {
    ++Rounds;
    desktop::PostMessage(Self, M, 0, 0);
    return std::intptr_t{0};
  };
  const auto W = desktop::CreateWindow(std::move(Init));
  desktop::PostMessage(W, 7, 0, 0);
  platform::ProcessMessages();
  EXPECT_EQ(Rounds, 1);
  platform::ProcessMessages();
  EXPECT_EQ(Rounds, 2);
}

TEST_F(Pump, TimersTickFromThePumpAndWakeWaitMessage) {
  int Ticks = 0;
  // Long enough that a busy machine does not make it due before the first checks.
  const auto Id = desktop::SetTimer(200ms, [&Ticks] { ++Ticks; });
  platform::ProcessMessages();
  EXPECT_EQ(Ticks, 0);  // not due yet
  EXPECT_FALSE(platform::MessagePending());

  const auto Start = Clock::now();
  platform::WaitMessage();
  EXPECT_GE(Clock::now() - Start, 100ms);
  EXPECT_TRUE(platform::MessagePending());
  platform::ProcessMessages();
  EXPECT_EQ(Ticks, 1);

  desktop::KillTimer(Id);
  platform::Sleep(250);
  platform::ProcessMessages();
  EXPECT_EQ(Ticks, 1);
}

TEST_F(Pump, ATickMayKillItsOwnTimerAndThrow) {
  int Ticks = 0;
  std::uintptr_t Id = 0;
  Id = desktop::SetTimer(0ms, [&] {
    ++Ticks;
    desktop::KillTimer(Id);
    throw std::runtime_error("tick failure");
  });
  platform::ProcessMessages();
  platform::ProcessMessages();
  EXPECT_EQ(Ticks, 1);
}

TEST_F(Pump, WaitMessageNeverHangs) {
  std::vector<std::uint32_t> Got;
  const auto W = Recorder(Got);

  desktop::PostMessage(W, 1, 0, 0);
  auto Start = Clock::now();
  platform::WaitMessage();  // a queued message ends it at once
  EXPECT_LT(Clock::now() - Start, 1s);

  platform::ProcessMessages();
  Start = Clock::now();
  platform::WaitMessage();  // nothing that could ever wake it: returns after a short wait
  EXPECT_LT(Clock::now() - Start, 1s);

  // A message posted by another thread wakes a waiting pump.
  std::thread Poster([W] {
    std::this_thread::sleep_for(5ms);
    desktop::PostMessage(W, 2, 0, 0);
  });
  desktop::SetTimer(10s, [] {});
  Start = Clock::now();
  platform::WaitMessage();
  EXPECT_LT(Clock::now() - Start, 5s);
  Poster.join();
  EXPECT_TRUE(platform::MessagePending());
}

TEST_F(Pump, SleepWaitsWithoutPumping) {
  std::vector<std::uint32_t> Got;
  desktop::PostMessage(Recorder(Got), 1, 0, 0);
  const auto Start = Clock::now();
  platform::Sleep(20);
  EXPECT_GE(Clock::now() - Start, 20ms);
  EXPECT_TRUE(Got.empty());
}

TEST_F(Pump, ResetForgetsQueueAndTimers) {
  std::vector<std::uint32_t> Got;
  desktop::PostMessage(Recorder(Got), 1, 0, 0);
  int Ticks = 0;
  desktop::SetTimer(0ms, [&Ticks] { ++Ticks; });
  desktop::Reset();
  EXPECT_FALSE(platform::MessagePending());
  platform::ProcessMessages();
  EXPECT_TRUE(Got.empty());
  EXPECT_EQ(Ticks, 0);
}

}  // namespace
