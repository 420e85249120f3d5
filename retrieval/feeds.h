#pragma once
// The download manager of one control: the feed and flag lists, the worker thread that fetches
// every feed in passes, and the published list of headlines the control takes one at a time.

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
  void StopWorker();
  void WorkerThreadProc();
  void FetchFeed(std::size_t index, FeedDocumentReader* reader, std::vector<Headline>& passList);
  // The whole body, or nothing when a read failed, the body is too large or a stop was requested.
  std::optional<std::string> ReadBody(HttpRequest& request);
  void PublishHeadlines(std::vector<Headline> passList);

  FeedsPlatform platform_;

  std::mutex lock_;
  std::vector<Headline> headlines_;          // guarded by lock_
  std::uint32_t nextIndex_ = 0;              // guarded by lock_
  std::vector<std::u16string> activeFlags_;  // guarded by lock_
  // Written under lock_ and only while no worker runs; the worker reads it without the lock.
  std::vector<std::u16string> urls_;

  std::atomic<std::uint32_t> refreshMs_{0};
  std::atomic<bool> stopRequested_{false};
  Event wakeEvent_{Event::Mode::AutoReset};
  // The session and request of the feed being fetched. Each is owned by whoever takes it out:
  // the worker when it finishes with the feed, or a stopper, which aborts it and deletes it
  // once the worker has ended.
  std::atomic<HttpSession*> currentSession_{nullptr};
  std::atomic<HttpRequest*> currentRequest_{nullptr};
  std::thread workerThread_;
};

}  // namespace tidewire
