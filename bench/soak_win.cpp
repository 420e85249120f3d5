// soak_win: runs TidewireApp for a long time against a misbehaving feed server and watches it.
//
//   soak_win APP BASE MINUTES
//
// APP is TidewireApp.exe (a Windows path), BASE the address of the feed server with a log token
// of its own (http://127.0.0.1:PORT/t/soak, tests/support/feed_server.py). The control's stored
// settings make the band read a list of feeds that change, are large, reset, answer with error
// statuses, garbage, slow, cut or empty bodies, or redirect in a loop; one of them is switched at
// times to stall its body, to stall its headers, or to drip its body for longer than the
// deadline. The reload period is 0 (a pass about every second after the worker's floor), speed
// 10, no delay between lines. Every 20 s the program prints the host's memory and thread count,
// the passes so far and whether the band moves; at the end it closes the host while a feed
// stalls, and prints the time the host took to end and a verdict. Exit code 0 when the verdict
// holds.

#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "host/host_settings_win.h"
#include "retrieval/feed_fetch.h"
#include "retrieval/wininet_client_win.h"
#include "settings/memory_byte_stream.h"
#include "settings/settings_location.h"
#include "settings/settings_stream.h"
#include "win/handles.h"

#include "host_process_win.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using tidewire::testing_support::CaptureScreen;
using tidewire::testing_support::HostProcess;

constexpr auto SampleEvery = 20s;
// Every so often the switched feed misbehaves for one request, in turn in each of these ways.
constexpr auto SwitchEvery = 180s;
constexpr const char* SwitchModes[] = {"stall", "hang", "drip"};
constexpr auto ExitLimit = 5s;

// The feeds of every pass, below BASE; the first one counts the passes.
constexpr const char* SoakFeeds[] = {
    "/changing/one.xml",           // lines that change from pass to pass
    "/feeds/two.xml?pad=3000000",  // a large document
    "/reset/three.xml?after=200",  // the connection reset mid-body
    "/status/500/one.xml",         // error statuses with readable bodies
    "/status/404/two.xml",
    "/garbage?bytes=20000",               // random bytes
    "/slow/three.xml?parts=5&delay=200",  // a slow body
    "/cut/one.xml?after=300",             // a truncated document
    "/empty",                             // an empty body
    "/loop/a/b",                          // a redirect loop
    "/redirect/302/feeds/three.xml",      // an ordinary redirection
    "/switched/s/two.xml",                // at times stalled, silent or dripping
};
constexpr const char* PassFeed = "/changing/one.xml";
constexpr const char* SwitchedFeed = "/switched/s/two.xml";

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// One small text answer of the feed server; empty when there is none.
std::string Ask(const std::string& url) {
  tidewire::WinInetClient client;
  const tidewire::FeedFetchResult result =
      tidewire::FetchFeedDocument(client, std::u16string(url.begin(), url.end()), 10s);
  return result.status == tidewire::FeedFetchStatus::Complete ? result.document : std::string();
}

long Requests(const std::string& base, const char* path) {
  std::string feed = path;
  feed = feed.substr(0, feed.find('?'));
  return std::atol(Ask(base + "/count" + feed).c_str());
}

bool StoreSettings(const std::string& base) {
  tidewire::SettingsRecord record;
  std::u16string feeds;
  std::u16string flags;
  for (const char* feed : SoakFeeds) {
    const std::string url = base + feed;
    if (!feeds.empty()) {
      feeds += u" URL ";
      flags += u" URL ";
    }
    feeds += std::u16string(url.begin(), url.end());
    flags += u"1";
  }
  record.speech_feed_URLs = feeds;
  record.speech_feed_URLs_active = flags;
  record.feed_refresh_rate = 0;
  record.delay_between_feeds = 0;
  record.speech_speed = 10;
  tidewire::MemoryByteStream stream;
  // The band across the top of the screen, on top.
  tidewire::ClientSettings client;
  client.placement = RECT{40, 40, 640, 56};
  tidewire::UniqueRegKey key;
  return tidewire::SaveSettingsStream(record, stream) == 0 &&
         ::RegCreateKeyW(HKEY_CURRENT_USER, tidewire::SettingsKeyPath, key.Put()) == ERROR_SUCCESS &&
         ::RegSetValueExW(key.Get(), tidewire::ControlSettingsValue, 0, REG_BINARY, stream.Bytes().data(),
                          static_cast<DWORD>(stream.Bytes().size())) == ERROR_SUCCESS &&
         ::RegSetValueExW(key.Get(), tidewire::ClientSettingsValue, 0, REG_BINARY,
                          reinterpret_cast<const BYTE*>(&client), sizeof client) == ERROR_SUCCESS;
}

