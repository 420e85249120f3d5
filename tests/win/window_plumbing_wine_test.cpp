// Window owners, their thunks and window classes, with child windows under a hidden parent, and
// the boundary helper with bodies that return nothing.

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "win/com_boundary.h"
#include "win/handles.h"
#include "win/module.h"
#include "win/window_class.h"
#include "win/window_owner.h"

namespace tidewire {
namespace {

WindowClass testWindowClass(L"TidewireTestWindow", 0, nullptr);

// An owner whose handler the test sets; it records whether it still had its window when the
// last message came.
class TestOwner final : public WindowOwner {
 public:
  using Handler = std::function<bool(UINT, WPARAM, LPARAM, LRESULT*)>;

  HWND CreateWindowUnder(HWND parent) {
    if (!testWindowClass.Register()) return nullptr;
    return ::CreateWindowExW(0, testWindowClass.Name(), L"abc", WS_CHILD, 0, 0, 10, 10, parent,
                             nullptr, CodeModule(), static_cast<WindowOwner*>(this));
  }

  HWND CreateDialogUnder(HWND parent) {
    // A child dialog without controls, menu, class or title of its own template.
    alignas(DWORD) WORD dialogTemplate[sizeof(DLGTEMPLATE) / sizeof(WORD) + 3] = {};
    auto* header = reinterpret_cast<DLGTEMPLATE*>(dialogTemplate);
    header->style = WS_CHILD;
    header->cx = 10;
    header->cy = 10;
    const HWND dialog =
        ::CreateDialogIndirectParamW(CodeModule(), header, parent, &DialogThunk,
                                     reinterpret_cast<LPARAM>(static_cast<WindowOwner*>(this)));
    if (dialog != nullptr) ::SetWindowTextW(dialog, L"abc");
    return dialog;
  }

  HWND Window() const { return OwnedWindow(); }

  Handler handler;
  bool sawLastMessage = false;
  HWND windowAtLastMessage = nullptr;

 private:
  bool HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    if (message == WM_NCDESTROY) {
      sawLastMessage = true;
      windowAtLastMessage = OwnedWindow();
    }
    return handler && handler(message, wParam, lParam, result);
  }
};

UniqueWindow MakeParent() {
  return UniqueWindow(::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        CodeModule(), nullptr));
}

// The two kinds of owned window.
enum class Kind { Window, Dialog };

HWND CreateOwned(TestOwner& owner, Kind kind, HWND parent) {
  return kind == Kind::Window ? owner.CreateWindowUnder(parent) : owner.CreateDialogUnder(parent);
}

class OwnedWindowTest : public ::testing::TestWithParam<Kind> {};

TEST_P(OwnedWindowTest, IsGivenUpWhenItsParentDestroysItAndNeverDestroyedAgain) {
  UniqueWindow parent = MakeParent();
  ASSERT_TRUE(parent);
  TestOwner owner;
  const HWND made = CreateOwned(owner, GetParam(), parent.Get());
  ASSERT_NE(made, nullptr) << ::GetLastError();
  EXPECT_EQ(owner.Window(), made);

  parent.Reset();
  EXPECT_FALSE(::IsWindow(made));
  EXPECT_TRUE(owner.sawLastMessage);
  // The handle is given up before the handler sees the last message.
  EXPECT_EQ(owner.windowAtLastMessage, nullptr);
  // So the owner's destructor has nothing to destroy, whatever window the handle names by then.
  EXPECT_EQ(owner.Window(), nullptr);
}

TEST_P(OwnedWindowTest, AnOwnerThatGoesFirstDestroysItsWindowWithoutHearingFromIt) {
  const UniqueWindow parent = MakeParent();
  ASSERT_TRUE(parent);
  HWND made = nullptr;
  {
    TestOwner owner;
    made = CreateOwned(owner, GetParam(), parent.Get());
    ASSERT_NE(made, nullptr);
  }
  // Had the window's last messages reached the owner, the handler would have run on a
  // half-destroyed object.
  EXPECT_FALSE(::IsWindow(made));
}

TEST_P(OwnedWindowTest, AThrowingHandlerGivesTheDefaultProcessing) {
  const UniqueWindow parent = MakeParent();
  ASSERT_TRUE(parent);
  TestOwner owner;
  bool fail = false;
  owner.handler = [&](UINT message, WPARAM, LPARAM, LRESULT* result) {
    if (message != WM_GETTEXTLENGTH) return false;
    *result = 99;
    if (fail) throw std::runtime_error("handler failed");
    return true;
  };
  const HWND made = CreateOwned(owner, GetParam(), parent.Get());
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(::SendMessageW(made, WM_GETTEXTLENGTH, 0, 0), 99);
  fail = true;
  // The default processing counts the window's text, "abc".
  EXPECT_EQ(::SendMessageW(made, WM_GETTEXTLENGTH, 0, 0), 3);
  fail = false;
  EXPECT_EQ(::SendMessageW(made, WM_GETTEXTLENGTH, 0, 0), 99);
}

INSTANTIATE_TEST_SUITE_P(WindowAndDialog, OwnedWindowTest,
                         ::testing::Values(Kind::Window, Kind::Dialog));

TEST(WindowClass, IsRegisteredOnceFromManyThreadsAndAgainAfterUnregistering) {
  WindowClass windowClass(L"TidewireTestClass", CS_DBLCLKS, IDC_ARROW);
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  std::atomic<int> registered{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] { registered += windowClass.Register() ? 1 : 0; });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(registered.load(), 8);
  ASSERT_TRUE(::GetClassInfoExW(CodeModule(), windowClass.Name(), &info));
  EXPECT_EQ(info.style, static_cast<UINT>(CS_DBLCLKS));
  EXPECT_EQ(info.lpfnWndProc, &WindowOwner::WindowThunk);
  EXPECT_NE(info.hCursor, nullptr);

  UnregisterWindowClasses();
  EXPECT_FALSE(::GetClassInfoExW(CodeModule(), windowClass.Name(), &info));
  EXPECT_TRUE(windowClass.Register());
  EXPECT_TRUE(::GetClassInfoExW(CodeModule(), windowClass.Name(), &info));
  UnregisterWindowClasses();
}

TEST(ComBoundary, AVoidBodyGivesSuccessOrTheErrorOfItsException) {
  bool ran = false;
  EXPECT_EQ(ComBoundary([&] { ran = true; }), S_OK);
  EXPECT_TRUE(ran);
  EXPECT_EQ(ComBoundary([] { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(ComBoundary([] { throw std::runtime_error("failed"); }), E_UNEXPECTED);
}

}  // namespace
}  // namespace tidewire
