// TidewireApp seen from outside (needs a display): started as a process of its own in the test
// prefix with prepared registry values, its window found and probed through messages, its exit
// codes and the values it leaves behind. The control reads a feed address on 127.0.0.1 where
// nothing answers, so its band shows the connecting text scrolling.

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "tests/host/host_probe_win.h"
#include "tests/support/feed_server_port.h"
#include "tests/support/http_handler_override_win.h"
#include "tidewire_idl.h"
#include "win/com.h"

namespace tidewire {
namespace {

using namespace host_probe;

// The built program, on the drive that Wine maps to the root of the file system.
const std::wstring HostProgram = std::wstring(L"Z:") + TIDEWIRE_HOST_APP;
constexpr LONG_PTR TopmostTool = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;

void WriteDpiValue(const Bytes& bytes, DWORD type = REG_DWORD) {
  UniqueRegKey key;
  ASSERT_EQ(::RegCreateKeyW(HKEY_CURRENT_USER, SettingsKeyPath, key.Put()), ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key.Get(), L"ClientDpi", 0, type, bytes.data(),
                             static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

std::optional<DWORD> ReadDpiValue() {
  DWORD dpi = 0;
  DWORD size = sizeof(dpi);
  if (::RegGetValueW(HKEY_CURRENT_USER, SettingsKeyPath, L"ClientDpi", RRF_RT_REG_DWORD, nullptr,
                     &dpi, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return dpi;
}

Bytes DwordBytes(DWORD value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// The work area of the primary monitor.
RECT PrimaryWorkArea() {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  return monitor.rcWork;
}

LONG_PTR TopmostToolStyles(HWND window) {
  return ::GetWindowLongPtrW(window, GWL_EXSTYLE) & TopmostTool;
}

// Where a window of this size goes when it is centred in its monitor's work area.
RECT CentredRect(HWND window) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const RECT own = WindowRect(window);
  const LONG width = own.right - own.left;
  const LONG height = own.bottom - own.top;
  const LONG left = (work.left + work.right) / 2 - width / 2;
  const LONG top = (work.top + work.bottom) / 2 - height / 2;
  return {left, top, left + width, top + height};
}



class HostProbe : public HostProbeBase {
 protected:
  HostProbe() : HostProbeBase(HostProgram) {}
};

TEST_F(HostProbe, FirstStartCentresATopmostToolWindowAndExitSavesBothValues) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(BoxOf(WindowRect(window)), BoxOf(CentredRect(window)));
  EXPECT_EQ(TopmostToolStyles(window), TopmostTool);
  EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & (WS_POPUP | WS_CAPTION), WS_POPUP);
  EXPECT_EQ(Title(window), L"");
  const RECT placed = WindowRect(window);
  EXPECT_EQ(CloseWith(window, WM_COMMAND, ExitCommand), 1u);
  ExpectValuesWritten(1, placed);
}

TEST_F(HostProbe, SavedNormalWindowIsRestoredExactlyAndAltF4SavesIt) {
  const RECT saved{100, 100, 400, 116};
  WriteValue(ClientSettingsValue, ClientRecord(0, saved));
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(BoxOf(WindowRect(window)), BoxOf(saved));
  EXPECT_EQ(TopmostToolStyles(window), 0);
  EXPECT_EQ(Title(window), L"Tidewire");
  // Alt+F4 passes the accelerators by and closes the window.
  // Under a bare X server the first press may reach the window before it holds the focus:
  // a press that closed nothing is repeated.
  std::optional<DWORD> code;
  for (int attempt = 0; attempt < 3 && !code; ++attempt) {
    ASSERT_TRUE(BringToFront(window));
    PressKeys(VK_MENU, VK_F4);
    code = host_->WaitForExit(10s);
  }
  EXPECT_EQ(code, 2u);
  host_.reset();
  ExpectValuesWritten(0, saved);
}

TEST_F(HostProbe, UnusableSavedPlacementsAreCentred) {
  struct Case {
    const char* what;
    Bytes record;
    LONG_PTR styles;
  };
  const RECT work = PrimaryWorkArea();
  const Case cases[] = {
      {"negative left", ClientRecord(1, {-5, 100, 300, 116}), TopmostTool},
      {"narrower than 50", ClientRecord(1, {100, 100, 149, 116}), TopmostTool},
      {"lower than 16", ClientRecord(1, {100, 100, 400, 115}), TopmostTool},
      {"on no monitor", ClientRecord(1, {30000, 30000, 30300, 30016}), TopmostTool},
      // Damaged: the user can change only the width.
      {"taller than the band", ClientRecord(1, {0, 0, 1920, 1080}), TopmostTool},
      {"dragged rows past the right edge",
       ClientRecord(1, {work.right - 100, 100, work.right + 200, 116}), TopmostTool},
      {"dragged rows below the bottom edge",
       ClientRecord(1, {100, work.bottom - 3, 400, work.bottom + 13}), TopmostTool},
      // Only the flag is stored: it is restored, the rectangle keeps its default.
      {"flag only", Bytes{0, 0, 0, 0}, 0},
  };
  for (const Case& tried : cases) {
    SCOPED_TRACE(tried.what);
    WriteValue(ClientSettingsValue, tried.record);
    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(BoxOf(WindowRect(window)), BoxOf(CentredRect(window)));
    EXPECT_EQ(TopmostToolStyles(window), tried.styles);
    EXPECT_EQ(CloseWith(window, WM_CLOSE), 2u);
  }
}

TEST_F(HostProbe, SavedPlacementWiderThanTheWorkAreaIsCutToItsWidth) {
  const RECT work = PrimaryWorkArea();
  WriteValue(ClientSettingsValue, ClientRecord(1, {work.left, 100, work.right + 500, 116}));
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(BoxOf(WindowRect(window)), BoxOf({work.left, 100, work.right, 116}));
  EXPECT_EQ(CloseWith(window, WM_CLOSE), 2u);
}

// A rectangle saved at another DPI counts when its height was the band's there: it comes back
// at this window's DPI (96 here) with its corner kept and its width rescaled. A missing,
// damaged or implausible DPI counts as 96. The DPI is saved beside the rectangle.
TEST_F(HostProbe, SavedPlacementIsBroughtFromItsDpiToTheWindows) {
  struct Case {
    const char* what;
    RECT saved;
    Bytes dpi;
    DWORD type;
    std::optional<RECT> restored;  // none: centred
  };
  const Case cases[] = {
      {"saved at 144", {100, 100, 550, 124}, DwordBytes(144), REG_DWORD, RECT{100, 100, 400, 116}},
      {"saved at 192", {100, 100, 701, 132}, DwordBytes(192), REG_DWORD, RECT{100, 100, 401, 116}},
      {"band height of 96 said to be 144", {100, 100, 400, 116}, DwordBytes(144), REG_DWORD, {}},
      {"implausible", {100, 100, 400, 116}, DwordBytes(0xFFFFFFFF), REG_DWORD,
       RECT{100, 100, 400, 116}},
      {"not a number", {100, 100, 400, 116}, Bytes{1, 2}, REG_BINARY, RECT{100, 100, 400, 116}},
  };
  for (const Case& tried : cases) {
    SCOPED_TRACE(tried.what);
    WriteValue(ClientSettingsValue, ClientRecord(1, tried.saved));
    WriteDpiValue(tried.dpi, tried.type);
    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(BoxOf(WindowRect(window)), BoxOf(tried.restored.value_or(CentredRect(window))));
    EXPECT_EQ(CloseWith(window, WM_CLOSE), 2u);
    EXPECT_EQ(ReadDpiValue(), 96u);
  }
}

TEST_F(HostProbe, SessionEndWritesTheValuesOnlyWhenTheSessionEnds) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  const RECT placed = WindowRect(window);
  DWORD_PTR answer = 0;
  ASSERT_NE(::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                  SMTO_ABORTIFHUNG, 10000, &answer),
            0);
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
  // Another program refused: the session goes on, and so does the band.
  ::SendMessageTimeoutW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000,
                        &answer);
  EXPECT_FALSE(host_->WaitForExit(500ms).has_value());
  EXPECT_EQ(ReadValue(ClientSettingsValue), Bytes{});