struct Sample {
  double minutes = 0;
  long passes = 0;
  double workingSetMb = 0;
  double privateMb = 0;
  long threads = 0;
  bool moving = false;
};

long ThreadCount(DWORD processId) {
  const tidewire::UniqueKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == processId) return static_cast<long>(entry.cntThreads);
  }
  return 0;
}

// Whether two pictures of the band a moment apart differ.
bool BandMoves(HWND window) {
  RECT band{};
  ::GetWindowRect(window, &band);
  const auto first = CaptureScreen(band);
  std::this_thread::sleep_for(300ms);
  return !(first == CaptureScreen(band));
}

Sample Take(HostProcess& app, HWND window, const std::string& base, Clock::time_point start) {
  Sample sample;
  sample.minutes = std::chrono::duration<double, std::ratio<60>>(Clock::now() - start).count();
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (::GetProcessMemoryInfo(app.Process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory)) {
    sample.workingSetMb = memory.WorkingSetSize / 1048576.0;
    // The commit charge: the process's private bytes (Wine leaves PrivateUsage 0).
    sample.privateMb = memory.PagefileUsage / 1048576.0;
  }
  sample.threads = ThreadCount(::GetProcessId(app.Process()));
  sample.passes = Requests(base, PassFeed);
  sample.moving = BandMoves(window);
  std::printf("%3d:%02d %7ld %10.1f MB %9.1f MB %8ld  %s\n", static_cast<int>(sample.minutes),
              static_cast<int>(sample.minutes * 60) % 60, sample.passes, sample.workingSetMb,
              sample.privateMb, sample.threads, sample.moving ? "moving" : "STILL");
  std::fflush(stdout);
  return sample;
}

// The switched feed misbehaves for the next request only.
class Switch {
 public:
  explicit Switch(std::string base) : base_(std::move(base)) {}

  void Misbehave(const char* mode) {
    Ask(base_ + "/switch/s/" + mode);
    requestsBefore_ = Requests(base_, SwitchedFeed);
    armed_ = true;
  }
  // Once the request has come, the feed behaves again. True when it has come.
  bool Check() {
    if (armed_ && Requests(base_, SwitchedFeed) > requestsBefore_) {
      Ask(base_ + "/switch/s/serve");
      armed_ = false;
      return true;
    }
    return !armed_;
  }

