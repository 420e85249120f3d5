// A client that nobody here wrote: Wine's own script host drives the registered control from
// JScript, by ProgID and by member name.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/server/library_under_test.h"
#include "tests/support/child_process_win.h"

namespace tidewire {
namespace {

constexpr char Script[] = R"(var gadget = new ActiveXObject("Tidewire.TidewireGadget");
gadget.FeedRefreshRate = 5;
gadget.DelayBetweenFeeds = 3;
gadget.SpeechSpeed = -10;
gadget.FeedURLs = "http://127.0.0.1:9/a.xml URL http://127.0.0.1:9/b.xml";
gadget.FeedURLsActive = "";
gadget.Pause();
WScript.Echo([gadget.FeedRefreshRate, gadget.DelayBetweenFeeds, gadget.SpeechSpeed,
              gadget.FeedURLs, gadget.Paused, gadget.FeedURLsActive].join("|"));
)";

TEST(ScriptClient, JScriptDrivesTheControlByProgIdAndMemberName) {
  ASSERT_EQ(RegisterLibraryUnderTest(), S_OK);
  wchar_t directory[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, directory);
  const std::wstring script = std::wstring(directory) + L"tidewire_client_test.js";
  std::ofstream(std::filesystem::path(script), std::ios::binary) << Script;

  const testing_support::ChildOutcome run =
      testing_support::RunChild(L"cscript.exe //nologo \"" + script + L"\"");
  ::DeleteFileW(script.c_str());
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
  EXPECT_EQ(run.out,
            "5|3|-10|http://127.0.0.1:9/a.xml URL http://127.0.0.1:9/b.xml|true|"
            "1 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0\r\n");
}

}  // namespace
}  // namespace tidewire
