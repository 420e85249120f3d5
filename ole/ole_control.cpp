#include "ole/ole_control.h"

#include <olectl.h>

#include <mutex>

#include "win/com_boundary.h"
#include "win/module.h"

namespace tidewire {
namespace {

constexpr wchar_t WindowClassName[] = L"TidewireControlWindow";
// The extent of a new control, natural and current: 2 x 2 inches in HIMETRIC units.

std::mutex classLock;
bool classRegistered = false;

bool RegisterWindowClassOnce(WNDPROC windowProc) {
  const std::lock_guard guard(classLock);
  if (!classRegistered) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = CodeModule();
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = WindowClassName;
    classRegistered = ::RegisterClassExW(&windowClass) != 0;
  }
  return classRegistered;
}

RECT ToRect(const RECTL& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

}  // namespace

void UnregisterControlWindowClass() {
  const std::lock_guard guard(classLock);
  if (classRegistered) ::UnregisterClassW(WindowClassName, CodeModule());
  classRegistered = false;
}

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
  window_.Reset();
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
    if (window_) {
      ::InvalidateRect(window_.Get(), nullptr, TRUE);
      return;
    }
    if (windowless_ && windowlessSite_) {
      windowlessSite_->InvalidateRect(nullptr, TRUE);
      return;
    }
  }
  if (viewAdviseSink_) viewAdviseSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

// IOleObject

