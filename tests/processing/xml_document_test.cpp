// The platform's XML document (libxml2 natively, MSXML under Wine): the same expectations hold
// for both, so that both builds read feeds alike.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "processing/native_text_decoder.h"
#include "processing/platform.h"
#include "processing/xml_input.h"
#include "tests/processing/xml_test_support.h"

namespace tidewire {
namespace {

using testing_support::LoopbackListener;
using testing_support::PlatformScope;
using testing_support::TemporaryFile;

std::u16string Repeat(std::u16string_view piece, std::size_t count) {
  std::u16string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

class XmlDocumentTest : public testing::Test {
 protected:
  void SetUp() override {
    document_ = CreatePlatformXmlDocument();
    ASSERT_TRUE(document_);
  }

  void Load(std::u16string_view text) { document_->Load(text); }

  // The texts of the named children of every item ("-" for a missing child).
  std::vector<std::u16string> ItemTexts(std::u16string_view child) const {
    std::vector<std::u16string> texts;
    const std::unique_ptr<XmlNodeList> items = document_->SelectAll(u"item");
    if (!items) return texts;
    for (std::size_t i = 0; i < items->Length(); ++i) {
      const std::unique_ptr<XmlNode> item = items->Item(i);
      const std::unique_ptr<XmlNode> node = item ? item->FirstChild(child) : nullptr;
      texts.push_back(node ? node->Text() : u"-");
    }
    return texts;
  }

  std::u16string FirstTitle() const {
    const std::unique_ptr<XmlNode> title = document_->SelectFirst(u"title");
    return title ? title->Text() : u"-";
  }

  std::size_t ItemCount() const {
    const std::unique_ptr<XmlNodeList> items = document_->SelectAll(u"item");
    return items ? items->Length() : 0;
  }

  PlatformScope platform_;
  std::unique_ptr<XmlDocument> document_;
};

using Texts = std::vector<std::u16string>;

TEST_F(XmlDocumentTest, NamesMatchUnprefixedElementsInAnyNamespace) {
  Load(
      u"<rdf:RDF xmlns:rdf='urn:rdf' xmlns='urn:rss' xmlns:dc='urn:dc'>"
      u"<channel><dc:title>prefixed</dc:title><title>Plain</title></channel>"
      u"<item><description>one</description><dc:description>x</dc:description></item>"
      u"<dc:item><description>not an item</description></dc:item>"
      u"<item><dc:description>only prefixed</dc:description></item>"
      u"<x:item xmlns:x='urn:rss'><description>prefix of the same namespace</description>"
      u"</x:item></rdf:RDF>");
  EXPECT_EQ(FirstTitle(), u"Plain");
  EXPECT_EQ(ItemTexts(u"description"), (Texts{u"one", u"-"}));
}

TEST_F(XmlDocumentTest, SelectionsFollowDocumentOrderAtAnyDepth) {
  Load(
      u"<rss><channel><image><title>Logo</title></image><title>Channel</title>"
      u"<item><description>a</description><item><description>nested</description></item>"
      u"</item><wrapper><item><description>deep</description></item></wrapper>"
      u"</channel></rss>");
  EXPECT_EQ(FirstTitle(), u"Logo");
  EXPECT_EQ(ItemTexts(u"description"), (Texts{u"a", u"nested", u"deep"}));
}

TEST_F(XmlDocumentTest, ChildSelectionTakesTheFirstDirectChild) {
  Load(
      u"<rss><item><x><description>grandchild</description></x>"
      u"<description>first</description><description>second</description></item></rss>");
  EXPECT_EQ(ItemTexts(u"description"), (Texts{u"first"}));
}

TEST_F(XmlDocumentTest, TextIsTrimmedOutsideCdata) {
  Load(
      u"<rss><item><description>\n   D1 text\n  </description></item>"
      u"<item><description><![CDATA[   ]]></description></item>"
      u"<item><description>   </description></item>"
      u"<item><description> <![CDATA[ c ]]> </description></item>"
      u"<item><description>  x <![CDATA[y]]>  </description></item>"
      u"<item><description> <![CDATA[ l ]]> m </description></item>"
      u"<item><description><![CDATA[]]></description></item></rss>");
  EXPECT_EQ(ItemTexts(u"description"),
            (Texts{u"D1 text", u"   ", u"", u" c ", u"x y", u" l  m", u""}));
}

TEST_F(XmlDocumentTest, BlankRunsBetweenElementsJoinWithOneSpace) {
  Load(
      u"<rss><item><description>a<b/> <i/>b</description></item>"
      u"<item><description>  a  <b> b </b>  c  </description></item>"
      u"<item><description><p> a </p><p> b </p></description></item>"
      u"<item><description>a<!-- c --> b</description></item>"
      u"<item><description>a<b>  </b>c</description></item></rss>");
  EXPECT_EQ(ItemTexts(u"description"), (Texts{u"a b", u"a   b   c", u"a  b", u"a b", u"a c"}));
}

TEST_F(XmlDocumentTest, CharacterReferencesAndPreservedSpace) {
  Load(
      u"<rss><item><description>&#32;x&amp; &amp;y</description></item>"
      u"<item><description xml:space='preserve'>  sp  </description></item>"
      u"<item><description>a\r\n\tb&#13;&#10;</description></item></rss>");
  EXPECT_EQ(ItemTexts(u"description"), (Texts{u"x& &y", u"  sp  ", u"a\n\tb"}));
}

TEST_F(XmlDocumentTest, InternalEntitiesExpandAndOthersStayEmpty) {
  Load(
      u"<?xml version='1.0'?><!DOCTYPE rss SYSTEM 'http://127.0.0.1:9/rss.dtd' ["
      u"<!ENTITY a 'AAA<b>bb</b>'><!ENTITY c 'x&a;y'>"
      u"<!ENTITY ext SYSTEM 'http://127.0.0.1:9/ext'>]>"
      u"<rss><item><description>1&c;2&a;3</description><title>[&ext;][&undeclared;]</title>"
      u"</item></rss>");
  EXPECT_EQ(ItemTexts(u"description"), (Texts{u"1xAAAbby2AAAbb3"}));
  EXPECT_EQ(ItemTexts(u"title"), (Texts{u"[][]"}));
}

TEST_F(XmlDocumentTest, AnUnreadableTextLeavesTheDocumentEmpty) {
  Load(u"<rss><title>first</title><item><description>d</description></item></rss>");
  ASSERT_EQ(ItemCount(), 1u);
  const std::u16string loneSurrogate = u"<rss>" + std::u16string(1, char16_t{0xD800}) + u"</rss>";
  for (const std::u16string& text :
       {std::u16string(u""), std::u16string(u"not xml"), std::u16string(u"<rss><item>"),
        std::u16string(u"<rss>&undeclared;</rss>"), std::u16string(u"<a/><b/>"),
        std::u16string(u"<!DOCTYPE html><html><body><p>x<br></body></html>"), loneSurrogate}) {
    Load(text);
    EXPECT_EQ(ItemCount(), 0u);
    EXPECT_EQ(FirstTitle(), u"-");
  }
}

TEST_F(XmlDocumentTest, LeadingSpaceIsSkippedEvenBeforeTheDeclaration) {
  for (const char16_t* lead : {u" ", u"\r\n\t", u"\u00A0", u"\u3000\u2003", u"\uFEFF"}) {
    Load(std::u16string(lead) + u"<?xml version='1.0'?><rss><title>t</title></rss>");
    EXPECT_EQ(FirstTitle(), u"t");
  }
  Load(u"\u200B<rss><title>t</title></rss>");
  EXPECT_EQ(FirstTitle(), u"-");
}

TEST_F(XmlDocumentTest, TheDeclaredEncodingDoesNotMatter) {
  for (const char16_t* name : {u"UTF-7", u"koi8-r", u"Shift_JIS", u"latin1", u"UTF-16",
                               u"windows-1251", u"no-such-encoding"}) {
    Load(u"<?xml version='1.0' encoding='" + std::u16string(name) +
         u"'?><rss><title>caf\u00E9 \u4E2D</title></rss>");
    EXPECT_EQ(FirstTitle(), u"caf\u00E9 \u4E2D");
  }
}

// What the document reads from UTF-8 bytes directly, it reads as from their decoding; what it
// cannot read directly (natively: invalid bytes, other declared encodings, internal subsets) it
// refuses, keeping what it held.
TEST_F(XmlDocumentTest, Utf8BytesReadAsTheirDecoding) {
  struct Case {
    const char* bytes;
    bool direct;  // natively
  };
  for (const Case& c : {
           Case{"\xE3\x80\x80<?xml version='1.0' encoding='UTF-8'?><rss><title> caf\xC3\xA9 "
                "</title></rss>",
                true},
           Case{"<?xml version='1.0' encoding='utf8'?><rss><title>a &#38; <![CDATA[ b ]]>\n"
                "<i/> c</title></rss>",
                true},
           Case{"<rss xml:space='preserve'><title> \xE2\x80\x9Cq\xE2\x80\x9D </title></rss>",
                true},
           Case{"<rss><title>not closed</rss>", true},
           Case{"<?xml version='1.0' encoding='UTF-16'?><rss><title>t</title></rss>", false},
           Case{"<?xml version='1.0' encoding='latin1'?><rss><title>t</title></rss>", false},
           Case{"<!DOCTYPE rss [<!ENTITY e 'x'>]><rss><title>&e;</title></rss>", false},
           Case{"<rss><title>\xC3</title></rss>", false},
       }) {
    Load(u"<rss><title>before</title></rss>");
    const bool direct = document_->LoadUtf8(c.bytes);
#ifndef _WIN32
    EXPECT_EQ(direct, c.direct) << c.bytes;
#endif
    const std::u16string read = FirstTitle();
    Load(NativeTextDecoder::DecodeUtf8(c.bytes));
    EXPECT_EQ(read, direct ? FirstTitle() : u"before") << c.bytes;
  }
}

TEST_F(XmlDocumentTest, LargeTextsAreNotRead) {
  const std::u16string many = Repeat(u"<![CDATA[x]]><!---->", XmlTextMaxNodes / 2);
  Load(u"<rss><item><description>" + many +
       u"</description></item>"
       u"<item><description>" +
       many +
       u"<b/></description></item>"
       u"<item><description>" +
       Repeat(u"y", XmlTextMaxLength) +
       u"</description></item>"
       u"<item><description>" +
       Repeat(u"y", XmlTextMaxLength + 1) +
       u"</description></item>"
       u"<item><description><p>" +
       Repeat(u"<b>z</b>", XmlTextMaxNodes / 2) + u"</p></description></item></rss>");
  const Texts texts = ItemTexts(u"description");
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0], Repeat(u"x", XmlTextMaxNodes / 2));
  EXPECT_EQ(texts[1], u"");
  EXPECT_EQ(texts[2].size(), XmlTextMaxLength);
  EXPECT_EQ(texts[3], u"");
  EXPECT_EQ(texts[4], u"");
}

// A feed document never makes us read a file or open a connection; what it contains itself is
// still read.
TEST_F(XmlDocumentTest, ExternalEntitiesAndDtdsAreNeverFetched) {
  const TemporaryFile secret("tidewire-xml-secret.txt", "SECRET-4711-tidewire");
  LoopbackListener listener;
  ASSERT_TRUE(listener.listening());
  const std::string port = std::to_string(listener.port());
  const std::u16string http = u"http://127.0.0.1:" + std::u16string(port.begin(), port.end());
  const std::u16string body =
      u"<rss><title>t &ok;</title><item><description>a&file;b</description>"
      u"<title>w&web;z</title></item></rss>";
  const std::u16string entities = u"<!ENTITY ok 'inside'><!ENTITY file SYSTEM '" + secret.Url() +
                                  u"'><!ENTITY web SYSTEM '" + http + u"/entity'>";
  const std::u16string documents[] = {
      u"<!DOCTYPE rss [" + entities + u"]>" + body,
      u"<!DOCTYPE rss SYSTEM '" + http + u"/rss.dtd' [" + entities + u"]>" + body,
      u"<!DOCTYPE rss [" + entities + u"<!ENTITY % param SYSTEM '" + secret.Url() +
          u"'> %param;]>" + body,
      u"<!DOCTYPE rss [" + entities + u"<!ENTITY % remote SYSTEM '" + http +
          u"/remote.dtd'> %remote;]>" + body,
  };
  for (const std::u16string& document : documents) {
    Load(u"<?xml version='1.0'?>" + document);
    EXPECT_EQ(FirstTitle(), u"t inside");
    EXPECT_EQ(ItemTexts(u"description"), (Texts{u"ab"}));
    EXPECT_EQ(ItemTexts(u"title"), (Texts{u"wz"}));
    EXPECT_FALSE(listener.ConnectionAttempted());
  }
}

TEST_F(XmlDocumentTest, EntityBombsLeaveTheDocumentEmpty) {
  std::u16string laughs = u"<!ENTITY l0 'lol'>";
  for (int level = 1; level <= 9; ++level) {
    laughs += u"<!ENTITY l" + std::u16string(1, u'0' + level) + u" '" +
              Repeat(u"&l" + std::u16string(1, u'0' + level - 1) + u";", 10) + u"'>";
  }
  Load(u"<!DOCTYPE rss [" + laughs +
       u"]><rss><title>t</title><item><description>&l9;"
       u"</description></item></rss>");
  EXPECT_EQ(ItemCount(), 0u);

  const std::u16string quadratic = u"<!DOCTYPE rss [<!ENTITY a '" + Repeat(u"A", 50000) + u"'>]>";
  Load(quadratic + u"<rss><item><description>" + Repeat(u"&a;", 20000) +
       u"</description></item></rss>");
  EXPECT_EQ(ItemCount(), 0u);
  // The same declaration with few references is read.
  Load(quadratic + u"<rss><item><description>&a;&a;</description></item></rss>");
  EXPECT_EQ(ItemTexts(u"description"), (Texts{Repeat(u"A", 100000)}));
}

TEST_F(XmlDocumentTest, DeepNestingIsRefusedAndLargeDocumentsAreRead) {
  Load(u"<rss>" + Repeat(u"<x>", 300) + u"<item><description>deep</description></item>" +
       Repeat(u"</x>", 300) + u"</rss>");
  EXPECT_EQ(ItemCount(), 0u);
  Load(u"<rss>" + Repeat(u"<x>", 200) + u"<item><description>deep</description></item>" +
       Repeat(u"</x>", 200) + u"</rss>");
  EXPECT_EQ(ItemTexts(u"description"), (Texts{u"deep"}));

  const std::u16string item = u"<item><title>Title</title><description>" +
                              Repeat(u"Some words of a story. ", 8) +
                              u"</description><link>http://x/</link></item>\n";
  Load(u"<rss><channel><title>big</title>" + Repeat(item, 20000) + u"</channel></rss>");
  EXPECT_EQ(ItemCount(), 20000u);
}

}  // namespace
}  // namespace tidewire
