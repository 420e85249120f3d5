#pragma once
// The host's control site: one object serves a control as its client site, its windowless
// in-place site and its in-place frame. The control runs without a window of its own over the
// whole client area of the host window: the site paints it through its view object, passes it
// the mouse messages that hit it, and turns its redraw requests into invalidations of the host
// window.

#include <ocidl.h>
#include <oleidl.h>
#include <windows.h>

#include <span>

#include "ole/com_object.h"
#include "win/com.h"

namespace tidewire {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class ControlSite final
    : public ComObject<ControlSite, IOleClientSite, IOleInPlaceSiteWindowless, IOleInPlaceFrame> {
 public:
  ControlSite(IUnknown* outer, HWND window);
  static std::span<const InterfaceEntry<ControlSite>> InterfaceMap();

  // Creates the control of `classId` in process, initialises it with no stored state, makes this
  // object its site and activates it without a window over the client area. On success the
  // control's interface `iid` is in `control`; on failure whatever was made is let go.
  HRESULT CreateControl(const CLSID& classId, REFIID iid, void** control);
  // Draws the control into the host window's device context over the client area.
  void Draw(HDC dc);
  // Passes a mouse message (client coordinates in lParam) to the control if it hits the
  // control's rectangle.
  void ForwardMouseMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Places the control over the client area again after the window changed size.
  void FitToClientArea();
  // Deactivates and closes the control and lets go of it; the site then answers no window.
  void Close();

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
  HRESULT STDMETHODCALLTYPE ShowObject() override;
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) override;
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;

  // IOleWindow (of the in-place site and of the frame)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;

  // IOleInPlaceSite, IOleInPlaceSiteEx, IOleInPlaceSiteWindowless
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
  HRESULT STDMETHODCALLTYPE OnUIActivate() override;
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                             IOleInPlaceUIWindow** document, LPRECT position,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) override;
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override;
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT position) override;
  HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL noRedraw) override;
  HRESULT STDMETHODCALLTYPE RequestUIActivate() override;
  HRESULT STDMETHODCALLTYPE CanWindowlessActivate() override;
  HRESULT STDMETHODCALLTYPE GetCapture() override;
  HRESULT STDMETHODCALLTYPE SetCapture(BOOL capture) override;
  HRESULT STDMETHODCALLTYPE GetFocus() override;
  HRESULT STDMETHODCALLTYPE SetFocus(BOOL focus) override;
  HRESULT STDMETHODCALLTYPE GetDC(LPCRECT rect, DWORD flags, HDC* dc) override;
  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override;
  HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT rect, BOOL erase) override;
  HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN region, BOOL erase) override;
  HRESULT STDMETHODCALLTYPE ScrollRect(INT dx, INT dy, LPCRECT scroll, LPCRECT clip) override;
  HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT rect) override;
  HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                               LRESULT* result) override;

  // IOleInPlaceUIWindow, IOleInPlaceFrame: no menus, tool space or status line to share.
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT border) override;
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS widths) override;
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS widths) override;
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object,
                                            LPCOLESTR name) override;
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) override;
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) override;
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR text) override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message, WORD id) override;

 private:
  RECT ClientArea() const;

  HWND window_;
  bool inPlaceActive_ = false;
  RECT position_{};
  // The control, released in reverse order: the windowless interface, the view, the object.
  ComPtr<IOleObject> object_;
  ComPtr<IViewObject> view_;
  ComPtr<IOleInPlaceObjectWindowless> windowless_;
};

#pragma GCC diagnostic pop

}  // namespace tidewire
