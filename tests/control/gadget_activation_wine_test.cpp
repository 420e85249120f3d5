// The control in a container: windowless in-place activation with forwarded messages, drawing
// through IViewObject, redraw requests, the hand cursor over a story and its opening through the
// shell, and the Pause item of the container's menu. The control comes from the built library.

#include <gtest/gtest.h>
#include <ocidl.h>
#include <shobjidl.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/control/test_control_site_win.h"
#include "tests/server/library_under_test.h"
#include "tests/support/feed_server_port.h"
#include "tidewire_idl.h"
#include "win/com.h"
#include "win/handles.h"

namespace tidewire {
namespace {

using namespace std::chrono_literals;
using testing_support::TestControlSite;

void PumpFor(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
  }
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 30s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    PumpFor(20ms);
  }
  return true;
}

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

TEST_F(ActivationTest, WindowlessActivationTakesForwardedMessagesAndAsksForRedraws) {
  TestControlSite* recorder = ActivateWindowless();
  EXPECT_EQ(recorder->activations, 1);
  EXPECT_EQ(recorder->activationFlags, static_cast<DWORD>(ACTIVATE_WINDOWLESS));
  ComPtr<IOleWindow> window;
  ASSERT_EQ(gadget.As(&window), S_OK);
  HWND own = reinterpret_cast<HWND>(1);
  EXPECT_EQ(window->GetWindow(&own), E_FAIL);
  EXPECT_EQ(own, nullptr);

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

  // Deactivated, the control tells its view's advise sink instead.
  ComPtr<IViewObject> view;
  gadget.As(&view);
  view->SetAdvise(DVASPECT_CONTENT, 0, recorder);
  ComPtr<IOleInPlaceObject> inPlace;
  gadget.As(&inPlace);
  EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_EQ(recorder->deactivations, 1);
  const int invalidations = recorder->invalidations;
  ASSERT_TRUE(PumpUntil([&] { return recorder->viewChanges >= 3; }));
  EXPECT_EQ(recorder->invalidations, invalidations);
  view->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
}

COLORREF PixelAt(const std::vector<std::uint32_t>& pixels, int width, int x, int y) {
  const std::uint32_t bgr = pixels[static_cast<std::size_t>(y * width + x)];
  return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

TEST_F(ActivationTest, DrawsTheBandWithinTheBoundsItIsGiven) {
  constexpr int width = 240;
  constexpr int height = 24;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const UniqueGdiObject<HBITMAP> bitmap(
      ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const UniqueCreatedDc dc(::CreateCompatibleDC(nullptr));
  const ScopedSelectObject selected(dc.Get(), bitmap.Get());
  std::fill_n(static_cast<std::uint32_t*>(bits), width * height, 0x00123456u);

  ComPtr<IViewObject> view;
  ASSERT_EQ(gadget.As(&view), S_OK);
  const RECTL bounds{20, 4, 220, 20};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.Get(), &bounds,
                       nullptr, nullptr, 0),
            S_OK);
  ::GdiFlush();
  const std::vector<std::uint32_t> pixels(static_cast<std::uint32_t*>(bits),
                                          static_cast<std::uint32_t*>(bits) + width * height);
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
  const RECT area{20, 4, 220, 20};
  DWORD hit = 0;
  viewEx->QueryHitPoint(DVASPECT_CONTENT, &area, POINT{30, 10}, 0, &hit);
  EXPECT_EQ(hit, static_cast<DWORD>(HITRESULT_HIT));
  viewEx->QueryHitPoint(DVASPECT_CONTENT, &area, POINT{10, 10}, 0, &hit);
  EXPECT_EQ(hit, static_cast<DWORD>(HITRESULT_OUTSIDE));
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

// The http scheme's handler in the test prefix, replaced for one test by the recorder.
class HttpHandlerOverride {
 public:
  explicit HttpHandlerOverride(const std::wstring& output) {
    const std::wstring command = L"\"Z:" TIDEWIRE_URL_RECORDER L"\" \"" + output + L"\" \"%1\"";
    ::RegCreateKeyW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", key_.Put());
    DWORD size = sizeof(previous_);
    hadPrevious_ = ::RegQueryValueExW(key_.Get(), nullptr, nullptr, nullptr,
                                      reinterpret_cast<BYTE*>(previous_), &size) == ERROR_SUCCESS;
    Set(command.c_str());
  }
  ~HttpHandlerOverride() {
    if (hadPrevious_) Set(previous_);
  }
  HttpHandlerOverride(const HttpHandlerOverride&) = delete;
  HttpHandlerOverride& operator=(const HttpHandlerOverride&) = delete;

 private:
  void Set(const wchar_t* command) {
    ::RegSetValueExW(key_.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                     static_cast<DWORD>((std::wcslen(command) + 1) * sizeof(wchar_t)));
  }
  UniqueRegKey key_;
  wchar_t previous_[1024] = {};
  bool hadPrevious_ = false;
};

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
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

  wchar_t directory[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, directory);
  const std::filesystem::path output = std::filesystem::path(directory) / L"tidewire_opened.txt";
  std::filesystem::remove(output);
  {
    const HttpHandlerOverride handler(output.wstring());
    EXPECT_EQ(gadget->OpenCurrentLink(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return !ReadAll(output).empty(); }));
  }
  EXPECT_EQ(ReadAll(output), "http://example.invalid/one/1\n");
  std::filesystem::remove(output);

  // While paused the line keeps its hand.
  gadget->Pause();
  EXPECT_EQ(Forward(WM_SETCURSOR), S_OK);
}

}  // namespace
}  // namespace tidewire
