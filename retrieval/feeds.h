#pragma once
// The download manager of one control: the feed and flag lists, the worker thread that fetches
// every feed in passes (several feeds at a time), and the published list of headlines the control
// takes one at a time.

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "processing/headline.h"
#include "retrieval/event.h"
#include "retrieval/feed_fetch.h"
#include "retrieval/feeds_platform.h"
#include "retrieval/http_client.h"

namespace tidewire {

// How long the worker sleeps after a pass: the reload period, but never less than `minimum`, so
// that a period of 0 cannot turn the worker into a busy loop that floods the control with posts.
std::chrono::milliseconds PauseAfterPass(std::uint32_t refreshMs,
                                         std::chrono::milliseconds minimum);

// Feeds read at the same time within a pass: the worker thread and up to three lane threads.
inline constexpr std::size_t MaxFeedsInFlight = 4;

class Feeds {
 public:
  explicit Feeds(FeedsPlatform platform);
  Feeds(const Feeds&) = delete;
  Feeds& operator=(const Feeds&) = delete;
  // Stops the worker, aborting a connection or read in progress, and waits for it.
  virtual ~Feeds();

  // The next published headline, cyclically; the connecting record, with the caller's
  // `connectingMessage`, while nothing is published.
  Headline NextHeadline(std::u16string_view connectingMessage);

  // Stops the worker, replaces the feed addresses, empties the published list and starts a new
  // worker (also for a list without addresses). A connection or read in progress is aborted: its
  // feed would be dropped with the published list anyway, and the control's thread must not wait
  // on the network.
  void SetFeedList(std::u16string_view text);

  // Replaces the active flags; the worker consults them feed by feed.
  void SetActiveFlags(std::u16string_view text);

  // The reload period; a change takes effect at the worker's next sleep.
  void SetRefreshMs(std::uint32_t refreshMs) { refreshMs_.store(refreshMs); }

 private:
  // The session and request of the feed one thread is fetching. Each is owned by whoever takes
  // it out: that thread when it finishes with the feed, or a stopper, which aborts it and deletes
  // it once the worker (and with it every lane) has ended.
  struct InFlight {
    std::atomic<HttpSession*> session{nullptr};
    std::atomic<HttpRequest*> request{nullptr};
  };
  // One pass over the feed list, shared by the threads that read it.
  struct Pass {
    Pass(std::size_t feedCount, bool publishEach)
        : publishEachFeed(publishEach), results(feedCount) {}
    // While the band shows a status text, every feed read is published at once rather than at
    // the end of the pass.
    const bool publishEachFeed;
    std::atomic<std::size_t> nextFeed{0};
    std::vector<std::vector<Headline>> results;  // per feed, guarded by lock_
  };

  void StopWorker();
  void WorkerThreadProc();
  void LaneThreadProc(Pass& pass, InFlight& slots);
  std::unique_ptr<FeedDocumentReader> MakeReader();
  void RunPass(FeedDocumentReader* reader);
  // Takes feeds of the pass until none is left or a stop is requested.
  void ReadFeeds(Pass& pass, InFlight& slots, FeedDocumentReader* reader) noexcept;
  void FetchFeed(std::size_t index, InFlight& slots, FeedDocumentReader* reader,
                 std::vector<Headline>& feedList);
  // The whole body, or nothing when a read failed, the body is too large or a stop was requested.
  std::optional<std::string> ReadBody(HttpRequest& request);
  void CompleteFeed(Pass& pass, std::size_t index, std::vector<Headline> feedList);
  void PublishLocked(const Pass& pass);

  FeedsPlatform platform_;

  std::mutex lock_;
  std::vector<Headline> headlines_;          // guarded by lock_
  std::uint32_t nextIndex_ = 0;              // guarded by lock_
  std::vector<std::u16string> activeFlags_;  // guarded by lock_
  // Written under lock_ and only while no worker runs; the worker and its lanes read it without
  // the lock.
  std::vector<std::u16string> urls_;

  std::atomic<std::uint32_t> refreshMs_{0};
  std::atomic<bool> stopRequested_{false};
  Event wakeEvent_{Event::Mode::AutoReset};
  // The worker's slots first, then one per lane.
  std::array<InFlight, MaxFeedsInFlight> inFlight_;
  std::thread workerThread_;
};

}  // namespace tidewire
