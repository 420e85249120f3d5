// The settings page as a property frame drives it: created from the registered library, given a
// test page site and a real control, activated in a window of the test and operated through its
// dialog's controls; and the control's ShowSettings opening Wine's own property frame. Message
// boxes and the modal frame are found, read and closed from a helper thread.

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "ole/com_object.h"
#include "resources/settings_page_ids.h"
#include "settings/feed_list.h"
#include "settings/language_defaults.h"
#include "settings/news_sources.h"
#include "settings/settings_page.h"
#include "settings/settings_record.h"
#include "tests/server/library_under_test.h"
#include "tests/support/message_pump_win.h"
#include "tests/support/window_search_win.h"
#include "tidewire_idl.h"
#include "win/com.h"
#include "win/handles.h"

namespace tidewire {
namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A property frame's site for the page: it records the status changes the page reports.
class TestPageSite final : public ComObject<TestPageSite, IPropertyPageSite> {
 public:
  explicit TestPageSite(IUnknown* outer) : ComObject(outer) {}
  static std::span<const InterfaceEntry<TestPageSite>> InterfaceMap() {
    static constexpr InterfaceEntry<TestPageSite> map[] = {
        Entry<TestPageSite, IPropertyPageSite>()};
    return map;
  }

  int dirtyReports = 0;
  DWORD lastStatus = 0;

  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
    if ((flags & PROPPAGESTATUS_DIRTY) != 0) ++dirtyReports;
    lastStatus = flags;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* locale) override {
    *locale = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** container) override {
    *container = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return E_NOTIMPL; }
};

#pragma GCC diagnostic pop

std::u16string Chars(std::wstring_view text) {
  return std::u16string(Utf16View(text.data(), text.size()));
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, 512);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

using testing_support::DispatchPending;
using testing_support::FindChildWindow;
using testing_support::FindThreadWindow;

// Runs `action` on this thread while a helper thread waits for a top-level window of this thread
// that `wanted` accepts and hands it to `handle`, which must close it if `action` waits for that.
// Returns whether the window appeared.
bool WhileWindowIsHandled(const std::function<void()>& action,
                          const std::function<bool(HWND)>& wanted,
                          const std::function<void(HWND)>& handle) {
  const DWORD thread = ::GetCurrentThreadId();
  std::atomic<bool> actionDone{false};
  std::atomic<bool> seen{false};
  std::thread helper([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      const bool last = actionDone.load();
      if (const HWND window = FindThreadWindow(thread, wanted)) {
        seen = true;
        handle(window);
        return;
      }
      if (last) return;
      ::Sleep(20);
    }
  });
  action();
  actionDone = true;
  helper.join();
  return seen;
}

// What a helper thread saw of a message box before it pressed its OK button.
struct SeenMessageBox {
  std::wstring caption;
  std::wstring text;
  HWND owner = nullptr;
  std::vector<int> buttons;
  bool icon = false;
};

bool IsDialogWindow(HWND window) { return ClassOf(window) == L"#32770"; }

SeenMessageBox ReadAndCloseMessageBox(HWND box) {
  SeenMessageBox seen;
  seen.caption = WindowText(box);
  seen.owner = ::GetWindow(box, GW_OWNER);
  HWND ok = nullptr;
  for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(child)) continue;
    const std::wstring kind = ClassOf(child);
    if (kind == L"Button") {
      seen.buttons.push_back(::GetDlgCtrlID(child));
      if (::GetDlgCtrlID(child) == IDOK) ok = child;
    } else if (kind == L"Static") {
      const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
      if ((style & SS_TYPEMASK) == SS_ICON) {
        seen.icon = seen.icon || ::SendMessageW(child, STM_GETICON, 0, 0) != 0;
      } else if (!WindowText(child).empty()) {
        seen.text = WindowText(child);
      }
    }
  }
  if (ok != nullptr) {
    ::SendMessageW(ok, BM_CLICK, 0, 0);
  } else {
    ::PostMessageW(box, WM_CLOSE, 0, 0);
  }
  return seen;
}

