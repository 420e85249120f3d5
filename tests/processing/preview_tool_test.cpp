#include "tools/preview_tool.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "processing/platform.h"
#include "tests/processing/xml_test_support.h"
#include "tools/headline_json.h"

namespace tidewire {
namespace {

class PreviewToolTest : public testing::Test {
 protected:
  PreviewToolTest() {
    environment_.programName = "preview";
    environment_.readSource = [this](const std::string& name, std::string& content,
                                     std::string& error) {
      const auto found = files_.find(name);
      if (found == files_.end()) {
        error = "no such file";
        return false;
      }
      content = found->second;
      return true;
    };
    environment_.decoder = &PlatformTextDecoder();
    environment_.createDocument = CreatePlatformXmlDocument;
    environment_.clock = [] { return ClockTime{9, 30}; };
  }

  int Run(std::vector<std::string> arguments) {
    out_.str("");
    err_.str("");
    return RunPreview(arguments, environment_, out_, err_);
  }

  testing_support::PlatformScope platform_;
  PreviewEnvironment environment_;
  std::map<std::string, std::string> files_ = {
      {"a.xml",
       "<rss><channel><title>A</title><item><title>One</title><description>First"
       "</description><link>http://a/1</link></item><item><description>Second</description>"
       "</item></channel></rss>"},
      {"b.xml",
       "\xEF\xBB\xBF<rss><item><title>Caf\xC3\xA9 \"quoted\"</title><description>tab\there"
       "</description></item></rss>"},
      {"atom.xml", "<feed><entry><title>x</title></entry></feed>"},
      {"latin.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss/>"},
      {"dirty.txt", "\xEF\xBB\xBF<p>Tom &amp;lt;3 Jerry</p>\n\tshow || "},
  };
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(PreviewToolTest, PrintsTheTextOfEveryHeadlineOfEveryFile) {
  EXPECT_EQ(Run({"a.xml", "atom.xml", "b.xml"}), 0);
  EXPECT_EQ(out_.str(), "One. First\n<No Title>. Second\nCaf\xC3\xA9 \"quoted\". tab here\n");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(PreviewToolTest, JsonLinesHoldEveryFieldInOrder) {
  EXPECT_EQ(Run({"--json", "b.xml", "a.xml"}), 0);
  EXPECT_EQ(out_.str(),
            "{\"link\":\"\",\"title\":\"Caf\xC3\xA9 \\\"quoted\\\"\",\"text\":\"Caf\xC3\xA9 "
            "\\\"quoted\\\". tab here\",\"feedTitle\":\"Caf\xC3\xA9 \\\"quoted\\\"\","
            "\"fetchTime\":\"09:30\"}\n"
            "{\"link\":\"http://a/1\",\"title\":\"One\",\"text\":\"One. First\","
            "\"feedTitle\":\"A\",\"fetchTime\":\"09:30\"}\n"
            "{\"link\":\"\",\"title\":\"<No Title>\",\"text\":\"<No Title>. Second\","
            "\"feedTitle\":\"A\",\"fetchTime\":\"09:30\"}\n");
}

TEST_F(PreviewToolTest, DetectPrintsMarkLengthAndCodePage) {
  EXPECT_EQ(Run({"--detect", "b.xml"}), 0);
  EXPECT_EQ(out_.str(), "3 65001\n");
  EXPECT_EQ(Run({"--detect", "latin.xml"}), 0);
  EXPECT_EQ(out_.str(), "0 0\n");
}

TEST_F(PreviewToolTest, CleanPrintsTheCleanedContent) {
  EXPECT_EQ(Run({"--clean", "dirty.txt"}), 0);
  EXPECT_EQ(out_.str(), "Tom <3 Jerry show ,\n");
}

TEST_F(PreviewToolTest, UnreadableFilesAreReportedAndTheRestIsRead) {
  EXPECT_EQ(Run({"missing.xml", "a.xml"}), 2);
  EXPECT_EQ(out_.str(), "One. First\n<No Title>. Second\n");
  EXPECT_EQ(err_.str(), "preview: cannot read missing.xml: no such file\n");
  EXPECT_EQ(Run({"--detect", "missing.xml"}), 2);
  EXPECT_EQ(Run({"--clean", "missing.xml"}), 2);
  EXPECT_EQ(out_.str(), "");
}

TEST_F(PreviewToolTest, UsageErrors) {
  const std::vector<std::vector<std::string>> wrong = {{},
                                                       {"--json"},
                                                       {"--clean"},
                                                       {"--clean", "a.xml", "b.xml"},
                                                       {"--detect"},
                                                       {"--detect", "a.xml", "b.xml"},
                                                       {"--xml", "a.xml"},
                                                       {"-j", "a.xml"}};
  for (const std::vector<std::string>& arguments : wrong) {
    EXPECT_EQ(Run(arguments), 2);
    EXPECT_EQ(out_.str(), "");
    EXPECT_NE(err_.str().find("usage: preview"), std::string::npos) << err_.str();
  }
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(out_.str().find("--detect FILE"), std::string::npos);
}

TEST_F(PreviewToolTest, MissingParserIsReported) {
  environment_.createDocument = [] { return std::unique_ptr<XmlDocument>(); };
  EXPECT_EQ(Run({"a.xml"}), 2);
  EXPECT_EQ(err_.str(), "preview: the XML parser cannot be created\n");
}

TEST(HeadlineJsonTest, EscapesAsJsonDoes) {
  EXPECT_EQ(JsonString(u"plain"), "\"plain\"");
  EXPECT_EQ(JsonString(u"q\" b\\ /"), "\"q\\\" b\\\\ /\"");
  EXPECT_EQ(JsonString(u"\b\f\n\r\t\x01\x1F\x7F"), "\"\\b\\f\\n\\r\\t\\u0001\\u001f\x7F\"");
  EXPECT_EQ(JsonString(std::u16string(u"a\0b", 3)), "\"a\\u0000b\"");
  EXPECT_EQ(JsonString(u"\u00E9\u20AC\U0001F600"), "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"");
  // Unpaired surrogates cannot be UTF-8; they keep their value as escapes.
  EXPECT_EQ(JsonString(u"a\xD800z\xDC00"), "\"a\\ud800z\\udc00\"");
  EXPECT_EQ(JsonString(u"\xDC00\xD800"), "\"\\udc00\\ud800\"");
}

TEST(HeadlineJsonTest, KeysInFieldOrder) {
  EXPECT_EQ(HeadlineJson(Headline{u"l", u"t", u"x", u"f", u"07:05"}),
            "{\"link\":\"l\",\"title\":\"t\",\"text\":\"x\",\"feedTitle\":\"f\","
            "\"fetchTime\":\"07:05\"}");
}

}  // namespace
}  // namespace tidewire
