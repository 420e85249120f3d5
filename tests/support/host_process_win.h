#pragma once
// TidewireApp as a separate process, seen from outside: started with CreateProcessW, its main
// window found among the top-level windows, its exit code awaited, and the screen pixels of its
// band read back. Used by the host's tests, the demo and the soak run.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dib_picture_win.h"
#include "win/handles.h"
#include "window_search_win.h"

namespace tidewire::testing_support {

class HostProcess {
 public:
  // Starts `program` (a Windows path); Started() tells whether that worked.
  explicit HostProcess(const std::wstring& program) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + program + L"\"";
    if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         nullptr, &startup, &info)) {
      process_.Reset(info.hProcess);
      ::CloseHandle(info.hThread);
      processId_ = info.dwProcessId;
    }
  }
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;
  // A program still running is asked to close, and ended if it does not.
  ~HostProcess() {
    if (!process_ || ::WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0) return;
    if (window_ != nullptr) ::PostMessageW(window_, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process_.Get(), 30000) != WAIT_OBJECT_0) {
      ::TerminateProcess(process_.Get(), 255);
    }
  }

  bool Started() const { return static_cast<bool>(process_); }
  HANDLE Process() const { return process_.Get(); }

  // The program's visible main window (a dialog), once it has one; null if none appears within
  // `limit` or the program ends first.
  HWND WaitForWindow(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    if (window_ == nullptr) window_ = WaitForWindow(IsDialog, limit);
    return window_;
  }

  // A visible top-level window of the program that `wanted` accepts, once there is one; null if
  // none appears within `limit` or the program ends first.
  HWND WaitForWindow(const std::function<bool(HWND)>& wanted,
                     std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
      if (const HWND found = FindProcessWindow(processId_, wanted)) return found;
      if (std::chrono::steady_clock::now() >= end ||
          ::WaitForSingleObject(process_.Get(), 50) == WAIT_OBJECT_0) {
        return nullptr;
      }
    }
  }

  static bool IsDialog(HWND window) {
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    return std::wstring(className) == L"#32770";
  }

  // The exit code, once the program has ended within `limit`.
  std::optional<DWORD> WaitForExit(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    if (::WaitForSingleObject(process_.Get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
      return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_.Get(), &code);
    return code;
  }

 private:
  UniqueKernelHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
};

// Screen pixels, 0x00RRGGBB, top row first.
struct ScreenPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  bool operator==(const ScreenPixels&) const = default;

  // Writes a 32-bit top-down BMP file.
  bool WriteBmp(const std::wstring& path) const {
    return WriteBmp32(path, width, height, pixels.data());
  }
};

// What the screen shows in `area` (screen coordinates).
inline ScreenPixels CaptureScreen(const RECT& area) {
  ScreenPixels shot;
  shot.width = area.right - area.left;
  shot.height = area.bottom - area.top;
  if (shot.width <= 0 || shot.height <= 0) return shot;
  DibPicture picture(shot.width, shot.height);
  if (picture.Pixels() == nullptr || picture.Dc() == nullptr) return shot;
  const HDC screen = ::GetDC(nullptr);
  ::BitBlt(picture.Dc(), 0, 0, shot.width, shot.height, screen, area.left, area.top, SRCCOPY);
  ::ReleaseDC(nullptr, screen);
  ::GdiFlush();
  shot.pixels.assign(picture.Pixels(), picture.Pixels() + picture.Count());
  for (std::uint32_t& pixel : shot.pixels) pixel &= 0x00FFFFFF;
  return shot;
}

}  // namespace tidewire::testing_support
