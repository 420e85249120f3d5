// Feeds with the real WinINet client, the real document reader and a real message-only window,
// against the test HTTP server (tests/support/feed_server.py) on 127.0.0.1.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "retrieval/event.h"
#include "retrieval/feeds.h"
#include "retrieval/feeds_win.h"
#include "retrieval/wininet_client_win.h"
#include "settings/language_defaults.h"
#include "tests/support/feed_server_port.h"

namespace tidewire {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

std::u16string Widen(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

using testing_support::FeedServerPort;

struct SharedDiagnostics {
  std::mutex mutex;
  std::vector<std::string> lines;  // wide lines are recorded in ASCII too
};

class RecordingDiagnostics : public DiagnosticSink {
 public:
  explicit RecordingDiagnostics(std::shared_ptr<SharedDiagnostics> shared)
      : shared_(std::move(shared)) {}
  void WriteWide(std::u16string_view line) override {
    std::lock_guard guard(shared_->mutex);
    shared_->lines.emplace_back(line.begin(), line.end());
  }
  void WriteNarrow(std::string_view line) override {
    std::lock_guard guard(shared_->mutex);
    shared_->lines.emplace_back(line);
  }

 private:
  std::shared_ptr<SharedDiagnostics> shared_;
};

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

class FeedsWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const int port = FeedServerPort();
    ASSERT_GT(port, 0) << "the feed server fixture is not running";
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // Each test process has its own part of the server's log.
    token_ = std::string(info->name()) + "-" + std::to_string(GetCurrentProcessId());
    base_ = "http://127.0.0.1:" + std::to_string(port) + "/t/" + token_;

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TidewireFeedsTestWindow";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window_, nullptr) << "CreateWindowExW failed, error " << GetLastError();
  }

  void TearDown() override {
    feeds_.reset();
    if (window_) DestroyWindow(window_);
  }

  std::u16string Url(const std::string& path) const { return Widen(base_ + path); }

  Feeds& MakeFeeds(std::uint32_t refreshMs = 3600000) {
    FeedsPlatform platform = CreateFeedsPlatform(window_);
    platform.diagnostics = std::make_unique<RecordingDiagnostics>(diagnostics_);
    feeds_ = std::make_unique<Feeds>(std::move(platform));
    feeds_->SetRefreshMs(refreshMs);
    return *feeds_;
  }

  // Waits for NextHeadlineMessage on the window; false after a generous bound.
  bool WaitForNextHeadlineMessage() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      MSG message;
      while (PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) {
        if (message.message == NextHeadlineMessage) {
          EXPECT_EQ(message.wParam, 0u);
          EXPECT_EQ(message.lParam, 0);
          return true;
        }
        DispatchMessageW(&message);
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()),
                                QS_POSTMESSAGE);
    }
  }

  std::vector<std::u16string> Texts(int count) {
    std::vector<std::u16string> texts;
    for (int i = 0; i < count; ++i) texts.push_back(feeds_->NextHeadline().text);
    return texts;
  }

  // This test's part of the server's request log, fetched with the client under test.
  std::vector<std::string> ServerLog() {
    WinInetClient client;
    std::unique_ptr<HttpSession> session = client.OpenSession();
    if (!session) return {"no session"};
    std::unique_ptr<HttpRequest> request = session->OpenUrl(Url("/log"));
    if (!request) return {"no log"};
    std::string text;
    char buffer[2048];
    while (std::optional<std::size_t> count = request->Read(buffer)) {
      if (*count == 0) break;
      text.append(buffer, *count);
    }
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
      // Paths without this test's token prefix, for readable expectations.
      const std::string prefix = "/t/" + token_;
      const std::size_t at = line.find(prefix);
      if (at != std::string::npos) line.erase(at, prefix.size());
      lines.push_back(line);
    }
    return lines;
  }

  // Polls the log until `line` shows up; the server records some events a moment after the
  // client has seen the response.
  bool WaitForLogLine(const std::string& line) {
    for (int i = 0; i < 600; ++i) {
      for (const std::string& entry : ServerLog()) {
        if (entry == line) return true;
      }
      Sleep(50);
    }
    return false;
  }

  // Destroys the Feeds and reports how long that took. A destructor that does not return ends
  // the test program: nothing else could recover the test.
  std::chrono::milliseconds DestroyFeedsOrDie() {
    Event done(Event::Mode::ManualReset);
    const auto started = std::chrono::steady_clock::now();
    std::thread destroyer([&] {
      feeds_.reset();
      done.Set();
    });
    if (!done.WaitFor(std::chrono::seconds(30))) {
      std::fputs("Feeds destructor did not return\n", stderr);
      std::abort();
    }
    destroyer.join();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 started);
  }

  std::vector<std::string> Diagnostics() {
    std::lock_guard guard(diagnostics_->mutex);
    return diagnostics_->lines;
  }

  std::string token_;
  std::string base_;
  HWND window_ = nullptr;
  std::shared_ptr<SharedDiagnostics> diagnostics_ = std::make_shared<SharedDiagnostics>();
  std::unique_ptr<Feeds> feeds_;
};

