// The control in a container: its answers to forwarded messages, the band drawn through
// IViewObject and what it declares, the scroll timer's redraw requests, the hand cursor over a story and its opening through the
// shell, and the Pause item of the container's menu. The control comes from the built library.

#include <gtest/gtest.h>
#include <ocidl.h>
#include <shobjidl.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_control_site_win.h"
#include "tests/server/library_under_test.h"
#include "tests/support/feed_server_port.h"
#include "tests/support/dib_picture_win.h"
#include "tests/support/http_handler_override_win.h"
#include "tests/support/message_pump_win.h"
#include "tidewire_idl.h"
#include "win/com.h"
#include "win/handles.h"

namespace tidewire {
namespace {

using namespace std::chrono_literals;
using testing_support::HttpHandlerOverride;
using testing_support::OpenedLinks;
using testing_support::PumpFor;
using testing_support::PumpUntil;
using testing_support::TestControlSite;

class ActivationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(RegisterLibraryUnderTest(), S_OK); }

  void SetUp() override {
    ASSERT_EQ(::CoCreateInstance(CLSID_TidewireGadget, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&gadget)),
              S_OK);
    ASSERT_EQ(gadget.As(&oleObject), S_OK);
  }

  // Activates the control windowless in a site that records what it is asked.
  TestControlSite* ActivateWindowless(RECT position = {0, 0, 200, 16}) {
    ComPtr<IOleClientSite> clientSite;
    EXPECT_EQ(TestControlSite::Create(nullptr, IID_PPV_ARGS(&clientSite), nullptr, true, position),
              S_OK);
    site = clientSite;
    EXPECT_EQ(oleObject->SetClientSite(clientSite.Get()), S_OK);
    EXPECT_EQ(oleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSite.Get(), 0, nullptr,
                                &position),
              S_OK);
    return static_cast<TestControlSite*>(clientSite.Get());
  }

  HRESULT Forward(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    ComPtr<IOleInPlaceObjectWindowless> windowless;
    gadget.As(&windowless);
    LRESULT result = -1;
    return windowless->OnWindowMessage(message, wParam, lParam, &result);
  }

  void TearDown() override {
    if (oleObject) oleObject->Close(OLECLOSE_NOSAVE);
    if (oleObject) oleObject->SetClientSite(nullptr);
  }

  ComInitialization com_;
  ComPtr<ITidewireGadget> gadget;
  ComPtr<IOleObject> oleObject;
  ComPtr<IOleClientSite> site;
};

TEST_F(ActivationTest, ForwardedMessagesAndTheScrollTimerReachTheWindowlessSite) {
  TestControlSite* recorder = ActivateWindowless();

  // Button messages are consumed; the connecting text has no link, so the cursor is left alone.
  EXPECT_EQ(Forward(WM_LBUTTONDOWN), S_OK);
  EXPECT_EQ(Forward(WM_LBUTTONUP), S_OK);
  EXPECT_EQ(Forward(WM_ERASEBKGND), S_OK);
  EXPECT_EQ(Forward(WM_SETCURSOR), S_FALSE);
  EXPECT_EQ(Forward(WM_MOUSEMOVE), S_FALSE);

  // The scroll timer (started by the speed) makes the control ask its site for redraws.
  gadget->put_SpeechSpeed(10);
  ASSERT_TRUE(PumpUntil([&] { return recorder->invalidations >= 3; }));
  gadget->Pause();
  PumpFor(100ms);
  const int whilePaused = recorder->invalidations;
  PumpFor(200ms);
  EXPECT_EQ(recorder->invalidations, whilePaused);
  gadget->Pause();
}

