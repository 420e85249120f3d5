// idle_cpu_win: what one ticker engine costs while it only scrolls, and how long its teardown
// takes.
//
//   idle_cpu_win [SECONDS]       an engine whose feeds download nothing scrolls for SECONDS
//                                (default 60); prints the process CPU time of that window and
//                                the ticks seen, then the time the engine's destruction took
//   idle_cpu_win --scroll SPEED SECONDS
//                                an engine scrolls one long line at SPEED for SECONDS and
//                                draws every frame it asks for into a band 1,920 pixels wide, as
//                                a container would; prints the process CPU time of that window
//   idle_cpu_win --endless URL   an engine reads URL, a body that never ends, for 3 s; prints
//                                the time from the start of the destruction to its return.
//                                URL is the test server's .../endless: its request log (same
//                                path with /log) shows whether the read was still going on
//                                when the destruction began (no CUT entry yet) or had already
//                                been abandoned at the size bound.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "control/ticker_drawing_win.h"
#include "control/feeds_headline_source_win.h"
#include "control/ticker_engine_win.h"
#include "retrieval/feed_fetch.h"
#include "retrieval/wininet_client_win.h"
#include "win/handles.h"

#include "fake_headline_source.h"
#include "message_pump_win.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 1e7;  // 100 ns units
}

struct CpuTimes {
  double user = 0;
  double kernel = 0;
};

CpuTimes ProcessCpu() {
  FILETIME creation, exit, kernel, user;
  CpuTimes times;
  if (::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user)) {
    times.user = Seconds(user);
    times.kernel = Seconds(kernel);
  }
  return times;
}

struct PumpCounts {
  long timerMessages = 0;  // WM_TIMER messages of the engine's window: scroll ticks
  long otherMessages = 0;
};

// Dispatches the thread's messages until `duration` has passed.
PumpCounts PumpFor(HWND engineWindow, Clock::duration duration) {
  PumpCounts counts;
  tidewire::testing_support::PumpFor(
      std::chrono::duration_cast<std::chrono::milliseconds>(duration), [&](const MSG& message) {
        if (message.message == WM_TIMER && message.hwnd == engineWindow) {
          ++counts.timerMessages;
        } else {
          ++counts.otherMessages;
        }
      });
  return counts;
}

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// What one engine cost while its thread handled messages for `seconds`.
struct Window {
  PumpCounts counts;
  double wall = 0;
  double user = 0;
  double kernel = 0;
};

