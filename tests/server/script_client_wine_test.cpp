// A client that nobody here wrote: Wine's own script host drives the registered control from
// JScript, by ProgID and by member name.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/server/library_under_test.h"
#include "win/handles.h"

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

// Runs `command` and returns what it wrote to its standard output, or nothing on a failure.
std::string Output(std::wstring command, DWORD& exitCode) {
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  UniqueKernelHandle readEnd;
  UniqueKernelHandle writeEnd;
  if (!::CreatePipe(readEnd.Put(), writeEnd.Put(), &inherit, 0)) return {};
  ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd.Get();
  startup.hStdError = writeEnd.Get();
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return {};
  }
  const UniqueKernelHandle processHandle(process.hProcess);
  const UniqueKernelHandle threadHandle(process.hThread);
  writeEnd.Reset();
  std::string output;
  char buffer[4096];
  DWORD count = 0;
  while (::ReadFile(readEnd.Get(), buffer, sizeof(buffer), &count, nullptr) && count > 0) {
    output.append(buffer, count);
  }
  ::WaitForSingleObject(processHandle.Get(), 60000);
  ::GetExitCodeProcess(processHandle.Get(), &exitCode);
  return output;
}

TEST(ScriptClient, JScriptDrivesTheControlByProgIdAndMemberName) {
  ASSERT_EQ(RegisterLibraryUnderTest(), S_OK);
  wchar_t directory[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, directory);
  const std::wstring script = std::wstring(directory) + L"tidewire_client_test.js";
  std::ofstream(std::filesystem::path(script), std::ios::binary) << Script;

  DWORD exitCode = 1;
  const std::string output = Output(L"cscript.exe //nologo \"" + script + L"\"", exitCode);
  ::DeleteFileW(script.c_str());
  EXPECT_EQ(exitCode, 0u) << output;
  EXPECT_EQ(output,
            "5|3|-10|http://127.0.0.1:9/a.xml URL http://127.0.0.1:9/b.xml|true|"
            "1 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0 URL 0\r\n");
}

}  // namespace
}  // namespace tidewire
