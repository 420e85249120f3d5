// The feed corpus: every document in tests/data/feeds goes through the platform's document path
// (libxml2 and our decoders natively; MSXML and MultiByteToWideChar under Wine) and must give
// the headlines recorded beside it, so that both builds show the same lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "processing/document_path.h"
#include "processing/platform.h"
#include "tests/processing/xml_test_support.h"
#include "tools/headline_json.h"

namespace tidewire {
namespace {

namespace fs = std::filesystem;

const fs::path& CorpusDirectory() {
  static const fs::path directory = fs::path(TIDEWIRE_TEST_DATA_DIR) / "feeds";
  return directory;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream content;
  content << stream.rdbuf();
  return content.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::vector<fs::path> CorpusDocuments() {
  std::vector<fs::path> documents;
  for (const fs::directory_entry& entry : fs::directory_iterator(CorpusDirectory())) {
    if (entry.path().extension() == ".xml") documents.push_back(entry.path());
  }
  std::sort(documents.begin(), documents.end());
  return documents;
}

class FeedCorpusTest : public testing::TestWithParam<fs::path> {};

TEST_P(FeedCorpusTest, GivesTheRecordedHeadlines) {
  const testing_support::PlatformScope platform;
  const fs::path document = GetParam();
  fs::path expectedPath = document;
  expectedPath.replace_extension(".expected.jsonl");
  ASSERT_TRUE(fs::exists(expectedPath)) << expectedPath;

  std::unique_ptr<XmlDocument> xml = CreatePlatformXmlDocument();
  ASSERT_TRUE(xml);
  DocumentPath path(PlatformTextDecoder(), std::move(xml), [] { return ClockTime{7, 5}; });
  std::vector<Headline> headlines;
  path.Read(ReadAll(document), headlines);

  std::vector<std::string> actual;
  for (const Headline& headline : headlines) actual.push_back(HeadlineJson(headline));
  EXPECT_EQ(actual, Lines(ReadAll(expectedPath)));
}

TEST(FeedCorpus, HasDocumentsOfEveryKind) {
  // The corpus is found and holds what this test relies on.
  EXPECT_GE(CorpusDocuments().size(), 15u);
}

std::string CaseName(const testing::TestParamInfo<fs::path>& info) {
  std::string name;
  for (const char8_t c : info.param.stem().u8string()) {
    const bool plain =
        (c >= u8'a' && c <= u8'z') || (c >= u8'A' && c <= u8'Z') || (c >= u8'0' && c <= u8'9');
    name += plain ? static_cast<char>(c) : '_';
  }
  return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Documents, FeedCorpusTest, testing::ValuesIn(CorpusDocuments()), CaseName);

}  // namespace
}  // namespace tidewire
