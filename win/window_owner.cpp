#include "win/window_owner.h"

#include "win/com_boundary.h"

namespace tidewire {
namespace {

// Messages whose result the dialog procedure returns itself rather than through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON: return true;
    default: return false;
  }
}

}  // namespace

WindowOwner::~WindowOwner() {
  if (!window_) return;
  ::SetWindowLongPtrW(window_.Get(), dialog_ ? DWLP_USER : GWLP_USERDATA, 0);
  window_.Reset();
}

void WindowOwner::Adopt(HWND window, int slot, LPARAM owner) {
  auto* self = reinterpret_cast<WindowOwner*>(owner);
  if (self == nullptr) return;
  ::SetWindowLongPtrW(window, slot, owner);
  self->dialog_ = slot == DWLP_USER;
  self->window_.Reset(window);
}

WindowOwner* WindowOwner::Find(HWND window, UINT message, int slot) {
  auto* self = reinterpret_cast<WindowOwner*>(::GetWindowLongPtrW(window, slot));
  if (self != nullptr && message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, slot, 0);
    if (self->window_.Get() == window) static_cast<void>(self->window_.Take());
  }
  return self;
}

bool WindowOwner::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  bool handled = false;
  const HRESULT outcome =
      ComBoundary([&] { handled = HandleWindowMessage(message, wParam, lParam, result); });
  return SUCCEEDED(outcome) && handled;
}

LRESULT CALLBACK WindowOwner::WindowThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    Adopt(window, GWLP_USERDATA, reinterpret_cast<LPARAM>(create->lpCreateParams));
  }
  WindowOwner* owner = Find(window, message, GWLP_USERDATA);
  LRESULT result = 0;
  if (owner != nullptr && owner->Dispatch(message, wParam, lParam, &result)) return result;
  return ::DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK WindowOwner::DialogThunk(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) Adopt(dialog, DWLP_USER, lParam);
  WindowOwner* owner = Find(dialog, message, DWLP_USER);
  LRESULT result = 0;
  if (owner == nullptr || !owner->Dispatch(message, wParam, lParam, &result)) return FALSE;
  if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
  ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace tidewire
