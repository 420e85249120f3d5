#include "retrieval/feeds.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tests/retrieval/fake_platform.h"

namespace tidewire {
namespace {

using std::chrono::milliseconds;
using ::testing::ElementsAre;
using testing::FakeFeed;
using testing::FakeWorld;
using ::testing::IsEmpty;
using testing::MakeFakePlatform;
using ::testing::UnorderedElementsAre;

constexpr std::uint32_t OneHourMs = 3600000;

class FeedsTest : public ::testing::Test {
 protected:
  void AddFeed(const std::u16string& url, std::vector<std::string> chunks) {
    FakeFeed feed;
    feed.chunks = std::move(chunks);
    AddFeed(url, std::move(feed));
  }
  void AddFeed(const std::u16string& url, FakeFeed feed) {
    std::lock_guard guard(world->mutex);
    world->feeds[url] = std::move(feed);
  }
  std::shared_ptr<Event> AddGatedFeed(const std::u16string& url, std::vector<std::string> chunks) {
    FakeFeed feed;
    feed.chunks = std::move(chunks);
    feed.gate = std::make_shared<Event>(Event::Mode::AutoReset);
    std::shared_ptr<Event> gate = feed.gate;
    AddFeed(url, std::move(feed));
    return gate;
  }
  void ChangeBody(const std::u16string& url, std::vector<std::string> chunks) {
    std::lock_guard guard(world->mutex);
    world->feeds.at(url).chunks = std::move(chunks);
  }

  // A Feeds whose worker makes one pass and then sleeps for an hour, unless told otherwise.
  std::unique_ptr<Feeds> Make(std::uint32_t refreshMs = OneHourMs) {
    auto feeds = std::make_unique<Feeds>(MakeFakePlatform(world));
    feeds->SetRefreshMs(refreshMs);
    return feeds;
  }

  // Waits for the end of a first pass (one post per feed that gave headlines, one at the end).
  bool WaitForFirstPass(int feedsWithHeadlines) {
    return world->WaitForPosts(feedsWithHeadlines + 1);
  }

  static std::vector<std::u16string> Take(Feeds& feeds, int count) {
    std::vector<std::u16string> texts;
    for (int i = 0; i < count; ++i) texts.push_back(feeds.NextHeadline(Connecting).text);
    return texts;
  }

  // Destroys `feeds` on another thread. A destructor that hangs ends the test program: it must
  // not wait for the network, and nothing else could recover the test.
  static void DestroyOrDie(std::unique_ptr<Feeds>& feeds) {
    Event done(Event::Mode::ManualReset);
    std::thread destroyer([&] {
      feeds.reset();
      done.Set();
    });
    if (!done.WaitFor(std::chrono::seconds(20))) {
      std::fputs("Feeds destructor did not return\n", stderr);
      std::abort();
    }
    destroyer.join();
  }

  // Lets a worker held at a gate finish its pass and go to sleep for an hour, so that the test
  // can end (a worker held at a gate could not be stopped).
  static void ReleaseGate(Feeds& feeds, Event& gate) {
    feeds.SetRefreshMs(OneHourMs);
    gate.Set();
  }

  // The connecting text the control passes in (a translation: it comes back as given).
  static constexpr std::u16string_view Connecting = u"Verbindung wird aufgebaut...";