class SettingsPageTest : public ::testing::Test {
 protected:
  // One window holds the page for every case: each top-level window that goes costs Wine on
  // Xvfb a noticeable wait.
  static void SetUpTestSuite() {
    ASSERT_EQ(RegisterLibraryUnderTest(), S_OK);
    host_.Reset(::CreateWindowExW(0, L"STATIC", L"Settings page test",
                                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 520,
                                  480, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(host_);
  }
  static void TearDownTestSuite() { host_.Reset(); }

  void SetUp() override {
    ASSERT_EQ(::CoCreateInstance(CLSID_TidewireGadget, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&gadget_)),
              S_OK);
    ASSERT_EQ(::CoCreateInstance(CLSID_TidewireGadgetPropPage, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&page_)),
              S_OK);
    ASSERT_EQ(TestPageSite::Create(nullptr, IID_PPV_ARGS(&site_)), S_OK);
  }

  void TearDown() override {
    if (page_) page_->Deactivate();
    page_.Reset();
    gadget_.Reset();
  }

  TestPageSite& Site() { return *static_cast<TestPageSite*>(site_.Get()); }

  // Gives the page its site and the control, and shows it in the test's window.
  void Open() {
    ASSERT_EQ(page_->SetPageSite(site_.Get()), S_OK);
    IUnknown* object = gadget_.Get();
    ASSERT_EQ(page_->SetObjects(1, &object), S_OK);
    Activate();
  }
  void Activate() {
    const RECT area{0, 0, 500, 440};
    ASSERT_EQ(page_->Activate(host_.Get(), &area, TRUE), S_OK);
    ASSERT_EQ(page_->Show(SW_SHOW), S_OK);
    dialog_ = ::FindWindowExW(host_.Get(), nullptr, L"#32770", nullptr);
    ASSERT_NE(dialog_, nullptr);
  }

  HWND Item(int id) const { return ::GetDlgItem(dialog_, id); }
  std::u16string ItemText(int id) const { return Chars(WindowText(Item(id))); }
  void SetItemText(int id, const wchar_t* text) { ::SetWindowTextW(Item(id), text); }
  void Click(int id) { ::SendMessageW(Item(id), BM_CLICK, 0, 0); }

  // Presses a button that is expected to refuse with a message box, and reads the box.
  SeenMessageBox ClickExpectingMessage(int id) {
    SeenMessageBox seen;
    const bool appeared = WhileWindowIsHandled(
        [&] { Click(id); }, IsDialogWindow, [&](HWND box) { seen = ReadAndCloseMessageBox(box); });
    EXPECT_TRUE(appeared);
    return seen;
  }

  // Where the keyboard focus and the activation are, for a failure message.
  std::string FocusDescription() const {
    const HWND focus = ::GetFocus();
    std::string text = "focus: ";
    if (focus == nullptr) {
      text += "none";
    } else {
      for (wchar_t c : ClassOf(focus)) text += static_cast<char>(c);
      text += " #" + std::to_string(::GetDlgCtrlID(focus));
    }
    text += ::GetActiveWindow() == host_.Get() ? "; the test's window is active"
                                                : "; the test's window is not active";
    return text;
  }

  int RowCount() const { return ListView_GetItemCount(Item(IDC_FEED_LIST)); }
  std::u16string RowText(int row) const {
    wchar_t text[512] = {};
    ListView_GetItemText(Item(IDC_FEED_LIST), row, 0, text, 512);
    return Chars(text);
  }
  bool RowTicked(int row) const { return ListView_GetCheckState(Item(IDC_FEED_LIST), row) == 1; }
  void SelectRow(int row) {
    ListView_SetItemState(Item(IDC_FEED_LIST), row, LVIS_SELECTED, LVIS_SELECTED);
  }
  // Clicks a row's check box with the mouse.
  void ClickCheckBox(int row) {
    const HWND list = Item(IDC_FEED_LIST);
    RECT bounds{};
    ListView_GetItemRect(list, row, &bounds, LVIR_BOUNDS);
    LVHITTESTINFO hit{};
    hit.pt.y = (bounds.top + bounds.bottom) / 2;
    for (hit.pt.x = bounds.left; hit.pt.x < bounds.left + 40; ++hit.pt.x) {
      hit.flags = 0;
      ListView_HitTest(list, &hit);
      if ((hit.flags & LVHT_ONITEMSTATEICON) != 0) break;
    }
    ASSERT_NE(hit.flags & LVHT_ONITEMSTATEICON, 0u);
    const LPARAM at = MAKELPARAM(hit.pt.x, hit.pt.y);
    // The button's release waits in the queue for the list's drag detection, if it runs one.
    ::PostMessageW(list, WM_LBUTTONUP, 0, at);
    ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    DispatchPending();
  }

