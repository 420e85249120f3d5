#include "ole/ole_control.h"

#include "win/module.h"
#include "win/window_class.h"

namespace tidewire {
namespace {

// The control's own window: double clicks reach it, the arrow is its cursor.
WindowClass controlWindowClass(L"TidewireControlWindow", CS_DBLCLKS, IDC_ARROW);

}  // namespace

OleControl::OleControl() : extent_{0, 0} {}

OleControl::~OleControl() = default;

void OleControl::SetControlIdentity(const CLSID& classId, const Identity& identity) {
  classId_ = &classId;
  identity_ = identity;
  extent_ = identity.initialExtent;
}

void OleControl::ReleaseContainer() {
  // From here the control calls nothing of its container (focus, activation, redraws) but the
  // releases below: destroying its window must not reach a container that may call back into
  // an object that is being deleted.
  releasing_ = true;
  DestroyOwnedWindow();
  state_ = State::Loaded;
  uiWindow_.Reset();
  frame_.Reset();
  windowlessSite_.Reset();
  inPlaceSite_.Reset();
  viewAdviseSink_.Reset();
  dataAdviseHolder_.Reset();
  oleAdviseHolder_.Reset();
  clientSite_.Reset();
}

void OleControl::FireViewChange() {
  if (releasing_) return;
  if (state_ != State::Loaded) {
    if (OwnedWindow() != nullptr) {
      ::InvalidateRect(OwnedWindow(), nullptr, TRUE);
      return;
    }
    if (windowless_ && windowlessSite_) {
      windowlessSite_->InvalidateRect(nullptr, TRUE);
      return;
    }
  }
  if (viewAdviseSink_) viewAdviseSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

HWND OleControl::OwnerWindow() const {
  if (OwnedWindow() != nullptr) return OwnedWindow();
  HWND container = nullptr;
  if (inPlaceSite_ && SUCCEEDED(inPlaceSite_->GetWindow(&container))) return container;
  return nullptr;
}

bool OleControl::HasFocus() const {
  if (OwnedWindow() != nullptr) return ::GetFocus() == OwnedWindow();
  return windowless_ && windowlessSite_ && windowlessSite_->GetFocus() == S_OK;
}

void OleControl::TakeFocus() {
  if (releasing_) return;
  if (OwnedWindow() != nullptr) {
    ::SetFocus(OwnedWindow());
  } else if (windowless_ && windowlessSite_) {
    windowlessSite_->SetFocus(TRUE);
  }
}

// IOleWindow

HRESULT STDMETHODCALLTYPE OleControl::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = OwnedWindow();
  return *window != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE OleControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// The control's own window

HRESULT OleControl::CreateControlWindow(HWND parent, const RECT& position) {
  if (!controlWindowClass.Register()) return E_FAIL;
  // The window becomes this object's at its first message.
  const HWND made = ::CreateWindowExW(0, controlWindowClass.Name(), nullptr,
                                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                      position.left, position.top, position.right - position.left,
                                      position.bottom - position.top, parent, nullptr, CodeModule(),
                                      static_cast<WindowOwner*>(this));
  return made != nullptr ? S_OK : HRESULT_FROM_WIN32(::GetLastError());
}

bool OleControl::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (HandleControlMessage(message, wParam, lParam, result)) return true;
  if (releasing_) return false;
  switch (message) {
    case WM_PAINT: {
      const PaintDc paint(OwnedWindow());
      RECT client{};
      ::GetClientRect(OwnedWindow(), &client);
      DrawControl(paint.Get(), client);
      *result = 0;
      return true;
    }
    case WM_MOUSEACTIVATE:
      // A click into the control makes it the container's active object.
      if (state_ == State::InPlaceActive) InPlaceActivate(OLEIVERB_UIACTIVATE, nullptr);
      return false;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      ComPtr<IOleControlSite> controlSite;
      if (clientSite_ && SUCCEEDED(clientSite_.As(&controlSite))) {
        controlSite->OnFocus(message == WM_SETFOCUS);
      }
      return false;
    }
    default: return false;
  }
}

}  // namespace tidewire
