// Fetching one feed document through the HTTP seam, with the scripted client.

#include "retrieval/feed_fetch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "tests/retrieval/fake_platform.h"

namespace tidewire {
namespace {

using testing::FakeFeed;
using testing::FakeWorld;
using testing::MakeFakePlatform;

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
  std::unique_ptr<HttpSession> session = platform_.http->OpenSession();
  ASSERT_NE(session, nullptr);
  std::unique_ptr<HttpRequest> request = session->OpenUrl(u"http://a/");
  ASSERT_NE(request, nullptr);
  const std::atomic<bool> stop{true};
  const FeedFetchResult result = ReadFeedBody(*request, &stop);
  EXPECT_EQ(result.status, FeedFetchStatus::Stopped);
  EXPECT_TRUE(result.document.empty());
}

TEST(FeedFetchFailureTest, DescribesEveryFailureOnly) {
  EXPECT_EQ(FeedFetchFailure(FeedFetchStatus::Complete), "");
  EXPECT_EQ(FeedFetchFailure(FeedFetchStatus::TooLarge), "Feed too large");
  for (FeedFetchStatus status : {FeedFetchStatus::NoSession, FeedFetchStatus::CannotOpen,
                                 FeedFetchStatus::ReadFailed, FeedFetchStatus::Stopped}) {
    EXPECT_FALSE(FeedFetchFailure(status).empty());
  }
}

}  // namespace
}  // namespace tidewire
