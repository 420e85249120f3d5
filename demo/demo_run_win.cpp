// demo_run_win: runs TidewireApp for the demo. It stores the control's settings so that the band
// reads the given feeds, places the band on its first start, starts the program and then either
// waits until the user closes it or records it as 32-bit BMP files: a series of frames of the
// band, then screenshots of the whole screen with the band, with its menu open and with the About
// box, and one of the band paused from the keyboard, with its focus rectangle.
//
//   demo_run_win APP FEEDS                      runs APP until it ends; returns its exit code
//   demo_run_win APP FEEDS OUTDIR SECONDS       writes OUTDIR/band-NNN.bmp (a frame every 50 ms
//                                               for SECONDS), OUTDIR/screen.bmp, menu.bmp,
//                                               about.bmp (and about-box.bmp, the box alone)
//                                               and focus.bmp, then closes APP
//
// FEEDS is the feed list as the control keeps it: addresses separated by " URL ".

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "settings/settings_location.h"
#include "win/handles.h"

#include "host_process_win.h"
#include "host_settings_writer_win.h"

namespace {

using namespace std::chrono_literals;
using tidewire::testing_support::CaptureScreen;
using tidewire::testing_support::HostProcess;
using tidewire::testing_support::ScreenPixels;

// Every feed of the list active, a moderate speed, no pause between lines.
constexpr std::int32_t DemoSpeed = 6;
constexpr int FrameMs = 50;
constexpr WPARAM AboutCommand = 57664;

// On the first start the band is placed wide near the bottom of the screen, on top.
std::optional<RECT> FirstStartPlace() {
  tidewire::UniqueRegKey key;
  if (::RegOpenKeyW(HKEY_CURRENT_USER, tidewire::SettingsKeyPath, key.Put()) == ERROR_SUCCESS &&
      ::RegQueryValueExW(key.Get(), tidewire::ClientSettingsValue, nullptr, nullptr, nullptr,
                         nullptr) == ERROR_SUCCESS) {
    return std::nullopt;
  }
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const LONG width = std::min<LONG>(640, work.right - work.left - 40);
  const LONG left = (work.left + work.right) / 2 - width / 2;
  const LONG top = work.bottom - 48;
  return RECT{left, top, left + width, top + 16};
}

std::wstring Wide(const char* text) {
  const std::string narrow(text);
  return std::wstring(narrow.begin(), narrow.end());
}

int Record(HostProcess& app, const std::wstring& folder, int seconds) {
  const HWND window = app.WaitForWindow();
  if (window == nullptr) {
    std::fprintf(stderr, "demo_run_win: no window\n");
    return 1;
  }
  // The first pass of the downloads brings the first line.
  std::this_thread::sleep_for(2s);
  RECT band{};
  ::GetWindowRect(window, &band);
  const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  std::vector<ScreenPixels> frames;
  ScreenPixels whole;
  const int count = seconds * 1000 / FrameMs;
  auto next = std::chrono::steady_clock::now();
  for (int frame = 0; frame < count; ++frame) {
    frames.push_back(CaptureScreen(band));
    if (frame == count / 2) whole = CaptureScreen(screen);
    next += std::chrono::milliseconds(FrameMs);
    std::this_thread::sleep_until(next);
  }
  // The menu of a right-click on the band, closed again with Escape.
  ::PostMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM((band.right - band.left) / 3, 10));
  std::this_thread::sleep_for(1s);
  const ScreenPixels menu = CaptureScreen(screen);
  ::PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
  std::this_thread::sleep_for(500ms);
  // The About box, closed with its OK button.
  ::PostMessageW(window, WM_COMMAND, AboutCommand, 0);
  const HWND about = app.WaitForWindow(
      [](HWND shown) {
        wchar_t title[32] = {};
        ::GetWindowTextW(shown, title, 32);
        return std::wstring(title) == L"About";
      },
      10s);
  std::this_thread::sleep_for(500ms);
  const ScreenPixels aboutBox = CaptureScreen(screen);
  RECT aboutRect{};
  if (about != nullptr) ::GetWindowRect(about, &aboutRect);
  const ScreenPixels aboutAlone = CaptureScreen(aboutRect);
  if (about != nullptr) ::PostMessageW(about, WM_COMMAND, IDOK, 0);
  for (int wait = 0; wait < 100 && about != nullptr && ::IsWindow(about); ++wait) {
    std::this_thread::sleep_for(50ms);
  }
  std::this_thread::sleep_for(500ms);
  // Space, as the keyboard queues it for the focused band: paused, with the focus rectangle that
  // a key of the band's brings out; Space again resumes.
  ::SetForegroundWindow(window);
  std::this_thread::sleep_for(300ms);
  ::PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0x00390001);
  std::this_thread::sleep_for(500ms);
  const ScreenPixels focused = CaptureScreen(band);
  ::PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0x00390001);

  ::PostMessageW(window, WM_CLOSE, 0, 0);
  bool written = whole.WriteBmp(folder + L"\\screen.bmp") &&
                 menu.WriteBmp(folder + L"\\menu.bmp") &&
                 aboutBox.WriteBmp(folder + L"\\about.bmp") &&
                 aboutAlone.WriteBmp(folder + L"\\about-box.bmp") &&
                 focused.WriteBmp(folder + L"\\focus.bmp") && about != nullptr;
  for (std::size_t at = 0; at < frames.size(); ++at) {
    wchar_t name[32];
    std::swprintf(name, 32, L"\\band-%03u.bmp", static_cast<unsigned>(at));
    written = frames[at].WriteBmp(folder + name) && written;
  }
  const auto code = app.WaitForExit();
  return written && code.has_value() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "usage: demo_run_win APP FEEDS [OUTDIR SECONDS]\n");
    return 2;
  }
  const std::wstring feeds = Wide(argv[2]);
  if (!tidewire::testing_support::StoreHostSettings(std::u16string(feeds.begin(), feeds.end()),
                                                    DemoSpeed, FirstStartPlace())) {
    std::fprintf(stderr, "demo_run_win: cannot store the settings\n");
    return 1;
  }
  HostProcess app(Wide(argv[1]));
  if (!app.Started()) {
    std::fprintf(stderr, "demo_run_win: cannot start %s\n", argv[1]);
    return 1;
  }
  if (argc == 5) return Record(app, Wide(argv[3]), std::atoi(argv[4]));
  const auto code = app.WaitForExit(std::chrono::milliseconds(INFINITE));
  return code.has_value() ? static_cast<int>(*code) : 1;
}
