#pragma once
// CTidewireGadget: the ticker control as a COM object. It owns the ticker engine and gives it to
// containers and scripts: automation (ITidewireGadget, dual), the site, persistence in a
// container's stream or in the user's registry, in-place activation and drawing (OleControl),
// the pause item of the container's menu (IContextMenu), its settings page
// (ISpecifyPropertyPages), error-information support, class information and, as a tear-off, the
// band's accessible object (IAccessible). Its primary virtual table is that of ITidewireGadget.

#include <ocidl.h>
#include <shobjidl.h>
#include <windows.h>

#include <memory>
#include <span>

#include "control/band_accessible_win.h"
#include "control/ticker_engine_win.h"
#include "ole/com_object.h"
#include "ole/module_lock.h"
#include "ole/ole_control.h"
#include "ole/type_info_dispatch.h"
#include "tidewire_idl.h"
#include "win/com.h"

namespace tidewire {

class CTidewireGadget
    : public ComObject<CTidewireGadget, ITidewireGadget, IObjectWithSite, IPersistStreamInit,
                       ISpecifyPropertyPages, OleControl, ISupportErrorInfo, IProvideClassInfo2,
                       IContextMenu>,
      private BandAccessibleSource {
 public:
  // Writes the server's registration; the server's own DllRegisterServer (stdcall on x86).
  using RegisterServerFunction = HRESULT(STDAPICALLTYPE*)();

  // Every construction calls `registerServer` (when given) and ignores its result.
  CTidewireGadget(IUnknown* outer, RegisterServerFunction registerServer);
  static std::span<const InterfaceEntry<CTidewireGadget>> InterfaceMap();
  // What the class object's creation function calls.
  static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object,
                                RegisterServerFunction registerServer);

  // ITidewireGadget
  HRESULT STDMETHODCALLTYPE get_FeedURLs(BSTR* pBstr) override;
  HRESULT STDMETHODCALLTYPE put_FeedURLs(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_FeedRefreshRate(int* pRate) override;
  HRESULT STDMETHODCALLTYPE put_FeedRefreshRate(int newVal) override;
  HRESULT STDMETHODCALLTYPE get_DelayBetweenFeeds(int* pDelay) override;
  HRESULT STDMETHODCALLTYPE put_DelayBetweenFeeds(int newVal) override;
  HRESULT STDMETHODCALLTYPE get_SpeechSpeed(int* pSpeed) override;
  HRESULT STDMETHODCALLTYPE put_SpeechSpeed(int newVal) override;
  HRESULT STDMETHODCALLTYPE IncrementFeed() override;
  HRESULT STDMETHODCALLTYPE LoadSettings() override;
  HRESULT STDMETHODCALLTYPE ShowSettings() override;
  HRESULT STDMETHODCALLTYPE SaveSettings() override;
  HRESULT STDMETHODCALLTYPE OpenCurrentLink() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE get_Paused(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_FeedURLsActive(BSTR* pBstr) override;
  HRESULT STDMETHODCALLTYPE put_FeedURLsActive(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE SetLanguage(BSTR LangID) override;

  // The control's own operations, after the interface's members in the virtual table.
  // Limits an interactive resize of the control's window to the band's height.
  virtual LRESULT OnSizing(RECT& rect);
  virtual ~CTidewireGadget();

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount,
                                          LCID locale, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argumentError) override;

  // IObjectWithSite
  HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override;
  HRESULT STDMETHODCALLTYPE GetSite(REFIID iid, void** site) override;

  // IPersist, IPersistStreamInit. Save writes the settings in any case; it answers S_FALSE
  // rather than S_OK while they are the defaults that replaced stored settings it could not
  // read, unchanged since, so that a container can keep its own copy (the host does).
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
  HRESULT STDMETHODCALLTYPE InitNew() override;

  // ISpecifyPropertyPages: the settings page.
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  // IProvideClassInfo, IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** typeInfo) override;
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

  // IContextMenu
  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last,
                                             UINT flags) override;
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* command) override;
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR command, UINT type, UINT* reserved,
                                             LPSTR name, UINT size) override;

  TickerEngine& Engine() { return *engine_; }

 private:
  // OleControl's hooks: the band, the control's message map, and the ends of activation.
  void DrawControl(HDC dc, const RECT& bounds) override;
  bool HandleControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void BeforeClose() override;
  void BeforeInPlaceDeactivate() override;

  // The band's accessible object: what it reads, and the events it raises.
  Reading ReadBand() override;
  bool BandScreenRect(RECT* rect) override;
  HRESULT AccessibleParent(IDispatch** parent) override;
  void OpenBandLink() override;
  // Tells screen readers of a change of the band (NotifyWinEvent), for the window and object
  // identifier under which a screen reader finds it.
  void RaiseAccessibleEvent(DWORD event);
  // A windowless site that offers IAccessibleWindowlessSite, with the one object identifier it
  // gave the control; null where the site offers none.
  IAccessibleWindowlessSite* AccessibleSite();
  void ReleaseAccessibleSite();
  // Pauses or resumes the band, and says so to screen readers.
  void TogglePause();
  // Shows the hand over a line that has a link, except between lines.
  bool SetCursorHandler();

  // Fields release in reverse order: the engine first (downloads, window, delay threads,
  // drawing resources), then the module lock, then the site.
  ComPtr<IUnknown> site_;
  ModuleLockHolder moduleLock_;
  std::wstring moduleFile_;
  TypeInfoDispatch dispatch_;
  std::unique_ptr<TickerEngine> engine_;
  ComPtr<BandAccessible> accessible_;
  IOleInPlaceSite* accessibleSiteOf_ = nullptr;  // the site the range below was asked of
  ComPtr<IAccessibleWindowlessSite> accessibleSite_;
  LONG accessibleObjectId_ = 0;
  bool requiresSave_ = false;
  // The last Load met a stream it could not read (damaged, or from a newer version) and no
  // setting has changed since: the control runs on defaults that are not the user's. Then
  // SaveSettings keeps the stored value, and Save reports S_FALSE for what it writes.
  bool storedSettingsUnreadable_ = false;
};

}  // namespace tidewire
