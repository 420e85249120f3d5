#pragma once
// A small timing harness that builds natively and for Windows alike, so that the same
// benchmark runs on Linux and under Wine. Prints one line per case:
//   <name>  <best seconds per run>  <MB/s when a byte count is given>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

namespace tidewire::bench {

struct Result {
  double bestSeconds = 0;
  int runs = 0;
};

// Runs `body` repeatedly (at least `minRuns` times and for about `minSeconds`) and keeps the best
// time, which is the least disturbed by other load on the machine.
inline Result Measure(const std::function<void()>& body, int minRuns = 3, double minSeconds = 1.0) {
  using Clock = std::chrono::steady_clock;
  Result result;
  result.bestSeconds = 1e300;
  const auto start = Clock::now();
  while (result.runs < minRuns ||
         std::chrono::duration<double>(Clock::now() - start).count() < minSeconds) {
    const auto t0 = Clock::now();
    body();
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    result.bestSeconds = std::min(result.bestSeconds, s);
    ++result.runs;
    if (result.runs >= 1000) break;
  }
  return result;
}

inline void Report(const std::string& name, const Result& r, std::size_t bytes = 0) {
  if (bytes > 0) {
    std::printf("%-48s %10.6f s  %9.2f MB/s  (%d runs)\n", name.c_str(), r.bestSeconds,
                bytes / 1e6 / r.bestSeconds, r.runs);
  } else {
    std::printf("%-48s %10.6f s  (%d runs)\n", name.c_str(), r.bestSeconds, r.runs);
  }
  std::fflush(stdout);
}

}  // namespace tidewire::bench
