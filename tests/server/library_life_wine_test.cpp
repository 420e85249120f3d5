// The library's life in a process that only COM loaded it into: a container that frees unused
// libraries unloads it until its first download session, and never after (a WinINet thread may
// still be in its status callback then).

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "retrieval/feed_fetch.h"
#include "retrieval/wininet_client_win.h"
#include "tests/support/feed_server_port.h"
#include "tests/support/registry_sandbox_win.h"
#include "tidewire_idl.h"
#include "win/com.h"

namespace tidewire {
namespace {

const std::wstring LibraryPath = std::wstring(L"Z:") + TIDEWIRE_DLL_PATH;

std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string Base() {
  return "http://127.0.0.1:" + std::to_string(testing_support::FeedServerPort());
}

bool LibraryLoaded() { return ::GetModuleHandleW(LibraryPath.c_str()) != nullptr; }

HRESULT RegisterAndUnload() {
  const HMODULE library = ::LoadLibraryW(LibraryPath.c_str());
  if (library == nullptr) return E_FAIL;
  const auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(::GetProcAddress(library, "DllRegisterServer")));
  const HRESULT registered = registerServer != nullptr ? registerServer() : E_FAIL;
  ::FreeLibrary(library);
  return registered;
}

// The requests for `path` that the test server has seen.
int RequestsSeen(const std::string& path) {
  WinInetClient client;
  const std::string count = FetchFeedDocument(client, Widen(Base() + "/count" + path)).document;
  return std::atoi(count.c_str());
}

TEST(LibraryLifeTest, TheFirstDownloadSessionKeepsTheLibraryLoaded) {
  const ComInitialization com(COINIT_APARTMENTTHREADED);
  const testing_support::RegistrySandbox settings;
  ASSERT_EQ(RegisterAndUnload(), S_OK);
  ASSERT_FALSE(LibraryLoaded());

  ComPtr<ITidewireGadget> gadget;
  ASSERT_EQ(::CoCreateInstance(CLSID_TidewireGadget, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&gadget)),
            S_OK);
  gadget.Reset();
  ::CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_FALSE(LibraryLoaded()) << "a control without downloads leaves nothing behind";

  ASSERT_EQ(::CoCreateInstance(CLSID_TidewireGadget, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&gadget)),
            S_OK);
  const std::string path = "/t/library-life-" + std::to_string(::GetCurrentProcessId()) +
                           "/feeds/one.xml";
  gadget->put_FeedURLs(UniqueBstr(Widen(Base() + path)).Get());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (RequestsSeen(path) == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_GT(RequestsSeen(path), 0) << "the control never requested its feed";
  gadget.Reset();
  ::CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_TRUE(LibraryLoaded());
}

}  // namespace
}  // namespace tidewire
