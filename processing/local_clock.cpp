#include "processing/local_clock.h"

#include <cstdio>
#include <ctime>

namespace tidewire {

ClockTime SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return {local.tm_hour, local.tm_min};
}

std::u16string FormatFetchTime(ClockTime time) {
  char buffer[32];
  const int length = std::snprintf(buffer, sizeof buffer, "%.2d:%.2d", time.hour, time.minute);
  return std::u16string(buffer, buffer + (length > 0 ? length : 0));
}

}  // namespace tidewire
