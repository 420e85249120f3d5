#pragma once
// One alias per kind of system handle, all on the one owner template.

#include <windows.h>
#include <wininet.h>

#include "win/unique_handle.h"

namespace tidewire {

// Events, threads and other kernel objects whose empty value is null.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static constexpr Handle Empty() { return nullptr; }
  static void Close(Handle handle) { ::CloseHandle(handle); }
};
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

// Files, whose empty value is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { ::CloseHandle(handle); }
};
using UniqueFile = UniqueHandle<FileHandleTraits>;

template <typename GdiHandle>
struct GdiObjectTraits {
  using Handle = GdiHandle;
  static constexpr Handle Empty() { return nullptr; }
  static void Close(Handle handle) { ::DeleteObject(handle); }
};
template <typename GdiHandle>
using UniqueGdiObject = UniqueHandle<GdiObjectTraits<GdiHandle>>;

// A device context made by CreateCompatibleDC or CreateDC.
struct CreatedDcTraits {
  using Handle = HDC;
  static constexpr Handle Empty() { return nullptr; }
  static void Close(Handle handle) { ::DeleteDC(handle); }
};
using UniqueCreatedDc = UniqueHandle<CreatedDcTraits>;

// A window must be destroyed on the thread that created it; its owner lives on that thread. A
// window that its parent or the system may destroy first is owned through WindowOwner, which
// gives the handle up at WM_NCDESTROY, so an owner never destroys a handle twice.
struct WindowHandleTraits {
  using Handle = HWND;
  static constexpr Handle Empty() { return nullptr; }
  static void Close(Handle handle) { ::DestroyWindow(handle); }
};
using UniqueWindow = UniqueHandle<WindowHandleTraits>;

// A menu that no window owns (a popup built for one TrackPopupMenu call).
struct MenuTraits {
  using Handle = HMENU;
  static constexpr Handle Empty() { return nullptr; }
  static void Close(Handle handle) { ::DestroyMenu(handle); }
};
using UniqueMenu = UniqueHandle<MenuTraits>;

struct RegKeyTraits {
  using Handle = HKEY;
  static constexpr Handle Empty() { return nullptr; }
  static void Close(Handle handle) { ::RegCloseKey(handle); }
};
using UniqueRegKey = UniqueHandle<RegKeyTraits>;

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static constexpr Handle Empty() { return nullptr; }
  static void Close(Handle handle) { ::InternetCloseHandle(handle); }
};
using UniqueInternetHandle = UniqueHandle<InternetHandleTraits>;

// Selects a GDI object into a device context for one scope and selects the previous one back.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// The device context of one WM_PAINT, from BeginPaint to EndPaint.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
  ~PaintDc() {
    if (dc_ != nullptr) ::EndPaint(window_, &paint_);
  }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;

  HDC Get() const { return dc_; }
  const PAINTSTRUCT& Paint() const { return paint_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// A window's (or, for null, the screen's) device context from GetDC, released with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

}  // namespace tidewire