COLORREF PixelAt(const std::vector<std::uint32_t>& pixels, int width, int x, int y) {
  const std::uint32_t bgr = pixels[static_cast<std::size_t>(y * width + x)];
  return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

TEST_F(ActivationTest, DrawsTheBandWithinTheBoundsItIsGiven) {
  constexpr int width = 240;
  constexpr int height = 24;
  testing_support::DibPicture picture(width, height);
  picture.Fill(RGB(0x12, 0x34, 0x56));

  ComPtr<IViewObject> view;
  ASSERT_EQ(gadget.As(&view), S_OK);
  const RECTL bounds{20, 4, 220, 20};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, picture.Dc(), &bounds,
                       nullptr, nullptr, 0),
            S_OK);
  ::GdiFlush();
  const std::vector<std::uint32_t> pixels(picture.Pixels(), picture.Pixels() + picture.Count());
  const COLORREF untouched = RGB(0x12, 0x34, 0x56);
  EXPECT_EQ(PixelAt(pixels, width, 19, 10), untouched);
  EXPECT_EQ(PixelAt(pixels, width, 220, 10), untouched);
  EXPECT_EQ(PixelAt(pixels, width, 100, 3), untouched);
  EXPECT_EQ(PixelAt(pixels, width, 100, 20), untouched);
  // The band's rows, the left edge line, and no text yet (the line enters at the right edge).
  EXPECT_EQ(PixelAt(pixels, width, 100, 4), RGB(82, 81, 82));
  EXPECT_EQ(PixelAt(pixels, width, 100, 4 + 2), RGB(0, 4, 0));
  EXPECT_EQ(PixelAt(pixels, width, 100, 4 + 10), RGB(16, 16, 16));
  EXPECT_EQ(PixelAt(pixels, width, 20, 4 + 10), RGB(82, 81, 82));

  ComPtr<IViewObjectEx> viewEx;
  gadget.As(&viewEx);
  DWORD status = 0;
  viewEx->GetViewStatus(&status);
  EXPECT_EQ(status, static_cast<DWORD>(VIEWSTATUS_OPAQUE));
  SIZEL extent{};
  oleObject->GetExtent(DVASPECT_CONTENT, &extent);
  EXPECT_EQ(extent.cx, 5080);
  EXPECT_EQ(extent.cy, 5080);
  DWORD misc = 0;
  oleObject->GetMiscStatus(DVASPECT_CONTENT, &misc);
  EXPECT_EQ(misc, 131473u);
}

std::wstring MenuText(HMENU menu, UINT id) {
  wchar_t text[64] = {};
  ::GetMenuStringW(menu, id, text, 64, MF_BYCOMMAND);
  return text;
}

bool Checked(HMENU menu, UINT id) {
  return (::GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

TEST_F(ActivationTest, ContextMenuOffersPauseCheckedWhilePaused) {
  ComPtr<IContextMenu> contextMenu;
  ASSERT_EQ(gadget.As(&contextMenu), S_OK);
  HMENU menu = ::CreatePopupMenu();
  ::AppendMenuW(menu, MF_STRING, 1, L"Host item");
  EXPECT_EQ(contextMenu->QueryContextMenu(menu, 0, 800, 0x7FFF, CMF_NORMAL),
            MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1));
  EXPECT_EQ(::GetMenuItemID(menu, 0), 800u);
  EXPECT_EQ(MenuText(menu, 800), L"Pause");
  EXPECT_FALSE(Checked(menu, 800));
  ::DestroyMenu(menu);

  CMINVOKECOMMANDINFO command{};
  command.cbSize = sizeof(command);
  command.lpVerb = MAKEINTRESOURCEA(0);
  EXPECT_EQ(contextMenu->InvokeCommand(&command), S_OK);
  VARIANT_BOOL paused = VARIANT_FALSE;
  gadget->get_Paused(&paused);
  EXPECT_EQ(paused, VARIANT_TRUE);
  menu = ::CreatePopupMenu();
  contextMenu->QueryContextMenu(menu, 0, 800, 0x7FFF, CMF_NORMAL);
  EXPECT_TRUE(Checked(menu, 800));
  ::DestroyMenu(menu);

  command.lpVerb = MAKEINTRESOURCEA(5);
  EXPECT_EQ(contextMenu->InvokeCommand(&command), S_OK);
  gadget->get_Paused(&paused);
  EXPECT_EQ(paused, VARIANT_TRUE);
  char name[16] = {};
  EXPECT_EQ(contextMenu->GetCommandString(0, GCS_VERBA, nullptr, name, 16), E_NOTIMPL);
}

TEST_F(ActivationTest, StoryWithALinkGetsTheHandAndOpensThroughTheShell) {
  const int port = testing_support::FeedServerPort();
  ASSERT_NE(port, 0) << "the feed server is not running";
  ActivateWindowless();
  const std::wstring address = L"http://127.0.0.1:" + std::to_wstring(port) + L"/feeds/one.xml";
  const UniqueBstr feeds(std::u16string(address.begin(), address.end()));
  gadget->put_FeedURLs(feeds.Get());
  // The first pass publishes the feed's items; the announcement replaces the connecting text.
  ASSERT_TRUE(PumpUntil([&] { return Forward(WM_SETCURSOR) == S_OK; }));
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));

  const OpenedLinks opened(L"tidewire_opened.txt");
  {
    const HttpHandlerOverride handler(opened.Path());
    EXPECT_EQ(gadget->OpenCurrentLink(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return !opened.Lines().empty(); }));
  }
  EXPECT_EQ(opened.Lines(), "http://example.invalid/one/1\n");

  // While paused the line keeps its hand.
  gadget->Pause();
  EXPECT_EQ(Forward(WM_SETCURSOR), S_OK);
}

