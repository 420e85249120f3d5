#pragma once
// TidewireApp as a separate process, seen from outside: started with CreateProcessW, its main
// window found among the top-level windows, its exit code awaited, and the screen pixels of its
// band read back. Used by the host's tests and by the demo.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win/handles.h"

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
    Search search{processId_, &wanted, nullptr};
    const auto end = std::chrono::steady_clock::now() + limit;
    while (search.found == nullptr && std::chrono::steady_clock::now() < end) {
      ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
      if (search.found != nullptr || ::WaitForSingleObject(process_.Get(), 50) == WAIT_OBJECT_0) {
        break;
      }
    }
    return search.found;
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
  struct Search {
    DWORD process;
    const std::function<bool(HWND)>* wanted;
    HWND found;
  };

  static BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->process || !::IsWindowVisible(window) || !(*search->wanted)(window)) {
      return TRUE;
    }
    search->found = window;
    return FALSE;
  }

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
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(pixels.size() * 4);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + header.biSizeImage;
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(reinterpret_cast<const char*>(pixels.data()), header.biSizeImage);
    return static_cast<bool>(out);
  }
};

// What the screen shows in `area` (screen coordinates).
inline ScreenPixels CaptureScreen(const RECT& area) {
  ScreenPixels shot;
  shot.width = area.right - area.left;
  shot.height = area.bottom - area.top;
  if (shot.width <= 0 || shot.height <= 0) return shot;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = -shot.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const UniqueGdiObject<HBITMAP> bitmap(
      ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const UniqueCreatedDc memory(::CreateCompatibleDC(nullptr));
  if (!bitmap || !memory) return shot;
  {
    const ScopedSelectObject selected(memory.Get(), bitmap.Get());
    const HDC screen = ::GetDC(nullptr);
    ::BitBlt(memory.Get(), 0, 0, shot.width, shot.height, screen, area.left, area.top, SRCCOPY);
    ::ReleaseDC(nullptr, screen);
    ::GdiFlush();
  }
  const auto* first = static_cast<const std::uint32_t*>(bits);
  shot.pixels.assign(first, first + static_cast<std::size_t>(shot.width) * shot.height);
  for (std::uint32_t& pixel : shot.pixels) pixel &= 0x00FFFFFF;
  return shot;
}

}  // namespace tidewire::testing_support
