// TidewirePreview.exe on addresses of the test HTTP server (tests/support/feed_server.py), run as
// a child process under wine64: its output for an address against its output for the same file.

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/support/child_process_win.h"
#include "tests/support/feed_server_port.h"

namespace tidewire {
namespace {

using testing_support::FeedServerPort;

using Outcome = testing_support::ChildOutcome;

// Runs the tool with `arguments` (ASCII, no quoting needed) and collects everything it says.
Outcome RunPreviewProgram(const std::vector<std::string>& arguments) {
  std::string line = std::string("\"Z:") + TIDEWIRE_PREVIEW_EXE + "\"";
  for (const std::string& argument : arguments) line += " " + argument;
  Outcome outcome = testing_support::RunChild(std::wstring(line.begin(), line.end()));
  if (!outcome.started) ADD_FAILURE() << "the tool did not start: " << line;
  return outcome;
}

// The two runs being compared may fall into different minutes: fetch times are compared by form.
std::string WithoutFetchTimes(const std::string& jsonLines) {
  static const std::regex fetchTime("\"fetchTime\":\"[0-2][0-9]:[0-5][0-9]\"");
  return std::regex_replace(jsonLines, fetchTime, "\"fetchTime\":\"hh:mm\"");
}

class PreviewFetchWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const int port = FeedServerPort();
    ASSERT_GT(port, 0) << "the feed server fixture is not running";
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    base_ = "http://127.0.0.1:" + std::to_string(port) + "/t/" + info->name() + "-" +
            std::to_string(GetCurrentProcessId());
  }

  static std::string File(const std::string& name) {
    return std::string("Z:") + TIDEWIRE_TEST_DATA_DIR + "/retrieval/" + name;
  }

  // The tool's output for `address` must be its output for `file`, for each way of printing.
  void ExpectSameAsFile(const std::string& address, const std::string& file) {
    for (const std::string option : {"", "--json", "--detect"}) {
      std::vector<std::string> head;
      if (!option.empty()) head.push_back(option);
      std::vector<std::string> fromFile = head;
      fromFile.push_back(File(file));
      std::vector<std::string> fromAddress = head;
      fromAddress.push_back(address);
      const Outcome expected = RunPreviewProgram(fromFile);
      const Outcome actual = RunPreviewProgram(fromAddress);
      EXPECT_EQ(expected.exitCode, 0u) << expected.err;
      EXPECT_FALSE(expected.out.empty());
      EXPECT_EQ(actual.exitCode, 0u) << option << ": " << actual.err;
      EXPECT_EQ(WithoutFetchTimes(actual.out), WithoutFetchTimes(expected.out)) << option;
      EXPECT_EQ(actual.err, "") << option;
    }
  }

  std::string base_;
};

TEST_F(PreviewFetchWineTest, ServedFeedPrintsWhatItsFilePrints) {
  ExpectSameAsFile(base_ + "/feeds/one.xml", "one.xml");
}

TEST_F(PreviewFetchWineTest, ErrorStatusBodyIsReadLikeAFeed) {
  ExpectSameAsFile(base_ + "/status/404/two.xml", "two.xml");
}

TEST_F(PreviewFetchWineTest, UnreachableAddressIsAnUnreadableInput) {
  // Port 1 on the loopback address: nothing listens there.
  const std::string address = "http://127.0.0.1:1/feed.xml";
  const Outcome outcome = RunPreviewProgram({"--json", address});
  EXPECT_EQ(outcome.exitCode, 2u);
  EXPECT_EQ(outcome.out, "");
  EXPECT_NE(outcome.err.find("cannot read " + address), std::string::npos) << outcome.err;
}

TEST_F(PreviewFetchWineTest, BodyCutShortOfItsLengthIsAnUnreadableInput) {
  // All of one.xml but its final line feed: a complete document, yet not the announced body.
  for (const std::string way : {"cut", "reset"}) {
    const std::string address = base_ + "/" + way + "/one.xml?after=360";
    const Outcome outcome = RunPreviewProgram({address});
    EXPECT_EQ(outcome.exitCode, 2u) << way;
    EXPECT_EQ(outcome.out, "") << way;
    EXPECT_NE(outcome.err.find("cannot read " + address + ": reading the response failed"),
              std::string::npos)
        << outcome.err;
  }
}

TEST_F(PreviewFetchWineTest, BodyOverTheBoundIsAnUnreadableInput) {
  const std::string address = base_ + "/feeds/one.xml?pad=" + std::to_string(33 << 20);
  const Outcome outcome = RunPreviewProgram({address});
  EXPECT_EQ(outcome.exitCode, 2u);
  EXPECT_EQ(outcome.out, "");
  EXPECT_NE(outcome.err.find("cannot read " + address + ": Feed too large"), std::string::npos)
      << outcome.err;
}

TEST_F(PreviewFetchWineTest, CleanTakesFilesOnly) {
  const Outcome outcome = RunPreviewProgram({"--clean", base_ + "/feeds/one.xml"});
  EXPECT_EQ(outcome.exitCode, 2u);
  EXPECT_NE(outcome.err.find("--clean takes files only"), std::string::npos) << outcome.err;
}

}  // namespace
}  // namespace tidewire
