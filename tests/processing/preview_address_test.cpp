// The preview tool on http:// and https:// addresses, with a scripted fetcher.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "processing/platform.h"
#include "tests/processing/xml_test_support.h"
#include "tools/preview_tool.h"

namespace tidewire {
namespace {

constexpr char Feed[] =
    "\xEF\xBB\xBF<rss><channel><title>T</title><item><title>Caf\xC3\xA9</title><description>"
    "Body</description><link>http://x/1</link></item><item><title>Two</title></item>"
    "</channel></rss>";

class PreviewAddressTest : public testing::Test {
 protected:
  PreviewAddressTest() {
    environment_.programName = "preview";
    environment_.readSource = [this](const std::string& name, std::string& content,
                                     std::string& error) {
      fileReads_.push_back(name);
      if (name != "feed.xml") {
        error = "no such file";
        return false;
      }
      content = Feed;
      return true;
    };
    environment_.readAddress = [this](const std::string& address, std::string& content,
                                      std::string& error) {
      fetched_.push_back(address);
      const auto found = server_.find(address);
      if (found == server_.end()) {
        error = "cannot connect or no response";
        return false;
      }
      content = found->second;
      return true;
    };
    environment_.decoder = &PlatformTextDecoder();
    environment_.createDocument = CreatePlatformXmlDocument;
    environment_.clock = [] { return ClockTime{7, 5}; };
  }

  int Run(std::vector<std::string> arguments, std::string& out, std::string& err) {
    std::ostringstream outStream;
    std::ostringstream errStream;
    const int result = RunPreview(arguments, environment_, outStream, errStream);
    out = outStream.str();
    err = errStream.str();
    return result;
  }

  testing_support::PlatformScope platform_;
  PreviewEnvironment environment_;
  std::map<std::string, std::string> server_ = {{"http://host/feed", Feed},
                                                {"HTTPS://host/feed", Feed}};
  std::vector<std::string> fileReads_;
  std::vector<std::string> fetched_;
};

TEST_F(PreviewAddressTest, AddressPrintsWhatTheSameFilePrints) {
  for (const std::vector<std::string>& options :
       std::vector<std::vector<std::string>>{{}, {"--json"}, {"--detect"}}) {
    std::vector<std::string> fileArguments = options;
    fileArguments.push_back("feed.xml");
    std::vector<std::string> addressArguments = options;
    addressArguments.push_back("http://host/feed");
    std::string fileOut, fileErr, addressOut, addressErr;
    EXPECT_EQ(Run(fileArguments, fileOut, fileErr), 0);
    EXPECT_EQ(Run(addressArguments, addressOut, addressErr), 0);
    EXPECT_FALSE(fileOut.empty());
    EXPECT_EQ(addressOut, fileOut) << (options.empty() ? "plain" : options[0]);
    EXPECT_EQ(addressErr, "");
  }
  EXPECT_EQ(fileReads_, std::vector<std::string>(3, "feed.xml"));
  EXPECT_EQ(fetched_, std::vector<std::string>(3, "http://host/feed"));
}

TEST_F(PreviewAddressTest, SchemeIsRecognisedInAnyCaseAndMixesWithFiles) {
  std::string out, err, expected, unused;
  ASSERT_EQ(Run({"feed.xml", "feed.xml"}, expected, unused), 0);
  EXPECT_EQ(Run({"feed.xml", "HTTPS://host/feed"}, out, err), 0);
  EXPECT_EQ(out, expected);
  EXPECT_EQ(fetched_, std::vector<std::string>{"HTTPS://host/feed"});
  // Only the scheme makes an address: other names stay file names.
  EXPECT_EQ(Run({"ftp://host/feed", "httpx://host"}, out, err), 2);
  EXPECT_EQ(fetched_.size(), 1u);
}

TEST_F(PreviewAddressTest, FailedFetchIsAnUnreadableInputNamingTheAddress) {
  std::string out, err;
  EXPECT_EQ(Run({"--json", "http://down/feed", "feed.xml"}, out, err), 2);
  EXPECT_EQ(err, "preview: cannot read http://down/feed: cannot connect or no response\n");
  // The other inputs are still printed.
  EXPECT_NE(out.find("Caf\xC3\xA9"), std::string::npos);
  EXPECT_EQ(Run({"--detect", "http://down/feed"}, out, err), 2);
  EXPECT_EQ(out, "");
}

TEST_F(PreviewAddressTest, AddressesAreUsageErrorsWhereTheyCannotBeFetched) {
  std::string out, err;
  EXPECT_EQ(Run({"--clean", "http://host/feed"}, out, err), 2);
  EXPECT_NE(err.find("--clean takes files only"), std::string::npos);
  EXPECT_NE(err.find("usage:"), std::string::npos);

  environment_.readAddress = nullptr;
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"feed.xml", "http://host/feed"},
                                             {"--json", "https://host/feed"},
                                             {"--detect", "http://host/feed"}}) {
    EXPECT_EQ(Run(arguments, out, err), 2);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("addresses are fetched by TidewirePreview.exe only"), std::string::npos)
        << err;
  }
  // Nothing was read before the usage error.
  EXPECT_TRUE(fileReads_.empty());
  EXPECT_TRUE(fetched_.empty());
}

}  // namespace
}  // namespace tidewire
