#include "settings/settings_record.h"

#include <gtest/gtest.h>

#include <climits>

#include "settings/feed_list.h"
#include "settings/language_defaults.h"
#include "settings/news_sources.h"

namespace tidewire {
namespace {

TEST(SettingsRecord, DefaultsHoldTheEnglishListAndNineFlags) {
  const SettingsRecord record = DefaultSettingsRecord();
  EXPECT_EQ(record.speech_feed_URLs, ProcessLanguageDefaults().DefaultFeedList());
  EXPECT_EQ(record.speech_feed_URLs_active, u"1 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0");
  EXPECT_EQ(record.feed_refresh_rate, 1800000);
  EXPECT_EQ(record.delay_between_feeds, 0);
  EXPECT_EQ(record.speech_speed, 0);
  EXPECT_EQ(SplitFeedList(record.speech_feed_URLs).size(),
            SplitFeedList(record.speech_feed_URLs_active).size());
}

TEST(SettingsRecord, EmptyOrNullStringsStoreTheDefaults) {
  EXPECT_EQ(FeedListToStore(nullptr), ProcessLanguageDefaults().DefaultFeedList());
  EXPECT_EQ(FeedListToStore(u""), ProcessLanguageDefaults().DefaultFeedList());
  EXPECT_EQ(FeedListToStore(u" "), u" ") << "anything else is stored unchanged";
  EXPECT_EQ(ActiveFlagsToStore(u""), DefaultActiveFlags);
  EXPECT_EQ(ActiveFlagsToStore(nullptr), DefaultActiveFlags);
  EXPECT_EQ(ActiveFlagsToStore(u"0 URL 1"), u"0 URL 1");
}

TEST(SettingsConversions, MinutesAndSecondsTruncateTowardZero) {
  EXPECT_EQ(FeedRefreshMsFromMinutes(5), 300000);
  EXPECT_EQ(FeedRefreshMinutes(300000), 5);
  EXPECT_EQ(FeedRefreshMinutes(89999), 1);
  EXPECT_EQ(FeedRefreshMinutes(59999), 0);
  EXPECT_EQ(DelayBetweenFeedsMsFromSeconds(3), 3000);
  EXPECT_EQ(DelayBetweenFeedsSeconds(2500), 2);
  EXPECT_EQ(DelayBetweenFeedsSeconds(999), 0);
}

TEST(SettingsConversions, OutOfRangeValuesNeverOverflowOrTurnNegative) {
  EXPECT_EQ(FeedRefreshMsFromMinutes(35791), 35791 * 60000);
  EXPECT_EQ(FeedRefreshMsFromMinutes(35792), 35791 * 60000);
  EXPECT_EQ(FeedRefreshMsFromMinutes(INT_MAX), 35791 * 60000);
  EXPECT_EQ(FeedRefreshMsFromMinutes(-1), 0);
  EXPECT_EQ(FeedRefreshMsFromMinutes(INT_MIN), 0);
  EXPECT_EQ(DelayBetweenFeedsMsFromSeconds(2147483), 2147483000);
  EXPECT_EQ(DelayBetweenFeedsMsFromSeconds(2147484), 2147483000);
  EXPECT_EQ(DelayBetweenFeedsMsFromSeconds(-7), 0);
  EXPECT_EQ(DelayBetweenFeedsMsFromSeconds(INT_MIN), 0);
}

TEST(SettingsConversions, TimerPeriodAndStepFollowTheSpeed) {
  EXPECT_EQ(ScrollTimerPeriodMs(-10), 80u);
  EXPECT_EQ(ScrollTimerPeriodMs(0), 40u);
  EXPECT_EQ(ScrollTimerPeriodMs(3), 28u);
  EXPECT_EQ(ScrollTimerPeriodMs(4), 24u);
  EXPECT_EQ(ScrollTimerPeriodMs(10), 0u);
  EXPECT_EQ(ScrollTimerPeriodMs(11), 0u) << "a negative period counts as 0";
  EXPECT_EQ(ScrollTimerPeriodMs(INT_MAX), 0u);
  EXPECT_EQ(ScrollTimerPeriodMs(-100), 440u);
  EXPECT_EQ(ScrollTimerPeriodMs(INT_MIN), MaxScrollTimerPeriodMs);
  EXPECT_EQ(ScrollStepPixels(3), 1);
  EXPECT_EQ(ScrollStepPixels(4), 2);
  EXPECT_EQ(ScrollStepPixels(-10), 1);
  EXPECT_EQ(ScrollStepPixels(10), 2);
}

}  // namespace
}  // namespace tidewire