TEST_F(FeedsWineTest, APassOverThreeFeedsPublishesTheirHeadlinesInOrderAndPosts) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/feeds/one.xml") + u" URL " + Url("/feeds/two.xml") + u" URL " +
                    Url("/feeds/three.xml"));
  ASSERT_TRUE(WaitForNextHeadlineMessage());

  const Headline first = feeds.NextHeadline();
  EXPECT_EQ(first.text, u"One first. Alpha story of one.");
  EXPECT_EQ(first.link, u"http://example.invalid/one/1");
  EXPECT_EQ(first.feedTitle, u"Feed One");
  EXPECT_EQ(first.fetchTime.size(), 5u);
  EXPECT_THAT(
      Texts(6),
      ElementsAre(u"One second. Beta story of one.", u"Two first. Alpha story of two.",
                  u"Two second. Beta story of two.", u"Three first. Alpha story of three.",
                  u"Three second. Beta story of three.", u"One first. Alpha story of one."));
  EXPECT_THAT(Diagnostics(), IsEmpty());
}

TEST_F(FeedsWineTest, InactiveFeedsAreRequestedButOnlyTheActiveBodyIsRead) {
  // Bodies sent in parts with pauses between them: the server gets to send the last part only
  // if the client keeps reading (closing a request drains only what has already arrived).
  const std::string slow = "?parts=4&delay=300";
  Feeds& feeds = MakeFeeds();
  feeds.SetActiveFlags(u"0 URL 1 URL 0");
  feeds.SetFeedList(Url("/slow/one.xml" + slow) + u" URL " + Url("/slow/two.xml" + slow) +
                    u" URL " + Url("/slow/three.xml" + slow));
  ASSERT_TRUE(WaitForNextHeadlineMessage());

  EXPECT_THAT(Texts(3),
              ElementsAre(u"Two first. Alpha story of two.", u"Two second. Beta story of two.",
                          u"Two first. Alpha story of two."));
  ASSERT_TRUE(WaitForLogLine("SENT /slow/two.xml"));
  ASSERT_TRUE(WaitForLogLine("CUT /slow/one.xml"));
  ASSERT_TRUE(WaitForLogLine("CUT /slow/three.xml"));
  const std::vector<std::string> log = ServerLog();
  EXPECT_THAT(log, Contains("GET /slow/one.xml"));
  EXPECT_THAT(log, Contains("GET /slow/two.xml"));
  EXPECT_THAT(log, Contains("GET /slow/three.xml"));
  EXPECT_THAT(log, Not(Contains("SENT /slow/one.xml")));
  EXPECT_THAT(log, Not(Contains("SENT /slow/three.xml")));
}

TEST_F(FeedsWineTest, DestroyingDuringAnEndlessDownloadEndsTheWorker) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/endless"));
  ASSERT_TRUE(WaitForLogLine("GET /endless"));
  const std::chrono::milliseconds took = DestroyFeedsOrDie();
  std::printf("destroying during an endless download took %lld ms\n",
              static_cast<long long>(took.count()));
  RecordProperty("destroy_ms", static_cast<int>(took.count()));
  // The server sees the connection go away.
  EXPECT_TRUE(WaitForLogLine("CUT /endless"));
}

TEST_F(FeedsWineTest, DestroyingDuringAStalledReadAbortsIt) {
  if (RunningUnderWine()) {
    GTEST_SKIP() << "Wine's WinINet does not end a call blocked in a handle closed from "
                    "another thread";
  }
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/stall/one.xml?after=16"));
  ASSERT_TRUE(WaitForLogLine("GET /stall/one.xml"));
  const std::chrono::milliseconds took = DestroyFeedsOrDie();
  std::printf("destroying during a stalled read took %lld ms\n",
              static_cast<long long>(took.count()));
  RecordProperty("destroy_ms", static_cast<int>(took.count()));
  EXPECT_TRUE(WaitForLogLine("CUT /stall/one.xml"));
}

