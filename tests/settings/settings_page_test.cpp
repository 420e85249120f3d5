#include "settings/settings_page.h"

#include <gtest/gtest.h>

#include <limits>

#include "settings/feed_list.h"
#include "settings/language_defaults.h"
#include "settings/news_sources.h"

namespace tidewire {
namespace {

std::u16string FirstDefaultAfter(const char16_t* code) {
  LanguageDefaults defaults = EnglishLanguageDefaults();
  ApplyLanguage(defaults, code);
  return SplitFeedList(defaults.DefaultFeedList).at(0);
}

TEST(KnownFeedTitles, NamesEveryDefaultFeedAndEveryRegionalEditionTheRewritesProduce) {
  const KnownFeedTitles titles;
  EXPECT_EQ(titles.Size(), 36u);
  for (const DefaultFeed& feed : EnglishDefaultFeeds) {
    EXPECT_EQ(titles.TitleOf(feed.address), feed.title);
  }
  EXPECT_EQ(titles.TitleOf(CnnEntertainmentFeed.address), u"CNN Entertainment News");
  // The language rows whose rewrite of the first entry is one of the provider's known editions.
  for (const char16_t* code :
       {u"es",    u"fr",    u"it",    u"ru",    u"no",    u"nl",    u"pt",    u"fi",    u"sv",
        u"da",    u"en-AU", u"en-IE", u"en-NZ", u"en-UK", u"en-IN", u"de-CH", u"fr-CA", u"fr-CH",
        u"it-CH", u"es-MX", u"pt-BR", u"zh-CN", u"zh-TW", u"zh-HK", u"pl",    u"xx"}) {
    const std::u16string address = FirstDefaultAfter(code);
    EXPECT_EQ(titles.TitleOf(address), u"Google News")
        << std::string(address.begin(), address.end());
  }
  // Compared exactly.
  EXPECT_EQ(titles.TitleOf(std::u16string(EnglishDefaultFeeds[0].address) + u" "), u"");
  EXPECT_EQ(titles.TitleOf(u"HTTP://RSS.CNN.COM/rss/cnn_topstories.rss"), u"");
}

TEST(FeedRows, ShowTitlesOrAddressesAndTheFlagsByPosition) {
  const KnownFeedTitles titles;
  const std::u16string regional = FirstDefaultAfter(u"fr-CH");
  const auto rows =
      FeedRows(regional + u" URL http://a.test/x URL http://b.test/y URL ", u"0 URL 1 ", titles);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (FeedRow{regional, u"Google News", false}));
  // A flag other than exactly "1" is clear; a missing flag is active, as the worker reads it.
  EXPECT_EQ(rows[1], (FeedRow{u"http://a.test/x", u"http://a.test/x", false}));
  EXPECT_EQ(rows[2], (FeedRow{u"http://b.test/y", u"http://b.test/y", true}));
}

TEST(CheckFeedToAdd, CountsTheTrimmedText) {
  EXPECT_EQ(CheckFeedToAdd(u"\t\r\n ").refusal, EmptyFeedMessage);
  EXPECT_EQ(CheckFeedToAdd(u"a.").refusal, InvalidFeedMessage);
  EXPECT_EQ(CheckFeedToAdd(u"  .b  ").refusal, InvalidFeedMessage);
  EXPECT_EQ(CheckFeedToAdd(u"\u00a0a.b\u3000").address, u"a.b");
}

TEST(CheckFeedToAdd, RefusesAnAddressTheFeedListWouldSplit) {
  EXPECT_EQ(CheckFeedToAdd(u"a.b URL c.d").refusal, InvalidFeedMessage);
  EXPECT_EQ(CheckFeedToAdd(u"a.b URL").refusal, InvalidFeedMessage);
  EXPECT_EQ(CheckFeedToAdd(u"http://a.test/?q=URL x").address, u"http://a.test/?q=URL x");
  EXPECT_EQ(CheckFeedToAdd(u"URL a.b").address, u"URL a.b");
}

TEST(NumberFields, ReadSignedDecimalsAndSaturateBeyond32Bits) {
  EXPECT_EQ(ReadNumberField(u""), 0);
  EXPECT_EQ(ReadNumberField(u"abc"), 0);
  EXPECT_EQ(ReadNumberField(u"-"), 0);
  EXPECT_EQ(ReadNumberField(u"  42"), 42);
  EXPECT_EQ(ReadNumberField(u"17min"), 17);
  EXPECT_EQ(ReadNumberField(u"-8"), -8);
  EXPECT_EQ(ReadNumberField(u"2147483647"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ReadNumberField(u"2147483648"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ReadNumberField(u"99999999999999999999999"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ReadNumberField(u"-99999999999"), std::numeric_limits<std::int32_t>::min());

  EXPECT_EQ(NumberFieldText(2147483647), u"2147483647");
  EXPECT_EQ(NumberFieldText(0), u"0");
  EXPECT_EQ(NumberFieldText(-1), u"0");
}

}  // namespace
}  // namespace tidewire