  ::SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000,
                        &answer);
  EXPECT_EQ(host_->WaitForExit(), 2u);
  host_.reset();
  ExpectValuesWritten(1, placed);
}

TEST_F(HostProbe, StoredSettingsTheControlCannotReadAreKeptAtExit) {
  Bytes newer = ControlSettings();
  newer[0] = 0x01;
  newer[1] = 0x0A;
  WriteValue(ControlSettingsValue, newer);
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  const RECT placed = WindowRect(window);
  EXPECT_EQ(CloseWith(window, WM_CLOSE), 2u);
  EXPECT_EQ(ReadValue(ControlSettingsValue), newer);
  EXPECT_EQ(ReadValue(ClientSettingsValue), ClientRecord(1, placed));
}

TEST_F(HostProbe, SizingKeepsTheMinimumAndTheEdgesGrabAsBordersAndCaption) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  struct Sizing {
    WPARAM edge;
    RECT proposed;
    RECT expected;
  };
  const Sizing sizings[] = {
      {WMSZ_RIGHT, {100, 100, 130, 116}, {100, 100, 150, 116}},
      {WMSZ_LEFT, {100, 100, 130, 116}, {80, 100, 130, 116}},
      {WMSZ_RIGHT, {100, 100, 150, 116}, {100, 100, 150, 116}},
      {WMSZ_TOP, {100, 100, 300, 110}, {100, 94, 300, 110}},
      {WMSZ_BOTTOMRIGHT, {100, 100, 120, 110}, {100, 100, 150, 116}},
      {WMSZ_TOPLEFT, {100, 100, 120, 110}, {70, 94, 120, 110}},
  };
  for (const Sizing& sizing : sizings) {
    RECT rect = sizing.proposed;
    ::SendMessageW(window, WM_SIZING, sizing.edge, reinterpret_cast<LPARAM>(&rect));
    EXPECT_EQ(BoxOf(rect), BoxOf(sizing.expected)) << "edge " << sizing.edge;
  }

  const RECT at = WindowRect(window);
  const auto hit = [&](LONG x, LONG y) {
    return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(at.left + x, at.top + y));
  };
  const LONG width = at.right - at.left;
  EXPECT_EQ(hit(3, 10), HTLEFT);
  EXPECT_EQ(hit(4, 5), HTCAPTION);
  EXPECT_EQ(hit(4, 6), HTCLIENT);
  EXPECT_EQ(hit(width - 4, 6), HTCLIENT);
  EXPECT_EQ(hit(width - 3, 10), HTRIGHT);
  EXPECT_EQ(hit(width / 2, 0), HTCAPTION);
}

