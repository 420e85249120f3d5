#include "processing/document_path.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "processing/encoding.h"
#include "processing/native_text_decoder.h"

namespace tidewire {
namespace {

using namespace std::string_view_literals;

// Records what it is asked to decode and decodes UTF-8 only.
class RecordingDecoder final : public TextDecoder {
 public:
  std::u16string Decode(unsigned codePage, const char* bytes) const override {
    codePages.push_back(codePage);
    inputs.emplace_back(bytes);
    return NativeTextDecoder().Decode(CodePageUtf8, bytes);
  }
  mutable std::vector<unsigned> codePages;
  mutable std::vector<std::string> inputs;
};

// Records every load; holds no content.
class RecordingDocument final : public XmlDocument {
 public:
  explicit RecordingDocument(std::vector<std::u16string>& loads) : loads_(loads) {}
  void Load(std::u16string_view text) override { loads_.emplace_back(text); }
  std::unique_ptr<XmlNode> SelectFirst(std::u16string_view) const override { return nullptr; }
  std::unique_ptr<XmlNodeList> SelectAll(std::u16string_view) const override { return nullptr; }

 private:
  std::vector<std::u16string>& loads_;
};

TEST(DocumentPathDecodeTest, SkipsTheMarkAndUsesTheDetectedCodePage) {
  const NativeTextDecoder decoder;
  const std::string utf8Mark = "\xEF\xBB\xBF<rss>";
  EXPECT_EQ(DocumentPath::Decode(utf8Mark, decoder), u"<rss>");
  const std::string utf16 = std::string("\xFF\xFE<\x00", 4);
  EXPECT_EQ(DocumentPath::Decode(utf16, decoder), u"<");
  const std::string legacy = "<?xml version='1.0' encoding='ISO-8859-1'?><t>caf\xE9</t>";
  EXPECT_EQ(DocumentPath::Decode(legacy, decoder),
            u"<?xml version='1.0' encoding='ISO-8859-1'?><t>caf\u00E9</t>");
  const std::string utf7 = "<?xml version='1.0' encoding='UTF-7'?><t>+AOk-</t>";
  EXPECT_EQ(DocumentPath::Decode(utf7, decoder),
            u"<?xml version='1.0' encoding='UTF-7'?><t>\u00E9</t>");
  EXPECT_EQ(DocumentPath::Decode(std::string(), decoder), u"");
}

TEST(DocumentPathDecodeTest, HandsTheDecoderTheBytesAfterTheMark) {
  const RecordingDecoder decoder;
  const std::string bytes = "\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?><a/>";
  DocumentPath::Decode(bytes, decoder);
  ASSERT_EQ(decoder.inputs.size(), 1u);
  EXPECT_EQ(decoder.inputs[0], bytes.substr(3));
  EXPECT_EQ(decoder.codePages[0], CodePageUtf8);
}

TEST(DocumentPathDecodeTest, ADecodedZeroEndsTheDocument) {
  const NativeTextDecoder decoder;
  // "+AAA" decodes to U+0000 in UTF-7.
  const std::string bytes = "<?xml version='1.0' encoding='UTF-7'?><a>x+AAA-y</a>";
  EXPECT_EQ(DocumentPath::Decode(bytes, decoder), u"<?xml version='1.0' encoding='UTF-7'?><a>x");
}

TEST(DocumentPathTest, ReadsThroughTheDocumentAndSkipsEmptyResults) {
  std::vector<std::u16string> loads;
  const NativeTextDecoder decoder;
  DocumentPath path(decoder, std::make_unique<RecordingDocument>(loads), [] {
    return ClockTime{1, 2};
  });
  std::vector<Headline> headlines;
  path.Read("\xEF\xBB\xBF<rss/>", headlines);
  path.Read("", headlines);
  // UTF-16 and UTF-32 documents decode to almost nothing, a zero straight after the mark to
  // nothing at all.
  path.Read(std::string_view("\xFF\xFE\x00\x00<\x00\x00\x00", 8), headlines);
  path.Read(std::string_view("\xFE\xFF\x00<", 4), headlines);
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0], u"<rss/>");
  EXPECT_TRUE(headlines.empty());
}

TEST(DocumentPathTest, WithoutDocumentNothingHappens) {
  const NativeTextDecoder decoder;
  DocumentPath path(decoder, nullptr);
  std::vector<Headline> headlines;
  path.Read("<rss><item><description>d</description></item></rss>", headlines);
  EXPECT_TRUE(headlines.empty());
}

}  // namespace
}  // namespace tidewire
