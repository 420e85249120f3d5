#include "tests/retrieval/fake_platform.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <thread>
#include <utility>

namespace tidewire::testing {
namespace {

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Changes the world's records under its mutex and tells its waiters.
template <typename Change>
void Record(FakeWorld& world, Change change) {
  {
    std::lock_guard guard(world.mutex);
    change();
  }
  world.changed.notify_all();
}

enum class BlockEnd { Aborted, Expired, TimedOut };

// Counts a call that starts blocking, for tests that wait for it.
void StartBlocking(FakeWorld& world) {
  Record(world, [&] { ++world.blocked; });
  world.blockedEvent.Set();
}

// Blocks until `abort` is set or the deadline passes; a safety timeout keeps a broken test from
// hanging.
BlockEnd Block(Event& abort, HttpDeadline deadline) {
  const auto safety = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  const auto until = std::min(deadline, safety);
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      until - std::chrono::steady_clock::now());
  if (abort.WaitFor(std::max(left, std::chrono::milliseconds(0)))) return BlockEnd::Aborted;
  return until == deadline ? BlockEnd::Expired : BlockEnd::TimedOut;
}

class FakeRequest : public HttpRequest {
 public:
  FakeRequest(std::shared_ptr<FakeWorld> world, std::u16string url, FakeFeed feed,
              HttpDeadline deadline)
      : world_(std::move(world)),
        url_(std::move(url)),
        feed_(std::move(feed)),
        deadline_(deadline) {}

  std::optional<std::size_t> Read(std::span<char> buffer) override {
    const std::size_t index = reads_++;
    if (index == 0) Record(*world_, [&] { world_->read.push_back(url_); });
    if (aborted_.load() || std::chrono::steady_clock::now() >= deadline_) return std::nullopt;
    if (feed_.failReadAt && *feed_.failReadAt == index) return std::nullopt;
    if (feed_.generatedBytes) {
      const std::size_t count = std::min(buffer.size(), *feed_.generatedBytes - generated_);
      std::fill_n(buffer.data(), count, 'x');
      generated_ += count;
      return count;
    }
    if (index < feed_.chunks.size()) {
      const std::string& chunk = feed_.chunks[index];
      std::memcpy(buffer.data(), chunk.data(), chunk.size());
      return chunk.size();
    }
    if (!feed_.blockAfterChunks) return 0;
    StartBlocking(*world_);
    const BlockEnd end = Block(abortEvent_, deadline_);
    Record(*world_, [&] {
      ++(end == BlockEnd::Aborted   ? world_->abortedReads
         : end == BlockEnd::Expired ? world_->expiredReads
                                    : world_->timedOutReads);
    });
    return std::nullopt;
  }

  void Abort() noexcept override {
    aborted_.store(true);
    abortEvent_.Set();
  }

 private:
  std::shared_ptr<FakeWorld> world_;
  std::u16string url_;
  FakeFeed feed_;
  HttpDeadline deadline_;
  std::size_t reads_ = 0;
  std::size_t generated_ = 0;
  std::atomic<bool> aborted_{false};
  Event abortEvent_{Event::Mode::ManualReset};
};

class FakeSession : public HttpSession {
 public:
  FakeSession(std::shared_ptr<FakeWorld> world, HttpDeadline deadline)
      : world_(std::move(world)), deadline_(deadline) {}

  HttpResponse Open(std::u16string_view url) override {
    std::shared_ptr<Event> gate;
    bool known = false;
    Record(*world_, [&] {
      world_->opened.emplace_back(url);
      auto found = world_->feeds.find(std::u16string(url));
      if (found == world_->feeds.end()) return;
      known = true;
      gate = found->second.gate;
    });
    if (!known) return {};
    // The body is taken after the gate, so a test may change it while the pass is held.
    if (gate) gate->Wait();
    FakeFeed feed;
    {
      std::lock_guard guard(world_->mutex);
      feed = world_->feeds.at(std::u16string(url));
    }
    if (feed.blockOpen) {
      StartBlocking(*world_);
      const BlockEnd end = Block(abortEvent_, deadline_);
      Record(*world_, [&] {
        ++(end == BlockEnd::Aborted   ? world_->abortedOpens
           : end == BlockEnd::Expired ? world_->expiredOpens
                                      : world_->timedOutOpens);
      });
    }
    if (feed.failOpen || feed.blockOpen || aborted_.load()) return {};
    HttpResponse response;
    response.redirect = feed.redirect;
    response.request =
        std::make_unique<FakeRequest>(world_, std::u16string(url), std::move(feed), deadline_);
    return response;
  }

