// Feeds with the real WinINet client, the real document reader and a real message-only window,
// against the test HTTP server (tests/support/feed_server.py) on 127.0.0.1.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <wincrypt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "control/headline_source.h"
#include "retrieval/event.h"
#include "retrieval/feeds.h"
#include "retrieval/feeds_win.h"
#include "retrieval/wininet_client_win.h"
#include "settings/language_defaults.h"
#include "tests/support/feed_server_port.h"

namespace tidewire {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

std::u16string Widen(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

using testing_support::FeedServerHttpsPort;
using testing_support::FeedServerPort;

milliseconds Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
}

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

// The test authority of the HTTPS listener "trusted" in the local machine's root store, for the
// lifetime of the object (certificates made by tests/support/make_test_certificates).
class TrustedTestAuthority {
 public:
  TrustedTestAuthority() {
    std::ifstream file(
        std::string("Z:") + TIDEWIRE_FEED_SERVER_DIR + "/certificates/trusted-authority.der",
        std::ios::binary);
    const std::string der((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    store_ =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store_ == nullptr || der.empty()) return;
    CertAddEncodedCertificateToStore(
        store_, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added_);
    // Written to the registry now: certificate chains are built from stores opened afresh.
    CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
  }
  ~TrustedTestAuthority() {
    if (added_ != nullptr) CertDeleteCertificateFromStore(added_);
    if (store_ != nullptr) {
      CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
      CertCloseStore(store_, 0);
    }
  }
  TrustedTestAuthority(const TrustedTestAuthority&) = delete;
  TrustedTestAuthority& operator=(const TrustedTestAuthority&) = delete;

  bool Added() const { return added_ != nullptr; }

 private:
  HCERTSTORE store_ = nullptr;
  PCCERT_CONTEXT added_ = nullptr;
};

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
  // This test's address on the HTTPS listener NAME, by host name.
  std::u16string HttpsUrl(const std::string& listener, const std::string& path) const {
    return Widen("https://localhost:" + std::to_string(FeedServerHttpsPort(listener)) + "/t/" +
                 token_ + path);
  }

