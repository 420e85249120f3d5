#pragma once
// The OLE control interfaces of an ActiveX control: embedding (IOleObject), in-place activation
// with or without a window of the control's own (IOleInPlaceObjectWindowless,
// IOleInPlaceActiveObject), drawing on request (IViewObjectEx), ambient notifications
// (IOleControl), quick activation (IQuickActivate) and a minimal data object (IDataObject).
//
// A control class derives from OleControl among its interfaces (ComObject<..., OleControl>) and
// supplies two hooks: drawing into a device context within bounds, and one message handler that
// serves both its own window and the messages a windowless container forwards.

#include <ocidl.h>
#include <oleidl.h>
#include <windows.h>

#include "win/com.h"
#include "win/window_owner.h"

namespace tidewire {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class OleControl : public IOleObject,
                   public IOleInPlaceObjectWindowless,
                   public IOleInPlaceActiveObject,
                   public IViewObjectEx,
                   public IOleControl,
                   public IQuickActivate,
                   public IDataObject,
                   private WindowOwner {
 public:
  // What a container learns of the control before it draws: the status bits it is registered
  // with, its extent until the container sets one (HIMETRIC), its view status, and its user
  // type name as registered for its class. The registration is read first (IOleObject's user
  // type and verbs, IDataObject's formats); where the class has none (a registration-free run
  // from an assembly manifest, or one that registered nothing of that kind) the identity
  // answers: the user type name for every form, no verbs, no formats.
  struct Identity {
    DWORD miscStatus;
    SIZEL initialExtent;
    DWORD viewStatus;
    const wchar_t* userType;
  };

  // How far activation has gone.
  enum class State { Loaded, InPlaceActive, UIActive };

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR application, LPCOLESTR document) override;
  HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation,
                                         DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* activeSite,
                                   LONG index, HWND parent, LPCRECT position) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
  HRESULT STDMETHODCALLTYPE Update() override;
  HRESULT STDMETHODCALLTYPE IsUpToDate() override;
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* classId) override;
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* userType) override;
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override;
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;

  // IOleInPlaceObject, IOleInPlaceObjectWindowless
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override;
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
  HRESULT STDMETHODCALLTYPE OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                            LRESULT* result) override;
  HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget** target) override;

  // IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                         BOOL frameWindow) override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

  // IViewObject, IViewObject2, IViewObjectEx
  HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo,
                                 DVTARGETDEVICE* device, HDC targetDevice, HDC draw,
                                 LPCRECTL bounds, LPCRECTL metafileBounds,
                                 BOOL(STDMETHODCALLTYPE* keepGoing)(ULONG_PTR),
                                 ULONG_PTR keepGoingArgument) override;
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo,
                                        DVTARGETDEVICE* device, HDC targetDevice,
                                        LOGPALETTE** colors) override;
  HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo,
                                   DWORD* freeze) override;
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                      LPSIZEL size) override;
  HRESULT STDMETHODCALLTYPE GetRect(DWORD aspect, LPRECTL rect) override;
  HRESULT STDMETHODCALLTYPE GetViewStatus(DWORD* status) override;
  HRESULT STDMETHODCALLTYPE QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT point,
                                          LONG closeHint, DWORD* hitResult) override;
  HRESULT STDMETHODCALLTYPE QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT rect,
                                         LONG closeHint, DWORD* hitResult) override;
  HRESULT STDMETHODCALLTYPE GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                             HDC targetDevice, DVEXTENTINFO* info,
                                             LPSIZEL size) override;

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* message) override;
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

  // IQuickActivate
  HRESULT STDMETHODCALLTYPE QuickActivate(QACONTAINER* container, QACONTROL* control) override;
  HRESULT STDMETHODCALLTYPE SetContentExtent(LPSIZEL size) override;
  HRESULT STDMETHODCALLTYPE GetContentExtent(LPSIZEL size) override;

  // IDataObject: no formats of its own (unless registered for the class); data advises are kept
  // for the container.
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                    DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** advises) override;

  State ActivationState() const { return state_; }
  bool Windowless() const { return windowless_; }
  // The control's own window while it is in-place active with one; else null.
  HWND ControlWindow() const { return OwnedWindow(); }
  // The window that owns what the control shows of its own (a modal frame): its own window, or
  // the container's window it is drawn in when it runs without one; null when not active.
  HWND OwnerWindow() const;
  // The control's rectangle in its container's window, as last set.
  const RECT& Position() const { return position_; }
  // The container's in-place site while the control is active; else null.
  IOleInPlaceSite* InPlaceSite() const { return inPlaceSite_.Get(); }
  // Whether the control holds the keyboard focus: its own window has it, or its windowless
  // site says so.
  bool HasFocus() const;
  // Takes the keyboard focus: into its own window, or by asking its windowless site.
  void TakeFocus();

  // Asks the container to draw the control again: the control's own window is invalidated, a
  // windowless site is asked to invalidate (with erasing), else the view's advise sink hears of
  // a change.
  void FireViewChange();

 protected:
  OleControl();
  ~OleControl();

  // `classId` names the control for the container (user type, verbs). The control's constructor
  // sets them.
  void SetControlIdentity(const CLSID& classId, const Identity& identity);

  // Draws the control into `dc` within `bounds` (device pixels).
  virtual void DrawControl(HDC dc, const RECT& bounds) = 0;
  // The control's message map for its own window and for forwarded windowless messages.
  // Returns whether the message was handled; `*result` is then its result.
  virtual bool HandleControlMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT* result) = 0;
  // Destroys the control's own window and lets go of the container's sites, frame and advise
  // sinks, in a fixed order and without calling them otherwise (not even for the focus its
  // window loses). A control's destructor calls it once its own state is gone: the window must
  // go while the control's hooks still exist.
  void ReleaseContainer();
  // Called as the container closes the control, before anything else Close does.
  virtual void BeforeClose() {}
  // Called as in-place activation ends, while the container's sites are still held.
  virtual void BeforeInPlaceDeactivate() {}

 private:
  HRESULT InPlaceActivate(LONG verb, const RECT* position);
  HRESULT UIActivate();
  HRESULT CreateControlWindow(HWND parent, const RECT& position);
  // The control's own window: the control's message map first, then painting, activation by a
  // click and focus reports.
  bool HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  const CLSID* classId_ = &CLSID_NULL;
  Identity identity_ = {0, {0, 0}, 0, nullptr};
  State state_ = State::Loaded;
  bool windowless_ = false;
  bool releasing_ = false;
  SIZEL extent_;
  RECT position_{};
  RECT clip_{};
  DWORD viewAspects_ = 0;
  DWORD viewAdviseFlags_ = 0;
  // Released in reverse order of declaration; activation releases them explicitly first.
  ComPtr<IOleClientSite> clientSite_;
  ComPtr<IOleAdviseHolder> oleAdviseHolder_;
  ComPtr<IDataAdviseHolder> dataAdviseHolder_;
  ComPtr<IAdviseSink> viewAdviseSink_;
  ComPtr<IOleInPlaceSite> inPlaceSite_;
  ComPtr<IOleInPlaceSiteWindowless> windowlessSite_;
  ComPtr<IOleInPlaceFrame> frame_;
  ComPtr<IOleInPlaceUIWindow> uiWindow_;
};

#pragma GCC diagnostic pop

}  // namespace tidewire
