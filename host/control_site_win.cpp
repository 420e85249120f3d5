#include "host/control_site_win.h"

#include <windowsx.h>

#include "win/com_boundary.h"

namespace tidewire {

ControlSite::ControlSite(IUnknown* outer, HWND window) : ComObject(outer), window_(window) {}

std::span<const InterfaceEntry<ControlSite>> ControlSite::InterfaceMap() {
  using S = ControlSite;
  static constexpr InterfaceEntry<S> map[] = {
      Entry<S, IOleClientSite>(),
      Entry<S, IOleWindow, IOleInPlaceSiteWindowless>(),
      Entry<S, IOleInPlaceSite>(),
      Entry<S, IOleInPlaceSiteEx>(),
      Entry<S, IOleInPlaceSiteWindowless>(),
      Entry<S, IOleInPlaceUIWindow>(),
      Entry<S, IOleInPlaceFrame>(),
  };
  return map;
}

RECT ControlSite::ClientArea() const {
  RECT client{};
  if (window_ != nullptr) ::GetClientRect(window_, &client);
  return client;
}

HRESULT ControlSite::CreateControl(const CLSID& classId, REFIID iid, void** control) {
  if (control == nullptr) return E_POINTER;
  *control = nullptr;
  return ComBoundary([&]() -> HRESULT {
    ComPtr<IOleObject> object;
    HRESULT result =
        ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
    if (FAILED(result)) return result;
    object_ = object;
    object.As(&view_);
    object.As(&windowless_);
    auto* site = static_cast<IOleClientSite*>(this);
    result = object->SetClientSite(site);
    // A control starts from its defaults unless its container has stored state for it.
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(result) && SUCCEEDED(object.As(&persist))) result = persist->InitNew();
    position_ = ClientArea();
    if (SUCCEEDED(result)) {
      result = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, window_, &position_);
    }
    if (SUCCEEDED(result)) result = object->QueryInterface(iid, control);
    if (FAILED(result)) Close();
    return result;
  });
}

void ControlSite::Draw(HDC dc) {
  if (!view_) return;
  const RECTL bounds{position_.left, position_.top, position_.right, position_.bottom};
  view_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
}

void ControlSite::ForwardMouseMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!windowless_ || !inPlaceActive_) return;
  const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  if (!::PtInRect(&position_, point)) return;
  LRESULT result = 0;
  windowless_->OnWindowMessage(message, wParam, lParam, &result);
}

void ControlSite::FitToClientArea() {
  position_ = ClientArea();
  if (windowless_ && inPlaceActive_) windowless_->SetObjectRects(&position_, &position_);
  if (window_ != nullptr) ::InvalidateRect(window_, nullptr, FALSE);
}

void ControlSite::Close() {
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  windowless_.Reset();
  view_.Reset();
  object_.Reset();
  inPlaceActive_ = false;
  window_ = nullptr;
}

// IOleClientSite

HRESULT STDMETHODCALLTYPE ControlSite::SaveObject() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE ControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ControlSite::GetContainer(IOleContainer** container) {
  if (container != nullptr) *container = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE ControlSite::ShowObject() { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::OnShowWindow(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::RequestNewObjectLayout() { return E_NOTIMPL; }

// IOleWindow

HRESULT STDMETHODCALLTYPE ControlSite::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = window_;
  return window_ != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE ControlSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// IOleInPlaceSite, IOleInPlaceSiteEx, IOleInPlaceSiteWindowless

HRESULT STDMETHODCALLTYPE ControlSite::CanInPlaceActivate() {
  return window_ != nullptr ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE ControlSite::OnInPlaceActivate() {
  inPlaceActive_ = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::OnUIActivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::GetWindowContext(IOleInPlaceFrame** frame,
                                                        IOleInPlaceUIWindow** document,
                                                        LPRECT position, LPRECT clip,
                                                        LPOLEINPLACEFRAMEINFO info) {
  if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr) {
    return E_POINTER;
  }
  *frame = static_cast<IOleInPlaceFrame*>(this);
  AddRef();
  *document = nullptr;
  *position = position_;
  *clip = position_;
  if (info != nullptr) {
    info->fMDIApp = FALSE;
    info->hwndFrame = window_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::Scroll(SIZE) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE ControlSite::OnUIDeactivate(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::OnInPlaceDeactivate() {
  inPlaceActive_ = false;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::DiscardUndoState() { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::DeactivateAndUndo() { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::OnPosRectChange(LPCRECT) { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::OnInPlaceActivateEx(BOOL* noRedraw, DWORD) {
  if (noRedraw != nullptr) *noRedraw = FALSE;
  inPlaceActive_ = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::OnInPlaceDeactivateEx(BOOL) {
  inPlaceActive_ = false;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::RequestUIActivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::CanWindowlessActivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::GetCapture() {
  return window_ != nullptr && ::GetCapture() == window_ ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE ControlSite::SetCapture(BOOL capture) {
  if (window_ == nullptr) return E_FAIL;
  if (capture) {
    ::SetCapture(window_);
  } else if (::GetCapture() == window_) {
    ::ReleaseCapture();
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::GetFocus() {
  return window_ != nullptr && ::GetFocus() == window_ ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE ControlSite::SetFocus(BOOL focus) {
  if (window_ == nullptr) return E_FAIL;
  if (focus) ::SetFocus(window_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::GetDC(LPCRECT, DWORD, HDC* dc) {
  if (dc == nullptr) return E_POINTER;
  *dc = window_ != nullptr ? ::GetDC(window_) : nullptr;
  return *dc != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE ControlSite::ReleaseDC(HDC dc) {
  if (window_ == nullptr) return E_FAIL;
  ::ReleaseDC(window_, dc);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::InvalidateRect(LPCRECT rect, BOOL erase) {
  if (window_ == nullptr) return E_FAIL;
  ::InvalidateRect(window_, rect != nullptr ? rect : &position_, erase);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::InvalidateRgn(HRGN region, BOOL erase) {
  if (window_ == nullptr) return E_FAIL;
  if (region != nullptr) {
    ::InvalidateRgn(window_, region, erase);
  } else {
    ::InvalidateRect(window_, &position_, erase);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::ScrollRect(INT, INT, LPCRECT, LPCRECT) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE ControlSite::AdjustRect(LPRECT rect) {
  return rect != nullptr ? S_OK : E_POINTER;
}

HRESULT STDMETHODCALLTYPE ControlSite::OnDefWindowMessage(UINT message, WPARAM wParam,
                                                          LPARAM lParam, LRESULT* result) {
  if (result == nullptr) return E_POINTER;
  *result = window_ != nullptr ? ::DefWindowProcW(window_, message, wParam, lParam) : 0;
  return S_OK;
}

// IOleInPlaceUIWindow, IOleInPlaceFrame

HRESULT STDMETHODCALLTYPE ControlSite::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }

HRESULT STDMETHODCALLTYPE ControlSite::RequestBorderSpace(LPCBORDERWIDTHS) {
  return INPLACE_E_NOTOOLSPACE;
}

HRESULT STDMETHODCALLTYPE ControlSite::SetBorderSpace(LPCBORDERWIDTHS) { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ControlSite::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::RemoveMenus(HMENU) { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::SetStatusText(LPCOLESTR) { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::EnableModeless(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE ControlSite::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

}  // namespace tidewire