  std::shared_ptr<FakeWorld> world = std::make_shared<FakeWorld>();
};

TEST_F(FeedsTest, PassPublishesEveryFeedInListThenDocumentOrder) {
  AddFeed(u"http://a/", {"a1\na2\n"});
  AddFeed(u"http://b/", {"b1\nb", "2\n"});  // a line split across two reads
  AddFeed(u"http://c/", {"c1"});
  auto feeds = Make();
  feeds->SetFeedList(u"http://a/ URL http://b/ URL http://c/");
  ASSERT_TRUE(WaitForFirstPass(3));

  EXPECT_THAT(Take(*feeds, 6), ElementsAre(u"a1", u"a2", u"b1", u"b2", u"c1", u"a1"));
  DestroyOrDie(feeds);  // every post has been made
  std::lock_guard guard(world->mutex);
  EXPECT_THAT(world->opened, UnorderedElementsAre(u"http://a/", u"http://b/", u"http://c/"));
  EXPECT_THAT(world->narrow, IsEmpty());
  EXPECT_THAT(world->wide, IsEmpty());
  EXPECT_EQ(world->posts, 4);
  // One reader for the worker and one for each lane, each used on its own thread only.
  EXPECT_EQ(world->readersCreated, 3);
  EXPECT_EQ(world->foreignReads, 0);
}

TEST_F(FeedsTest, InactiveFeedsAreRequestedButClosedUnread) {
  AddFeed(u"one", {"first\n"});
  AddFeed(u"two", {"second\n"});
  AddFeed(u"three", {"third\n"});
  auto feeds = Make();
  feeds->SetActiveFlags(u"0 URL 1 URL 0");
  feeds->SetFeedList(u"one URL two URL three");
  ASSERT_TRUE(WaitForFirstPass(1));

  EXPECT_THAT(Take(*feeds, 2), ElementsAre(u"second", u"second"));
  std::lock_guard guard(world->mutex);
  EXPECT_THAT(world->opened, UnorderedElementsAre(u"one", u"two", u"three"));
  EXPECT_THAT(world->read, ElementsAre(u"two"));
}

TEST_F(FeedsTest, OnlyTheExactFlagOneIsActiveAndMissingFlagsCountAsActive) {
  AddFeed(u"one", {"first\n"});
  AddFeed(u"two", {"second\n"});
  AddFeed(u"three", {"third\n"});
  auto feeds = Make();
  // Splits into "1 " (digit and a space) and "0"; the third feed has no flag.
  feeds->SetActiveFlags(u"1  URL 0");
  feeds->SetFeedList(u"one URL two URL three");
  ASSERT_TRUE(WaitForFirstPass(1));

  EXPECT_THAT(Take(*feeds, 2), ElementsAre(u"third", u"third"));
  std::lock_guard guard(world->mutex);
  EXPECT_THAT(world->read, ElementsAre(u"three"));
}

TEST_F(FeedsTest, AllFeedsInactivePublishesAnEmptyListAndStillPosts) {
  AddFeed(u"one", {"first\n"});
  AddFeed(u"two", {"second\n"});
  auto feeds = Make();
  feeds->SetActiveFlags(u"0 URL 0");
  feeds->SetFeedList(u"one URL two");
  ASSERT_TRUE(world->WaitForPost());

  const Headline connecting = feeds->NextHeadline(Connecting);
  EXPECT_EQ(connecting.text, Connecting);
  EXPECT_EQ(connecting.link, u"");
  EXPECT_EQ(connecting.title, u"");
  EXPECT_EQ(connecting.feedTitle, u"");
  EXPECT_EQ(connecting.fetchTime, u"");
  std::lock_guard guard(world->mutex);
  EXPECT_THAT(world->opened, UnorderedElementsAre(u"one", u"two"));
  EXPECT_THAT(world->read, IsEmpty());
}

TEST_F(FeedsTest, AnEmptyFeedListPublishesNothingAtOnce) {
  auto feeds = Make();
  feeds->SetFeedList(u"");
  ASSERT_TRUE(world->WaitForPost());
  EXPECT_EQ(feeds->NextHeadline(Connecting).text, Connecting);
  std::lock_guard guard(world->mutex);
  EXPECT_THAT(world->opened, IsEmpty());
}

TEST_F(FeedsTest, AtMostFourFeedsAreInFlightAndTheNextStartsWhenOneEnds) {
  std::vector<std::shared_ptr<Event>> gates;
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    gates.push_back(AddGatedFeed(std::u16string(name, name + 1), {std::string(name) + "1\n"}));
  }
  auto feeds = Make();
  feeds->SetFeedList(u"a URL b URL c URL d URL e");
  ASSERT_TRUE(world->WaitUntil([&] { return world->opened.size() == 4; }));
  // Time enough for a fifth thread to get as far: nothing more is opened while four are held.
  std::this_thread::sleep_for(milliseconds(100));
  {
    std::lock_guard guard(world->mutex);
    EXPECT_THAT(world->opened, UnorderedElementsAre(u"a", u"b", u"c", u"d"));
  }
  gates[2]->Set();
  ASSERT_TRUE(world->WaitUntil([&] { return world->opened.size() == 5; }));
  for (const std::shared_ptr<Event>& gate : gates) gate->Set();
  ASSERT_TRUE(WaitForFirstPass(5));

