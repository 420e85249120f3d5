#include "win/dpi.h"

namespace tidewire {
namespace {

// A function of user32 that older systems or Wine may lack; null then.
template <typename Function>
Function User32Function(const char* name) {
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name)));
}

UINT ScreenDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

UINT WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (window != nullptr && getDpiForWindow != nullptr) {
    if (const UINT dpi = getDpiForWindow(window); dpi != 0) return dpi;
  }
  return ScreenDpi();
}

UINT DrawingDpi(HDC target, HWND window) {
  const DWORD kind = ::GetObjectType(target);
  const bool screen = kind != OBJ_METADC && kind != OBJ_ENHMETADC &&
                      ::GetDeviceCaps(target, TECHNOLOGY) == DT_RASDISPLAY;
  if (!screen) {
    const int dpi = ::GetDeviceCaps(target, LOGPIXELSY);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
  }
  return WindowDpi(window);
}

int SystemMetricForDpi(int metric, UINT dpi) {
  using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
  static const auto forDpi =
      User32Function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
  return forDpi != nullptr ? forDpi(metric, dpi) : ::GetSystemMetrics(metric);
}

void KeepDialogLayoutOnDpiChange(HWND dialog) {
  // DDC_DISABLE_ALL, which the headers declare only for newer target versions.
  constexpr int DisableAll = 1;
  using SetDialogDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);
  static const auto setBehaviour =
      User32Function<SetDialogDpiChangeBehaviorFunction>("SetDialogDpiChangeBehavior");
  if (setBehaviour != nullptr) setBehaviour(dialog, DisableAll, DisableAll);
}

}  // namespace tidewire
