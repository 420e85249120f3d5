#include "retrieval/event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tidewire {
namespace {

using std::chrono::milliseconds;

TEST(EventTest, AutoResetSignalReleasesExactlyOneWait) {
  Event event(Event::Mode::AutoReset);
  EXPECT_FALSE(event.WaitFor(milliseconds(1)));
  event.Set();
  event.Set();  // signalling twice does not count twice
  EXPECT_TRUE(event.WaitFor(milliseconds(1)));
  EXPECT_FALSE(event.WaitFor(milliseconds(1)));
}

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
  Event event(Event::Mode::ManualReset, true);
  EXPECT_TRUE(event.WaitFor(milliseconds(1)));
  event.Wait();
  EXPECT_TRUE(event.WaitFor(milliseconds(1)));
  event.Reset();
  EXPECT_FALSE(event.WaitFor(milliseconds(1)));
}

TEST(EventTest, ResetDropsASignalNobodyConsumed) {
  Event event(Event::Mode::AutoReset);
  event.Set();
  event.Reset();
  EXPECT_FALSE(event.WaitFor(milliseconds(1)));
}

TEST(EventTest, SetFromAnotherThreadWakesABlockedWaiter) {
  Event started(Event::Mode::ManualReset);
  Event release(Event::Mode::AutoReset);
  bool woke = false;
  std::thread waiter([&] {
    started.Set();
    woke = release.WaitFor(std::chrono::seconds(20));
  });
  started.Wait();
  release.Set();
  waiter.join();
  EXPECT_TRUE(woke);
}

TEST(EventTest, ManualResetReleasesEveryWaiter) {
  Event gate(Event::Mode::ManualReset);
  bool first = false;
  bool second = false;
  std::thread a([&] { first = gate.WaitFor(std::chrono::seconds(20)); });
  std::thread b([&] { second = gate.WaitFor(std::chrono::seconds(20)); });
  gate.Set();
  a.join();
  b.join();
  EXPECT_TRUE(first);
  EXPECT_TRUE(second);
}

}  // namespace
}  // namespace tidewire
