#pragma once
// The persisted settings of one control, and the unit conversions of its automation properties.

#include <cstdint>
#include <string>
#include <string_view>

namespace tidewire {

inline constexpr std::u16string_view DefaultActiveFlags =
    u"1 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0";

inline constexpr std::int32_t DefaultFeedRefreshRateMs = 1800000;
inline constexpr std::int32_t DefaultDelayBetweenFeedsMs = 0;
inline constexpr std::int32_t DefaultSpeechSpeed = 0;

// Field names are the stored property names.
struct SettingsRecord {
  std::u16string speech_feed_URLs;
  std::u16string speech_feed_URLs_active;
  std::int32_t feed_refresh_rate = DefaultFeedRefreshRateMs;      // milliseconds
  std::int32_t delay_between_feeds = DefaultDelayBetweenFeedsMs;  // milliseconds
  std::int32_t speech_speed = DefaultSpeechSpeed;                 // -10 (slow) .. 10 (fast)

  bool operator==(const SettingsRecord&) const = default;
};

// A record holding every default, with the process's current default feed list.
SettingsRecord DefaultSettingsRecord();

// What a string setter stores: the default for a null or empty argument, else the argument.
std::u16string FeedListToStore(const char16_t* argument);
std::u16string ActiveFlagsToStore(const char16_t* argument);

// The reload period is edited in minutes. Minutes are kept within 0..35791 so that the
// millisecond field never overflows or turns negative.
inline constexpr std::int32_t MaxFeedRefreshMinutes = 35791;
std::int32_t FeedRefreshMinutes(std::int32_t refreshMs);
std::int32_t FeedRefreshMsFromMinutes(std::int32_t minutes);

// The delay between lines is edited in seconds, kept within 0..2147483.
inline constexpr std::int32_t MaxDelayBetweenFeedsSeconds = 2147483;
std::int32_t DelayBetweenFeedsSeconds(std::int32_t delayMs);
std::int32_t DelayBetweenFeedsMsFromSeconds(std::int32_t seconds);

// The scroll timer's period for a speed: 4 x (10 - speed) milliseconds, 0 for speeds above 10
// (the platform then uses its minimum), at most the largest period the platform timer takes.
inline constexpr std::uint32_t MaxScrollTimerPeriodMs = 0x7FFFFFFF;
std::uint32_t ScrollTimerPeriodMs(std::int32_t speed);

// Pixels the line moves per tick: 2 from speed 4 up, else 1.
int ScrollStepPixels(std::int32_t speed);

}  // namespace tidewire