  // The control's two list strings, as the page left them.
  void ExpectLists(std::u16string_view feeds, std::u16string_view flags) {
    UniqueBstr text;
    gadget_->get_FeedURLs(text.Put());
    EXPECT_EQ(text.View(), feeds);
    gadget_->get_FeedURLsActive(text.Put());
    EXPECT_EQ(text.View(), flags);
  }
  void SetLists(std::u16string_view feeds, std::u16string_view flags) {
    ASSERT_EQ(gadget_->put_FeedURLsActive(UniqueBstr(flags).Get()), S_OK);
    ASSERT_EQ(gadget_->put_FeedURLs(UniqueBstr(feeds).Get()), S_OK);
  }

  ComInitialization com_;
  ComPtr<ITidewireGadget> gadget_;
  ComPtr<IPropertyPage> page_;
  ComPtr<IPropertyPageSite> site_;
  static inline UniqueWindow host_;
  HWND dialog_ = nullptr;
};

std::u16string DefaultAddresses(std::initializer_list<int> rows) {
  std::vector<std::u16string> addresses;
  for (int row : rows) addresses.emplace_back(EnglishDefaultFeeds[row].address);
  return JoinFeedList(addresses);
}

TEST_F(SettingsPageTest, OpensWithTheControlsValuesCleanAndWritesOnlyWhatChanged) {
  Open();
  PROPPAGEINFO info{};
  ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
  EXPECT_EQ(Chars(info.pszTitle), u"Tidewire Settings");
  ::CoTaskMemFree(info.pszTitle);
  RECT size{0, 0, 229, 212};
  ::MapDialogRect(dialog_, &size);
  EXPECT_EQ(info.size.cx, size.right);
  EXPECT_EQ(info.size.cy, size.bottom);

  ASSERT_EQ(RowCount(), 9);
  for (int row = 0; row < 9; ++row) {
    EXPECT_EQ(RowText(row), EnglishDefaultFeeds[row].title) << row;
    EXPECT_EQ(RowTicked(row), row == 0) << row;
  }
  EXPECT_EQ(ItemText(IDC_RELOAD_MINUTES), u"30");
  EXPECT_EQ(ItemText(IDC_DELAY_SECONDS), u"0");
  const HWND slider = Item(IDC_SPEED);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETRANGEMIN, 0, 0), -10);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 10);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
  EXPECT_NE(Site().lastStatus, static_cast<DWORD>(PROPPAGESTATUS_DIRTY));

  SetItemText(IDC_DELAY_SECONDS, L"5");
  EXPECT_EQ(page_->IsPageDirty(), S_OK);
  EXPECT_EQ(Site().lastStatus, static_cast<DWORD>(PROPPAGESTATUS_DIRTY));
  const int reports = Site().dirtyReports;
  ASSERT_EQ(page_->Apply(), S_OK);
  int delay = 0;
  gadget_->get_DelayBetweenFeeds(&delay);
  EXPECT_EQ(delay, 5);
  // The lists did not change: not even rewritten (which would add a final separator).
  ExpectLists(EnglishDefaultFeedList(), DefaultActiveFlags);
  // After an Apply the page tells its site again that it is dirty.
  EXPECT_EQ(page_->IsPageDirty(), S_OK);
  EXPECT_EQ(Site().dirtyReports, reports + 1);
}