HRESULT STDMETHODCALLTYPE OleControl::SetClientSite(IOleClientSite* site) {
  clientSite_ = site;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  *site = nullptr;
  return clientSite_ ? clientSite_.CopyTo(site) : S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT STDMETHODCALLTYPE OleControl::Close(DWORD) {
  return ComBoundary([&] {
    if (state_ != State::Loaded) InPlaceDeactivate();
    if (oleAdviseHolder_) oleAdviseHolder_->SendOnClose();
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE OleControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE OleControl::InitFromData(IDataObject*, BOOL, DWORD) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE OleControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data != nullptr) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE OleControl::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND,
                                             LPCRECT position) {
  return ComBoundary([&]() -> HRESULT {
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_INPLACEACTIVATE:
        return InPlaceActivate(verb, position);
      case OLEIVERB_UIACTIVATE:
        return InPlaceActivate(verb, position);
      case OLEIVERB_HIDE:
        UIDeactivate();
        if (window_) ::ShowWindow(window_.Get(), SW_HIDE);
        return S_OK;
      default:
        // A verb of the container's own that the control does not know: the primary verb.
        if (verb > 0) {
          const HRESULT result = InPlaceActivate(OLEIVERB_PRIMARY, position);
          return FAILED(result) ? result : OLEOBJ_S_INVALIDVERB;
        }
        return E_NOTIMPL;
    }
  });
}

HRESULT STDMETHODCALLTYPE OleControl::EnumVerbs(IEnumOLEVERB** verbs) {
  return ::OleRegEnumVerbs(*classId_, verbs);
}

HRESULT STDMETHODCALLTYPE OleControl::Update() { return S_OK; }

HRESULT STDMETHODCALLTYPE OleControl::IsUpToDate() { return S_OK; }

HRESULT STDMETHODCALLTYPE OleControl::GetUserClassID(CLSID* classId) {
  if (classId == nullptr) return E_POINTER;
  *classId = *classId_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetUserType(DWORD form, LPOLESTR* userType) {
  return ::OleRegGetUserType(*classId_, form, userType);
}

HRESULT STDMETHODCALLTYPE OleControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (size == nullptr) return E_POINTER;
  extent_ = *size;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  if (size == nullptr) return E_POINTER;
  *size = extent_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::Advise(IAdviseSink* sink, DWORD* connection) {
  return ComBoundary([&] {
    if (!oleAdviseHolder_) {
      const HRESULT made = ::CreateOleAdviseHolder(&oleAdviseHolder_);
      if (FAILED(made)) return made;
    }
    return oleAdviseHolder_->Advise(sink, connection);
  });
}

HRESULT STDMETHODCALLTYPE OleControl::Unadvise(DWORD connection) {
  if (!oleAdviseHolder_) return OLE_E_NOCONNECTION;
  return oleAdviseHolder_->Unadvise(connection);
}

HRESULT STDMETHODCALLTYPE OleControl::EnumAdvise(IEnumSTATDATA** advises) {
  if (advises == nullptr) return E_POINTER;
  *advises = nullptr;
  if (!oleAdviseHolder_) return S_OK;
  return oleAdviseHolder_->EnumAdvise(advises);
}

HRESULT STDMETHODCALLTYPE OleControl::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = identity_.miscStatus;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

HWND OleControl::OwnerWindow() const {
  if (window_) return window_.Get();
  HWND container = nullptr;
  if (inPlaceSite_ && SUCCEEDED(inPlaceSite_->GetWindow(&container))) return container;
  return nullptr;
}

// IOleWindow

HRESULT STDMETHODCALLTYPE OleControl::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = window_.Get();
  return window_ ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE OleControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

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
  if (window_ && verb != OLEIVERB_HIDE) ::ShowWindow(window_.Get(), SW_SHOW);
  if (verb == OLEIVERB_UIACTIVATE || verb == OLEIVERB_PRIMARY) return UIActivate();
  return S_OK;
}

HRESULT OleControl::UIActivate() {
  if (state_ == State::UIActive) return S_OK;
  state_ = State::UIActive;
  inPlaceSite_->OnUIActivate();
  if (window_) ::SetFocus(window_.Get());
  auto* active = static_cast<IOleInPlaceActiveObject*>(this);
  if (frame_) frame_->SetActiveObject(active, nullptr);
  if (uiWindow_) uiWindow_->SetActiveObject(active, nullptr);
  if (frame_) frame_->SetBorderSpace(nullptr);
  if (uiWindow_) uiWindow_->SetBorderSpace(nullptr);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::UIDeactivate() {
  return ComBoundary([&] {
    if (state_ != State::UIActive) return S_OK;
    state_ = State::InPlaceActive;
    if (uiWindow_) uiWindow_->SetActiveObject(nullptr, nullptr);
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE OleControl::InPlaceDeactivate() {
  return ComBoundary([&] {
    if (state_ == State::Loaded) return S_OK;
    UIDeactivate();
    state_ = State::Loaded;
    window_.Reset();
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
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE OleControl::SetObjectRects(LPCRECT position, LPCRECT clip) {
  if (position == nullptr) return E_POINTER;
  position_ = *position;
  if (clip != nullptr) clip_ = *clip;
  if (window_) {
    ::SetWindowPos(window_.Get(), nullptr, position_.left, position_.top,
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
    const bool handled = HandleControlMessage(message, wParam, lParam, handledResult);
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

// IViewObject, IViewObject2, IViewObjectEx

HRESULT STDMETHODCALLTYPE OleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC,
                                           HDC draw, LPCRECTL bounds, LPCRECTL,
                                           BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  return ComBoundary([&] {
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_OPAQUE) return DV_E_DVASPECT;
    if (draw == nullptr) return E_INVALIDARG;
    RECT area{};
    if (bounds != nullptr) {
      area = ToRect(*bounds);
    } else if (windowless_ && state_ != State::Loaded) {
      // A windowless control draws where its container placed it.
      area = position_;
    } else {
      return E_INVALIDARG;
    }
    DrawControl(draw, area);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE OleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                                  LOGPALETTE** colors) {
  if (colors != nullptr) *colors = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE OleControl::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  viewAspects_ = aspects;
  viewAdviseFlags_ = flags;
  viewAdviseSink_ = sink;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetAdvise(DWORD* aspects, DWORD* flags,
                                                IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = viewAspects_;
  if (flags != nullptr) *flags = viewAdviseFlags_;
  if (sink != nullptr) {
    *sink = nullptr;
    if (viewAdviseSink_) viewAdviseSink_.CopyTo(sink);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*,
                                                LPSIZEL size) {
  return GetExtent(aspect, size);
}

HRESULT STDMETHODCALLTYPE OleControl::GetRect(DWORD aspect, LPRECTL rect) {
  if (rect == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *rect = {position_.left, position_.top, position_.right, position_.bottom};
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetViewStatus(DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = identity_.viewStatus;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT point,
                                                    LONG, DWORD* hitResult) {
  if (bounds == nullptr || hitResult == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  *hitResult = ::PtInRect(bounds, point) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT rect,
                                                   LONG, DWORD* hitResult) {
  if (bounds == nullptr || rect == nullptr || hitResult == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  RECT overlap{};
  *hitResult = ::IntersectRect(&overlap, bounds, rect) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetNaturalExtent(DWORD aspect, LONG, DVTARGETDEVICE*, HDC,
                                                       DVEXTENTINFO*, LPSIZEL size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  *size = identity_.initialExtent;
  return S_OK;
}

// IOleControl

HRESULT STDMETHODCALLTYPE OleControl::GetControlInfo(CONTROLINFO*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::OnMnemonic(MSG*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::OnAmbientPropertyChange(DISPID) { return S_OK; }

HRESULT STDMETHODCALLTYPE OleControl::FreezeEvents(BOOL) { return S_OK; }

// IQuickActivate

HRESULT STDMETHODCALLTYPE OleControl::QuickActivate(QACONTAINER* container, QACONTROL* control) {
  if (container == nullptr || control == nullptr) return E_POINTER;
  if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL)) {
    return E_INVALIDARG;
  }
  return ComBoundary([&] {
    SetClientSite(container->pClientSite);
    if (container->pAdviseSink != nullptr) {
      SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    }
    control->dwMiscStatus = identity_.miscStatus;
    control->dwViewStatus = identity_.viewStatus;
    control->dwEventCookie = 0;
    control->dwPropNotifyCookie = 0;
    control->dwPointerActivationPolicy = 0;
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE OleControl::SetContentExtent(LPSIZEL size) {
  return SetExtent(DVASPECT_CONTENT, size);
}

HRESULT STDMETHODCALLTYPE OleControl::GetContentExtent(LPSIZEL size) {
  return GetExtent(DVASPECT_CONTENT, size);
}

// IDataObject

HRESULT STDMETHODCALLTYPE OleControl::GetData(FORMATETC*, STGMEDIUM*) { return DV_E_FORMATETC; }

HRESULT STDMETHODCALLTYPE OleControl::GetDataHere(FORMATETC*, STGMEDIUM*) {
  return DV_E_FORMATETC;
}

HRESULT STDMETHODCALLTYPE OleControl::QueryGetData(FORMATETC*) { return DV_E_FORMATETC; }

HRESULT STDMETHODCALLTYPE OleControl::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out != nullptr) out->ptd = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE OleControl::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
  return ::OleRegEnumFormatEtc(*classId_, direction, formats);
}

HRESULT STDMETHODCALLTYPE OleControl::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                              DWORD* connection) {
  return ComBoundary([&] {
    if (!dataAdviseHolder_) {
      const HRESULT made = ::CreateDataAdviseHolder(&dataAdviseHolder_);
      if (FAILED(made)) return made;
    }
    return dataAdviseHolder_->Advise(static_cast<IDataObject*>(this), format, flags, sink,
                                     connection);
  });
}

HRESULT STDMETHODCALLTYPE OleControl::DUnadvise(DWORD connection) {
  if (!dataAdviseHolder_) return OLE_E_NOCONNECTION;
  return dataAdviseHolder_->Unadvise(connection);
}

HRESULT STDMETHODCALLTYPE OleControl::EnumDAdvise(IEnumSTATDATA** advises) {
  if (advises == nullptr) return E_POINTER;
  *advises = nullptr;
  if (!dataAdviseHolder_) return S_OK;
  return dataAdviseHolder_->EnumAdvise(advises);
}

// The control's own window

HRESULT OleControl::CreateControlWindow(HWND parent, const RECT& position) {
  if (!RegisterWindowClassOnce(&OleControl::WindowProc)) return E_FAIL;
  window_.Reset(::CreateWindowExW(0, WindowClassName, nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                  position.left, position.top, position.right - position.left,
                                  position.bottom - position.top, parent, nullptr, CodeModule(),
                                  this));
  return window_ ? S_OK : HRESULT_FROM_WIN32(::GetLastError());
}

LRESULT CALLBACK OleControl::WindowProc(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<OleControl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  LRESULT result = 0;
  const HRESULT outcome = ComBoundary([&] {
    result = self->HandleWindowMessage(window, message, wParam, lParam);
    return S_OK;
  });
  return SUCCEEDED(outcome) ? result : ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT OleControl::HandleWindowMessage(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
  LRESULT result = 0;
  if (HandleControlMessage(message, wParam, lParam, result)) return result;
  if (releasing_) return ::DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = ::BeginPaint(window, &paint);
      RECT client{};
      ::GetClientRect(window, &client);
      DrawControl(dc, client);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_MOUSEACTIVATE:
      // A click into the control makes it the container's active object.
      if (state_ == State::InPlaceActive) InPlaceActivate(OLEIVERB_UIACTIVATE, nullptr);
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      ComPtr<IOleControlSite> controlSite;
      if (clientSite_ && SUCCEEDED(clientSite_.As(&controlSite))) {
        controlSite->OnFocus(message == WM_SETFOCUS);
      }
      break;
    }
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace tidewire