  EXPECT_THAT(Take(*feeds, 5), ElementsAre(u"a1", u"b1", u"c1", u"d1", u"e1"));
  std::lock_guard guard(world->mutex);
  EXPECT_EQ(world->opened.back(), u"e");
  EXPECT_EQ(world->readersCreated, 4);
  EXPECT_EQ(world->foreignReads, 0);
}

TEST_F(FeedsTest, WhileNothingIsShownEachFeedIsPublishedAsItEndsInListOrder) {
  std::shared_ptr<Event> slow = AddGatedFeed(u"slow", {"s1\n"});
  AddFeed(u"fast", {"f1\nf2\n"});
  std::shared_ptr<Event> late = AddGatedFeed(u"late", {"l1\n"});
  auto feeds = Make();
  feeds->SetFeedList(u"slow URL fast URL late");

  ASSERT_TRUE(world->WaitForPosts(1));
  EXPECT_THAT(Take(*feeds, 2), ElementsAre(u"f1", u"f2"));
  late->Set();
  ASSERT_TRUE(world->WaitForPosts(2));
  EXPECT_THAT(Take(*feeds, 3), ElementsAre(u"f1", u"f2", u"l1"));
  slow->Set();
  ASSERT_TRUE(world->WaitForPosts(3));
  EXPECT_THAT(Take(*feeds, 4), ElementsAre(u"s1", u"f1", u"f2", u"l1"));
  ASSERT_TRUE(world->WaitForPosts(4));
  EXPECT_THAT(Take(*feeds, 4), ElementsAre(u"s1", u"f1", u"f2", u"l1"));
  DestroyOrDie(feeds);
  EXPECT_EQ(world->Posts(), 4);
}

TEST_F(FeedsTest, WhileHeadlinesAreShownAPassPublishesOnlyAtItsEnd) {
  std::shared_ptr<Event> gate = AddGatedFeed(u"gated", {"g1\n"});
  for (const char* name : {"b", "c", "d", "e"}) {
    AddFeed(std::u16string(name, name + 1), {std::string(name) + "1\n"});
  }
  auto feeds = Make(0);
  feeds->SetFeedList(u"gated URL b URL c URL d URL e");
  gate->Set();
  ASSERT_TRUE(WaitForFirstPass(5));

  // The second pass holds the gated feed. The fifth feed is taken by a thread that has finished
  // one of the others: by then a publication of that feed would have been posted.
  ASSERT_TRUE(world->WaitUntil([&] { return world->Opens(u"e") == 2; }));
  EXPECT_EQ(world->Posts(), 6);
  ReleaseGate(*feeds, *gate);
  ASSERT_TRUE(world->WaitForPosts(7));
  EXPECT_THAT(Take(*feeds, 5), ElementsAre(u"g1", u"b1", u"c1", u"d1", u"e1"));
  DestroyOrDie(feeds);
  EXPECT_EQ(world->Posts(), 7);
}

TEST_F(FeedsTest, AFailedFeedIsSkippedWithItsDiagnosticLineAndOthersAreRead) {
  FakeFeed refused;
  refused.failOpen = true;
  AddFeed(u"refused", refused);
  FakeFeed broken;
  broken.chunks = {"lost1\n", "lost2\n"};
  broken.failReadAt = 1;  // the bytes of the first read must be discarded
  AddFeed(u"broken", broken);
  AddFeed(u"empty", std::vector<std::string>{});
  FakeFeed loop;
  loop.redirect = u"http://loop/";
  AddFeed(u"http://loop/", loop);
  AddFeed(u"good", {"kept\n"});
  auto feeds = Make();
  feeds->SetFeedList(u"refused URL broken URL unknown URL empty URL http://loop/ URL good");
  ASSERT_TRUE(WaitForFirstPass(1));

  EXPECT_THAT(Take(*feeds, 2), ElementsAre(u"kept", u"kept"));
  std::lock_guard guard(world->mutex);
  EXPECT_THAT(world->narrow,
              UnorderedElementsAre("InternetConnectA failed\n", "InternetReadFile failed\n",
                                   "InternetConnectA failed\n", "Too many redirects\n"));
  EXPECT_THAT(world->read, UnorderedElementsAre(u"broken", u"empty", u"good"));
  EXPECT_THAT(world->wide, IsEmpty());
}

TEST_F(FeedsTest, AFeedNotReadByItsDeadlineIsSkippedAndThePassGoesOn) {
  FakeFeed stalledBody;
  stalledBody.chunks = {"partial\n"};
  stalledBody.blockAfterChunks = true;
  AddFeed(u"stalled-body", stalledBody);
  FakeFeed stalledHeaders;
  stalledHeaders.blockOpen = true;
  AddFeed(u"stalled-headers", stalledHeaders);
  AddFeed(u"good", {"kept\n"});
  FeedsPlatform platform = MakeFakePlatform(world);
  platform.documentDeadline = milliseconds(200);
  auto feeds = std::make_unique<Feeds>(std::move(platform));
  feeds->SetRefreshMs(OneHourMs);
  feeds->SetFeedList(u"stalled-body URL stalled-headers URL good");
  ASSERT_TRUE(WaitForFirstPass(1));

  EXPECT_THAT(Take(*feeds, 2), ElementsAre(u"kept", u"kept"));
  std::lock_guard guard(world->mutex);
  EXPECT_EQ(world->expiredReads, 1);
  EXPECT_EQ(world->expiredOpens, 1);
  EXPECT_THAT(world->narrow,
              UnorderedElementsAre("InternetReadFile failed\n", "InternetConnectA failed\n"));
}

TEST_F(FeedsTest, NoInternetSessionSkipsEveryFeedWithAWideDiagnosticLine) {
  AddFeed(u"one", {"first\n"});
  AddFeed(u"two", {"second\n"});
  world->failSessions = true;
  auto feeds = Make();
  feeds->SetFeedList(u"one URL two");
  ASSERT_TRUE(world->WaitForPost());

  EXPECT_EQ(feeds->NextHeadline(Connecting).text, Connecting);
  std::lock_guard guard(world->mutex);
  EXPECT_THAT(world->wide, ElementsAre(u"InternetOpenA failed\n", u"InternetOpenA failed\n"));
  EXPECT_THAT(world->opened, IsEmpty());
}

TEST_F(FeedsTest, NextHeadlineWalksThePublishedListCyclically) {
  AddFeed(u"one", {"x\ny\n"});
  auto feeds = Make();
  EXPECT_EQ(feeds->NextHeadline(Connecting).text, Connecting);  // nothing published yet
  feeds->SetFeedList(u"one");
  ASSERT_TRUE(world->WaitForPost());
  EXPECT_THAT(Take(*feeds, 5), ElementsAre(u"x", u"y", u"x", u"y", u"x"));
}

TEST_F(FeedsTest, ThePositionSurvivesAPublicationWhileItIsInRange) {
  std::shared_ptr<Event> gate = AddGatedFeed(u"one", {"o1\no2\no3\no4\no5\n"});
  auto feeds = Make(0);
  feeds->SetFeedList(u"one");
  gate->Set();
  ASSERT_TRUE(WaitForFirstPass(1));
  EXPECT_THAT(Take(*feeds, 3), ElementsAre(u"o1", u"o2", u"o3"));

  ChangeBody(u"one", {"n1\nn2\nn3\nn4\nn5\n"});
  gate->Set();
  ASSERT_TRUE(world->WaitForPosts(3));
  EXPECT_THAT(Take(*feeds, 3), ElementsAre(u"n4", u"n5", u"n1"));
  ReleaseGate(*feeds, *gate);
}

TEST_F(FeedsTest, APositionBeyondTheNewListStartsAgainAtItsBeginning) {
  std::shared_ptr<Event> gate = AddGatedFeed(u"one", {"1\n2\n3\n4\n5\n6\n7\n8\n"});
  auto feeds = Make(0);
  feeds->SetFeedList(u"one");
  gate->Set();
  ASSERT_TRUE(WaitForFirstPass(1));
  Take(*feeds, 7);  // the next position is 7

  ChangeBody(u"one", {"n1\nn2\nn3\nn4\nn5\n"});
  gate->Set();
  ASSERT_TRUE(world->WaitForPosts(3));
  EXPECT_THAT(Take(*feeds, 2), ElementsAre(u"n1", u"n2"));
  ReleaseGate(*feeds, *gate);
}

TEST_F(FeedsTest, APositionEqualToTheNewLengthStartsAgainAtTheBeginning) {
  std::shared_ptr<Event> gate = AddGatedFeed(u"one", {"1\n2\n3\n4\n5\n6\n7\n8\n"});
  auto feeds = Make(0);
  feeds->SetFeedList(u"one");
  gate->Set();
  ASSERT_TRUE(WaitForFirstPass(1));
  Take(*feeds, 5);  // the next position is 5, one past the end of the next list

  ChangeBody(u"one", {"n1\nn2\nn3\nn4\nn5\n"});
  gate->Set();
  ASSERT_TRUE(world->WaitForPosts(3));
  EXPECT_THAT(Take(*feeds, 2), ElementsAre(u"n1", u"n2"));
  ReleaseGate(*feeds, *gate);
}

TEST_F(FeedsTest, NewFlagsApplyFromTheNextPassWithoutANewWorker) {
  std::shared_ptr<Event> gate = AddGatedFeed(u"one", {"first\n"});
  AddFeed(u"two", {"second\n"});
  auto feeds = Make(0);
  feeds->SetActiveFlags(u"1 URL 0");
  feeds->SetFeedList(u"one URL two");
  gate->Set();
  ASSERT_TRUE(WaitForFirstPass(1));
  EXPECT_EQ(feeds->NextHeadline(Connecting).text, u"first");

  feeds->SetActiveFlags(u"0 URL 1");
  gate->Set();
  ASSERT_TRUE(world->WaitForPosts(3));
  EXPECT_THAT(Take(*feeds, 2), ElementsAre(u"second", u"second"));
  ReleaseGate(*feeds, *gate);
  // The worker keeps its reader from pass to pass; a lane's reader is made on its own thread.
  std::lock_guard guard(world->mutex);
  EXPECT_EQ(world->secondReaders, 0);
  EXPECT_EQ(world->foreignReads, 0);
}

TEST_F(FeedsTest, ZeroReloadPeriodRunsPassAfterPass) {
  AddFeed(u"one", {"first\n"});
  auto feeds = Make(0);
  feeds->SetFeedList(u"one");
  // Two posts in the first pass, one in each pass after it.
  ASSERT_TRUE(world->WaitForPosts(4));
  EXPECT_EQ(feeds->NextHeadline(Connecting).text, u"first");
}

TEST(FeedsPauseTest, TheReloadPeriodIsNeverShorterThanTheMinimumPause) {
  EXPECT_EQ(PauseAfterPass(0, milliseconds(1000)), milliseconds(1000));
  EXPECT_EQ(PauseAfterPass(999, milliseconds(1000)), milliseconds(1000));
  EXPECT_EQ(PauseAfterPass(1800000, milliseconds(1000)), milliseconds(1800000));
  EXPECT_EQ(PauseAfterPass(0xFFFFFFFFu, milliseconds(1000)), milliseconds(0xFFFFFFFFLL));
}

TEST_F(FeedsTest, ZeroReloadPeriodDoesNotTurnIntoABusyLoop) {
  // The default minimum pause is a second; an empty list makes passes that take no time at all.
  FeedsPlatform platform = MakeFakePlatform(world, milliseconds(1000));
  auto feeds = std::make_unique<Feeds>(std::move(platform));
  feeds->SetRefreshMs(0);
  feeds->SetFeedList(u"");
  ASSERT_TRUE(world->WaitForPost());
  // Fails only if the worker does not pause: a slow machine makes fewer passes, not more.
  EXPECT_FALSE(world->postedEvent.WaitFor(milliseconds(300)));
  EXPECT_EQ(world->Posts(), 1);
}

TEST_F(FeedsTest, ReplacingTheListDuringABlockedReadAbortsItAndStartsOver) {
  FakeFeed hanging;
  hanging.chunks = {"partial\n"};
  hanging.blockAfterChunks = true;
  AddFeed(u"hanging", hanging);
  AddFeed(u"quick", {"quick\n"});
  std::shared_ptr<Event> gate = AddGatedFeed(u"next", {"next\n"});
  auto feeds = Make();
  feeds->SetFeedList(u"hanging URL quick");
  ASSERT_TRUE(world->WaitUntil([&] { return world->blocked == 1 && world->posts == 1; }));
  EXPECT_EQ(feeds->NextHeadline(Connecting).text, u"quick");

  feeds->SetFeedList(u"next");
  // The stopped worker published its partial pass; the new list starts empty. The new worker is
  // held at the gate and cannot have posted.
  EXPECT_EQ(world->Posts(), 2);
  EXPECT_EQ(feeds->NextHeadline(Connecting).text, Connecting);
  gate->Set();
  ASSERT_TRUE(world->WaitForPosts(3));
  EXPECT_EQ(feeds->NextHeadline(Connecting).text, u"next");

  std::lock_guard guard(world->mutex);
  EXPECT_EQ(world->abortedReads, 1);
  EXPECT_EQ(world->timedOutReads, 0);
  ASSERT_EQ(world->opened.size(), 3u);
  EXPECT_THAT(std::vector(world->opened.begin(), world->opened.begin() + 2),
              UnorderedElementsAre(u"hanging", u"quick"));
  EXPECT_EQ(world->opened[2], u"next");
  // Two feeds: the worker and one lane; then one feed: the new worker alone.
  EXPECT_EQ(world->readersCreated, 3);
}

TEST_F(FeedsTest, DestructionAbortsABlockedReadAndPostsNothingAfterwards) {
  AddFeed(u"before", {"before\n"});
  FakeFeed hanging;
  hanging.blockAfterChunks = true;
  AddFeed(u"hanging", hanging);
  auto feeds = Make();
  feeds->SetFeedList(u"before URL hanging");
  ASSERT_TRUE(world->WaitUntil([&] { return world->blocked == 1 && world->posts == 1; }));

  DestroyOrDie(feeds);
  // The notifier went with Feeds, after the publication of the first feed and that of the
  // stopped pass.
  EXPECT_FALSE(world->notifierAlive.load());
  std::lock_guard guard(world->mutex);
  EXPECT_EQ(world->posts, 2);
  EXPECT_EQ(world->abortedReads, 1);
  EXPECT_EQ(world->timedOutReads, 0);
}

TEST_F(FeedsTest, DestructionAbortsAConnectionAttempt) {
  FakeFeed unanswered;
  unanswered.blockOpen = true;
  AddFeed(u"unanswered", unanswered);
  auto feeds = Make();
  feeds->SetFeedList(u"unanswered");
  ASSERT_TRUE(world->blockedEvent.WaitFor(std::chrono::seconds(20)));

  DestroyOrDie(feeds);
  std::lock_guard guard(world->mutex);
  EXPECT_EQ(world->abortedOpens, 1);
  EXPECT_EQ(world->timedOutOpens, 0);
  EXPECT_THAT(world->narrow, ElementsAre("InternetConnectA failed\n"));
  EXPECT_EQ(world->posts, 1);
}

TEST_F(FeedsTest, DestructionAbortsEveryReadAndConnectionAttemptInFlight) {
  FakeFeed hangingBody;
  hangingBody.blockAfterChunks = true;
  FakeFeed unanswered;
  unanswered.blockOpen = true;
  AddFeed(u"body1", hangingBody);
  AddFeed(u"open1", unanswered);
  AddFeed(u"body2", hangingBody);
  AddFeed(u"open2", unanswered);
  AddFeed(u"never", {"never\n"});
  auto feeds = Make();
  feeds->SetFeedList(u"body1 URL open1 URL body2 URL open2 URL never");
  ASSERT_TRUE(world->WaitUntil([&] { return world->blocked == 4; }));

  DestroyOrDie(feeds);
  std::lock_guard guard(world->mutex);
  EXPECT_EQ(world->abortedReads, 2);
  EXPECT_EQ(world->abortedOpens, 2);
  EXPECT_EQ(world->timedOutReads + world->timedOutOpens, 0);
  EXPECT_EQ(world->Opens(u"never"), 0);
  EXPECT_EQ(world->posts, 1);  // the stopped pass's (empty) publication
}

TEST_F(FeedsTest, DestructionEndsASleepAtOnceWithoutAnotherPublication) {
  AddFeed(u"one", {"first\n"});
  auto feeds = Make(OneHourMs);
  feeds->SetFeedList(u"one");
  ASSERT_TRUE(WaitForFirstPass(1));
  DestroyOrDie(feeds);
  EXPECT_EQ(world->Posts(), 2);
}

TEST_F(FeedsTest, DestroyingWithoutAWorkerDoesNothing) {
  auto feeds = Make();
  feeds.reset();
  EXPECT_EQ(world->Posts(), 0);
}

TEST_F(FeedsTest, BodiesUpToTheSizeLimitAreReadAndLargerOnesAbandoned) {
  FakeFeed atLimit;
  atLimit.generatedBytes = MaxFeedDocumentBytes;
  AddFeed(u"at-limit", atLimit);
  FakeFeed tooLarge;
  tooLarge.generatedBytes = MaxFeedDocumentBytes + 1;
  AddFeed(u"too-large", tooLarge);
  auto feeds = Make();
  feeds->SetFeedList(u"too-large URL at-limit");
  ASSERT_TRUE(WaitForFirstPass(1));

  EXPECT_THAT(Take(*feeds, 2), ElementsAre(u"bytes:33554432", u"bytes:33554432"));
  std::lock_guard guard(world->mutex);
  EXPECT_THAT(world->narrow, ElementsAre("Feed too large\n"));
}

TEST_F(FeedsTest, WithoutAParserPassesStillRunAndPublishNothing) {
  AddFeed(u"one", {"first\n"});
  auto feeds = std::make_unique<Feeds>(MakeFakePlatform(world, milliseconds(1), false));
  feeds->SetRefreshMs(OneHourMs);
  feeds->SetFeedList(u"one");
  ASSERT_TRUE(world->WaitForPost());
  EXPECT_EQ(feeds->NextHeadline(Connecting).text, Connecting);
  std::lock_guard guard(world->mutex);
  EXPECT_THAT(world->read, ElementsAre(u"one"));
}

}  // namespace
}  // namespace tidewire
