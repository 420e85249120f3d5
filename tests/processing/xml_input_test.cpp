#include "processing/xml_input.h"

#include <gtest/gtest.h>

#include <string>

#include "processing/native_text_decoder.h"

namespace tidewire {
namespace {

std::u16string Repeat(std::u16string_view piece, std::size_t count) {
  std::u16string out;
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

std::u16string Document(std::u16string_view subset, std::u16string_view body) {
  return u"<?xml version=\"1.0\"?>\n<!DOCTYPE rss [" + std::u16string(subset) + u"]>\n<rss>" +
         std::u16string(body) + u"</rss>";
}

TEST(SkipLoadSkippedSpaceTest, SkipsWhatMsxmlSkips) {
  EXPECT_EQ(SkipLoadSkippedSpace(u" \t\r\n\v\f<a/>"), u"<a/>");
  EXPECT_EQ(SkipLoadSkippedSpace(u"\u00A0\u2003\u3000\uFEFF\u0085\u2028<a/>"), u"<a/>");
  EXPECT_EQ(SkipLoadSkippedSpace(u"\u200B<a/>"), u"\u200B<a/>");
  EXPECT_EQ(SkipLoadSkippedSpace(u"x <a/>"), u"x <a/>");
  EXPECT_EQ(SkipLoadSkippedSpace(u"   "), u"");
}

// The prolog of UTF-8 bytes reads as that of their UTF-16 decoding.
TEST(Utf8PrologTest, AgreesWithTheDecodedText) {
  for (const char* utf8 : {
           "\xC2\xA0\xE2\x80\x83 \xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?><a/>",
           "\xE2\x80\x8B<a/>",
           "<?xml version=\"1.0\" encoding = \"caf\xC3\xA9\" ?><a/>",
           "<?xml version='1.0'?><!-- \xE2\x80\x9C --><!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>",
           "<!DOCTYPE a SYSTEM 'a[b'><a/>",
           "<?pi x?><!DOCTYPE a PUBLIC 'p' \"[\"><a/>",
           "<a/><!DOCTYPE a [<!ENTITY e 'x'>]>",
       }) {
    const std::u16string text = NativeTextDecoder::DecodeUtf8(utf8);
    const std::string_view bytes(utf8);
    const std::u16string_view body = SkipLoadSkippedSpace(text);
    const std::string_view bodyBytes = SkipLoadSkippedSpace(bytes);
    EXPECT_EQ(NativeTextDecoder::DecodeUtf8(bodyBytes), body) << utf8;
    const std::optional<TextRange> name = DeclaredEncoding(body);
    const std::optional<TextRange> nameBytes = DeclaredEncoding(bodyBytes);
    ASSERT_EQ(name.has_value(), nameBytes.has_value()) << utf8;
    if (name) {
      EXPECT_EQ(NativeTextDecoder::DecodeUtf8(bodyBytes.substr(nameBytes->position,
                                                               nameBytes->length)),
                body.substr(name->position, name->length));
    }
    const bool subset = body.find(u"<!ENTITY") != std::u16string_view::npos &&
                        body.find(u"<!DOCTYPE") < body.find(u"<a");
    EXPECT_EQ(HasInternalSubset(bytes), subset) << utf8;
  }
}

TEST(DeclaredEncodingTest, FindsTheNameInTheDeclarationOnly) {
  const std::u16string text = u"<?xml version='1.0' encoding='koi8-r'?><a/>";
  const std::optional<TextRange> range = DeclaredEncoding(text);
  ASSERT_TRUE(range);
  EXPECT_EQ(text.substr(range->position, range->length), u"koi8-r");
  EXPECT_EQ(WithParsedEncoding(text), u"<?xml version='1.0' encoding='UTF-16'?><a/>");
  EXPECT_EQ(WithParsedEncoding(u"<?xml version=\"1.0\" encoding = \"UTF-7\" ?>"),
            u"<?xml version=\"1.0\" encoding = \"UTF-16\" ?>");
  EXPECT_EQ(WithParsedEncoding(u"<?xml version='1.0' encoding=''?>"),
            u"<?xml version='1.0' encoding='UTF-16'?>");
}

TEST(DeclaredEncodingTest, LeavesOtherTextsAlone) {
  const char16_t* const texts[] = {u"<?xml version='1.0'?><p>encoding='x'</p>",
                                   u"<rss encoding='x'/>",
                                   u"<?xmlencoding='x'?>",
                                   u"<?xml version='1.0' myencoding='x'?>",
                                   u"<?xml version='1.0' encoding='x",
                                   u"<?xml version='1.0' encoding=x?>",
                                   u""};
  for (const char16_t* text : texts) {
    EXPECT_FALSE(DeclaredEncoding(text)) << "case " << (&text - texts);
    EXPECT_EQ(WithParsedEncoding(text), text);
  }
}

TEST(EntityExpansionTest, OrdinaryDocumentsPass) {
  EXPECT_TRUE(EntityExpansionWithinLimit(u""));
  EXPECT_TRUE(EntityExpansionWithinLimit(u"<rss><item>&amp;&#38;</item></rss>"));
  EXPECT_TRUE(EntityExpansionWithinLimit(
      u"<!DOCTYPE rss PUBLIC \"-//Netscape//DTD RSS 0.91//EN\" \"http://x/rss.dtd\"><rss/>"));
  EXPECT_TRUE(
      EntityExpansionWithinLimit(Document(u"<!ENTITY nbsp \"&#160;\"><!ENTITY copy \"(c)\">",
                                          Repeat(u"<p>&nbsp;&copy; text</p>", 10000))));
  EXPECT_TRUE(EntityExpansionWithinLimit(
      u"<!-- c --><?pi x?>\n<!DOCTYPE a [<!-- ]> --><!ENTITY e \"]]>x\">]><a>&e;</a>"));
}

TEST(EntityExpansionTest, BillionLaughsIsRefused) {
  std::u16string subset = u"<!ENTITY l0 \"lol\">";
  for (int level = 1; level <= 9; ++level) {
    const std::u16string previous = u"&l" + std::u16string(1, u'0' + level - 1) + u";";
    subset +=
        u"<!ENTITY l" + std::u16string(1, u'0' + level) + u" \"" + Repeat(previous, 10) + u"\">";
  }
  EXPECT_FALSE(EntityExpansionWithinLimit(Document(subset, u"&l9;")));
  // The same declarations with a harmless reference pass.
  EXPECT_TRUE(EntityExpansionWithinLimit(Document(subset, u"&l2;")));
}

TEST(EntityExpansionTest, QuadraticBlowupIsRefused) {
  const std::u16string subset = u"<!ENTITY a \"" + Repeat(u"A", 50000) + u"\">";
  EXPECT_TRUE(EntityExpansionWithinLimit(Document(subset, Repeat(u"&a;", 20))));
  EXPECT_FALSE(EntityExpansionWithinLimit(Document(subset, Repeat(u"&a;", 40))));
}

TEST(EntityExpansionTest, EmptyEntitiesStillCostTheirReferences) {
  std::u16string subset = u"<!ENTITY e0 \"\">";
  for (int level = 1; level <= 6; ++level) {
    const std::u16string previous = u"&e" + std::u16string(1, u'0' + level - 1) + u";";
    subset +=
        u"<!ENTITY e" + std::u16string(1, u'0' + level) + u" \"" + Repeat(previous, 10) + u"\">";
  }
  EXPECT_FALSE(EntityExpansionWithinLimit(Document(subset, u"&e6;&e6;")));
}

TEST(EntityExpansionTest, HiddenReferencesAreCounted) {
  const std::u16string big = u"<!ENTITY big \"" + Repeat(u"B", 40000) + u"\">";
  // A character reference that turns into "&" when the entity is declared.
  EXPECT_FALSE(EntityExpansionWithinLimit(
      Document(big + u"<!ENTITY hidden \"" + Repeat(u"&#38;big;", 30) + u"\">", u"&hidden;")));
  // Declarations that come out of a parameter entity.
  EXPECT_FALSE(EntityExpansionWithinLimit(
      Document(u"<!ENTITY % decl \"<!ENTITY pe-big '" + Repeat(u"P", 40000) + u"'>\"> %decl;",
               Repeat(u"&pe-big;", 30))));
  // References in attribute values.
  EXPECT_FALSE(EntityExpansionWithinLimit(Document(big, Repeat(u"<i a='&big;'/>", 30))));
  // Attribute defaults are copied into every element.
  EXPECT_FALSE(EntityExpansionWithinLimit(
      Document(big + u"<!ATTLIST i a CDATA \"&big;\">", Repeat(u"<i/>", 30))));
  // But not references inside CDATA sections or comments.
  EXPECT_TRUE(
      EntityExpansionWithinLimit(Document(big, Repeat(u"<![CDATA[&big;]]><!-- &big; -->", 30))));
}

TEST(EntityExpansionTest, LeadingSpaceDoesNotHideTheDeclaration) {
  const std::u16string subset = u"<!ENTITY a \"" + Repeat(u"A", 50000) + u"\">";
  EXPECT_FALSE(EntityExpansionWithinLimit(u"\u00A0\u3000 " + Document(subset, Repeat(u"&a;", 40))));
}

TEST(EntityExpansionTest, LoopsAndUnreadableSubsetsAreRefused) {
  EXPECT_FALSE(
      EntityExpansionWithinLimit(Document(u"<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">", u"&a;")));
  EXPECT_FALSE(EntityExpansionWithinLimit(Document(u"<![INCLUDE[ <!ENTITY a 'x'> ]]>", u"")));
  EXPECT_FALSE(EntityExpansionWithinLimit(u"<!DOCTYPE a [<!ENTITY a 'x'>"));
  EXPECT_FALSE(EntityExpansionWithinLimit(Document(u"<!ENTITY % p '%p;'> %p;", u"")));
}

TEST(EntityExpansionTest, ExternalEntitiesCostOnlyTheirReferences) {
  EXPECT_TRUE(EntityExpansionWithinLimit(Document(
      u"<!ENTITY ext SYSTEM \"file:///etc/passwd\"><!ENTITY % pe SYSTEM \"http://x/\"> %pe;",
      Repeat(u"&ext;", 1000))));
}

}  // namespace
}  // namespace tidewire