TEST_F(SettingsPageTest, AddTrimsTheAddressAndRefusesEmptyOrImplausibleText) {
  Open();
  SetItemText(IDC_FEED_TO_ADD, L"   http://added.test/rss  ");
  Click(IDC_ADD_FEED);
  ASSERT_EQ(RowCount(), 10);
  EXPECT_EQ(RowText(9), u"http://added.test/rss");
  EXPECT_FALSE(RowTicked(9));
  EXPECT_EQ(ItemText(IDC_FEED_TO_ADD), u"");
  EXPECT_EQ(page_->IsPageDirty(), S_OK);

  const struct {
    const wchar_t* typed;
    std::u16string_view message;
  } refused[] = {{L"    ", u"Please enter RSS feed URL to add"},
                 {L"ab", u"Please enter valid RSS feed URL to add"},
                 {L"no-full-stop", u"Please enter valid RSS feed URL to add"}};
  for (const auto& [typed, message] : refused) {
    SetItemText(IDC_FEED_TO_ADD, typed);
    const SeenMessageBox box = ClickExpectingMessage(IDC_ADD_FEED);
    EXPECT_EQ(Chars(box.caption), u"Tidewire");
    EXPECT_EQ(Chars(box.text), message);
    EXPECT_EQ(box.owner, host_.Get()) << "owned by the page's window";
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_FALSE(box.icon);
    EXPECT_EQ(::GetFocus(), Item(IDC_FEED_TO_ADD)) << FocusDescription();
  }
  EXPECT_EQ(RowCount(), 10);
  SetItemText(IDC_FEED_TO_ADD, L"a.b");
  Click(IDC_ADD_FEED);
  ASSERT_EQ(RowCount(), 11);

  ASSERT_EQ(page_->Apply(), S_OK);
  ExpectLists(DefaultAddresses({0, 1, 2, 3, 4, 5, 6, 7, 8}) + u"http://added.test/rss URL a.b URL ",
              std::u16string(DefaultActiveFlags) + u" URL 0 URL 0 URL ");
}

TEST_F(SettingsPageTest, RemoveDeletesEverySelectedRowAndRefusesWithoutSelection) {
  Open();
  const SeenMessageBox box = ClickExpectingMessage(IDC_REMOVE_FEEDS);
  EXPECT_EQ(Chars(box.caption), u"Tidewire");
  EXPECT_EQ(Chars(box.text), u"Please select RSS feed URL to remove");
  EXPECT_EQ(box.owner, host_.Get());
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(::GetFocus(), Item(IDC_FEED_LIST)) << FocusDescription();
  EXPECT_EQ(RowCount(), 9);

  for (int row : {1, 4, 8}) SelectRow(row);
  Click(IDC_REMOVE_FEEDS);
  ASSERT_EQ(RowCount(), 6);
  EXPECT_EQ(RowText(5), u"FOX News Headlines");
  ASSERT_EQ(page_->Apply(), S_OK);
  ExpectLists(DefaultAddresses({0, 2, 3, 5, 6, 7}), u"1 URL 0 URL 0 URL 0 URL 0 URL 0 URL ");
}

TEST_F(SettingsPageTest, ATickAloneIsReportedAndApplied) {
  Open();
  ClickCheckBox(2);
  EXPECT_TRUE(RowTicked(2));
  EXPECT_EQ(page_->IsPageDirty(), S_OK);
  ASSERT_EQ(page_->Apply(), S_OK);
  ExpectLists(DefaultAddresses({0, 1, 2, 3, 4, 5, 6, 7, 8}),
              u"1 URL 0 URL 1 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0 URL ");
}

