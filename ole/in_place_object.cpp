// OleControl: in-place and UI activation (IOleInPlaceObjectWindowless, IOleInPlaceActiveObject).

#include "ole/ole_control.h"
#include "win/com_boundary.h"

namespace tidewire {

// In-place activation

HRESULT OleControl::InPlaceActivate(LONG verb, const RECT* position) {
  if (!clientSite_) return E_UNEXPECTED;
  if (state_ == State::Loaded) {
    ComPtr<IOleInPlaceSite> site;
    if (FAILED(clientSite_.As(&site))) return E_NOINTERFACE;
    if (site->CanInPlaceActivate() != S_OK) return E_FAIL;

    ComPtr<IOleInPlaceSiteWindowless> windowlessSite;
    ComPtr<IOleInPlaceSiteEx> siteEx;
    bool windowless = false;
    if (SUCCEEDED(clientSite_.As(&windowlessSite)) &&
        windowlessSite->CanWindowlessActivate() == S_OK) {
      windowless = true;
    }
    BOOL noRedraw = FALSE;
    if (windowless) {
      windowlessSite->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS);
    } else if (SUCCEEDED(clientSite_.As(&siteEx))) {
      siteEx->OnInPlaceActivateEx(&noRedraw, 0);
    } else {
      site->OnInPlaceActivate();
    }
    inPlaceSite_ = site;
    if (windowless) windowlessSite_ = windowlessSite;
    windowless_ = windowless;
    state_ = State::InPlaceActive;

    HWND parent = nullptr;
    site->GetWindow(&parent);
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof(frameInfo);
    RECT sitePosition{};
    RECT siteClip{};
    frame_.Reset();
    uiWindow_.Reset();
    site->GetWindowContext(&frame_, &uiWindow_, &sitePosition, &siteClip, &frameInfo);
    position_ = position != nullptr ? *position : sitePosition;
    clip_ = siteClip;
    if (!windowless) {
      const HRESULT created = CreateControlWindow(parent, position_);
      if (FAILED(created)) {
        InPlaceDeactivate();
        return created;
      }
    }
  }
  if (OwnedWindow() != nullptr && verb != OLEIVERB_HIDE) ::ShowWindow(OwnedWindow(), SW_SHOW);
  if (verb == OLEIVERB_UIACTIVATE || verb == OLEIVERB_PRIMARY) return UIActivate();
  return S_OK;
}

HRESULT OleControl::UIActivate() {
  if (state_ == State::UIActive) return S_OK;
  state_ = State::UIActive;
  inPlaceSite_->OnUIActivate();
  if (OwnedWindow() != nullptr) ::SetFocus(OwnedWindow());
  auto* active = static_cast<IOleInPlaceActiveObject*>(this);
  if (frame_) frame_->SetActiveObject(active, nullptr);
  if (uiWindow_) uiWindow_->SetActiveObject(active, nullptr);
  if (frame_) frame_->SetBorderSpace(nullptr);
  if (uiWindow_) uiWindow_->SetBorderSpace(nullptr);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::UIDeactivate() {
  return ComBoundary([&] {
    if (state_ != State::UIActive) return;
    state_ = State::InPlaceActive;
    if (uiWindow_) uiWindow_->SetActiveObject(nullptr, nullptr);
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
  });
}

HRESULT STDMETHODCALLTYPE OleControl::InPlaceDeactivate() {
  return ComBoundary([&] {
    if (state_ == State::Loaded) return;
    UIDeactivate();
    BeforeInPlaceDeactivate();
    state_ = State::Loaded;
    DestroyOwnedWindow();
    // The site hears of it before the control lets go of the site.
    if (windowlessSite_) {
      windowlessSite_->OnInPlaceDeactivateEx(TRUE);
    } else if (inPlaceSite_) {
      inPlaceSite_->OnInPlaceDeactivate();
    }
    uiWindow_.Reset();
    frame_.Reset();
    windowlessSite_.Reset();
    inPlaceSite_.Reset();
    windowless_ = false;
  });
}

HRESULT STDMETHODCALLTYPE OleControl::SetObjectRects(LPCRECT position, LPCRECT clip) {
  if (position == nullptr) return E_POINTER;
  position_ = *position;
  if (clip != nullptr) clip_ = *clip;
  if (OwnedWindow() != nullptr) {
    ::SetWindowPos(OwnedWindow(), nullptr, position_.left, position_.top,
                   position_.right - position_.left, position_.bottom - position_.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::ReactivateAndUndo() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                                      LRESULT* result) {
  return ComBoundary([&] {
    LRESULT handledResult = 0;
    const bool handled = HandleControlMessage(message, wParam, lParam, &handledResult);
    if (result != nullptr) *result = handled ? handledResult : 0;
    return handled ? S_OK : S_FALSE;
  });
}

HRESULT STDMETHODCALLTYPE OleControl::GetDropTarget(IDropTarget** target) {
  if (target != nullptr) *target = nullptr;
  return E_NOTIMPL;
}

// IOleInPlaceActiveObject: the control has no accelerators, menus or tool space of its own.

HRESULT STDMETHODCALLTYPE OleControl::TranslateAccelerator(LPMSG) { return S_FALSE; }

HRESULT STDMETHODCALLTYPE OleControl::OnFrameWindowActivate(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE OleControl::OnDocWindowActivate(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE OleControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::EnableModeless(BOOL) { return S_OK; }

}  // namespace tidewire
