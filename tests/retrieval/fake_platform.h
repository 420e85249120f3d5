#pragma once
// Test doubles for the seams of Feeds: a scripted HTTP client, a recording notifier and
// diagnostic sink, and a reader that turns every line of a body into one headline.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "retrieval/event.h"
#include "retrieval/feeds_platform.h"

namespace tidewire::testing {

// What the fake server does for one address.
struct FakeFeed {
  std::vector<std::string> chunks;        // handed out one per read, then the end of the body
  bool failOpen = false;                  // the address cannot be opened
  std::optional<std::size_t> failReadAt;  // the read with this index fails
  // Reads block after the chunks until the request is aborted (or a safety timeout passes).
  bool blockAfterChunks = false;
  // A generated body of this many bytes instead of `chunks`, in reads of 2048 bytes.
  std::optional<std::size_t> generatedBytes;
  // Opening blocks until the session is aborted (or a safety timeout passes).
  bool blockOpen = false;
  // Every open of this address waits for the gate first (lets a test hold a pass).
  std::shared_ptr<Event> gate;
  // The address answers with a redirection to this address.
  std::optional<std::u16string> redirect;
};

// Shared between the test and the doubles, so it outlives the Feeds that owns the doubles. The
// doubles are called from several threads at once; everything here is guarded by `mutex`, and
// `changed` is notified whenever a record changes.
struct FakeWorld {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<std::u16string, FakeFeed> feeds;
  bool failSessions = false;

  std::vector<std::u16string> opened;  // addresses, in the order OpenUrl was called
  std::vector<std::u16string> read;    // addresses whose body was read at least once
  std::vector<std::u16string> wide;    // diagnostic lines
  std::vector<std::string> narrow;
  int posts = 0;
  int blocked = 0;        // reads and opens that started blocking
  int abortedReads = 0;   // blocked reads that ended by an abort
  int timedOutReads = 0;  // blocked reads that ended by the safety timeout
  int abortedOpens = 0;   // blocked opens that ended by an abort
  int timedOutOpens = 0;
  int expiredReads = 0;  // blocked reads and opens that ended at the session's deadline
  int expiredOpens = 0;
  int readersCreated = 0;
  int secondReaders = 0;  // readers made by a thread that had made one before
  int foreignReads = 0;   // documents read by a reader on a thread other than its own
  std::atomic<bool> notifierAlive{false};

  Event postedEvent{Event::Mode::AutoReset};   // set on every post
  Event blockedEvent{Event::Mode::AutoReset};  // set when a read or an open starts blocking

  int Posts() {
    std::lock_guard guard(mutex);
    return posts;
  }
  // Waits until `condition` holds, checked under the mutex; false after a generous safety
  // timeout (a hang, not a timing check).
  template <typename Condition>
  bool WaitUntil(Condition condition) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(20), condition);
  }
  // Waits for the next post.
  bool WaitForPost() { return postedEvent.WaitFor(std::chrono::seconds(20)); }
  // Waits until `count` posts have been made in all.
  bool WaitForPosts(int count) {
    return WaitUntil([&] { return posts >= count; });
  }
  // How often `url` has been opened; called with the mutex held.
  long Opens(const std::u16string& url);
};

FeedsPlatform MakeFakePlatform(
    const std::shared_ptr<FakeWorld>& world,
    std::chrono::milliseconds minimumPause = std::chrono::milliseconds(1), bool withReader = true);

// The text of every headline the reader made from a body: one per non-empty line.
std::vector<std::u16string> Texts(const std::vector<Headline>& headlines);

}  // namespace tidewire::testing
