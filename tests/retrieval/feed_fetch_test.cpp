// Fetching one feed document through the HTTP seam, with the scripted client.

#include "retrieval/feed_fetch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "tests/retrieval/fake_platform.h"

namespace tidewire {
namespace {

using testing::FakeFeed;
using testing::FakeWorld;
using testing::MakeFakePlatform;

std::u16string Widen(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

class FeedFetchTest : public ::testing::Test {
 protected:
  FeedFetchResult Fetch(const std::u16string& url) {
    return FetchFeedDocument(*platform_.http, url);
  }

  std::shared_ptr<FakeWorld> world_ = std::make_shared<FakeWorld>();
  FeedsPlatform platform_ = MakeFakePlatform(world_);
};

TEST_F(FeedFetchTest, JoinsEveryChunkOfTheAddressGiven) {
  FakeFeed feed;
  feed.chunks = {"<rss>", std::string("\0bin", 4), "</rss>"};
  world_->feeds[u"http://a/feed"] = feed;
  world_->feeds[u"http://b/feed"].chunks = {"other"};

  const FeedFetchResult result = Fetch(u"http://a/feed");
  EXPECT_EQ(result.status, FeedFetchStatus::Complete);
  EXPECT_EQ(result.document, std::string("<rss>\0bin</rss>", 15));
  ASSERT_EQ(world_->opened.size(), 1u);
  EXPECT_EQ(world_->opened[0], u"http://a/feed");
}

TEST_F(FeedFetchTest, SizeBoundIsInclusive) {
  world_->feeds[u"http://at-limit/"].generatedBytes = MaxFeedDocumentBytes;
  world_->feeds[u"http://over/"].generatedBytes = MaxFeedDocumentBytes + 1;

  const FeedFetchResult atLimit = Fetch(u"http://at-limit/");
  EXPECT_EQ(atLimit.status, FeedFetchStatus::Complete);
  EXPECT_EQ(atLimit.document.size(), MaxFeedDocumentBytes);

  const FeedFetchResult over = Fetch(u"http://over/");
  EXPECT_EQ(over.status, FeedFetchStatus::TooLarge);
  EXPECT_TRUE(over.document.empty());
}

TEST_F(FeedFetchTest, EachFailureHasItsOwnStatus) {
  world_->feeds[u"http://closed/"].failOpen = true;
  FakeFeed broken;
  broken.chunks = {"<rss>", "<item>", "</rss>"};
  broken.failReadAt = 1;
  world_->feeds[u"http://broken/"] = broken;

  EXPECT_EQ(Fetch(u"http://closed/").status, FeedFetchStatus::CannotOpen);
  const FeedFetchResult readFailure = Fetch(u"http://broken/");
  EXPECT_EQ(readFailure.status, FeedFetchStatus::ReadFailed);
  EXPECT_TRUE(readFailure.document.empty());

  world_->failSessions = true;
  world_->feeds[u"http://fine/"].chunks = {"<rss/>"};
  EXPECT_EQ(Fetch(u"http://fine/").status, FeedFetchStatus::NoSession);
}

TEST_F(FeedFetchTest, RaisedStopEndsTheReadAfterTheCurrentChunk) {
  world_->feeds[u"http://a/"].chunks = {"one", "two"};
  std::unique_ptr<HttpSession> session =
      platform_.http->OpenSession(std::chrono::steady_clock::now() + FeedDocumentDeadline);
  ASSERT_NE(session, nullptr);
  std::unique_ptr<HttpRequest> request = session->Open(u"http://a/").request;
  ASSERT_NE(request, nullptr);
  const std::atomic<bool> stop{true};
  const FeedFetchResult result = ReadFeedBody(*request, &stop);
  EXPECT_EQ(result.status, FeedFetchStatus::Stopped);
  EXPECT_TRUE(result.document.empty());
}

TEST_F(FeedFetchTest, TenRedirectionsAreFollowedOnTheWebOnly) {
  // http://r0/ redirects to HTTP://r1/ (the scheme in capitals), that one to HTTP://r2/ and so
  // on; HTTP://r10/ holds the feed.
  const auto hop = [](int i) {
    return (i == 0 ? u"http://r" : u"HTTP://r") + Widen(std::to_string(i)) + u"/";
  };
  for (int i = 0; i < MaxRedirects; ++i) world_->feeds[hop(i)].redirect = hop(i + 1);
  world_->feeds[hop(MaxRedirects)].chunks = {"<rss/>"};
  const FeedFetchResult tenHops = Fetch(u"http://r0/");
  EXPECT_EQ(tenHops.status, FeedFetchStatus::Complete);
  EXPECT_EQ(tenHops.document, "<rss/>");
  EXPECT_EQ(world_->opened.size(), 11u);

  world_->opened.clear();
  world_->feeds[u"http://loop/"].redirect = u"http://loop/";
  EXPECT_EQ(Fetch(u"http://loop/").status, FeedFetchStatus::TooManyRedirects);
  EXPECT_EQ(world_->opened.size(), 11u) << "the address and ten redirections";

  world_->feeds[u"http://local/"].redirect = u"file:///C:/windows/win.ini";
  world_->feeds[u"file:///C:/windows/win.ini"].chunks = {"[fonts]"};
  EXPECT_EQ(Fetch(u"http://local/").status, FeedFetchStatus::CannotOpen);
}

TEST_F(FeedFetchTest, AnHttpsAddressIsNeverRedirectedToHttp) {
  world_->feeds[u"http://plain/"].chunks = {"<plain/>"};
  world_->feeds[u"https://secure/"].chunks = {"<secure/>"};
  const struct {
    std::u16string from, to;
    FeedFetchStatus status;
  } cases[] = {
      {u"https://a/", u"https://secure/", FeedFetchStatus::Complete},
      {u"http://b/", u"https://secure/", FeedFetchStatus::Complete},
      {u"http://c/", u"http://plain/", FeedFetchStatus::Complete},
      {u"https://d/", u"http://plain/", FeedFetchStatus::InsecureRedirect},
      {u"HTTPS://e/", u"HTTP://plain/", FeedFetchStatus::InsecureRedirect},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [from, to, status] = cases[i];
    world_->opened.clear();
    world_->feeds[from].redirect = to;
    EXPECT_EQ(Fetch(from).status, status) << "case " << i;
    // A refused redirection never requests its target.
    EXPECT_EQ(world_->opened.size(), status == FeedFetchStatus::Complete ? 2u : 1u) << "case " << i;
  }
}

TEST(FeedFetchFailureTest, DescribesEveryFailureOnly) {
  EXPECT_EQ(FeedFetchFailure(FeedFetchStatus::Complete), "");
  EXPECT_EQ(FeedFetchFailure(FeedFetchStatus::TooLarge), "Feed too large");
  for (FeedFetchStatus status :
       {FeedFetchStatus::NoSession, FeedFetchStatus::CannotOpen, FeedFetchStatus::TooManyRedirects,
        FeedFetchStatus::InsecureRedirect, FeedFetchStatus::ReadFailed, FeedFetchStatus::Stopped}) {
    EXPECT_FALSE(FeedFetchFailure(status).empty());
  }
}

}  // namespace
}  // namespace tidewire