  // A Feeds on the system's pieces; `adjust` may shorten the platform's bounds first.
  Feeds& MakeFeeds(const std::function<void(FeedsPlatform&)>& adjust = {}) {
    FeedsPlatform platform = CreateFeedsPlatform(window_, NextHeadlineMessage);
    platform.diagnostics = std::make_unique<RecordingDiagnostics>(diagnostics_);
    if (adjust) adjust(platform);
    feeds_ = std::make_unique<Feeds>(std::move(platform));
    feeds_->SetRefreshMs(3600000);
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

  // Waits for the end of a first pass: one post for each feed that gives headlines, as it is
  // read, and one at the end.
  bool WaitForFirstPass(int feedsWithHeadlines) {
    for (int post = 0; post <= feedsWithHeadlines; ++post) {
      if (!WaitForNextHeadlineMessage()) return false;
    }
    return true;
  }

  std::vector<std::u16string> Texts(int count) {
    std::vector<std::u16string> texts;
    for (int i = 0; i < count; ++i) {
      texts.push_back(feeds_->NextHeadline(EnglishConnectingMessage).text);
    }
    return texts;
  }

  // This test's part of the server's request log, fetched with the client under test.
  std::vector<std::string> ServerLog() {
    WinInetClient client;
    const FeedFetchResult log = FetchFeedDocument(client, Url("/log"));
    if (log.status != FeedFetchStatus::Complete) return {"no log"};
    std::vector<std::string> lines;
    std::istringstream stream(log.document);
    for (std::string line; std::getline(stream, line);) {
      // Paths without this test's token prefix, for readable expectations.
      const std::string prefix = "/t/" + token_;
      const std::size_t at = line.find(prefix);
      if (at != std::string::npos) line.erase(at, prefix.size());
      lines.push_back(line);
    }
    return lines;
  }

  // How many requests for `path` the server has received.
  long Requests(const std::string& path) {
    const std::vector<std::string> log = ServerLog();
    return std::count(log.begin(), log.end(), "GET " + path);
  }

  // Polls the log until `line` shows up; the server records some events a moment after the
  // client has seen the response.
  bool WaitForLogLine(const std::string& line, milliseconds limit = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
      for (const std::string& entry : ServerLog()) {
        if (entry == line) return true;
      }
      Sleep(50);
    } while (std::chrono::steady_clock::now() < deadline);
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

  // A pass over a stalled body, response headers that never come and a good feed: the good feed
  // is published as soon as it is read, the silent servers are given up with the lines of a
  // failed read and a failed open. Returns how long the pass took.
  milliseconds PassOverSilentServers(Feeds& feeds) {
    const auto started = std::chrono::steady_clock::now();
    feeds.SetFeedList(Url("/stall/one.xml?after=16") + u" URL " + Url("/hang") + u" URL " +
                      Url("/feeds/two.xml"));
    EXPECT_TRUE(WaitForNextHeadlineMessage());
    const milliseconds firstHeadlines = Since(started);
    EXPECT_EQ(feeds.NextHeadline(EnglishConnectingMessage).text, u"Two first. Alpha story of two.");
    EXPECT_TRUE(WaitForNextHeadlineMessage());
    const milliseconds took = Since(started);
    std::printf("the first headlines came after %lld ms, the pass took %lld ms\n",
                static_cast<long long>(firstHeadlines.count()),
                static_cast<long long>(took.count()));
    RecordProperty("first_headlines_ms", static_cast<int>(firstHeadlines.count()));
    EXPECT_THAT(Texts(3),
                ElementsAre(u"Two second. Beta story of two.", u"Two first. Alpha story of two.",
                            u"Two second. Beta story of two."));
    EXPECT_THAT(Diagnostics(),
                UnorderedElementsAre("InternetReadFile failed\n", "InternetConnectA failed\n"));
    return took;
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
  ASSERT_TRUE(WaitForFirstPass(3));

  const Headline first = feeds.NextHeadline(EnglishConnectingMessage);
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
  ASSERT_TRUE(WaitForFirstPass(1));

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
  const milliseconds took = DestroyFeedsOrDie();
  std::printf("destroying during an endless download took %lld ms\n",
              static_cast<long long>(took.count()));
  RecordProperty("destroy_ms", static_cast<int>(took.count()));
  EXPECT_LT(took, 5s);
  // The server sees the connection go away.
  EXPECT_TRUE(WaitForLogLine("CUT /endless"));
}

// A stop never waits for the network: not for a body that stalls, nor for response headers that
// never come.
TEST_F(FeedsWineTest, DestroyingDuringAStalledReadAbortsIt) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/stall/one.xml?after=16"));
  ASSERT_TRUE(WaitForLogLine("GET /stall/one.xml"));
  Sleep(500);  // the read is under way
  const milliseconds took = DestroyFeedsOrDie();
  std::printf("destroying during a stalled read took %lld ms\n",
              static_cast<long long>(took.count()));
  RecordProperty("destroy_ms", static_cast<int>(took.count()));
  EXPECT_LT(took, 5s);
  // WinINet lets go of the connection at the latest when the receive timeout runs out.
  EXPECT_TRUE(WaitForLogLine("CUT /stall/one.xml", DefaultNetworkTimeout + 15s));
}

TEST_F(FeedsWineTest, ReplacingTheListDuringAStalledReadStartsTheNewListAtOnce) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/stall/one.xml?after=16"));
  ASSERT_TRUE(WaitForLogLine("GET /stall/one.xml"));
  Sleep(500);
  const auto started = std::chrono::steady_clock::now();
  feeds.SetFeedList(Url("/feeds/two.xml"));
  const milliseconds took = Since(started);
  std::printf("replacing the list during a stalled read took %lld ms\n",
              static_cast<long long>(took.count()));
  RecordProperty("replace_ms", static_cast<int>(took.count()));
  EXPECT_LT(took, 5s);
  ASSERT_TRUE(WaitForNextHeadlineMessage());  // the stopped worker's (empty) publication
  ASSERT_TRUE(WaitForNextHeadlineMessage());
  EXPECT_EQ(feeds.NextHeadline(EnglishConnectingMessage).text, u"Two first. Alpha story of two.");
}

TEST_F(FeedsWineTest, DestroyingWhileTheServerDoesNotAnswerAbortsTheRequest) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/hang"));
  ASSERT_TRUE(WaitForLogLine("GET /hang"));
  const milliseconds took = DestroyFeedsOrDie();
  std::printf("destroying while the server does not answer took %lld ms\n",
              static_cast<long long>(took.count()));
  RecordProperty("destroy_ms", static_cast<int>(took.count()));
  EXPECT_LT(took, 5s);
  EXPECT_TRUE(WaitForLogLine("CUT /hang", DefaultNetworkTimeout + 15s));
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
  EXPECT_EQ(feeds.NextHeadline(EnglishConnectingMessage).text, u"Two first. Alpha story of two.");
  EXPECT_TRUE(WaitForLogLine("CUT /slow/one.xml"));
}

