#include "win/message_window.h"

#include <mutex>

#include "win/com_boundary.h"
#include "win/module.h"

namespace tidewire {
namespace {

constexpr wchar_t WindowClassName[] = L"TidewireMessageWindow";

std::mutex classLock;
bool classRegistered = false;

bool RegisterClassOnce() {
  const std::lock_guard guard(classLock);
  if (!classRegistered) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &DefWindowProcW;
    windowClass.hInstance = CodeModule();
    windowClass.lpszClassName = WindowClassName;
    classRegistered = ::RegisterClassExW(&windowClass) != 0;
  }
  return classRegistered;
}

}  // namespace

void UnregisterMessageWindowClass() {
  const std::lock_guard guard(classLock);
  if (classRegistered) ::UnregisterClassW(WindowClassName, CodeModule());
  classRegistered = false;
}

void MessageWindow::Create(DWORD style) {
  if (!RegisterClassOnce()) return;
  // The class's procedure is DefWindowProcW; this object's procedure is installed once the
  // window exists, so the creation messages need no special path.
  window_.Reset(::CreateWindowExW(0, WindowClassName, nullptr, style, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, CodeModule(), nullptr));
  if (!window_) return;
  ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(window_.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
}

LRESULT CALLBACK MessageWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  auto* self = reinterpret_cast<MessageWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (self == nullptr || !self->handler_) return ::DefWindowProcW(window, message, wParam, lParam);
  LRESULT result = 0;
  ComBoundary([&] {
    result = self->handler_(window, message, wParam, lParam);
    return S_OK;
  });
  return result;
}

}  // namespace tidewire