  void Abort() noexcept override {
    aborted_.store(true);
    abortEvent_.Set();
  }

 private:
  std::shared_ptr<FakeWorld> world_;
  HttpDeadline deadline_;
  std::atomic<bool> aborted_{false};
  Event abortEvent_{Event::Mode::ManualReset};
};

class FakeClient : public HttpClient {
 public:
  explicit FakeClient(std::shared_ptr<FakeWorld> world) : world_(std::move(world)) {}

  std::unique_ptr<HttpSession> OpenSession(HttpDeadline deadline) override {
    std::lock_guard guard(world_->mutex);
    if (world_->failSessions) return nullptr;
    return std::make_unique<FakeSession>(world_, deadline);
  }

 private:
  std::shared_ptr<FakeWorld> world_;
};

class RecordingNotifier : public HeadlineNotifier {
 public:
  explicit RecordingNotifier(std::shared_ptr<FakeWorld> world) : world_(std::move(world)) {
    world_->notifierAlive.store(true);
  }
  ~RecordingNotifier() override { world_->notifierAlive.store(false); }

  void PostNextHeadline() override {
    Record(*world_, [&] { ++world_->posts; });
    world_->postedEvent.Set();
  }

 private:
  std::shared_ptr<FakeWorld> world_;
};

class RecordingDiagnostics : public DiagnosticSink {
 public:
  explicit RecordingDiagnostics(std::shared_ptr<FakeWorld> world) : world_(std::move(world)) {}

  void WriteWide(std::u16string_view line) override {
    Record(*world_, [&] { world_->wide.emplace_back(line); });
  }
  void WriteNarrow(std::string_view line) override {
    Record(*world_, [&] { world_->narrow.emplace_back(line); });
  }

 private:
  std::shared_ptr<FakeWorld> world_;
};

// One headline per line of the body; a body too long to be a line list becomes one headline that
// records its size. Like the system's parser it belongs to the thread that made it, and counts
// the documents it is given on another.
class LineReader : public FeedDocumentReader {
 public:
  explicit LineReader(std::shared_ptr<FakeWorld> world) : world_(std::move(world)) {}

  void Read(std::string_view document, std::vector<Headline>& passList) override {
    if (std::this_thread::get_id() != owner_) Record(*world_, [&] { ++world_->foreignReads; });
    // The worker promises a terminating zero after the bytes.
    if (document.data()[document.size()] != '\0') {
      passList.push_back(Headline{u"", u"", u"unterminated document", u"", u""});
      return;
    }
    if (document.size() > 4096) {
      passList.push_back(
          Headline{u"", u"", u"bytes:" + Widen(std::to_string(document.size())), u"", u""});
      return;
    }
    std::size_t start = 0;
    while (start < document.size()) {
      std::size_t end = document.find('\n', start);
      if (end == std::string_view::npos) end = document.size();
      if (end > start) {
        passList.push_back(
            Headline{u"", u"", Widen(document.substr(start, end - start)), u"", u""});
      }
      start = end + 1;
    }
  }

 private:
  std::shared_ptr<FakeWorld> world_;
  const std::thread::id owner_ = std::this_thread::get_id();
};

}  // namespace

FeedsPlatform MakeFakePlatform(const std::shared_ptr<FakeWorld>& world,
                               std::chrono::milliseconds minimumPause, bool withReader) {
  FeedsPlatform platform;
  platform.http = std::make_unique<FakeClient>(world);
  platform.notifier = std::make_unique<RecordingNotifier>(world);
  platform.diagnostics = std::make_unique<RecordingDiagnostics>(world);
  if (withReader) {
    platform.makeReader = [world]() -> std::unique_ptr<FeedDocumentReader> {
      thread_local int madeOnThisThread = 0;
      ++madeOnThisThread;
      Record(*world, [&] {
        ++world->readersCreated;
        if (madeOnThisThread > 1) ++world->secondReaders;
      });
      return std::make_unique<LineReader>(world);
    };
  }
  platform.minimumPause = minimumPause;
  return platform;
}

long FakeWorld::Opens(const std::u16string& url) {
  return std::count(opened.begin(), opened.end(), url);
}

std::vector<std::u16string> Texts(const std::vector<Headline>& headlines) {
  std::vector<std::u16string> texts;
  for (const Headline& headline : headlines) texts.push_back(headline.text);
  return texts;
}

}  // namespace tidewire::testing