// Whether a frame drawn now shows any of the text's colour.
bool ShowsText(IViewObject& view) {
  constexpr int width = 200;
  const testing_support::DibPicture picture(width, 16);
  const RECTL bounds{0, 0, width, 16};
  view.Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, picture.Dc(), &bounds, nullptr,
            nullptr, 0);
  ::GdiFlush();
  const std::uint32_t* pixels = picture.Pixels();
  return std::find(pixels, pixels + width * 16, 0x00FF8000u) != pixels + width * 16;
}

TEST_F(ActivationTest, HandShowsOnlyOverALinkThatOpens) {
  const int port = testing_support::FeedServerPort();
  ASSERT_NE(port, 0) << "the feed server is not running";
  ActivateWindowless();
  const std::wstring address =
      L"http://127.0.0.1:" + std::to_wstring(port) + L"/feeds/unsafe_links.xml";
  const UniqueBstr feeds(std::u16string(address.begin(), address.end()));
  gadget->put_FeedURLs(feeds.Get());
  ComPtr<IViewObject> view;
  ASSERT_EQ(gadget.As(&view), S_OK);
  // Ticks (no timer runs: nothing applied settings) and frames move a line along; the band shows
  // text again once the next line has come in after the previous one left.
  const auto nextLine = [&] {
    bool gone = false;
    for (int tick = 0; tick < 5000; ++tick) {
      gadget->IncrementFeed();
      if (ShowsText(*view.Get())) {
        if (gone) return true;
      } else {
        gone = true;
        PumpFor(1ms);
      }
    }
    return false;
  };

  // The first story, an address that opens, is on the band with the hand.
  ASSERT_TRUE(PumpUntil([&] { return Forward(WM_SETCURSOR) == S_OK; }));
  ASSERT_TRUE(PumpUntil([&] {
    gadget->IncrementFeed();
    return ShowsText(*view.Get());
  }));
  // A script address, then one without a host: no hand over either.
  ASSERT_TRUE(nextLine());
  EXPECT_EQ(Forward(WM_SETCURSOR), S_FALSE) << "javascript:";
  ASSERT_TRUE(nextLine());
  EXPECT_EQ(Forward(WM_SETCURSOR), S_FALSE) << "http://?x=3";
  ASSERT_TRUE(nextLine());
  EXPECT_EQ(Forward(WM_SETCURSOR), S_OK) << "the first story again";
}

}  // namespace
}  // namespace tidewire
