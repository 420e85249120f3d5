#include "host/dialog_window_win.h"

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

const DLGTEMPLATE* FindTemplate(HINSTANCE instance, WORD templateId) {
  const HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(templateId), RT_DIALOG);
  if (found == nullptr) return nullptr;
  const HGLOBAL loaded = ::LoadResource(instance, found);
  return loaded != nullptr ? static_cast<const DLGTEMPLATE*>(::LockResource(loaded)) : nullptr;
}

}  // namespace

DialogWindow::~DialogWindow() {
  if (window_ != nullptr) {
    ::SetWindowLongPtrW(window_, DWLP_USER, 0);
    ::DestroyWindow(window_);
  }
}

HWND DialogWindow::CreateModeless(HINSTANCE instance, WORD templateId, HWND owner) {
  const DLGTEMPLATE* dialogTemplate = FindTemplate(instance, templateId);
  if (dialogTemplate == nullptr) return nullptr;
  return ::CreateDialogIndirectParamW(instance, dialogTemplate, owner, &DialogProc,
                                      reinterpret_cast<LPARAM>(this));
}

INT_PTR DialogWindow::RunModal(HINSTANCE instance, WORD templateId, HWND owner) {
  return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner, &DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void DialogWindow::DestroyWindowIfAlive() {
  if (window_ != nullptr) ::DestroyWindow(window_);
}

INT_PTR CALLBACK DialogWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* owner = reinterpret_cast<DialogWindow*>(lParam);
    owner->window_ = window;
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
  }
  auto* self = reinterpret_cast<DialogWindow*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, DWLP_USER, 0);
    self->window_ = nullptr;
  }
  LRESULT result = 0;
  bool handled = false;
  ComBoundary([&] {
    handled = self->HandleMessage(message, wParam, lParam, result);
    return S_OK;
  });
  if (!handled) return FALSE;
  if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
  ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace tidewire
