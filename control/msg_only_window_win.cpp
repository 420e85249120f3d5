#include "control/msg_only_window_win.h"

#include "control/tidewire_gadget_win.h"
#include "retrieval/feeds.h"

namespace tidewire {
namespace {

constexpr wchar_t WindowClassName[] = L"TidewireMsgOnlyWindow";

// Registered once per process; a library loaded again at the same address finds its class still
// registered, with the same window procedure, and uses it.
void RegisterWindowClassOnce(WNDPROC windowProc) {
  static const bool registered = [windowProc] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = CodeModule();
    windowClass.lpszClassName = WindowClassName;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  static_cast<void>(registered);
}

}  // namespace

void MsgOnlyWindow::Create() {
  RegisterWindowClassOnce(&MsgOnlyWindow::WindowProc);
  window_.Reset(::CreateWindowExW(0, WindowClassName, nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                  0, 0, HWND_MESSAGE, nullptr, CodeModule(), this));
}

LRESULT CALLBACK MsgOnlyWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<MsgOnlyWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(window, message, wParam, lParam);
}

LRESULT MsgOnlyWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case NextHeadlineMessage: owner_->AdvanceHeadline(); return 0;
    case SettingsLoadedMessage: owner_->ApplySettings(); return 0;
    case WM_TIMER: owner_->OnScrollTimer(); return 0;
    default: return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace tidewire
