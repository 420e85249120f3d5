#include "retrieval/feeds.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "settings/feed_list.h"

namespace tidewire {
namespace {

// The diagnostic line for an address that gave no response to read. A redirection from https to
// http is refused with the line of a failed read: the request was made and closed unread.
std::string_view OpenFailureLine(FeedFetchStatus status) {
  switch (status) {
    case FeedFetchStatus::TooManyRedirects: return "Too many redirects\n";
    case FeedFetchStatus::InsecureRedirect: return "InternetReadFile failed\n";
    default: return "InternetConnectA failed\n";
  }
}

// Hands a session or request over to stoppers while a thread of the pass uses it. Whatever is
// still in the slot when that thread is done with the feed is deleted here; if a stopper took it
// first, the stopper owns it and deletes it after joining the worker.
template <typename T>
class HandOver {
 public:
  HandOver(std::atomic<T*>& slot, std::unique_ptr<T> object) : slot_(slot) {
    slot_.store(object.release());
  }
  HandOver(const HandOver&) = delete;
  HandOver& operator=(const HandOver&) = delete;
  ~HandOver() { std::unique_ptr<T> closed(slot_.exchange(nullptr)); }

 private:
  std::atomic<T*>& slot_;
};

}  // namespace

std::chrono::milliseconds PauseAfterPass(std::uint32_t refreshMs,
                                         std::chrono::milliseconds minimum) {
  return std::max(std::chrono::milliseconds(refreshMs), minimum);
}

Feeds::Feeds(FeedsPlatform platform) : platform_(std::move(platform)) {}

Feeds::~Feeds() { StopWorker(); }

Headline Feeds::NextHeadline(std::u16string_view connectingMessage) {
  Headline result;
  result.text = connectingMessage;
  std::lock_guard guard(lock_);
  if (!headlines_.empty()) {
    result = headlines_[nextIndex_];
    ++nextIndex_;
    if (nextIndex_ == headlines_.size()) nextIndex_ = 0;
  }
  return result;
}

void Feeds::SetFeedList(std::u16string_view text) {
  StopWorker();
  std::vector<std::u16string> urls = SplitFeedList(text);
  {
    std::lock_guard guard(lock_);
    urls_ = std::move(urls);
    // nextIndex_ stays: the next publication brings it back in range.
    headlines_.clear();
  }
  stopRequested_.store(false);
  // A signal the old worker did not consume must not cut the new worker's first sleep short.
  wakeEvent_.Reset();
  workerThread_ = std::thread(&Feeds::WorkerThreadProc, this);
}

void Feeds::SetActiveFlags(std::u16string_view text) {
  std::vector<std::u16string> flags = SplitFeedList(text);
  std::lock_guard guard(lock_);
  activeFlags_ = std::move(flags);
}

void Feeds::StopWorker() {
  if (!workerThread_.joinable()) return;
  stopRequested_.store(true);
  // Closing a request makes a blocked read fail, and closing a session a connection attempt, so
  // every thread of the pass reaches a polling point. The objects themselves must outlive those
  // threads' calls into them: they are deleted after the join, each request before its session.
  std::array<std::unique_ptr<HttpSession>, MaxFeedsInFlight> sessions;
  std::array<std::unique_ptr<HttpRequest>, MaxFeedsInFlight> requests;  // deleted first
  for (std::size_t i = 0; i < inFlight_.size(); ++i) {
    sessions[i].reset(inFlight_[i].session.exchange(nullptr));
    requests[i].reset(inFlight_[i].request.exchange(nullptr));
    if (requests[i]) requests[i]->Abort();
    if (sessions[i]) sessions[i]->Abort();
  }
  wakeEvent_.Set();
  workerThread_.join();
}

std::unique_ptr<FeedDocumentReader> Feeds::MakeReader() {
  try {
    if (platform_.makeReader) return platform_.makeReader();
  } catch (...) {
    // Without a parser every document yields nothing; the passes still run and publish.
  }
  return nullptr;
}

void Feeds::WorkerThreadProc() {
  const std::unique_ptr<FeedDocumentReader> reader = MakeReader();
  while (!stopRequested_.load()) {
    RunPass(reader.get());
    wakeEvent_.WaitFor(PauseAfterPass(refreshMs_.load(), platform_.minimumPause));
  }
}

void Feeds::LaneThreadProc(Pass& pass, InFlight& slots) {
  // Made, used and deleted on this thread, as the reader requires.
  const std::unique_ptr<FeedDocumentReader> reader = MakeReader();
  ReadFeeds(pass, slots, reader.get());
}

void Feeds::RunPass(FeedDocumentReader* reader) {
  bool publishEachFeed;
  {
    std::lock_guard guard(lock_);
    publishEachFeed = headlines_.empty();
  }
  Pass pass(urls_.size(), publishEachFeed);
  std::vector<std::thread> lanes;
  try {
    lanes.reserve(inFlight_.size() - 1);
    for (std::size_t lane = 1; lane < std::min(inFlight_.size(), urls_.size()); ++lane) {
      lanes.emplace_back(&Feeds::LaneThreadProc, this, std::ref(pass), std::ref(inFlight_[lane]));
    }
  } catch (...) {
    // No memory or no thread for another lane: the pass makes do with those it has.
  }
  ReadFeeds(pass, inFlight_[0], reader);
  for (std::thread& lane : lanes) lane.join();

  {
    std::lock_guard guard(lock_);
    try {
      PublishLocked(pass);
    } catch (...) {
      // Out of memory for the whole list: the one published before stays.
    }
  }
  // Posted after the lock is released: the control takes the lock when it handles the message.
  platform_.notifier->PostNextHeadline();
}

void Feeds::ReadFeeds(Pass& pass, InFlight& slots, FeedDocumentReader* reader) noexcept {
  while (!stopRequested_.load()) {
    const std::size_t index = pass.nextFeed.fetch_add(1);
    if (index >= urls_.size()) return;
    try {
      std::vector<Headline> feedList;
      FetchFeed(index, slots, reader, feedList);
      CompleteFeed(pass, index, std::move(feedList));
    } catch (...) {
      // Out of memory, or any other failure, while reading or parsing one feed: that feed is
      // skipped for this pass (an exception must not end a thread of the pass and with it the
      // host).
    }
  }
}

void Feeds::FetchFeed(std::size_t index, InFlight& slots, FeedDocumentReader* reader,
                      std::vector<Headline>& feedList) {
  std::unique_ptr<HttpSession> openedSession =
      platform_.http->OpenSession(std::chrono::steady_clock::now() + platform_.documentDeadline);
  if (!openedSession) {
    platform_.diagnostics->WriteWide(u"InternetOpenA failed\n");
    return;
  }
  HttpSession& session = *openedSession;
  HandOver<HttpSession> sessionSlot(slots.session, std::move(openedSession));
  // A stopper that came before an object was in its slot could not abort it; it has set the
  // flag first, so the flag is seen after each hand-over and nothing more is started.
  if (stopRequested_.load()) return;

  OpenedFeed opened = OpenFeed(session, urls_[index]);
  if (!opened.request) {
    platform_.diagnostics->WriteNarrow(OpenFailureLine(opened.status));
    return;
  }
  HttpRequest& request = *opened.request;
  // Declared after the session's, so the request is closed before its session.
  HandOver<HttpRequest> requestSlot(slots.request, std::move(opened.request));
  if (stopRequested_.load()) return;

  bool active;
  {
    std::lock_guard guard(lock_);
    // Consulted only now: an inactive feed is still requested, and its response closed unread.
    active = IsFeedActive(activeFlags_, index);
  }
  if (!active) return;

  std::optional<std::string> document = ReadBody(request);
  if (!document || document->empty() || stopRequested_.load()) return;
  if (reader) reader->Read(*document, feedList);
}

std::optional<std::string> Feeds::ReadBody(HttpRequest& request) {
  FeedFetchResult result = ReadFeedBody(request, &stopRequested_);
  switch (result.status) {
    case FeedFetchStatus::Complete: return std::move(result.document);
    case FeedFetchStatus::ReadFailed:
      platform_.diagnostics->WriteNarrow("InternetReadFile failed\n");
      break;
    case FeedFetchStatus::TooLarge: platform_.diagnostics->WriteNarrow("Feed too large\n"); break;
    default: break;
  }
  return std::nullopt;
}

void Feeds::CompleteFeed(Pass& pass, std::size_t index, std::vector<Headline> feedList) {
  const bool publish = pass.publishEachFeed && !feedList.empty();
  {
    std::lock_guard guard(lock_);
    pass.results[index] = std::move(feedList);
    if (!publish) return;
    PublishLocked(pass);
  }
  platform_.notifier->PostNextHeadline();
}

void Feeds::PublishLocked(const Pass& pass) {
  // The feeds read so far, in list order: at the end of a pass, what a pass that read the feeds
  // one after the other would publish.
  std::vector<Headline> published;
  for (const std::vector<Headline>& feedList : pass.results) {
    published.insert(published.end(), feedList.begin(), feedList.end());
  }
  headlines_ = std::move(published);
  if (nextIndex_ >= headlines_.size()) nextIndex_ = 0;
}

}  // namespace tidewire
