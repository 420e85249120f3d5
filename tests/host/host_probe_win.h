#pragma once
// TidewireApp probed from outside, for the host's tests: the settings values it reads and
// writes, its windows found and read, keys pressed for it, its band watched, and a fixture that
// starts a host with prepared values and leaves the settings key as it was.

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "settings/memory_byte_stream.h"
#include "settings/settings_location.h"
#include "settings/settings_stream.h"
#include "tests/support/host_process_win.h"
#include "tests/support/registry_sandbox_win.h"
#include "win/handles.h"

namespace tidewire::host_probe {

using namespace std::chrono_literals;
using testing_support::CaptureScreen;
using testing_support::HostProcess;
using testing_support::ScreenPixels;
using Bytes = std::vector<std::uint8_t>;

// The host's commands.
inline constexpr WPARAM ExitCommand = 1;
inline constexpr WPARAM StayOnTopCommand = 1020;
inline constexpr WPARAM AboutCommand = 57664;

inline Bytes ReadValue(const wchar_t* name) {
  Bytes bytes(4096);
  DWORD size = static_cast<DWORD>(bytes.size());
  if (::RegGetValueW(HKEY_CURRENT_USER, SettingsKeyPath, name, RRF_RT_REG_BINARY, nullptr, bytes.data(),
                     &size) != ERROR_SUCCESS) {
    return {};
  }
  bytes.resize(size);
  return bytes;
}

inline void WriteValue(const wchar_t* name, const Bytes& bytes) {
  UniqueRegKey key;
  ASSERT_EQ(::RegCreateKeyW(HKEY_CURRENT_USER, SettingsKeyPath, key.Put()), ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key.Get(), name, 0, REG_BINARY, bytes.data(),
                             static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

inline Bytes ClientRecord(std::int32_t stayOnTop, RECT rect) {
  Bytes bytes(20);
  std::memcpy(bytes.data(), &stayOnTop, 4);
  std::memcpy(bytes.data() + 4, &rect, 16);
  return bytes;
}

// The control's settings as its own Save writes them: one active feed (by default on a closed
// local port) at a speed (by default the fastest).
inline Bytes ControlSettings(const std::u16string& feed = u"http://127.0.0.1:9/closed.xml",
                      std::int32_t speed = 10) {
  SettingsRecord record;
  record.speech_feed_URLs = feed;
  record.speech_feed_URLs_active = std::u16string(u"1");
  record.speech_speed = speed;
  MemoryByteStream stream;
  SaveSettingsStream(record, stream);
  return stream.Bytes();
}

inline RECT WindowRect(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return rect;
}

// A rectangle as gtest compares and prints it: left, top, right, bottom.
using Box = std::array<LONG, 4>;
inline Box BoxOf(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

inline std::wstring Title(HWND window) {
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  return text;
}

// Presses `key` with `modifier` held, as the keyboard would, for the foreground window.
inline void PressKeys(WORD modifier, WORD key) {
  INPUT keys[4] = {};
  const WORD codes[4] = {modifier, key, key, modifier};
  for (int at = 0; at < 4; ++at) {
    keys[at].type = INPUT_KEYBOARD;
    keys[at].ki.wVk = codes[at];
    keys[at].ki.dwFlags = at < 2 ? 0 : KEYEVENTF_KEYUP;
  }
  ::SendInput(4, keys, sizeof(INPUT));
}

// Makes `window` the foreground window and waits until it is, up to five seconds.
inline bool BringToFront(HWND window) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < end) {
    ::SetForegroundWindow(window);
    if (::GetForegroundWindow() == window) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// Whether the band's pixels change within `limit`, looking every 100 ms.
inline bool BandMoves(HWND window, std::chrono::milliseconds limit) {
  const ScreenPixels first = CaptureScreen(WindowRect(window));
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(100ms);
    if (!(CaptureScreen(WindowRect(window)) == first)) return true;
  }
  return false;
}

inline std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

// The first descendant of `window` that `wanted` accepts, shown or not; null if none.
inline HWND FindChild(HWND window, const std::function<bool(HWND)>& wanted) {
  return testing_support::FindChildWindow(window, wanted, false);
}


class HostProbeBase : public ::testing::Test {
 protected:
  // `program`: the host to start (a Windows path).
  explicit HostProbeBase(std::wstring program) : program_(std::move(program)) {}

  void SetUp() override {
    // Stored with four bytes more than the control reads: a value the host has written back is
    // told apart by their absence.
    Bytes stored = ControlSettings();
    stored.insert(stored.end(), {0xEE, 0xEE, 0xEE, 0xEE});
    WriteValue(ControlSettingsValue, stored);
  }
  void TearDown() override { host_.reset(); }

  // Starts the program and waits for its window.
  HWND Start() {
    host_.emplace(program_);
    EXPECT_TRUE(host_->Started());
    const HWND window = host_->Started() ? host_->WaitForWindow() : nullptr;
    EXPECT_NE(window, nullptr);
    return window;
  }

  // Closes the window with `message` and returns the program's exit code.
  std::optional<DWORD> CloseWith(HWND window, UINT message, WPARAM wParam = 0) {
    ::PostMessageW(window, message, wParam, 0);
    const std::optional<DWORD> code = host_->WaitForExit();
    host_.reset();
    return code;
  }

  // The values after a run: the control's settings written back, and the client record.
  void ExpectValuesWritten(std::int32_t stayOnTop, RECT rect) {
    EXPECT_EQ(ReadValue(ControlSettingsValue), ControlSettings());
    EXPECT_EQ(ReadValue(ClientSettingsValue), ClientRecord(stayOnTop, rect));
  }

  // The About command opens the About box, which shows the program and closes with its button.
  void ExpectAboutBoxShownAndClosed(HWND window) {
  ::PostMessageW(window, WM_COMMAND, AboutCommand, 0);
  const HWND about =
      host_->WaitForWindow([](HWND shown) { return Title(shown) == L"About"; }, 20s);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(Title(::GetDlgItem(about, 1004)).substr(0, 13), L"Tidewire 1.0\n");
  EXPECT_NE(FindChild(about,
                      [](HWND child) {
                        return Title(child) ==
                               L"This app downloads RSS feeds and scrolls them as a creeping "
                               L"line. Everything you need to know from the Web gets right on "
                               L"your desktop. ";
                      }),
            nullptr);
  const std::wstring visit = Title(::GetDlgItem(about, 1003));
  EXPECT_TRUE(visit.starts_with(L"Visit ") && visit.ends_with(L" for more apps!"));
  EXPECT_EQ(ClassOf(::GetDlgItem(about, IDOK)), L"Button");

  ::PostMessageW(about, WM_COMMAND, IDOK, 0);
  for (int wait = 0; wait < 100 && ::IsWindow(about); ++wait) std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(::IsWindow(about));
  }

  // Ctrl+O opens the settings page in its frame, which Cancel closes.
  void ExpectSettingsPageShownAndClosed(HWND window) {
  const auto isFrame = [window](HWND shown) {
    return shown != window && HostProcess::IsDialog(shown) &&
           ::FindWindowExW(shown, nullptr, L"SysTabControl32", nullptr) != nullptr;
  };
  // As with Alt+F4, a press that reached the window before it held the focus is repeated.
  HWND frame = nullptr;
  for (int attempt = 0; attempt < 3 && frame == nullptr; ++attempt) {
    ASSERT_TRUE(BringToFront(window));
    PressKeys(VK_CONTROL, 'O');
    frame = host_->WaitForWindow(isFrame, 10s);
  }
  ASSERT_NE(frame, nullptr);
  // The page, with its feed list (item 209).
  EXPECT_NE(FindChild(frame, [](HWND child) { return ::GetDlgCtrlID(child) == 209; }), nullptr);

  ::PostMessageW(frame, WM_COMMAND, IDCANCEL, 0);
  for (int wait = 0; wait < 100 && ::IsWindow(frame); ++wait) std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(::IsWindow(frame));
  }

  // Each test starts from its own values and leaves the key as it was; the program goes first.
  const testing_support::RegistrySandbox settings_;
  std::optional<HostProcess> host_;

 private:
  std::wstring program_;
};

}  // namespace tidewire::host_probe
