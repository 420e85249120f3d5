// TidewireApp as a screen reader and a keyboard-only user meet it (needs a display): its band's
// accessible object read from another process through oleacc, the events it raises counted by an
// out-of-context event hook, and the band driven by keys alone. The band reads a feed of two
// stories from the feed server.

#include <gtest/gtest.h>
#include <oleacc.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "control/band_accessible_win.h"
#include "tests/host/host_probe_win.h"
#include "tests/support/feed_server_port.h"
#include "tests/support/http_handler_override_win.h"
#include "tests/support/message_pump_win.h"
#include "win/com.h"

namespace tidewire {
namespace {

using namespace host_probe;
using testing_support::PumpFor;
using testing_support::PumpUntil;

const std::wstring HostProgram = std::wstring(L"Z:") + TIDEWIRE_HOST_APP;
constexpr wchar_t FirstStory[] = L"One first. Alpha story of one.";

// The events of the band's object that a screen reader hears, from one process.
struct HeardEvents {
  HWND window = nullptr;
  int valueChanges = 0;
  int stateChanges = 0;
};
HeardEvents heard;

void CALLBACK CountEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG objectId, LONG child,
                         DWORD, DWORD) {
  if (window != heard.window || objectId != OBJID_CLIENT || child != CHILDID_SELF) return;
  if (event == EVENT_OBJECT_VALUECHANGE) ++heard.valueChanges;
  if (event == EVENT_OBJECT_STATECHANGE) ++heard.stateChanges;
}

class HostAccessTest : public HostProbeBase {
 protected:
  HostAccessTest() : HostProbeBase(HostProgram) {}

  // Starts the host on the feed of two stories at `speed` and hooks its events.
  HWND StartOnFeed(int speed) {
    const int port = testing_support::FeedServerPort();
    EXPECT_NE(port, 0) << "the feed server is not running";
    const std::wstring feed = L"http://127.0.0.1:" + std::to_wstring(port) + L"/feeds/one.xml";
    WriteValue(ControlSettingsValue,
               ControlSettings(std::u16string(feed.begin(), feed.end()), speed));
    const HWND window = Start();
    if (window == nullptr) return nullptr;
    heard = HeardEvents{window};
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    hook_ = ::SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
                              &CountEvent, process, 0, WINEVENT_OUTOFCONTEXT);
    EXPECT_NE(hook_, nullptr);
    return window;
  }
  void TearDown() override {
    if (hook_ != nullptr) ::UnhookWinEvent(hook_);
    HostProbeBase::TearDown();
  }

  // The client object of the window, as a screen reader asks for it.
  static ComPtr<IAccessible> ClientObject(HWND window) {
    ComPtr<IAccessible> accessible;
    EXPECT_EQ(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                           AccessibleIid,
                                           reinterpret_cast<void**>(accessible.GetAddressOf())),
              S_OK);
    return accessible;
  }
  static std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*member)(VARIANT, BSTR*),
                           IAccessible& accessible) {
    UniqueBstr text;
    (accessible.*member)(Self(), text.Put());
    return std::wstring(reinterpret_cast<const wchar_t*>(text.View().data()), text.View().size());
  }
  static LONG State(IAccessible& accessible) {
    UniqueVariant state;
    EXPECT_EQ(accessible.get_accState(Self(), state.Put()), S_OK);
    return state.Get()->lVal;
  }
  static VARIANT Self() {
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
  }
  // Waits, answering the hook's calls, until the band's value is the first story.
  static bool WaitForFirstStory(IAccessible& accessible) {
    return PumpUntil([&] { return Text(&IAccessible::get_accValue, accessible) == FirstStory; },
                     std::chrono::seconds(30));
  }

  const ComInitialization com_;
  HWINEVENTHOOK hook_ = nullptr;
};

TEST_F(HostAccessTest, AScreenReaderReadsTheWholeLineAndHearsOfEachNewOne) {
  const HWND window = StartOnFeed(10);
  ASSERT_NE(window, nullptr);
  const ComPtr<IAccessible> bandObject = ClientObject(window);
  ASSERT_TRUE(bandObject);
  IAccessible* const band = bandObject.Get();
  UniqueVariant role;
  EXPECT_EQ(band->get_accRole(Self(), role.Put()), S_OK);
  EXPECT_EQ(role.Get()->lVal, ROLE_SYSTEM_ANIMATION);
  EXPECT_EQ(Text(&IAccessible::get_accName, *band), L"Tidewire");
  LONG left = 0, top = 0, width = 0, height = 0;
  EXPECT_EQ(band->accLocation(&left, &top, &width, &height, Self()), S_OK);
  EXPECT_EQ(BoxOf({left, top, left + width, top + height}), BoxOf(WindowRect(window)));

  // The whole line, though the band shows a fragment of it; a line that opens says so.
  ASSERT_TRUE(WaitForFirstStory(*band)) << Text(&IAccessible::get_accValue, *band);
  EXPECT_EQ(Text(&IAccessible::get_accDefaultAction, *band), L"Open");
  EXPECT_EQ(State(*band) & (STATE_SYSTEM_MARQUEED | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED),
            STATE_SYSTEM_MARQUEED | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED);
  EXPECT_TRUE(Text(&IAccessible::get_accDescription, *band).starts_with(L"Feed One, "));

  // At the fastest speed a short line crosses the band in a few seconds: one event a line, not
  // one a step (the band takes hundreds of steps in that time).
  const int before = heard.valueChanges;
  PumpFor(std::chrono::seconds(12));
  EXPECT_GE(heard.valueChanges - before, 1);
  EXPECT_LE(heard.valueChanges - before, 12);

  // Paused: the state changes, and the description says so.
  ::SendMessageW(window, WM_COMMAND, 800, 0);
  EXPECT_TRUE(PumpUntil([] { return heard.stateChanges >= 1; }, std::chrono::seconds(10)));
  EXPECT_TRUE(Text(&IAccessible::get_accDescription, *band).starts_with(L"Paused. Feed One, "));

  // Closed, the host lets go of the band; the object a screen reader still holds answers that it
  // is gone.
  EXPECT_EQ(CloseWith(window, WM_CLOSE), 2u);
  BSTR name = nullptr;
  EXPECT_NE(band->get_accName(Self(), &name), S_OK);
  ::SysFreeString(name);
}

