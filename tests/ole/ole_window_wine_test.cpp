// OleControl with a dummy control activated with a window of its own in a visible top-level
// window (needs a display): placement and moves in device units, messages and painting through
// the control's hooks, redraw requests, UI activation, deactivation, and a last release that a
// container's focus handling must not reach.

#include <gtest/gtest.h>
#include <ocidl.h>
#include <windows.h>

#include <algorithm>

#include "tests/ole/dummy_control_win.h"
#include "tests/support/test_control_site_win.h"
#include "win/com.h"
#include "win/handles.h"

namespace tidewire {
namespace {

using testing_support::ActivateInTestSite;
using testing_support::DummyColour;
using testing_support::DummyControl;
using testing_support::TestControlSite;

COLORREF ScreenPixel(HWND window, int x, int y) {
  const HDC dc = ::GetDC(window);
  const COLORREF colour = ::GetPixel(dc, x, y);
  ::ReleaseDC(window, dc);
  return colour;
}

RECT PlacementIn(HWND parent, HWND child) {
  RECT placed{};
  ::GetWindowRect(child, &placed);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&placed), 2);
  return placed;
}

class WindowedControl : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Reset(::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                                 400, 120, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(host);
    ASSERT_EQ(DummyControl::Create(nullptr, IID_PPV_ARGS(&control)), S_OK);
    dummy = DummyControl::Of(control.Get());
    ASSERT_EQ(ActivateInTestSite(control.Get(), host.Get(), false, position, site), S_OK);
    recorder = static_cast<TestControlSite*>(site.Get());
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
  DummyControl* dummy = nullptr;
  HWND child = nullptr;
};

TEST_F(WindowedControl, OwnWindowIsPlacedMovedPaintedAndGoesOnDeactivation) {
  EXPECT_EQ(recorder->activations, 1);
  EXPECT_EQ(recorder->activationFlags, 0u);
  EXPECT_FALSE(dummy->Windowless());
  ASSERT_TRUE(::IsWindow(child));
  EXPECT_EQ(::GetParent(child), host.Get());
  EXPECT_EQ(dummy->OwnerWindow(), child);
  RECT placed = PlacementIn(host.Get(), child);
  EXPECT_EQ(placed.left, 10);
  EXPECT_EQ(placed.top, 20);
  EXPECT_EQ(placed.right - placed.left, 300);
  EXPECT_EQ(placed.bottom - placed.top, 16);

  ComPtr<IOleInPlaceObject> inPlace;
  control.As(&inPlace);
  const RECT moved{30, 40, 230, 64};
  ASSERT_EQ(inPlace->SetObjectRects(&moved, &moved), S_OK);
  placed = PlacementIn(host.Get(), child);
  EXPECT_EQ(placed.left, 30);
  EXPECT_EQ(placed.top, 40);
  EXPECT_EQ(placed.right - placed.left, 200);
  EXPECT_EQ(placed.bottom - placed.top, 24);

  // The handler sees the window's messages; what it leaves, painting among them, the base does.
  EXPECT_EQ(::SendMessageW(child, WM_LBUTTONDOWN, 0, 0), testing_support::DummyButtonResult);
  EXPECT_NE(std::find(dummy->messages.begin(), dummy->messages.end(),
                      static_cast<UINT>(WM_LBUTTONDOWN)),
            dummy->messages.end());
  ::UpdateWindow(child);
  EXPECT_EQ(ScreenPixel(child, 0, 0), DummyColour);
  EXPECT_EQ(ScreenPixel(child, 199, 23), DummyColour);

  // A redraw request invalidates the own window, not the site.
  ::ValidateRect(child, nullptr);
  dummy->FireViewChange();
  EXPECT_TRUE(::GetUpdateRect(child, nullptr, FALSE));
  EXPECT_EQ(recorder->invalidations, 0);

  EXPECT_EQ(control->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site.Get(), 0, host.Get(), nullptr),
            S_OK);
  EXPECT_EQ(recorder->uiActivations, 1);
  EXPECT_EQ(dummy->ActivationState(), OleControl::State::UIActive);

  EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_FALSE(::IsWindow(child));
  EXPECT_EQ(recorder->deactivations, 1);
  EXPECT_EQ(dummy->ActivationState(), OleControl::State::Loaded);
  control->Close(OLECLOSE_NOSAVE);
  control->SetClientSite(nullptr);
}

// A container that takes and drops a reference to the control whenever the control reports a
// change of focus: the last release, which destroys the control's focused window, must neither
// call it back nor let that reference delete the control a second time.
TEST_F(WindowedControl, LastReleaseOfAFocusedControlCallsNoContainerBack) {
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
