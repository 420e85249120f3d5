#include "settings/feed_list.h"

#include <gtest/gtest.h>

namespace tidewire {
namespace {

using Entries = std::vector<std::u16string>;

TEST(SplitFeedList, ReadsEntriesWithOrWithoutTrailingSeparator) {
  EXPECT_EQ(SplitFeedList(u""), Entries{});
  EXPECT_EQ(SplitFeedList(u"a"), Entries{u"a"});
  EXPECT_EQ(SplitFeedList(u"a URL b"), (Entries{u"a", u"b"}));
  EXPECT_EQ(SplitFeedList(u"a URL b URL "), (Entries{u"a", u"b"}));
  EXPECT_EQ(SplitFeedList(u"x y URL  z "), (Entries{u"x y", u" z "})) << "entries are not trimmed";
}

TEST(SplitFeedList, SeparatorAtTheStartOfTheRestIsTakenWhole) {
  EXPECT_EQ(SplitFeedList(u" URL a URL b"), Entries{u" URL a URL b"});
  // Two separators in a row: the rest from the second one on is one entry.
  EXPECT_EQ(SplitFeedList(u"a URL  URL b URL c"), (Entries{u"a", u" URL b URL c"}));
  EXPECT_EQ(SplitFeedList(u" URL "), Entries{u" URL "});
}

TEST(SplitFeedList, SeparatorIsMatchedExactly) {
  EXPECT_EQ(SplitFeedList(u"a url b"), Entries{u"a url b"});
  EXPECT_EQ(SplitFeedList(u"aURLb"), Entries{u"aURLb"});
  EXPECT_EQ(SplitFeedList(u"a  URL  b"), (Entries{u"a ", u" b"}));
}

TEST(JoinFeedList, EveryEntryIsFollowedBySeparatorAndSplitsBack) {
  EXPECT_EQ(JoinFeedList({}), u"");
  EXPECT_EQ(JoinFeedList({u"1", u"0"}), u"1 URL 0 URL ");
  const Entries feeds{u"http://a/x", u"http://b/y?q=1 2"};
  EXPECT_EQ(SplitFeedList(JoinFeedList(feeds)), feeds);
}

TEST(IsFeedActive, MissingFlagsAreActiveAndOnlyExactOneCounts) {
  const std::u16string flags = u"0 URL 1";
  EXPECT_FALSE(IsFeedActive(flags, 0));
  EXPECT_TRUE(IsFeedActive(flags, 1));
  EXPECT_TRUE(IsFeedActive(flags, 2)) << "a feed without a flag is active";
  EXPECT_TRUE(IsFeedActive(u"", 0));
  EXPECT_FALSE(IsFeedActive(u"1  URL 1", 0)) << "\"1 \" is not \"1\"";
  EXPECT_FALSE(IsFeedActive(u" 1 URL 1", 0));
  EXPECT_FALSE(IsFeedActive(u"yes URL 1", 0));
  EXPECT_FALSE(IsFeedActive(u"1 URL 2", 1));
}

}  // namespace
}  // namespace tidewire