TEST_F(FeedsWineTest, TheBodyOfAnErrorStatusIsReadLikeAFeed) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/status/500/one.xml") + u" URL " + Url("/status/404/two.xml"));
  ASSERT_TRUE(WaitForFirstPass(2));
  EXPECT_THAT(Texts(4),
              ElementsAre(u"One first. Alpha story of one.", u"One second. Beta story of one.",
                          u"Two first. Alpha story of two.", u"Two second. Beta story of two."));
}

TEST_F(FeedsWineTest, ARedirectIsFollowed) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/redirect/302/feeds/three.xml"));
  ASSERT_TRUE(WaitForNextHeadlineMessage());
  EXPECT_EQ(feeds.NextHeadline(EnglishConnectingMessage).text, u"Three first. Alpha story of three.");
  const std::vector<std::string> log = ServerLog();
  EXPECT_THAT(log, Contains("GET /redirect/302/feeds/three.xml"));
  EXPECT_THAT(log, Contains("GET /feeds/three.xml"));
}

TEST_F(FeedsWineTest, AConnectionClosedMidBodySkipsOnlyThatFeed) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/cut/one.xml?after=120") + u" URL " + Url("/feeds/three.xml"));
  ASSERT_TRUE(WaitForFirstPass(1));
  EXPECT_THAT(Texts(3), ElementsAre(u"Three first. Alpha story of three.",
                                    u"Three second. Beta story of three.",
                                    u"Three first. Alpha story of three."));
  // The cut-off body is a failed read, not a shorter document.
  EXPECT_THAT(Diagnostics(), Contains("InternetReadFile failed\n"));
}

TEST_F(FeedsWineTest, AnAddressThatCannotBeOpenedIsReportedAndSkipped) {
  Feeds& feeds = MakeFeeds();
  // Port 1 on the loopback address: nothing listens there.
  feeds.SetFeedList(u"http://127.0.0.1:1/feed.xml URL " + Url("/feeds/two.xml"));
  ASSERT_TRUE(WaitForFirstPass(1));
  EXPECT_EQ(feeds.NextHeadline(EnglishConnectingMessage).text, u"Two first. Alpha story of two.");
  EXPECT_THAT(Diagnostics(), ElementsAre("InternetConnectA failed\n"));
}

TEST_F(FeedsWineTest, AFeedNotReadByTheDeadlineIsSkippedAndThePassGoesOn) {
  Feeds& feeds = MakeFeeds([](FeedsPlatform& platform) { platform.documentDeadline = 2s; });
  // Two feeds at their deadline, well before the network timeouts would end them.
  EXPECT_LT(PassOverSilentServers(feeds), 20s);
}

TEST_F(FeedsWineTest, TheReceiveTimeoutEndsASilentServerBeforeTheDeadline) {
  Feeds& feeds = MakeFeeds([](FeedsPlatform& platform) {
    WinInetTimeouts timeouts;
    timeouts.receive = 2s;
    platform.http = std::make_unique<WinInetClient>(timeouts);
  });
  EXPECT_LT(PassOverSilentServers(feeds), 20s);
}

