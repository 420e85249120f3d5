// The control activated with a window of its own in a real top-level window (needs a display):
// its message map, painting the band, and the redraws its timer asks for.

#include <gtest/gtest.h>
#include <ocidl.h>
#include <windows.h>

#include <oleacc.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "control/band_accessible_win.h"
#include "tests/support/test_control_site_win.h"
#include "tests/server/library_under_test.h"
#include "tests/support/message_pump_win.h"
#include "tidewire_idl.h"
#include "win/com.h"
#include "win/handles.h"

namespace tidewire {
namespace {

using namespace std::chrono_literals;
using testing_support::ActivateInTestSite;
using testing_support::PumpUntil;

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
    ASSERT_EQ(ActivateInTestSite(control.Get(), host.Get(), false, position, site), S_OK);
    ComPtr<IOleWindow> oleWindow;
    control.As(&oleWindow);
    ASSERT_EQ(oleWindow->GetWindow(&child), S_OK);
  }

  const ComInitialization com_;
  const RECT position{10, 20, 310, 36};
  UniqueWindow host;
  ComPtr<IOleClientSite> site;
  ComPtr<IOleObject> control;
  HWND child = nullptr;
};

TEST_F(WindowedActivation, OwnWindowPaintsTheBandAndRunsTheMessageMap) {
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

  control->Close(OLECLOSE_NOSAVE);
  control->SetClientSite(nullptr);
}

// The control's own window answers a screen reader for the band, and takes Space and Enter when
// it has the focus (Enter before a dialog's default button).
TEST_F(WindowedActivation, OwnWindowAnswersScreenReadersAndTakesTheBandsKeys) {
  ComPtr<IAccessible> band;
  ASSERT_EQ(::AccessibleObjectFromWindow(child, static_cast<DWORD>(OBJID_CLIENT), AccessibleIid,
                                         reinterpret_cast<void**>(band.GetAddressOf())),
            S_OK);
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  UniqueVariant role;
  EXPECT_EQ(band->get_accRole(self, role.Put()), S_OK);
  EXPECT_EQ(role.Get()->lVal, ROLE_SYSTEM_ANIMATION);
  LONG left = 0, top = 0, width = 0, height = 0;
  EXPECT_EQ(band->accLocation(&left, &top, &width, &height, self), S_OK);
  RECT placed{};
  ::GetWindowRect(child, &placed);
  EXPECT_EQ(std::vector<LONG>({left, top, width, height}),
            std::vector<LONG>({placed.left, placed.top, 300, 16}));

  MSG enter{child, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
  EXPECT_EQ(::SendMessageW(child, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)),
            DLGC_WANTMESSAGE);
  ComPtr<ITidewireGadget> gadget;
  control.As(&gadget);
  ::SendMessageW(child, WM_KEYDOWN, VK_SPACE, 0);
  VARIANT_BOOL paused = VARIANT_FALSE;
  gadget->get_Paused(&paused);
  EXPECT_EQ(paused, VARIANT_TRUE);

  control->Close(OLECLOSE_NOSAVE);
  control->SetClientSite(nullptr);
}

}  // namespace
}  // namespace tidewire
