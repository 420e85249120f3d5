#pragma once
// A small OLE control container for tests: one object for the client site, the (windowless)
// in-place site, the control site and the view's advise sink. It records what the control asks
// of it.

#include <ocidl.h>
#include <oleidl.h>
#include <windows.h>

#include <functional>
#include <span>

#include "ole/com_object.h"
#include "win/com.h"

namespace tidewire::testing_support {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class TestControlSite final
    : public ComObject<TestControlSite, IOleClientSite, IOleInPlaceSiteWindowless, IAdviseSink,
                       IOleControlSite> {
 public:
  // `window` is the container's window (null for none); `offerWindowless` decides whether the
  // site lets the control activate without a window of its own.
  TestControlSite(IUnknown* outer, HWND window, bool offerWindowless, RECT position)
      : ComObject(outer), window_(window), offerWindowless_(offerWindowless), position_(position) {}
  // A site that does not offer windowless activation does not answer for its interface.
  std::span<const InterfaceEntry<TestControlSite>> InterfaceMap() const {
    using S = TestControlSite;
    static constexpr InterfaceEntry<S> map[] = {
        Entry<S, IOleClientSite>(),    Entry<S, IAdviseSink>(),
        Entry<S, IOleControlSite>(),   Entry<S, IOleWindow, IOleInPlaceSiteWindowless>(),
        Entry<S, IOleInPlaceSite>(),   Entry<S, IOleInPlaceSiteEx>(),
        Entry<S, IOleInPlaceSiteWindowless>(),
    };
    return offerWindowless_ ? std::span(map) : std::span(map).first(6);
  }

  // What the control did.
  int activations = 0;
  DWORD activationFlags = 0;
  int deactivations = 0;
  int uiActivations = 0;
  int invalidations = 0;
  int viewChanges = 0;
  int focusChanges = 0;
  // Called on every focus change the control reports, as a container's own code would be.
  std::function<void()> onFocus;

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = window_;
    return window_ != nullptr ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override {
    ++activations;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override {
    ++uiActivations;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                             IOleInPlaceUIWindow** document, LPRECT position,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *document = nullptr;
    *position = position_;
    *clip = position_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
    ++deactivations;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceSiteEx
  HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override {
    if (noRedraw != nullptr) *noRedraw = FALSE;
    ++activations;
    activationFlags = flags;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL) override {
    ++deactivations;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RequestUIActivate() override { return S_OK; }

  // IOleInPlaceSiteWindowless
  HRESULT STDMETHODCALLTYPE CanWindowlessActivate() override {
    return offerWindowless_ ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE GetCapture() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE SetCapture(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetFocus() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE SetFocus(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetDC(LPCRECT, DWORD, HDC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT, BOOL) override {
    ++invalidations;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN, BOOL) override {
    ++invalidations;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) override {
    *result = 0;
    return S_OK;
  }

  // IAdviseSink
  void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
  void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override { ++viewChanges; }
  void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
  void STDMETHODCALLTYPE OnSave() override {}
  void STDMETHODCALLTYPE OnClose() override {}

  // IOleControlSite
  HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** control) override {
    *control = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override {
    ++focusChanges;
    if (onFocus) onFocus();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }

 private:
  HWND window_;
  bool offerWindowless_;
  RECT position_;
};

#pragma GCC diagnostic pop

// Puts `control` into a new test site of `window` at `position` (the site in `site`) and
// activates it in place; the result of the activation.
inline HRESULT ActivateInTestSite(IOleObject* control, HWND window, bool offerWindowless,
                                  const RECT& position, ComPtr<IOleClientSite>& site) {
  const HRESULT created =
      TestControlSite::Create(nullptr, IID_PPV_ARGS(&site), window, offerWindowless, position);
  if (FAILED(created)) return created;
  control->SetClientSite(site.Get());
  return control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, window, &position);
}

}  // namespace tidewire::testing_support