TEST_F(FeedsWineTest, RedirectLoopsEndAfterTenRedirectsAndThePassGoesOn) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(Url("/loop/x/x") + u" URL " + Url("/loop/a/b") + u" URL " +
                    Url("/feeds/two.xml"));
  ASSERT_TRUE(WaitForFirstPass(1));
  EXPECT_EQ(feeds.NextHeadline(EnglishConnectingMessage).text, u"Two first. Alpha story of two.");
  EXPECT_THAT(Diagnostics(), ElementsAre("Too many redirects\n", "Too many redirects\n"));
  // The address itself and ten redirections, for a loop of one address and one of two.
  const long selfLoop = Requests("/loop/x/x");
  const long pairLoop = Requests("/loop/a/b") + Requests("/loop/b/a");
  std::printf("requests: %ld for the loop of one address, %ld for the loop of two\n", selfLoop,
              pairLoop);
  RecordProperty("self_loop_requests", static_cast<int>(selfLoop));
  EXPECT_EQ(selfLoop, 1 + MaxRedirects);
  EXPECT_EQ(pairLoop, 1 + MaxRedirects);
}

// Runs before the test of an unknown authority: in one process (the x86 run) the system may keep
// the root store it read first.
TEST_F(FeedsWineTest, AnHttpsFeedFromATrustedAuthorityIsRead) {
  const TrustedTestAuthority authority;
  ASSERT_TRUE(authority.Added()) << "the test authority could not be added to the root store";
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(HttpsUrl("trusted", "/feeds/one.xml"));
  ASSERT_TRUE(WaitForNextHeadlineMessage());
  EXPECT_THAT(Texts(2),
              ElementsAre(u"One first. Alpha story of one.", u"One second. Beta story of one."));
  EXPECT_THAT(Diagnostics(), IsEmpty());
  EXPECT_THAT(ServerLog(), Contains("SENT /feeds/one.xml"));
}

// Over HTTPS a redirection is followed to another https address, never to a plain one: that feed
// ends for the pass with the line of a failed read, and its http address is never requested.
TEST_F(FeedsWineTest, AnHttpsFeedIsRedirectedToHttpsOnly) {
  const TrustedTestAuthority authority;
  ASSERT_TRUE(authority.Added()) << "the test authority could not be added to the root store";
  Feeds& feeds = MakeFeeds();
  const std::string plainOrigin = "http://127.0.0.1:" + std::to_string(FeedServerPort());
  feeds.SetFeedList(HttpsUrl("trusted", "/redirect/302/feeds/one.xml?to=" + plainOrigin) +
                    u" URL " + HttpsUrl("trusted", "/redirect/301/feeds/two.xml"));
  ASSERT_TRUE(WaitForFirstPass(1));
  EXPECT_THAT(Texts(3),
              ElementsAre(u"Two first. Alpha story of two.", u"Two second. Beta story of two.",
                          u"Two first. Alpha story of two."));
  EXPECT_THAT(Diagnostics(), ElementsAre("InternetReadFile failed\n"));
  const std::vector<std::string> log = ServerLog();
  EXPECT_THAT(log, Contains("SENT /feeds/two.xml"));
  EXPECT_THAT(log, Not(Contains("GET /feeds/one.xml")));
}

TEST_F(FeedsWineTest, AnHttpsFeedFromAnUnknownAuthorityIsSkipped) {
  Feeds& feeds = MakeFeeds();
  feeds.SetFeedList(HttpsUrl("untrusted", "/feeds/one.xml") + u" URL " + Url("/feeds/two.xml"));
  ASSERT_TRUE(WaitForFirstPass(1));
  EXPECT_THAT(Texts(3),
              ElementsAre(u"Two first. Alpha story of two.", u"Two second. Beta story of two.",
                          u"Two first. Alpha story of two."));
  EXPECT_THAT(Diagnostics(), ElementsAre("InternetConnectA failed\n"));
  EXPECT_THAT(ServerLog(), Not(Contains("GET /feeds/one.xml")));
}

}  // namespace
}  // namespace tidewire
