#include "retrieval/feeds.h"

#include <algorithm>
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

// Hands a session or request over to stoppers while the worker uses it. Whatever is still in
// the slot when the worker is done with the feed is deleted here; if a stopper took it first,
// the stopper owns it and deletes it after joining the worker.
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
  // Closing the request makes a blocked read fail, and closing the session a connection attempt,
  // so the worker reaches a polling point. The objects themselves must outlive the worker's
  // calls into them: they are deleted after the join, the request before its session.
  std::unique_ptr<HttpSession> session(currentSession_.exchange(nullptr));
  std::unique_ptr<HttpRequest> request(currentRequest_.exchange(nullptr));
  if (request) request->Abort();
  if (session) session->Abort();
  wakeEvent_.Set();
  workerThread_.join();
}

void Feeds::WorkerThreadProc() {
  std::unique_ptr<FeedDocumentReader> reader;
  try {
    if (platform_.makeReader) reader = platform_.makeReader();
  } catch (...) {
    // Without a parser every document yields nothing; the passes still run and publish.
  }
  while (!stopRequested_.load()) {
    std::vector<Headline> passList;
    for (std::size_t i = 0; i < urls_.size(); ++i) {
      if (stopRequested_.load()) break;
      try {
        FetchFeed(i, reader.get(), passList);
      } catch (...) {
        // Out of memory, or any other failure, while reading or parsing one feed: that feed is
        // skipped for this pass (an exception must not end the worker thread and with it the
        // host).
      }
    }
    PublishHeadlines(std::move(passList));
    wakeEvent_.WaitFor(PauseAfterPass(refreshMs_.load(), platform_.minimumPause));
  }
}

void Feeds::FetchFeed(std::size_t index, FeedDocumentReader* reader,
                      std::vector<Headline>& passList) {
  std::unique_ptr<HttpSession> openedSession =
      platform_.http->OpenSession(std::chrono::steady_clock::now() + platform_.documentDeadline);
  if (!openedSession) {
    platform_.diagnostics->WriteWide(u"InternetOpenA failed\n");
    return;
  }
  HttpSession& session = *openedSession;
  HandOver<HttpSession> sessionSlot(currentSession_, std::move(openedSession));
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
  HandOver<HttpRequest> requestSlot(currentRequest_, std::move(opened.request));
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
  if (reader) reader->Read(*document, passList);
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

void Feeds::PublishHeadlines(std::vector<Headline> passList) {
  {
    std::lock_guard guard(lock_);
    headlines_ = std::move(passList);
    if (nextIndex_ >= headlines_.size()) nextIndex_ = 0;
  }
  // Posted after the lock is released: the control takes the lock when it handles the message.
  platform_.notifier->PostNextHeadline();
}

}  // namespace tidewire