Window Measure(const tidewire::TickerEngine& engine, double seconds) {
  const CpuTimes before = ProcessCpu();
  const auto start = Clock::now();
  Window window;
  window.counts =
      PumpFor(engine.MessageWindowHandle(),
              std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
  window.wall = std::chrono::duration<double>(Clock::now() - start).count();
  const CpuTimes after = ProcessCpu();
  window.user = after.user - before.user;
  window.kernel = after.kernel - before.kernel;
  return window;
}

std::unique_ptr<tidewire::TickerEngine> MakeEngine(long& redraws) {
  return std::make_unique<tidewire::TickerEngine>(tidewire::CreateFeedsHeadlineSource,
                                                     [&redraws] { ++redraws; });
}

int MeasureIdle(double seconds) {
  long redraws = 0;
  auto engine = MakeEngine(redraws);
  // One inactive feed on a loopback port where nothing listens: the worker's pass finds the
  // address closed and reads nothing, then sleeps out the reload period.
  engine->Settings().speech_feed_URLs = u"http://127.0.0.1:1/idle.xml";
  engine->Settings().speech_feed_URLs_active = u"0";
  engine->ApplySettings();

  const Window window = Measure(*engine, seconds);
  const PumpCounts& counts = window.counts;
  const double wall = window.wall;
  const double user = window.user;
  const double kernel = window.kernel;
  const double cpu = user + kernel;
  std::printf("idle window: %.3f s wall\n", wall);
  std::printf("process CPU: %.3f s (user %.3f s, kernel %.3f s) = %.3f %% of one core\n", cpu, user,
              kernel, 100.0 * cpu / wall);
  std::printf(
      "scroll ticks seen: %ld (%.1f per second), redraw requests: %ld, other messages: "
      "%ld\n",
      counts.timerMessages, counts.timerMessages / wall, redraws, counts.otherMessages);

  const auto destroyStart = Clock::now();
  engine.reset();
  std::printf("destruction: %.3f ms\n", MillisecondsSince(destroyStart));
  return 0;
}

int MeasureScrolling(int speed, double seconds) {
  // A band as wide as a screen, drawn into like a container's window would be.
  constexpr int width = 1920;
  const tidewire::UniqueCreatedDc screen(::CreateCompatibleDC(nullptr));
  const tidewire::UniqueGdiObject<HBITMAP> surface(
      ::CreateCompatibleBitmap(tidewire::WindowDc(nullptr).Get(), width, 16));
  const tidewire::ScopedSelectObject selected(screen.Get(), surface.Get());

  std::u16string text;
  while (text.size() < 400) text += u"Harbour reopens after a week of dredging. ";
  long frames = 0;
  std::unique_ptr<tidewire::TickerEngine> engine;
  engine = std::make_unique<tidewire::TickerEngine>(
      [&text](HWND) {
        return std::make_unique<tidewire::FakeHeadlineSource>(
            std::vector<tidewire::Headline>{tidewire::LineWithText(text)});
      },
      [&] {
        ++frames;
        tidewire::DrawTicker(*engine, screen.Get(), {0, 0, width, 16});
      });
  engine->Settings().speech_speed = speed;
  engine->RestartScrollTimer();

  const Window window = Measure(*engine, seconds);
  const double cpu = window.user + window.kernel;
  std::printf("speed %d, %.3f s wall: process CPU %.3f s = %.2f %% of one core; %ld ticks, "
              "%ld frames drawn (%.1f per second)\n",
              speed, window.wall, cpu, 100.0 * cpu / window.wall, window.counts.timerMessages,
              frames, frames / window.wall);
  engine.reset();
  return 0;
}

// The test server's request log for the endless address, fetched on the side.
void PrintServerLog(const std::string& url) {
  const std::string suffix = "/endless";
  if (url.size() < suffix.size() ||
      url.compare(url.size() - suffix.size(), suffix.size(), suffix)) {
    return;
  }
  const std::string logUrl = url.substr(0, url.size() - suffix.size()) + "/log";
  tidewire::WinInetClient client;
  const tidewire::FeedFetchResult log =
      tidewire::FetchFeedDocument(client, std::u16string(logUrl.begin(), logUrl.end()));
  std::printf(
      "server log before the destruction:\n%s",
      log.status == tidewire::FeedFetchStatus::Complete ? log.document.c_str() : "(unavailable)\n");
}

int MeasureEndless(const std::string& url) {
  long redraws = 0;
  auto engine = MakeEngine(redraws);
  engine->Settings().speech_feed_URLs = std::u16string(url.begin(), url.end());
  engine->Settings().speech_feed_URLs_active = u"1";
  engine->ApplySettings();

  const CpuTimes before = ProcessCpu();
  PumpFor(engine->MessageWindowHandle(), std::chrono::seconds(3));
  const CpuTimes after = ProcessCpu();
  std::printf("reading %s for 3 s: process CPU %.3f s\n", url.c_str(),
              (after.user - before.user) + (after.kernel - before.kernel));
  PrintServerLog(url);

  const auto destroyStart = Clock::now();
  engine.reset();
  std::printf("destruction: %.3f ms\n", MillisecondsSince(destroyStart));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--endless") return MeasureEndless(argv[2]);
  if (argc == 4 && std::string(argv[1]) == "--scroll") {
    return MeasureScrolling(std::atoi(argv[2]), std::atof(argv[3]));
  }
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::fprintf(stderr,
                 "usage: idle_cpu_win [SECONDS]\n       idle_cpu_win --scroll SPEED SECONDS\n"
                 "       idle_cpu_win --endless URL\n");
    return 2;
  }
  const double seconds = argc == 2 ? std::atof(argv[1]) : 60.0;
  if (seconds <= 0) {
    std::fprintf(stderr, "idle_cpu_win: SECONDS must be a positive number\n");
    return 2;
  }
  return MeasureIdle(seconds);
}