TEST_F(HostProbe, StayOnTopCommandSwitchesBetweenTopmostToolAndTitledNormalWindow) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  ::SendMessageW(window, WM_COMMAND, StayOnTopCommand, 0);
  EXPECT_EQ(TopmostToolStyles(window), 0);
  EXPECT_EQ(Title(window), L"Tidewire");
  EXPECT_TRUE(::IsWindowVisible(window));
  ::SendMessageW(window, WM_COMMAND, StayOnTopCommand, 0);
  EXPECT_EQ(TopmostToolStyles(window), TopmostTool);
  EXPECT_TRUE(::IsWindowVisible(window));
  const RECT placed = WindowRect(window);
  EXPECT_EQ(CloseWith(window, WM_CLOSE), 2u);
  ExpectValuesWritten(1, placed);
}


TEST_F(HostProbe, ControlPPausesAndResumesTheBand) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(BringToFront(window));
  ASSERT_TRUE(BandMoves(window, 10s)) << "the band never moves";
  PressKeys(VK_CONTROL, 'P');
  // Paused, the band keeps still; the first look may still catch the last step.
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(BandMoves(window, 1500ms));
  PressKeys(VK_CONTROL, 'P');
  EXPECT_TRUE(BandMoves(window, 10s));
}

TEST_F(HostProbe, CreatesTheControlThroughItsAssemblyWhenTheLibraryIsNotRegistered) {
  const ComInitialization com;
  {
    std::wstring library = HostProgram.substr(0, HostProgram.find_last_of(L"/\\") + 1);
    library += L"Tidewire.dll";
    const HMODULE module = ::LoadLibraryW(library.c_str());
    ASSERT_NE(module, nullptr);
    const auto unregister = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(::GetProcAddress(module, "DllUnregisterServer")));
    ASSERT_NE(unregister, nullptr);
    EXPECT_EQ(unregister(), S_OK);
    ::FreeLibrary(module);
  }
  ComPtr<IUnknown> unregistered;
  ASSERT_EQ(::CoCreateInstance(CLSID_TidewireGadget, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&unregistered)),
            REGDB_E_CLASSNOTREG);

  // Only a control can have written the settings back.
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  const RECT placed = WindowRect(window);
  EXPECT_EQ(CloseWith(window, WM_COMMAND, ExitCommand), 1u);
  ExpectValuesWritten(1, placed);
}

}  // namespace
}  // namespace tidewire

namespace tidewire {
namespace {


TEST_F(HostProbe, AboutBoxShowsTheProgramAndClosesWithItsButton) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  ExpectAboutBoxShownAndClosed(window);
  EXPECT_EQ(CloseWith(window, WM_CLOSE), 2u);
}

TEST_F(HostProbe, ControlOOpensTheSettingsPage) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  ExpectSettingsPageShownAndClosed(window);
  EXPECT_EQ(CloseWith(window, WM_CLOSE), 2u);
}

TEST_F(HostProbe, LeftClickOpensThePassingStoryInTheBrowser) {
  const int port = testing_support::FeedServerPort();
  ASSERT_NE(port, 0) << "the feed server is not running";
  const std::wstring feed = L"http://127.0.0.1:" + std::to_wstring(port) + L"/feeds/one.xml";
  // The slowest useful speed keeps the first story on the band for many seconds.
  WriteValue(ControlSettingsValue, ControlSettings(std::u16string(feed.begin(), feed.end()), 0));
  const testing_support::OpenedLinks opened(L"tidewire_host_opened.txt");
  const testing_support::HttpHandlerOverride browser(opened.Path());
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  const LONG width = WindowRect(window).right - WindowRect(window).left;
  // Until the first pass brings the feed's stories, the connecting text has no link to open.
  const LPARAM below = MAKELPARAM(width / 2, 10);
  const auto end = std::chrono::steady_clock::now() + 30s;
  while (opened.Lines().empty() && std::chrono::steady_clock::now() < end) {
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, below);
    ::PostMessageW(window, WM_LBUTTONUP, 0, below);
    std::this_thread::sleep_for(300ms);
  }
  const std::string lines = opened.Lines();
  EXPECT_EQ(lines.substr(0, lines.find('\n') + 1), "http://example.invalid/one/1\n");
  EXPECT_EQ(CloseWith(window, WM_CLOSE), 2u);
}

}  // namespace
}  // namespace tidewire
