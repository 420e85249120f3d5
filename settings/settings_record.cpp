#include "settings/settings_record.h"

#include <algorithm>

#include "settings/language_defaults.h"

namespace tidewire {

SettingsRecord DefaultSettingsRecord() {
  SettingsRecord record;
  record.speech_feed_URLs = ProcessLanguageDefaults().DefaultFeedList();
  record.speech_feed_URLs_active = std::u16string(DefaultActiveFlags);
  return record;
}

std::u16string FeedListToStore(const char16_t* argument) {
  if (argument == nullptr || *argument == u'\0') return ProcessLanguageDefaults().DefaultFeedList();
  return argument;
}

std::u16string ActiveFlagsToStore(const char16_t* argument) {
  if (argument == nullptr || *argument == u'\0') return std::u16string(DefaultActiveFlags);
  return argument;
}

std::int32_t FeedRefreshMinutes(std::int32_t refreshMs) { return refreshMs / 60000; }

std::int32_t FeedRefreshMsFromMinutes(std::int32_t minutes) {
  return std::clamp(minutes, 0, MaxFeedRefreshMinutes) * 60000;
}

std::int32_t DelayBetweenFeedsSeconds(std::int32_t delayMs) { return delayMs / 1000; }

std::int32_t DelayBetweenFeedsMsFromSeconds(std::int32_t seconds) {
  return std::clamp(seconds, 0, MaxDelayBetweenFeedsSeconds) * 1000;
}

std::uint32_t ScrollTimerPeriodMs(std::int32_t speed) {
  const std::int64_t period = 4 * (10 - static_cast<std::int64_t>(speed));
  return static_cast<std::uint32_t>(
      std::clamp<std::int64_t>(period, 0, MaxScrollTimerPeriodMs));
}

int ScrollStepPixels(std::int32_t speed) { return speed >= 4 ? 2 : 1; }

}  // namespace tidewire
