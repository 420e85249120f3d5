// TidewireApp at 144 DPI (Wine takes the DPI from the user's LogPixels value, read once by each
// process as it starts): the band is the band of a 96-DPI screen, half as large again, filling
// the whole window.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "tests/support/host_process_win.h"
#include "tests/support/registry_sandbox_win.h"
#include "win/handles.h"

namespace tidewire {
namespace {

using testing_support::CaptureScreen;
using testing_support::HostProcess;
using testing_support::ScreenPixels;

const std::wstring HostProgram = std::wstring(L"Z:") + TIDEWIRE_HOST_APP;
constexpr wchar_t DesktopKey[] = L"Control Panel\\Desktop";

// Sets the user's LogPixels for the processes started while it lives, and puts back what was
// there (the test runs alone: every process started meanwhile sees the value).
class LogPixels {
 public:
  explicit LogPixels(DWORD dpi) {
    DWORD size = sizeof(saved_);
    had_ = ::RegGetValueW(HKEY_CURRENT_USER, DesktopKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr,
                          &saved_, &size) == ERROR_SUCCESS;
    Write(dpi);
  }
  ~LogPixels() {
    if (had_) {
      Write(saved_);
    } else {
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, DesktopKey, L"LogPixels");
    }
  }
  LogPixels(const LogPixels&) = delete;
  LogPixels& operator=(const LogPixels&) = delete;

 private:
  static void Write(DWORD dpi) {
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, DesktopKey, L"LogPixels", REG_DWORD, &dpi,
                                sizeof(dpi)),
              ERROR_SUCCESS);
  }
  DWORD saved_ = 0;
  bool had_ = false;
};

std::uint32_t At(const ScreenPixels& shot, int x, int y) {
  return shot.pixels[static_cast<std::size_t>(y) * shot.width + x];
}
// The text's orange, also where it blends into the band at a glyph's edge.
bool IsInk(std::uint32_t pixel) {
  const auto red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
  return red >= 160 && green >= 60 && green < red && blue < 60;
}

// The program started at a DPI, with settings values of its own; both are put back afterwards.
struct HostAtDpi {
  explicit HostAtDpi(DWORD dpi) : logPixels(dpi) {}
  const testing_support::RegistrySandbox settings;
  const LogPixels logPixels;
  HostProcess host{HostProgram};
};

TEST(HostDpiTest, At144DpiTheBandFillsAWindow24PixelsHigh) {
  HostAtDpi started(144);
  HostProcess& host = started.host;
  ASSERT_TRUE(host.Started());
  const HWND window = host.WaitForWindow();
  ASSERT_NE(window, nullptr);
  RECT rect{};
  ::GetWindowRect(window, &rect);
  EXPECT_EQ(rect.bottom - rect.top, 24);

  // The first line ("Connecting...") enters from the right: wait until its first word, with
  // capitals, an ascender and a descender, is on the band.
  ScreenPixels shot;
  int top = 24, bottom = -1;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (bottom < 0 && std::chrono::steady_clock::now() < end) {
    ::Sleep(200);
    shot = CaptureScreen(rect);
    // "Connecting" is about 100 pixels wide at 144 DPI.
    int leftmost = shot.width;
    for (int y = 0; y < shot.height; ++y) {
      for (int x = 0; x < leftmost; ++x) {
        if (IsInk(At(shot, x, y))) leftmost = x;
      }
    }
    if (leftmost > shot.width - 150) continue;
    for (int y = 0; y < shot.height; ++y) {
      for (int x = 0; x < shot.width; ++x) {
        if (!IsInk(At(shot, x, y))) continue;
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  }
  ASSERT_GE(bottom, 0) << "no text on the band";
  // An 11-pixel font at 96 DPI covers about 11 rows; scaled, about 16 or 17.
  EXPECT_GE(bottom - top + 1, 14) << "text rows " << top << ".." << bottom;
  EXPECT_LT(bottom, 24);

  // No row of the band is left undrawn: the pattern's dark rows are single ones at 96 DPI, so at
  // 144 no more than two rows in a row are black.
  int blackRun = 0, longest = 0;
  for (int y = 0; y < shot.height; ++y) {
    blackRun = At(shot, 4, y) == 0 ? blackRun + 1 : 0;
    longest = std::max(longest, blackRun);
  }
  EXPECT_LE(longest, 2) << "column 4 has " << longest << " black rows in a row";
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(host.WaitForExit(), 2u);
}

// At 200 % the About box's bold one-line link (Tahoma bold, 22 pixels) is as wide as its text:
// the bold font and the dialog font do not grow in step, and the template's width alone cuts it.
TEST(HostDpiTest, At192DpiTheAboutBoxShowsItsLinkWhole) {
  HostAtDpi started(192);
  HostProcess& host = started.host;
  ASSERT_TRUE(host.Started());
  const HWND window = host.WaitForWindow();
  ASSERT_NE(window, nullptr);
  ::PostMessageW(window, WM_COMMAND, 57664, 0);
  const HWND about = host.WaitForWindow(
      [](HWND shown) {
        wchar_t title[16] = {};
        ::GetWindowTextW(shown, title, 16);
        return std::wstring(title) == L"About";
      },
      std::chrono::seconds(20));
  ASSERT_NE(about, nullptr);
  const HWND link = ::GetDlgItem(about, 1003);
  wchar_t text[128] = {};
  const int length = ::GetWindowTextW(link, text, 128);
  RECT item{};
  ::GetClientRect(link, &item);
  const UniqueGdiObject<HFONT> bold(::CreateFontW(-22, 0, 0, 0, FW_BOLD, FALSE, TRUE, FALSE,
                                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                                 DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
  const WindowDc screen(nullptr);
  const ScopedSelectObject selected(screen.Get(), bold.Get());
  SIZE extent{};
  ::GetTextExtentPoint32W(screen.Get(), text, length, &extent);
  EXPECT_GE(item.right, extent.cx) << "the link's text needs " << extent.cx << " pixels";
  ::PostMessageW(about, WM_COMMAND, IDOK, 0);
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(host.WaitForExit(), 2u);
}

}  // namespace
}  // namespace tidewire
