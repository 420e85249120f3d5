// The host's main window made in the test's own process (needs a display): its popup menu, read
// while it is open, and the order in which it reads and writes the control's settings and its
// own, seen by a control that records the calls it receives.

#include <gtest/gtest.h>
#include <ocidl.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "host/main_dlg_win.h"
#include "ole/class_factory.h"
#include "ole/com_object.h"
#include "settings/settings_location.h"
#include "tests/server/library_under_test.h"
#include "tests/support/registry_sandbox_win.h"
#include "tidewire_idl.h"
#include "win/com.h"
#include "win/handles.h"

namespace tidewire {
namespace {


void WriteClientSettings(std::int32_t stayOnTop, const RECT& rect) {
  std::uint8_t bytes[20];
  std::memcpy(bytes, &stayOnTop, 4);
  std::memcpy(bytes + 4, &rect, 16);
  UniqueRegKey key;
  ASSERT_EQ(::RegCreateKeyW(HKEY_CURRENT_USER, SettingsKeyPath, key.Put()), ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key.Get(), ClientSettingsValue, 0, REG_BINARY, bytes, sizeof(bytes)),
            ERROR_SUCCESS);
}

// Closes the window as a close request does; the exit code it posts is taken off the queue, so
// that no later modal loop of the test meets it.
void Close(CMainDlg& window) {
  ::SendMessageW(window.Handle(), WM_CLOSE, 0, 0);
  MSG quit;
  ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

// One item of an open menu: identifier, text, check mark.
struct MenuItem {
  UINT id;
  std::wstring text;
  bool checked;
  bool operator==(const MenuItem&) const = default;
};
void PrintTo(const MenuItem& item, std::ostream* out) {
  *out << item.id << " \"" << std::string(item.text.begin(), item.text.end()) << "\""
       << (item.checked ? " checked" : "");
}

// What the last menu to open held; the menu is closed again as soon as it waits for the user.
std::vector<MenuItem> shownMenu;

LRESULT CALLBACK ReadAndCloseMenu(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == WM_INITMENUPOPUP) {
    const auto menu = reinterpret_cast<HMENU>(sent->wParam);
    shownMenu.clear();
    for (int at = 0; at < ::GetMenuItemCount(menu); ++at) {
      wchar_t text[64] = {};
      ::GetMenuStringW(menu, static_cast<UINT>(at), text, 64, MF_BYPOSITION);
      shownMenu.push_back({::GetMenuItemID(menu, at), text,
                           (::GetMenuState(menu, static_cast<UINT>(at), MF_BYPOSITION) &
                            MF_CHECKED) != 0});
    }
  } else if (code == HC_ACTION && sent->message == WM_ENTERIDLE && sent->wParam == MSGF_MENU) {
    ::EndMenu();
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Opens the window's menu with a right click and returns what it held.
std::vector<MenuItem> RightClickMenu(HWND window) {
  shownMenu.clear();
  const HHOOK hook =
      ::SetWindowsHookExW(WH_CALLWNDPROC, &ReadAndCloseMenu, nullptr, ::GetCurrentThreadId());
  ::SendMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(60, 10));
  ::UnhookWindowsHookEx(hook);
  return shownMenu;
}

class MainWindowTest : public ::testing::Test {
 protected:
  ComInitialization com_;
  const testing_support::RegistrySandbox settings_;
};

TEST_F(MainWindowTest, MenuOffersThePauseItemThenTheHostsCommandsWithTheirChecks) {
  ASSERT_EQ(RegisterLibraryUnderTest(), S_OK);
  CMainDlg window;
  ASSERT_TRUE(window.Create(nullptr));
  ::ShowWindow(window.Handle(), SW_SHOWNOACTIVATE);

  EXPECT_EQ(RightClickMenu(window.Handle()), (std::vector<MenuItem>{
                                                 {800, L"Pause\tCtrl+P", false},
                                                 {1010, L"Options\tCtrl+O", false},
                                                 {1020, L"Stay On Top", true},
                                                 {57664, L"About", false},
                                                 {1, L"Exit\tAlt+F4", false},
                                             }));
  // The control's item pauses; the stay-on-top switch goes off.
  ::SendMessageW(window.Handle(), WM_COMMAND, 800, 0);
  ::SendMessageW(window.Handle(), WM_COMMAND, 1020, 0);
  const std::vector<MenuItem> after = RightClickMenu(window.Handle());
  ASSERT_EQ(after.size(), 5u);
  EXPECT_EQ(after[0], (MenuItem{800, L"Pause\tCtrl+P", true}));
  EXPECT_EQ(after[2], (MenuItem{1020, L"Stay On Top", false}));
  Close(window);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A control that only records the persistence calls it receives, and, when it is loaded, stores
// other client settings: the host's placement shows whether it read them after that.
class RecordingGadget final
    : public ComObject<RecordingGadget, ITidewireGadget, IPersistStreamInit, IOleObject> {
 public:
  RecordingGadget(IUnknown* outer, std::vector<std::string>* calls, RECT placedOnLoad)
      : ComObject(outer), calls_(calls), placedOnLoad_(placedOnLoad) {}
  static std::span<const InterfaceEntry<RecordingGadget>> InterfaceMap() {
    using R = RecordingGadget;
    static constexpr InterfaceEntry<R> map[] = {
        Entry<R, ITidewireGadget>(), Entry<R, IDispatch>(), Entry<R, IPersistStreamInit>(),
        Entry<R, IPersist>(), Entry<R, IOleObject>()};
    return map;
  }

  // ITidewireGadget: the two calls the host makes are recorded.
  HRESULT STDMETHODCALLTYPE LoadSettings() override { return Record("LoadSettings"); }
  HRESULT STDMETHODCALLTYPE SaveSettings() override { return Record("SaveSettings"); }
  HRESULT STDMETHODCALLTYPE get_FeedURLs(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_FeedURLs(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FeedRefreshRate(int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_FeedRefreshRate(int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DelayBetweenFeeds(int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_DelayBetweenFeeds(int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_SpeechSpeed(int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_SpeechSpeed(int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IncrementFeed() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ShowSettings() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OpenCurrentLink() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Paused(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FeedURLsActive(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_FeedURLsActive(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetLanguage(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // IPersistStreamInit
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override {
    *classId = CLSID_TidewireGadget;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM) override {
    WriteClientSettings(0, placedOnLoad_);
    return Record("Load");
  }
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL) override {
    const char bytes[] = "saved";
    stream->Write(bytes, sizeof(bytes), nullptr);
    return Record("Save");
  }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InitNew() override { return Record("InitNew"); }

  // IOleObject: enough to be placed in the window; the site is held as the contract asks.
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    site_ = site;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

 private:
  HRESULT Record(const char* call) {
    calls_->push_back(call);
    return S_OK;
  }

  std::vector<std::string>* calls_;
  RECT placedOnLoad_;
  ComPtr<IOleClientSite> site_;
};

#pragma GCC diagnostic pop

std::vector<std::string> recordedCalls;
constexpr RECT PlacedOnLoad{120, 140, 420, 156};

HRESULT CreateRecordingGadget(IUnknown* outer, REFIID iid, void** object) {
  return RecordingGadget::Create(outer, iid, object, &recordedCalls, PlacedOnLoad);
}

// The recording control stands in for the control's class in this process while it lives.
class RecordingGadgetClass {
 public:
  RecordingGadgetClass() {
    ComPtr<IClassFactory> factory;
    if (SUCCEEDED(ClassFactory::Create(nullptr, IID_PPV_ARGS(&factory), &CreateRecordingGadget))) {
      ::CoRegisterClassObject(CLSID_TidewireGadget, factory.Get(), CLSCTX_INPROC_SERVER,
                              REGCLS_MULTIPLEUSE, &cookie_);
    }
  }
  ~RecordingGadgetClass() {
    if (cookie_ != 0) ::CoRevokeClassObject(cookie_);
  }
  RecordingGadgetClass(const RecordingGadgetClass&) = delete;
  RecordingGadgetClass& operator=(const RecordingGadgetClass&) = delete;

  bool Registered() const { return cookie_ != 0; }

 private:
  DWORD cookie_ = 0;
};

// Moved to a monitor of another scaling (Wine sends no such message itself): the window takes
// the suggested place with the band's height at the new DPI, and its margins and minimum size
// scale with it.
TEST_F(MainWindowTest, ADpiChangeTakesTheSuggestedPlaceAtTheBandsNewHeight) {
  ASSERT_EQ(RegisterLibraryUnderTest(), S_OK);
  CMainDlg window;
  ASSERT_TRUE(window.Create(nullptr));
  RECT suggested{200, 150, 650, 190};
  ::SendMessageW(window.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
  RECT placed{};
  ::GetWindowRect(window.Handle(), &placed);
  EXPECT_EQ(std::vector<LONG>({placed.left, placed.top, placed.right, placed.bottom}),
            std::vector<LONG>({200, 150, 650, 174}));
  const auto hit = [&](LONG x, LONG y) {
    return ::SendMessageW(window.Handle(), WM_NCHITTEST, 0, MAKELPARAM(200 + x, 150 + y));
  };
  EXPECT_EQ(hit(5, 12), HTLEFT);
  EXPECT_EQ(hit(6, 8), HTCAPTION);
  EXPECT_EQ(hit(6, 9), HTCLIENT);
  EXPECT_EQ(hit(444, 12), HTCLIENT);
  EXPECT_EQ(hit(445, 12), HTRIGHT);
  RECT dragged{200, 150, 210, 174};
  ::SendMessageW(window.Handle(), WM_SIZING, WMSZ_RIGHT, reinterpret_cast<LPARAM>(&dragged));
  EXPECT_EQ(dragged.right, 275) << "at least 75 pixels wide";
  Close(window);
}

TEST_F(MainWindowTest, ReadsTheControlsSettingsThenItsOwnAndSavesBeforeSaveSettings) {
  // Stored values: the control's (any bytes: the recorder reads none) and a topmost placement
  // that the recorder replaces with a normal one when it is loaded.
  WriteClientSettings(1, {300, 300, 600, 316});
  {
    UniqueRegKey key;
    ASSERT_EQ(::RegCreateKeyW(HKEY_CURRENT_USER, SettingsKeyPath, key.Put()), ERROR_SUCCESS);
    const BYTE stored[] = {1, 2, 3, 4};
    ::RegSetValueExW(key.Get(), ControlSettingsValue, 0, REG_BINARY, stored, sizeof(stored));
  }
  recordedCalls.clear();
  const RecordingGadgetClass recording;
  ASSERT_TRUE(recording.Registered());
  CMainDlg window;
  ASSERT_TRUE(window.Create(nullptr));

  EXPECT_EQ(recordedCalls, (std::vector<std::string>{"InitNew", "LoadSettings", "Load"}));
  RECT placed{};
  ::GetWindowRect(window.Handle(), &placed);
  EXPECT_TRUE(::EqualRect(&placed, &PlacedOnLoad)) << "the client settings were read before Load";
  EXPECT_EQ(::GetWindowLongPtrW(window.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

  Close(window);
  EXPECT_EQ(recordedCalls, (std::vector<std::string>{"InitNew", "LoadSettings", "Load", "Save",
                                                     "SaveSettings"}));
}

}  // namespace
}  // namespace tidewire