 private:
  std::string base_;
  long requestsBefore_ = 0;
  bool armed_ = false;
};

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: soak_win APP BASE MINUTES\n");
    return 2;
  }
  const std::string base = argv[2];
  const double minutes = std::atof(argv[3]);
  const auto duration = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double, std::ratio<60>>(minutes));
  // Memory settles once the caches, the heap and the thread pool have grown to their working
  // size; the comparison starts after that.
  const auto warmUp = std::max<Clock::duration>(2min, duration / 6);
  if (!StoreSettings(base)) {
    std::fprintf(stderr, "soak_win: cannot store the settings\n");
    return 1;
  }
  HostProcess app(Wide(argv[1]));
  const HWND window = app.Started() ? app.WaitForWindow() : nullptr;
  if (window == nullptr) {
    std::fprintf(stderr, "soak_win: the host did not start\n");
    return 1;
  }
  std::printf("soak: %s for %.0f min against %zu feeds, reload period 0, speed 10, no delay\n",
              argv[1], minutes, std::size(SoakFeeds));
  std::printf("  time  passes  working set   private   threads  band\n");

  const auto start = Clock::now();
  std::vector<Sample> samples;
  Switch misbehaving(base);
  int switches = 0;
  auto nextSample = start;
  auto nextSwitch = start + SwitchEvery / 2;
  bool hostAlive = true;
  while (Clock::now() < start + duration) {
    if (::WaitForSingleObject(app.Process(), 0) == WAIT_OBJECT_0) {
      hostAlive = false;
      break;
    }
    if (Clock::now() >= nextSample) {
      samples.push_back(Take(app, window, base, start));
      nextSample += SampleEvery;
    }
    if (Clock::now() >= nextSwitch && misbehaving.Check()) {
      misbehaving.Misbehave(SwitchModes[switches++ % std::size(SwitchModes)]);
      nextSwitch += SwitchEvery;
    }
    misbehaving.Check();
    std::this_thread::sleep_for(1s);
  }
  if (hostAlive) samples.push_back(Take(app, window, base, start));

  // The exit, while the worker waits on a stalled body.
  double exitSeconds = -1;
  if (hostAlive) {
    misbehaving.Check();
    misbehaving.Misbehave("stall");
    const auto waitFrom = Clock::now();
    while (!misbehaving.Check() && Clock::now() - waitFrom < 120s)
      std::this_thread::sleep_for(200ms);
    std::this_thread::sleep_for(1s);
    const auto closeAt = Clock::now();
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    const bool ended = app.WaitForExit(60s).has_value();
    if (ended) exitSeconds = std::chrono::duration<double>(Clock::now() - closeAt).count();
  }

  // After warm-up against the end: medians of memory, the highest thread counts.
  const double warmMinutes = std::chrono::duration<double, std::ratio<60>>(warmUp).count();
  const double window_ = std::max(1.0, (minutes - warmMinutes) / 4);
  std::vector<double> earlyMemory, lateMemory;
  long earlyThreads = 0, lateThreads = 0;
  bool alwaysMoving = !samples.empty();
  for (const Sample& sample : samples) {
    alwaysMoving = alwaysMoving && sample.moving;
    const double memory = sample.privateMb > 0 ? sample.privateMb : sample.workingSetMb;
    if (sample.minutes >= warmMinutes && sample.minutes < warmMinutes + window_) {
      earlyMemory.push_back(memory);
      earlyThreads = std::max(earlyThreads, sample.threads);
    }
    if (sample.minutes > minutes - window_) {
      lateMemory.push_back(memory);
      lateThreads = std::max(lateThreads, sample.threads);
    }
  }
  const double early = Median(earlyMemory);
  const double late = Median(lateMemory);
  const bool memoryFlat = !earlyMemory.empty() && late - early <= std::max(2.0, early * 0.05);
  const bool threadsFlat = earlyThreads > 0 && lateThreads <= earlyThreads + 3;
  const bool exitInTime =
      exitSeconds >= 0 && exitSeconds < std::chrono::duration<double>(ExitLimit).count();
  const Sample first = samples.empty() ? Sample{} : samples.front();
  const Sample last = samples.empty() ? Sample{} : samples.back();
  std::printf(
      "\nmemory (private bytes): %.1f MB at the start, %.1f MB after warm-up (%.0f min), "
      "%.1f MB at the end\n",
      first.privateMb, early, warmMinutes, late);
  std::printf("threads: %ld at the start, %ld after warm-up, %ld at the end\n", first.threads,
              earlyThreads, lateThreads);
  std::printf("passes: %ld in %.1f min (%.2f s each); %d misbehaviours of the switched feed\n",
              last.passes, last.minutes, last.passes > 0 ? last.minutes * 60 / last.passes : 0.0,
              switches);
  if (exitSeconds >= 0) {
    std::printf("exit: %.2f s from WM_CLOSE, during a stalled read\n", exitSeconds);
  } else {
    std::printf("exit: %s\n", hostAlive ? "the host did not end within 60 s" : "the host died");
  }
  const bool holds = hostAlive && memoryFlat && threadsFlat && alwaysMoving && exitInTime;
  std::printf("verdict: memory %s, threads %s, band %s, exit %s: %s\n",
              memoryFlat ? "flat after warm-up" : "GROWING", threadsFlat ? "flat" : "GROWING",
              alwaysMoving ? "moving in every sample" : "STOPPED",
              exitInTime ? "within 5 s" : "TOO SLOW", holds ? "PASS" : "FAIL");
  return holds ? 0 : 1;
}
