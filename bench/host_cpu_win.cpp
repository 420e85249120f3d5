// host_cpu_win: TidewireApp running its band for a while, for a CPU measurement from outside (run
// under Wine, with a display at least 1,920 pixels wide).
//
//   host_cpu_win APP FEED SPEED SECONDS     starts APP on FEED at SPEED on a band 1,920 pixels
//                                           wide, lets it settle for 5 s, prints "measuring",
//                                           waits SECONDS, prints "done" and closes it
//
// Wine reports no CPU times of another process: scripts/bench reads the program's (and the Wine
// server's) from the system between the two lines. The user's stored values are replaced (run it
// in a prefix of its own).

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>


#include "host_process_win.h"
#include "host_settings_writer_win.h"

namespace {

using namespace std::chrono_literals;
using tidewire::testing_support::HostProcess;

std::u16string Utf16(const char* text) {
  const std::string narrow(text);
  return std::u16string(narrow.begin(), narrow.end());
}

std::wstring Wide(const char* text) {
  const std::string narrow(text);
  return std::wstring(narrow.begin(), narrow.end());
}

int Run(const char* app, const char* feed, int speed, int seconds) {
  const RECT band{0, 100, 1920, 116};
  if (!tidewire::testing_support::StoreHostSettings(Utf16(feed), speed, band)) return 1;
  HostProcess host(Wide(app));
  const HWND window = host.Started() ? host.WaitForWindow() : nullptr;
  if (window == nullptr) {
    std::fprintf(stderr, "host_cpu_win: no window\n");
    return 1;
  }
  std::this_thread::sleep_for(5s);
  std::printf("measuring\n");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  std::printf("done\n");
  std::fflush(stdout);
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  host.WaitForExit();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: host_cpu_win APP FEED SPEED SECONDS\n");
    return 2;
  }
  return Run(argv[1], argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
}