TEST_F(FeedsWineTest, ReplacingTheListDuringAStalledReadStartsTheNewListAtOnce) {
  if (RunningUnderWine()) {
    GTEST_SKIP() << "Wine's WinINet does not end a call blocked in a handle closed from "
                    "another thread";
  }
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/stall/one.xml?after=16"));
  ASSERT_TRUE(WaitForLogLine("GET /stall/one.xml"));
  feeds.SetFeedList(Url("/feeds/two.xml"));
  ASSERT_TRUE(WaitForNextHeadlineMessage());  // the stopped worker's (empty) publication
  ASSERT_TRUE(WaitForNextHeadlineMessage());
  EXPECT_EQ(feeds.NextHeadline().text, u"Two first. Alpha story of two.");
}

TEST_F(FeedsWineTest, DestroyingWhileTheServerDoesNotAnswerAbortsTheRequest) {
  if (RunningUnderWine()) {
    GTEST_SKIP() << "Wine's WinINet does not end a call blocked in a handle closed from "
                    "another thread";
  }
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/hang"));
  ASSERT_TRUE(WaitForLogLine("GET /hang"));
  const std::chrono::milliseconds took = DestroyFeedsOrDie();
  std::printf("destroying while the server does not answer took %lld ms\n",
              static_cast<long long>(took.count()));
  RecordProperty("destroy_ms", static_cast<int>(took.count()));
  EXPECT_TRUE(WaitForLogLine("CUT /hang"));
}

TEST_F(FeedsWineTest, ReplacingTheListDuringASlowDownloadStopsAtTheNextChunk) {
  Feeds& feeds = MakeFeeds();
  // Forty parts, half a second apart: twenty seconds if the worker read it to the end. Each part
  // is larger than a read, since a read returns only once its buffer is full or the body ends.
  feeds.SetFeedList(Url("/slow/one.xml?parts=40&delay=500&pad=200000"));
  ASSERT_TRUE(WaitForLogLine("GET /slow/one.xml"));
  const auto started = std::chrono::steady_clock::now();
  feeds.SetFeedList(Url("/feeds/two.xml"));
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  std::printf("replacing the list during a slow download took %lld ms\n",
              static_cast<long long>(took.count()));
  RecordProperty("replace_ms", static_cast<int>(took.count()));
  ASSERT_TRUE(WaitForNextHeadlineMessage());  // the stopped worker's (empty) publication
  ASSERT_TRUE(WaitForNextHeadlineMessage());
  EXPECT_EQ(feeds.NextHeadline().text, u"Two first. Alpha story of two.");
  EXPECT_TRUE(WaitForLogLine("CUT /slow/one.xml"));
}

TEST_F(FeedsWineTest, TheBodyOfAnErrorStatusIsReadLikeAFeed) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/status/500/one.xml") + u" URL " + Url("/status/404/two.xml"));
  ASSERT_TRUE(WaitForNextHeadlineMessage());
  EXPECT_THAT(Texts(4),
              ElementsAre(u"One first. Alpha story of one.", u"One second. Beta story of one.",
                          u"Two first. Alpha story of two.", u"Two second. Beta story of two."));
}

TEST_F(FeedsWineTest, ARedirectIsFollowed) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/redirect/302/feeds/three.xml"));
  ASSERT_TRUE(WaitForNextHeadlineMessage());
  EXPECT_EQ(feeds.NextHeadline().text, u"Three first. Alpha story of three.");
  const std::vector<std::string> log = ServerLog();
  EXPECT_THAT(log, Contains("GET /redirect/302/feeds/three.xml"));
  EXPECT_THAT(log, Contains("GET /feeds/three.xml"));
}

TEST_F(FeedsWineTest, AConnectionClosedMidBodySkipsOnlyThatFeed) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/cut/one.xml?after=120") + u" URL " + Url("/feeds/three.xml"));
  ASSERT_TRUE(WaitForNextHeadlineMessage());
  EXPECT_THAT(Texts(3), ElementsAre(u"Three first. Alpha story of three.",
                                    u"Three second. Beta story of three.",
                                    u"Three first. Alpha story of three."));
  for (const std::string& line : Diagnostics()) std::printf("diagnostic: %s", line.c_str());
}

TEST_F(FeedsWineTest, AnAddressThatCannotBeOpenedIsReportedAndSkipped) {
  Feeds& feeds = MakeFeeds();
  // Port 1 on the loopback address: nothing listens there.
  feeds.SetFeedList(u"http://127.0.0.1:1/feed.xml URL " + Url("/feeds/two.xml"));
  ASSERT_TRUE(WaitForNextHeadlineMessage());
  EXPECT_EQ(feeds.NextHeadline().text, u"Two first. Alpha story of two.");
  EXPECT_THAT(Diagnostics(), ElementsAre("InternetConnectA failed\n"));
}

}  // namespace
}  // namespace tidewire