TEST_F(SettingsPageTest, NumberFieldsAndTheSliderAreApplied) {
  Open();
  // To the slider's left end from the keyboard.
  ::SendMessageW(Item(IDC_SPEED), WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(page_->IsPageDirty(), S_OK) << "a slider movement marks the page dirty";
  SetItemText(IDC_RELOAD_MINUTES, L"");
  ASSERT_EQ(page_->Apply(), S_OK);
  int value = -1;
  gadget_->get_FeedRefreshRate(&value);
  EXPECT_EQ(value, 0);
  gadget_->get_SpeechSpeed(&value);
  EXPECT_EQ(value, -10);

  // A number beyond 32 bits counts as the largest one, which the setter clamps.
  SetItemText(IDC_RELOAD_MINUTES, L"4294967296");
  ASSERT_EQ(page_->Apply(), S_OK);
  gadget_->get_FeedRefreshRate(&value);
  EXPECT_EQ(value, MaxFeedRefreshMinutes);
}

TEST_F(SettingsPageTest, RemovingEveryRowBringsTheDefaultsBack) {
  SetLists(u"http://a.test/ URL http://b.test/", u"0 URL 1");
  Open();
  ASSERT_EQ(RowCount(), 2);
  EXPECT_EQ(RowText(0), u"http://a.test/");
  EXPECT_FALSE(RowTicked(0));
  EXPECT_TRUE(RowTicked(1));
  SelectRow(0);
  SelectRow(1);
  Click(IDC_REMOVE_FEEDS);
  EXPECT_EQ(RowCount(), 0);
  ASSERT_EQ(page_->Apply(), S_OK);
  ExpectLists(EnglishDefaultFeedList(), DefaultActiveFlags);

  ASSERT_EQ(page_->Deactivate(), S_OK);
  Activate();
  EXPECT_EQ(RowCount(), 9);
}

TEST_F(SettingsPageTest, ARegionalAddressIsShownByTitleAndWrittenBackUnchanged) {
  LanguageDefaults swiss = EnglishLanguageDefaults();
  ApplyLanguage(swiss, u"de-CH");
  const std::u16string regional = SplitFeedList(swiss.DefaultFeedList).at(0);
  SetLists(regional + u" URL http://c.test/", u"1 URL 1");
  Open();
  ASSERT_EQ(RowCount(), 2);
  EXPECT_EQ(RowText(0), u"Google News");
  SelectRow(1);
  Click(IDC_REMOVE_FEEDS);
  ASSERT_EQ(page_->Apply(), S_OK);
  ExpectLists(regional + u" URL ", u"1 URL ");
}

TEST_F(SettingsPageTest, ShowSettingsOpensThePageInTheModalPropertyFrame) {
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(gadget_.As(&dispatch), S_OK);
  HWND frame = nullptr;
  std::u16string tabTitle;
  LRESULT rows = 0;
  HRESULT result = E_FAIL;
  const bool appeared = WhileWindowIsHandled(
      [&] {
        DISPPARAMS none{};
        result =
            dispatch->Invoke(11, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
      },
      [](HWND window) {
        return IsDialogWindow(window) &&
               ::FindWindowExW(window, nullptr, WC_TABCONTROLW, nullptr) != nullptr;
      },
      [&](HWND window) {
        frame = window;
        wchar_t text[64] = {};
        TCITEMW tab{};
        tab.mask = TCIF_TEXT;
        tab.pszText = text;
        tab.cchTextMax = 64;
        ::SendMessageW(::FindWindowExW(window, nullptr, WC_TABCONTROLW, nullptr), TCM_GETITEMW, 0,
                       reinterpret_cast<LPARAM>(&tab));
        tabTitle = Chars(text);
        const HWND list = FindChildWindow(
            window, [](HWND child) { return ::GetDlgCtrlID(child) == IDC_FEED_LIST; });
        rows = ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        ::SendMessageW(::GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
      });
  EXPECT_TRUE(appeared);
  EXPECT_EQ(result, S_OK);
  EXPECT_EQ(tabTitle, u"Tidewire Settings");
  EXPECT_EQ(rows, 9) << "the page shows the control's feeds";
  EXPECT_FALSE(::IsWindow(frame)) << "closed by its OK button, and ShowSettings returned";
}

TEST(SettingsPageLifetime, ThePageKeepsTheLibraryLoadedWhileItLives) {
  const ComInitialization com;
  ASSERT_EQ(RegisterLibraryUnderTest(), S_OK);
  const auto canUnloadNow = LibraryExport<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
  ASSERT_NE(canUnloadNow, nullptr);
  ComPtr<IPropertyPage> page;
  ASSERT_EQ(::CoCreateInstance(CLSID_TidewireGadgetPropPage, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&page)),
            S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  page.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
}

}  // namespace
}  // namespace tidewire
