#include "control/tidewire_gadget_win.h"

#include <olectl.h>
#include <shellapi.h>

#include <string>

#include "control/band_sizing.h"
#include "control/open_link.h"
#include "control/ticker_drawing_win.h"
#include "control/feeds_headline_source_win.h"
#include "control/gadget_identity_win.h"
#include "settings/istream_byte_stream_win.h"
#include "settings/language_defaults.h"
#include "settings/settings_location.h"
#include "settings/settings_stream.h"
#include "win/com_boundary.h"
#include "win/dpi.h"
#include "win/handles.h"
#include "win/module.h"
#include "win/property_frame.h"
#include "win/registry_stream.h"

namespace tidewire {
namespace {

// The text of the control's menu item in the library's string table.
constexpr UINT PauseMenuString = 102;
constexpr char KeptSettingsLine[] = "Stored settings could not be read: kept them unchanged\n";

const char16_t* Chars(BSTR text) { return reinterpret_cast<const char16_t*>(text); }

// Writes a new automation string with `text`; nothing for a null out-pointer.
void ReturnString(const std::u16string& text, BSTR* out) {
  if (out == nullptr) return;
  *out = UniqueBstr(text).Take();
}

template <typename Value>
void ReturnValue(Value value, Value* out) {
  if (out != nullptr) *out = value;
}

}  // namespace

CTidewireGadget::CTidewireGadget(IUnknown* outer, RegisterServerFunction registerServer)
    : ComObject(outer),
      moduleFile_(ModuleFileName(CodeModule())),
      dispatch_(moduleFile_.c_str(), IID_ITidewireGadget) {
  // Every construction writes the library's registration again; a registration that cannot be
  // written (no rights) changes nothing for the control.
  if (registerServer != nullptr) static_cast<void>(registerServer());
  SetControlIdentity(CLSID_TidewireGadget, TidewireGadgetIdentity);
  accessible_ = BandAccessible::Create(*this, *ControllingUnknown());
  engine_ = std::make_unique<TickerEngine>(CreateFeedsHeadlineSource, [this] { FireViewChange(); });
  engine_->SetLineStartedHandler([this] { RaiseAccessibleEvent(EVENT_OBJECT_VALUECHANGE); });
}

CTidewireGadget::~CTidewireGadget() {
  // The engine goes first (downloads, hidden window, delay threads, drawing resources); then the
  // control's own window, while its message map still exists, and the container's pointers.
  engine_.reset();
  ReleaseAccessibleSite();
  accessible_->Disconnect();
  ReleaseContainer();
}

std::span<const InterfaceEntry<CTidewireGadget>> CTidewireGadget::InterfaceMap() {
  using G = CTidewireGadget;
  static constexpr InterfaceEntry<G> map[] = {
      Entry<G, ITidewireGadget>(),    Entry<G, IDispatch>(),
      Entry<G, IObjectWithSite>(),
      Entry<G, IPersistStreamInit>(),
      Entry<G, ISpecifyPropertyPages>(),
      Entry<G, IPersist>(),
      Entry<G, IViewObjectEx>(),
      Entry<G, IViewObject2>(),
      Entry<G, IViewObject>(),
      Entry<G, IOleInPlaceObjectWindowless>(),
      Entry<G, IOleInPlaceObject>(),
      Entry<G, IOleWindow, IOleInPlaceObjectWindowless>(),
      Entry<G, IOleInPlaceActiveObject>(),
      Entry<G, IOleControl>(),
      Entry<G, IOleObject>(),
      Entry<G, ISupportErrorInfo>(),
      Entry<G, IQuickActivate>(),
      Entry<G, IDataObject>(),
      Entry<G, IProvideClassInfo>(),
      Entry<G, IProvideClassInfo2>(),
      Entry<G, IContextMenu>(),
      // The accessible object is a tear-off: an object of its own whose identity is the control.
      {&AccessibleIid, [](G* gadget) -> void* {
         return static_cast<IAccessible*>(gadget->accessible_.Get());
       }},
  };
  return map;
}

HRESULT CTidewireGadget::CreateInstance(IUnknown* outer, REFIID iid, void** object,
                                        RegisterServerFunction registerServer) {
  return Create(outer, iid, object, registerServer);
}

// ITidewireGadget

HRESULT STDMETHODCALLTYPE CTidewireGadget::get_FeedURLs(BSTR* pBstr) {
  return ComBoundary([&] { ReturnString(engine_->Settings().speech_feed_URLs, pBstr); });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::put_FeedURLs(BSTR newVal) {
  return ComBoundary([&] {
    storedSettingsUnreadable_ = false;
    engine_->Settings().speech_feed_URLs = FeedListToStore(Chars(newVal));
    engine_->MarkForNextHeadline();
    engine_->SetFeedList(engine_->Settings().speech_feed_URLs);
  });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::get_FeedRefreshRate(int* pRate) {
  ReturnValue<int>(FeedRefreshMinutes(engine_->Settings().feed_refresh_rate), pRate);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::put_FeedRefreshRate(int newVal) {
  storedSettingsUnreadable_ = false;
  const std::int32_t refreshMs = FeedRefreshMsFromMinutes(newVal);
  engine_->Settings().feed_refresh_rate = refreshMs;
  engine_->SetRefreshMs(static_cast<std::uint32_t>(refreshMs));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::get_DelayBetweenFeeds(int* pDelay) {
  ReturnValue<int>(DelayBetweenFeedsSeconds(engine_->Settings().delay_between_feeds), pDelay);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::put_DelayBetweenFeeds(int newVal) {
  storedSettingsUnreadable_ = false;
  engine_->Settings().delay_between_feeds = DelayBetweenFeedsMsFromSeconds(newVal);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::get_SpeechSpeed(int* pSpeed) {
  ReturnValue<int>(engine_->Settings().speech_speed, pSpeed);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::put_SpeechSpeed(int newVal) {
  storedSettingsUnreadable_ = false;
  engine_->Settings().speech_speed = newVal;
  engine_->RestartScrollTimer();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::IncrementFeed() {
  return ComBoundary([&] { engine_->IncrementFeed(); });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::LoadSettings() {
  return ComBoundary([&] {
    UniqueRegKey key;
    if (::RegCreateKeyW(HKEY_CURRENT_USER, SettingsKey, key.Put()) != ERROR_SUCCESS) {
      return InitNew();
    }
    // A missing value gives the defaults.
    const ComPtr<IStream> stream = OpenRegistryValueStream(
        key.Get(), SettingsSubkey, ControlSettingsValue, STGM_READ, LoadSettingsSeekLine);
    if (!stream) return InitNew();
    Load(stream.Get());
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::ShowSettings() {
  return ComBoundary([&] {
    ComPtr<ISpecifyPropertyPages> specify;
    if (SUCCEEDED(InnerUnknown()->QueryInterface(IID_PPV_ARGS(&specify)))) {
      ShowPropertyFrame(OwnerWindow(), *specify.Get(), ControllingUnknown());
    }
  });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::SaveSettings() {
  return ComBoundary([&] {
    if (storedSettingsUnreadable_) {
      ::OutputDebugStringA(KeptSettingsLine);
      return S_OK;
    }
    UniqueRegKey key;
    if (::RegCreateKeyW(HKEY_CURRENT_USER, SettingsKey, key.Put()) != ERROR_SUCCESS) return S_OK;
    const ComPtr<IStream> stream = OpenRegistryValueStream(
        key.Get(), SettingsSubkey, ControlSettingsValue, STGM_WRITE, SaveSettingsSeekLine);
    if (stream && FAILED(Save(stream.Get(), TRUE))) ::OutputDebugStringA(SaveSettingsWriteLine);
    // Releasing the write stream stores its bytes as the value.
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::OpenCurrentLink() {
  return ComBoundary([&] {
    const std::u16string link = engine_->State().CurrentHeadline().link;
    if (IsOpenableLink(link)) {
      ::ShellExecuteW(nullptr, L"open", WideChars(link), nullptr, nullptr, SW_SHOWNORMAL);
    }
  });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::Pause() {
  TogglePause();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::get_Paused(VARIANT_BOOL* pVal) {
  ReturnValue<VARIANT_BOOL>(engine_->Paused() ? VARIANT_TRUE : VARIANT_FALSE, pVal);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::get_FeedURLsActive(BSTR* pBstr) {
  return ComBoundary([&] { ReturnString(engine_->Settings().speech_feed_URLs_active, pBstr); });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::put_FeedURLsActive(BSTR newVal) {
  return ComBoundary([&] {
    storedSettingsUnreadable_ = false;
    engine_->Settings().speech_feed_URLs_active = ActiveFlagsToStore(Chars(newVal));
    engine_->MarkForNextHeadline();
    engine_->SetActiveFlags(engine_->Settings().speech_feed_URLs_active);
  });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::SetLanguage(BSTR LangID) {
  return ComBoundary([&] { ProcessLanguageDefaults().SetLanguage(Chars(LangID)); });
}

LRESULT CTidewireGadget::OnSizing(RECT& rect) {
  SizingRect sizing{rect.left, rect.top, rect.right, rect.bottom};
  LimitToBandHeight(sizing, WindowDpi(ControlWindow()));
  rect.bottom = sizing.bottom;
  return 0;
}

// IDispatch

HRESULT STDMETHODCALLTYPE CTidewireGadget::GetTypeInfoCount(UINT* count) {
  return ComBoundary([&] { return dispatch_.GetTypeInfoCount(count); });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::GetTypeInfo(UINT index, LCID locale,
                                                       ITypeInfo** typeInfo) {
  return ComBoundary([&] { return dispatch_.GetTypeInfo(index, locale, typeInfo); });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::GetIDsOfNames(REFIID iid, LPOLESTR* names,
                                                         UINT nameCount, LCID locale,
                                                         DISPID* ids) {
  return ComBoundary([&] { return dispatch_.GetIDsOfNames(iid, names, nameCount, locale, ids); });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::Invoke(DISPID member, REFIID iid, LCID locale,
                                                  WORD flags, DISPPARAMS* parameters,
                                                  VARIANT* result, EXCEPINFO* exception,
                                                  UINT* argumentError) {
  return ComBoundary([&] {
    return dispatch_.Invoke(static_cast<ITidewireGadget*>(this), member, iid, locale, flags,
                            parameters, result, exception, argumentError);
  });
}

// IObjectWithSite

HRESULT STDMETHODCALLTYPE CTidewireGadget::SetSite(IUnknown* site) {
  site_ = site;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::GetSite(REFIID iid, void** site) {
  if (site == nullptr) return E_POINTER;
  *site = nullptr;
  if (!site_) return E_FAIL;
  return site_->QueryInterface(iid, site);
}

// IPersistStreamInit

HRESULT STDMETHODCALLTYPE CTidewireGadget::GetClassID(CLSID* classId) {
  if (classId == nullptr) return E_POINTER;
  *classId = CLSID_TidewireGadget;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::IsDirty() { return requiresSave_ ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE CTidewireGadget::Load(LPSTREAM stream) {
  if (stream == nullptr) return E_POINTER;
  return ComBoundary([&] {
    IStreamByteStream bytes(*stream);
    const bool read = LoadSettingsStream(bytes, engine_->Settings(),
                                         ProcessLanguageDefaults().DefaultFeedList());
    if (read) requiresSave_ = false;
    storedSettingsUnreadable_ = !read;
    engine_->NotifySettingsLoaded();
  });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::Save(LPSTREAM stream, BOOL clearDirty) {
  if (stream == nullptr) return E_POINTER;
  return ComBoundary([&] {
    IStreamByteStream bytes(*stream);
    const HRESULT result = SaveSettingsStream(engine_->Settings(), bytes);
    if (SUCCEEDED(result) && clearDirty) requiresSave_ = false;
    return SUCCEEDED(result) && storedSettingsUnreadable_ ? S_FALSE : result;
  });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = SettingsStreamSize(engine_->Settings());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::InitNew() {
  return ComBoundary([&] {
    engine_->Settings() = DefaultSettingsRecord();
    requiresSave_ = true;
    storedSettingsUnreadable_ = false;
    engine_->NotifySettingsLoaded();
  });
}

// ISpecifyPropertyPages

HRESULT STDMETHODCALLTYPE CTidewireGadget::GetPages(CAUUID* pages) {
  if (pages == nullptr) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(sizeof(GUID)));
  if (pages->pElems == nullptr) return E_OUTOFMEMORY;
  pages->pElems[0] = CLSID_TidewireGadgetPropPage;
  pages->cElems = 1;
  return S_OK;
}

// ISupportErrorInfo

HRESULT STDMETHODCALLTYPE CTidewireGadget::InterfaceSupportsErrorInfo(REFIID iid) {
  return ::IsEqualIID(iid, IID_ITidewireGadget) ? S_OK : S_FALSE;
}

// IProvideClassInfo, IProvideClassInfo2

HRESULT STDMETHODCALLTYPE CTidewireGadget::GetClassInfo(ITypeInfo** typeInfo) {
  return ComBoundary(
      [&] { return LoadTypeInfo(moduleFile_.c_str(), CLSID_TidewireGadget, typeInfo); });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
  // The control raises no events: its outgoing interface is the null identifier.
  *guid = IID_NULL;
  return S_OK;
}

// Drawing and the control's message map

void CTidewireGadget::DrawControl(HDC dc, const RECT& bounds) {
  // Checked at every frame: a windowless control hears of no DPI change. A container that is not
  // DPI aware gets 96 for its windows and is scaled by the system as a whole.
  if (engine_) DrawTicker(*engine_, dc, bounds, DrawingDpi(dc, OwnerWindow()));
}

bool CTidewireGadget::HandleControlMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                           LRESULT* result) {
  // The window may still receive messages while the control is being torn down.
  if (!engine_) return false;
  *result = 0;
  switch (message) {
    case WM_LBUTTONDOWN:
      // A click gives the band the keyboard focus, so that Space and Enter reach it.
      TakeFocus();
      return true;
    case WM_LBUTTONUP:
      return true;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) {
        TogglePause();
        return true;
      }
      if (wParam == VK_RETURN) {
        OpenCurrentLink();
        return true;
      }
      return false;
    case WM_GETDLGCODE: {
      // Enter is the band's own, not the dialog's default button; Tab, the arrows and Escape
      // stay the dialog's.
      const MSG* key = reinterpret_cast<const MSG*>(lParam);
      if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
        *result = DLGC_WANTMESSAGE;
      }
      return true;
    }
    case WM_GETOBJECT:
      // The control's own window answers for the band; a windowless control's container does.
      // The identifier is compared as 32 bits, as the message's documentation asks.
      if (ControlWindow() == nullptr ||
          static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT)) {
        return false;
      }
      *result = ::LresultFromObject(AccessibleIid, wParam,
                                    static_cast<IAccessible*>(accessible_.Get()));
      return true;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      // High contrast may have come or gone: the next frame takes the colours.
      FireViewChange();
      return false;
    case WM_SETCURSOR:
      return SetCursorHandler();
    case WM_ERASEBKGND:
      return true;
    case WM_SIZING:
      if (lParam != 0) OnSizing(*reinterpret_cast<RECT*>(lParam));
      return true;
    default:
      return false;
  }
}

bool CTidewireGadget::SetCursorHandler() {
  // The hand only where a click opens something: the link rule of OpenCurrentLink.
  const TickerState& state = engine_->State();
  if (state.BetweenLines() || !IsOpenableLink(state.CurrentHeadline().link)) return false;
  ::SetCursor(engine_->HandCursor());
  return true;
}

void CTidewireGadget::TogglePause() {
  engine_->Pause();
  RaiseAccessibleEvent(EVENT_OBJECT_STATECHANGE);
}

// The band's accessible object

CTidewireGadget::Reading CTidewireGadget::ReadBand() {
  engine_->BringConnectingTextUpToDate();
  const Headline& line = engine_->State().CurrentHeadline();
  Reading band;
  band.value.assign(WideChars(line.text), line.text.size());
  std::wstring about(WideChars(line.feedTitle), line.feedTitle.size());
  if (!line.fetchTime.empty()) {
    if (!about.empty()) about += L", ";
    about.append(WideChars(line.fetchTime), line.fetchTime.size());
  }
  if (engine_->Paused()) {
    band.description = AccessiblePausedText;
    if (!about.empty()) band.description += L". " + about;
  } else {
    band.description = std::move(about);
  }
  band.opens = IsOpenableLink(line.link);
  band.focused = HasFocus();
  return band;
}

bool CTidewireGadget::BandScreenRect(RECT* rect) {
  if (ControlWindow() != nullptr) return ::GetWindowRect(ControlWindow(), rect) != FALSE;
  const HWND container = OwnerWindow();
  if (container == nullptr) return false;
  *rect = Position();
  ::MapWindowPoints(container, nullptr, reinterpret_cast<POINT*>(rect), 2);
  return true;
}

HRESULT CTidewireGadget::AccessibleParent(IDispatch** parent) {
  if (IAccessibleWindowlessSite* site = AccessibleSite()) {
    ComPtr<IAccessible> container;
    if (SUCCEEDED(site->GetParentAccessible(&container)) && container) {
      return container->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(parent));
    }
  }
  // The object stands for the client area of the window it is drawn in (the control's own, or
  // the host's that it fills); its parent is that window's object.
  const HWND window = OwnerWindow();
  if (window == nullptr) return S_FALSE;
  return ::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                      reinterpret_cast<void**>(parent));
}

void CTidewireGadget::OpenBandLink() { OpenCurrentLink(); }

IAccessibleWindowlessSite* CTidewireGadget::AccessibleSite() {
  IOleInPlaceSite* site = Windowless() ? InPlaceSite() : nullptr;
  if (site != accessibleSiteOf_) {
    ReleaseAccessibleSite();
    accessibleSiteOf_ = site;
    ComPtr<IAccessibleWindowlessSite> offered;
    LONG base = 0;
    if (site != nullptr &&
        SUCCEEDED(site->QueryInterface(AccessibleWindowlessSiteIid,
                                       reinterpret_cast<void**>(offered.GetAddressOf()))) &&
        SUCCEEDED(offered->AcquireObjectIdRange(1, accessible_.Get(), &base))) {
      accessibleSite_ = offered;
      accessibleObjectId_ = base;
    }
  }
  return accessibleSite_.Get();
}

void CTidewireGadget::ReleaseAccessibleSite() {
  if (accessibleSite_) accessibleSite_->ReleaseObjectIdRange(accessibleObjectId_, accessible_.Get());
  accessibleSite_.Reset();
  accessibleSiteOf_ = nullptr;
  accessibleObjectId_ = 0;
}

void CTidewireGadget::RaiseAccessibleEvent(DWORD event) {
  // A windowless control is found under its site's identifier where the site offers one, else
  // as the client area of the container's window (which the host's band fills).
  const HWND window = OwnerWindow();
  if (window == nullptr) return;
  const LONG objectId = AccessibleSite() != nullptr ? accessibleObjectId_ : OBJID_CLIENT;
  ::NotifyWinEvent(event, window, objectId, CHILDID_SELF);
}

void CTidewireGadget::BeforeInPlaceDeactivate() { ReleaseAccessibleSite(); }

void CTidewireGadget::BeforeClose() {
  // A screen reader may keep the accessible object for as long as it likes: from here it answers
  // CO_E_OBJNOTCONNECTED, and the references other processes hold through it are cut off
  // (CoDisconnectObject), so that none of them keeps the control alive. A control activated
  // again after this gets a new one.
  ReleaseAccessibleSite();
  accessible_->Disconnect();
  // Only the control's own identity: an object that aggregates the control decides for itself.
  if (ControllingUnknown() == InnerUnknown()) ::CoDisconnectObject(ControllingUnknown(), 0);
  accessible_ = BandAccessible::Create(*this, *ControllingUnknown());
}

// IContextMenu

HRESULT STDMETHODCALLTYPE CTidewireGadget::QueryContextMenu(HMENU menu, UINT index, UINT first,
                                                            UINT, UINT) {
  return ComBoundary([&] {
    const std::wstring item = ModuleString(CodeModule(), PauseMenuString);
    ::InsertMenuW(menu, index, MF_BYPOSITION | MF_STRING, first, item.c_str());
    if (engine_->Paused()) ::CheckMenuItem(menu, first, MF_BYCOMMAND | MF_CHECKED);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
  });
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::InvokeCommand(CMINVOKECOMMANDINFO* command) {
  // The verb is a number: the container's command identifier minus the first one it offered.
  if (command != nullptr && reinterpret_cast<UINT_PTR>(command->lpVerb) == 0) TogglePause();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTidewireGadget::GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) {
  return E_NOTIMPL;
}

}  // namespace tidewire
