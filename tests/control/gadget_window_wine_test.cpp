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

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A windowless site that offers IAccessibleWindowlessSite, over the test site it aggregates: it
// hands out one range of object identifiers and a parent, and records what it is asked.
class AccessibleSite final : public IAccessibleWindowlessSite {
 public:
  explicit AccessibleSite(HWND window) {
    testing_support::TestControlSite::Create(this, IID_PPV_ARGS(&inner), window, true,
                                             RECT{0, 0, 200, 16});
    ::CreateStdAccessibleObject(window, OBJID_WINDOW, AccessibleIid,
                                reinterpret_cast<void**>(parent.GetAddressOf()));
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (::IsEqualIID(iid, AccessibleWindowlessSiteIid)) {
      *object = static_cast<IAccessibleWindowlessSite*>(this);
      return S_OK;
    }
    return inner->QueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE AcquireObjectIdRange(LONG size, IAccessibleHandler* owner,
                                                 LONG* base) override {
    acquired.push_back(size);
    handler = owner;
    *base = RangeBase;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReleaseObjectIdRange(LONG base, IAccessibleHandler*) override {
    released.push_back(base);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryObjectIdRanges(IAccessibleHandler*, SAFEARRAY**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetParentAccessible(IAccessible** found) override {
    return parent.CopyTo(found);
  }

  static constexpr LONG RangeBase = 0x4000;
  ComPtr<IUnknown> inner;
  ComPtr<IAccessible> parent;
  std::vector<LONG> acquired;
  std::vector<LONG> released;
  ComPtr<IAccessibleHandler> handler;
};

#pragma GCC diagnostic pop

LONG heardObjectId = 0;
void CALLBACK HearStateChange(HWINEVENTHOOK, DWORD, HWND, LONG objectId, LONG, DWORD, DWORD) {
  heardObjectId = objectId;
}

// Windowless in a site that offers IAccessibleWindowlessSite, the control takes one identifier
// for its events and its site's object as its parent, and gives the identifier back when it is
// deactivated.
TEST(WindowlessAccessibility, TheSitesIdentifierAndParentAreUsedAndTheRangeGivenBack) {
  ASSERT_EQ(RegisterLibraryUnderTest(), S_OK);
  const ComInitialization com;
  const UniqueWindow window(::CreateWindowExW(0, L"STATIC", L"container", WS_POPUP | WS_VISIBLE,
                                              50, 50, 300, 40, nullptr, nullptr, nullptr, nullptr));
  AccessibleSite site(window.Get());
  ComPtr<IOleObject> control;
  ASSERT_EQ(::CoCreateInstance(CLSID_TidewireGadget, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&control)),
            S_OK);
  ComPtr<IOleClientSite> clientSite;
  site.QueryInterface(IID_PPV_ARGS(&clientSite));
  control->SetClientSite(clientSite.Get());
  const RECT position{0, 0, 200, 16};
  ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSite.Get(), 0, window.Get(),
                            &position),
            S_OK);

  DWORD process = ::GetCurrentProcessId();
  const HWINEVENTHOOK hook =
      ::SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr,
                        &HearStateChange, process, 0, WINEVENT_OUTOFCONTEXT);
  ComPtr<ITidewireGadget> gadget;
  control.As(&gadget);
  gadget->Pause();
  EXPECT_TRUE(testing_support::PumpUntil([] { return heardObjectId != 0; }, 5s));
  ::UnhookWinEvent(hook);
  EXPECT_EQ(heardObjectId, AccessibleSite::RangeBase);
  EXPECT_EQ(site.acquired, std::vector<LONG>{1});

  ComPtr<IAccessible> band;
  control->QueryInterface(AccessibleIid, reinterpret_cast<void**>(band.GetAddressOf()));
  ComPtr<IAccessible> fromId;
  ASSERT_TRUE(site.handler);
  EXPECT_EQ(site.handler->AccessibleObjectFromID(0, AccessibleSite::RangeBase, &fromId), S_OK);
  EXPECT_EQ(fromId.Get(), band.Get());
  ComPtr<IDispatch> parent;
  EXPECT_EQ(band->get_accParent(&parent), S_OK);
  ComPtr<IAccessible> parentObject;
  if (parent) parent.As(&parentObject);
  EXPECT_EQ(parentObject.Get(), site.parent.Get());

  ComPtr<IOleInPlaceObject> inPlace;
  control.As(&inPlace);
  inPlace->InPlaceDeactivate();
  EXPECT_EQ(site.released, std::vector<LONG>{AccessibleSite::RangeBase});
  site.handler.Reset();
  control->Close(OLECLOSE_NOSAVE);
  control->SetClientSite(nullptr);
}

}  // namespace
}  // namespace tidewire
