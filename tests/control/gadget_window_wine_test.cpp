// The control activated with a window of its own in a real top-level window (needs a display):
// its message map, painting, the redraws its timer asks for, and a release that a container's
// focus handling must not reach.

#include <gtest/gtest.h>
#include <ocidl.h>
#include <windows.h>

#include <chrono>
#include <cstdint>

#include "tests/control/test_control_site_win.h"
#include "tests/server/library_under_test.h"
#include "tests/support/message_pump_win.h"
#include "tidewire_idl.h"
#include "win/com.h"
#include "win/handles.h"

namespace tidewire {
namespace {

using namespace std::chrono_literals;
using testing_support::PumpUntil;
using testing_support::TestControlSite;

HWND paintedWindow = nullptr;
int paints = 0;

LRESULT CALLBACK CountPaints(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_PAINT &&
      message->hwnd == paintedWindow) {
    ++paints;
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

COLORREF ScreenPixel(HWND window, int x, int y) {
  const WindowDc dc(window);
  return ::GetPixel(dc.Get(), x, y);
}

// The control in place with a window of its own in a visible top-level window.
class WindowedActivation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegisterLibraryUnderTest(), S_OK);
    host.Reset(::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                                 400, 120, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(host);
    ASSERT_EQ(::CoCreateInstance(CLSID_TidewireGadget, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&control)),
              S_OK);
    ASSERT_EQ(TestControlSite::Create(nullptr, IID_PPV_ARGS(&site), host.Get(), false, position),
              S_OK);
    recorder = static_cast<TestControlSite*>(site.Get());
    control->SetClientSite(site.Get());
    ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, host.Get(),
                              &position),
              S_OK);
    ComPtr<IOleWindow> oleWindow;
    control.As(&oleWindow);
    ASSERT_EQ(oleWindow->GetWindow(&child), S_OK);
  }

  const ComInitialization com_;
  const RECT position{10, 20, 310, 36};
  UniqueWindow host;
  ComPtr<IOleClientSite> site;
  TestControlSite* recorder = nullptr;
  ComPtr<IOleObject> control;
  HWND child = nullptr;
};

TEST_F(WindowedActivation, OwnWindowPaintsTheBandAndRunsTheMessageMap) {
  EXPECT_EQ(recorder->activations, 1);
  EXPECT_EQ(recorder->activationFlags, 0u);
  ASSERT_TRUE(::IsWindow(child));
  EXPECT_EQ(::GetParent(child), host.Get());
  RECT placed{};
  ::GetWindowRect(child, &placed);
  ::MapWindowPoints(nullptr, host.Get(), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 10);
  EXPECT_EQ(placed.top, 20);
  EXPECT_EQ(placed.right - placed.left, 300);
  EXPECT_EQ(placed.bottom - placed.top, 16);

  // The message map: sizing keeps the band's height, erasing and clicks are consumed.
  RECT sizing{0, 0, 300, 40};
  EXPECT_EQ(::SendMessageW(child, WM_SIZING, WMSZ_BOTTOM, reinterpret_cast<LPARAM>(&sizing)), 0);
  EXPECT_EQ(sizing.bottom, 16);
  EXPECT_EQ(::SendMessageW(child, WM_ERASEBKGND, 0, 0), 0);
  EXPECT_EQ(::SendMessageW(child, WM_LBUTTONDOWN, 0, 0), 0);

  // Painting draws the band; the scroll timer asks for more paints.
  ::UpdateWindow(child);
  EXPECT_EQ(ScreenPixel(child, 150, 0), RGB(82, 81, 82));
  EXPECT_EQ(ScreenPixel(child, 150, 10), RGB(16, 16, 16));
  EXPECT_EQ(ScreenPixel(child, 0, 10), RGB(82, 81, 82));
  paintedWindow = child;
  const HHOOK hook = ::SetWindowsHookExW(WH_GETMESSAGE, &CountPaints, nullptr,
                                         ::GetCurrentThreadId());
  ComPtr<ITidewireGadget> gadget;
  control.As(&gadget);
  gadget->put_SpeechSpeed(10);
  EXPECT_TRUE(PumpUntil([] { return paints >= 3; }));
  ::UnhookWindowsHookEx(hook);

  ComPtr<IOleInPlaceObject> inPlace;
  control.As(&inPlace);
  EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_FALSE(::IsWindow(child));
  EXPECT_EQ(recorder->deactivations, 1);
  control->Close(OLECLOSE_NOSAVE);
  control->SetClientSite(nullptr);
}

// A container that takes and drops a reference to the control whenever the control reports a
// change of focus: the last release, which destroys the control's focused window, must neither
// call it back nor let that reference delete the control a second time.
TEST_F(WindowedActivation, LastReleaseOfAFocusedControlCallsNoContainerBack) {
  IOleObject* const raw = control.Get();
  recorder->onFocus = [raw] {
    raw->AddRef();
    raw->Release();
  };
  ::SetForegroundWindow(host.Get());
  ::SetFocus(child);
  ASSERT_EQ(::GetFocus(), child);
  ASSERT_EQ(recorder->focusChanges, 1) << "the control reports the focus it takes";

  control.Reset();
  EXPECT_FALSE(::IsWindow(child));
  EXPECT_EQ(recorder->focusChanges, 1) << "the control being destroyed reported its lost focus";
}

}  // namespace
}  // namespace tidewire