// Presses one key, with or without Shift, for the foreground window.
void PressKey(WORD key, bool shift = false) {
  if (shift) {
    PressKeys(VK_SHIFT, key);
    return;
  }
  INPUT keys[2] = {};
  for (INPUT& input : keys) {
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
  }
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, keys, sizeof(INPUT));
}

// Pixels of the band's top row, from column 2 to 100, that are not the pattern's grey: a focus
// rectangle's dots.
int DotsOnTop(HWND window) {
  const RECT band = WindowRect(window);
  const testing_support::ScreenPixels top =
      CaptureScreen({band.left + 2, band.top, band.left + 100, band.top + 1});
  int dots = 0;
  for (const std::uint32_t pixel : top.pixels) dots += pixel != 0x525152;
  return dots;
}

// The band's menu while it is open (Wine raises no menu events, so it is looked for); null when
// none is.
HWND OpenMenu(DWORD process) {
  return testing_support::FindProcessWindow(process,
                                            [](HWND shown) { return ClassOf(shown) == L"#32768"; });
}

TEST_F(HostAccessTest, TheKeyboardAlonePausesOpensTheStoryAndOpensTheMenu) {
  const testing_support::OpenedLinks opened(L"tidewire_host_keys.txt");
  const testing_support::HttpHandlerOverride browser(opened.Path());
  // The slowest speed keeps the first story on the band for many seconds.
  const HWND window = StartOnFeed(0);
  ASSERT_NE(window, nullptr);
  const ComPtr<IAccessible> bandObject = ClientObject(window);
  ASSERT_TRUE(bandObject);
  IAccessible* const band = bandObject.Get();
  ASSERT_TRUE(WaitForFirstStory(*band));
  ASSERT_TRUE(BringToFront(window));
  EXPECT_NE(State(*band) & STATE_SYSTEM_FOCUSED, 0) << "activated, the band has the focus";
  EXPECT_EQ(DotsOnTop(window), 0) << "no focus rectangle before a key is used";

  PressKey(VK_SPACE);
  EXPECT_TRUE(PumpUntil([&] {
    return Text(&IAccessible::get_accDescription, *band).starts_with(L"Paused");
  }, std::chrono::seconds(10)));
  EXPECT_TRUE(PumpUntil([&] { return DotsOnTop(window) > 10; }, std::chrono::seconds(5)))
      << "the focus rectangle shows once a key is used";
  PressKey(VK_SPACE);
  EXPECT_TRUE(PumpUntil([&] {
    return !Text(&IAccessible::get_accDescription, *band).starts_with(L"Paused");
  }, std::chrono::seconds(10)));

  // Shift+F10 and the context-menu key open the menu at the band's lower-left corner; Escape
  // closes it. (Wine delivers no context-menu key from SendInput: that key is posted as the
  // keyboard would queue it, through the program's own message loop and accelerators.)
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  for (const WORD key : {VK_F10, VK_APPS}) {
    ASSERT_TRUE(BringToFront(window));
    if (key == VK_F10) {
      PressKey(VK_F10, true);
    } else {
      ::PostMessageW(window, WM_KEYDOWN, VK_APPS, 0x015D0001);
    }
    HWND menu = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (menu = OpenMenu(process)) != nullptr; },
                          std::chrono::seconds(10)))
        << "key " << key;
    EXPECT_EQ(WindowRect(menu).left, WindowRect(window).left);
    EXPECT_EQ(WindowRect(menu).top, WindowRect(window).bottom);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(PumpUntil([&] { return OpenMenu(process) == nullptr; }, std::chrono::seconds(10)));
  }

  ASSERT_TRUE(BringToFront(window));
  PressKey(VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return !opened.Lines().empty(); }, std::chrono::seconds(20)));
  EXPECT_EQ(opened.Lines(), "http://example.invalid/one/1\n");
  EXPECT_EQ(CloseWith(window, WM_CLOSE), 2u);
}

}  // namespace
}  // namespace tidewire
