// first_line_win: how long the band says "Connecting..." at a start. A ticker engine with its
// real download worker (as the control has it) reads FEEDS, the feed list as the control keeps
// it; prints the seconds from the start of the downloads to the first headline on the band, at
// most 120 (run under Wine).
//
//   first_line_win FEEDS

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "control/feeds_headline_source_win.h"
#include "control/ticker_engine_win.h"
#include "settings/language_defaults.h"

#include "message_pump_win.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: first_line_win FEEDS\n");
    return 2;
  }
  const std::string feeds(argv[1]);
  tidewire::TickerEngine engine(tidewire::CreateFeedsHeadlineSource);
  engine.Settings().speech_feed_URLs = std::u16string(feeds.begin(), feeds.end());
  engine.Settings().speech_feed_URLs_active = u"1 URL 1 URL 1 URL 1 URL 1 URL 1 URL 1 URL 1";
  const auto start = std::chrono::steady_clock::now();
  engine.ApplySettings();
  const std::u16string connecting(tidewire::ProcessLanguageDefaults().ConnectingMessage());
  const bool shown = tidewire::testing_support::PumpUntil(
      [&] { return engine.State().CurrentHeadline().text != connecting; },
      std::chrono::seconds(120));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (shown) {
    const std::u16string& line = engine.State().CurrentHeadline().text;
    std::printf("first headline after %.2f s: %s\n", seconds,
                std::string(line.begin(), line.begin() + std::min<std::size_t>(line.size(), 40))
                    .c_str());
  } else {
    std::printf("no headline within %.0f s\n", seconds);
  }
  return 0;
}
