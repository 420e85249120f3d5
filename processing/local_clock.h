#pragma once
// The local wall-clock time that stamps the headlines of a document ("hh:mm").

#include <functional>
#include <string>

namespace tidewire {

struct ClockTime {
  int hour = 0;
  int minute = 0;
};

// Where the reader takes the time from; tests give a fixed one.
using LocalClock = std::function<ClockTime()>;

// The local time now.
ClockTime SystemLocalTime();

// "%.2d:%.2d" of the hour and minute.
std::u16string FormatFetchTime(ClockTime time);

}  // namespace tidewire
