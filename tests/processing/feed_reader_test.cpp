#include "processing/feed_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tidewire {
namespace {

// A document whose content the test describes directly: a feed title and items, each a map
// from child name to text. Loading records the text and can make the document empty.
struct FakeItem {
  std::map<std::u16string, std::u16string> children;
  bool fetchFails = false;
};

struct FakeContent {
  std::u16string firstTitle;
  bool hasTitle = false;
  std::vector<FakeItem> items;
  bool selectionFails = false;
};

class FakeNode final : public XmlNode {
 public:
  FakeNode(std::u16string text, const FakeItem* item) : text_(std::move(text)), item_(item) {}
  std::unique_ptr<XmlNode> FirstChild(std::u16string_view name) const override {
    if (item_ == nullptr) return nullptr;
    const auto found = item_->children.find(std::u16string(name));
    if (found == item_->children.end()) return nullptr;
    return std::make_unique<FakeNode>(found->second, nullptr);
  }
  std::u16string Text() const override { return text_; }

 private:
  std::u16string text_;
  const FakeItem* item_;
};

class FakeList final : public XmlNodeList {
 public:
  explicit FakeList(const std::vector<FakeItem>& items) : items_(items) {}
  std::size_t Length() const override { return items_.size(); }
  std::unique_ptr<XmlNode> Item(std::size_t index) const override {
    if (index >= items_.size() || items_[index].fetchFails) return nullptr;
    return std::make_unique<FakeNode>(u"", &items_[index]);
  }

 private:
  const std::vector<FakeItem>& items_;
};

class FakeDocument final : public XmlDocument {
 public:
  explicit FakeDocument(FakeContent content) : content_(std::move(content)) {}
  void Load(std::u16string_view text) override {
    loaded.emplace_back(text);
    ++events;
    loadEvent = events;
  }
  std::unique_ptr<XmlNode> SelectFirst(std::u16string_view name) const override {
    if (name != u"title" || !content_.hasTitle) return nullptr;
    return std::make_unique<FakeNode>(content_.firstTitle, nullptr);
  }
  std::unique_ptr<XmlNodeList> SelectAll(std::u16string_view name) const override {
    if (name != u"item" || content_.selectionFails) return nullptr;
    return std::make_unique<FakeList>(content_.items);
  }

  std::vector<std::u16string> loaded;
  int events = 0;
  int loadEvent = 0;

 private:
  FakeContent content_;
};

FakeContent Titled(std::u16string title) {
  FakeContent content;
  content.firstTitle = std::move(title);
  content.hasTitle = true;
  return content;
}

FakeItem Item(std::initializer_list<std::pair<const std::u16string, std::u16string>> children) {
  return FakeItem{children};
}

class FeedReaderTest : public testing::Test {
 protected:
  std::vector<Headline> Read(FakeContent content, const char16_t* text = u"<rss/>") {
    document_ = std::make_unique<FakeDocument>(std::move(content));
    std::vector<Headline> headlines;
    ReadFeedDocument(document_.get(), text, headlines, clock_);
    return headlines;
  }

  std::unique_ptr<FakeDocument> document_;
  int clockCalls_ = 0;
  int clockEvent_ = 0;
  LocalClock clock_ = [this] {
    ++clockCalls_;
    clockEvent_ = document_ ? ++document_->events : 0;
    return ClockTime{7, 5};
  };
};

TEST_F(FeedReaderTest, ReadsItemsInDocumentOrder) {
  FakeContent content = Titled(u"The Channel");
  content.items = {
      Item({{u"title", u"First"}, {u"description", u"One"}, {u"link", u"http://a/1"}}),
      Item({{u"title", u"Second"}, {u"description", u"Two"}, {u"link", u"http://a/2"}})};
  const std::vector<Headline> headlines = Read(content);
  ASSERT_EQ(headlines.size(), 2u);
  EXPECT_EQ(headlines[0],
            (Headline{u"http://a/1", u"First", u"First. One", u"The Channel", u"07:05"}));
  EXPECT_EQ(headlines[1],
            (Headline{u"http://a/2", u"Second", u"Second. Two", u"The Channel", u"07:05"}));
}

TEST_F(FeedReaderTest, LoadsTheTextThenTakesTheTimeOnce) {
  FakeContent content;
  content.items = {Item({{u"description", u"a"}}), Item({{u"description", u"b"}})};
  Read(content, u"<rss>x</rss>");
  ASSERT_EQ(document_->loaded.size(), 1u);
  EXPECT_EQ(document_->loaded[0], u"<rss>x</rss>");
  EXPECT_EQ(clockCalls_, 1);
  EXPECT_LT(document_->loadEvent, clockEvent_);
}

TEST_F(FeedReaderTest, NullTextIsAnEmptyDocument) {
  Read(FakeContent{}, nullptr);
  ASSERT_EQ(document_->loaded.size(), 1u);
  EXPECT_EQ(document_->loaded[0], u"");
}

TEST_F(FeedReaderTest, WithoutDocumentNothingIsReadOrAppended) {
  std::vector<Headline> headlines = {Headline{u"l", u"t", u"x", u"f", u"00:00"}};
  int calls = 0;
  ReadFeedDocument(nullptr, u"<rss/>", headlines, [&] {
    ++calls;
    return ClockTime{};
  });
  EXPECT_EQ(headlines.size(), 1u);
  EXPECT_EQ(calls, 0);
}

TEST_F(FeedReaderTest, AppendsAfterExistingEntries) {
  FakeContent content;
  content.items = {Item({{u"description", u"new"}})};
  document_ = std::make_unique<FakeDocument>(content);
  std::vector<Headline> headlines = {Headline{u"l", u"t", u"old", u"f", u"00:00"}};
  ReadFeedDocument(document_.get(), u"<rss/>", headlines, clock_);
  ASSERT_EQ(headlines.size(), 2u);
  EXPECT_EQ(headlines[0].text, u"old");
  EXPECT_EQ(headlines[1].text, u"<No Title>. new");
}

TEST_F(FeedReaderTest, ItemsWithoutDescriptionAreDroppedWithoutGaps) {
  FakeContent content;
  content.items = {Item({{u"title", u"No description"}, {u"link", u"http://x"}}),
                   Item({{u"title", u"Empty"}, {u"description", u""}}),
                   Item({{u"title", u"Kept"}, {u"description", u"d"}})};
  const std::vector<Headline> headlines = Read(content);
  ASSERT_EQ(headlines.size(), 1u);
  EXPECT_EQ(headlines[0].text, u"Kept. d");
}

TEST_F(FeedReaderTest, FallbackTitleAndLink) {
  FakeContent content;
  content.items = {Item({{u"description", u"Story"}}),
                   Item({{u"title", u""}, {u"link", u""}, {u"description", u"Other"}})};
  const std::vector<Headline> headlines = Read(content);
  ASSERT_EQ(headlines.size(), 2u);
  EXPECT_EQ(headlines[0].title, u"<No Title>");
  EXPECT_EQ(headlines[0].text, u"<No Title>. Story");
  EXPECT_EQ(headlines[0].link, u"");
  EXPECT_EQ(headlines[1].title, u"<No Title>");
  EXPECT_EQ(headlines[1].feedTitle, u"");
}

TEST_F(FeedReaderTest, TextsAreCleanedButTheLinkIsNot) {
  FakeContent content = Titled(u"<b>Daily</b>   &amp; News");
  content.items = {Item({{u"title", u"Big  <i>news</i>"},
                         {u"description", u"Line one\r\nline&nbsp;two"},
                         {u"link", u" http://a/?x=1&amp;y=<b>2</b> "}})};
  const std::vector<Headline> headlines = Read(content);
  ASSERT_EQ(headlines.size(), 1u);
  EXPECT_EQ(headlines[0].feedTitle, u"Daily & News");
  EXPECT_EQ(headlines[0].title, u"Big news");
  EXPECT_EQ(headlines[0].text, u"Big news. Line one line two");
  EXPECT_EQ(headlines[0].link, u" http://a/?x=1&amp;y=<b>2</b> ");
}

TEST_F(FeedReaderTest, DescriptionOfMarkupOnlyIsNotReadable) {
  FakeContent content;
  content.items = {Item({{u"title", u"Pictures"}, {u"description", u"<b></b>"}})};
  const std::vector<Headline> headlines = Read(content);
  ASSERT_EQ(headlines.size(), 1u);
  EXPECT_EQ(headlines[0].text, u"Pictures. Feed not readable");
}

TEST_F(FeedReaderTest, TitleOfMarkupOnlyBecomesEmpty) {
  FakeContent content;
  content.items = {Item({{u"title", u"<img src='x'>"}, {u"description", u"Caption"}})};
  const std::vector<Headline> headlines = Read(content);
  ASSERT_EQ(headlines.size(), 1u);
  EXPECT_EQ(headlines[0].title, u"");
  EXPECT_EQ(headlines[0].text, u". Caption");
}

TEST_F(FeedReaderTest, SourceSuffixIsLeftOutOfTheTitlePart) {
  struct Case {
    const char16_t* title;
    const char16_t* description;
    const char16_t* text;
  };
  const Case cases[] = {
      {u"Storm hits coast - Daily Courier", u"Daily Courier - Heavy rain fell overnight.",
       u"Storm hits coast. Daily Courier - Heavy rain fell overnight."},
      {u"Story - Agency", u"Agency - Story", u"Story. Agency - Story"},
      // Cleanup trims a leading dash, so the description still has none in front.
      {u"T", u"-starts", u"T. starts"},
      // The source does not occur in the title.
      {u"Elsewhere - Post", u"Times - story", u"Elsewhere - Post. Times - story"},
      // The source occurs at positions 0 to 3 of the title.
      {u"Abc - Abc", u"Abc - x", u"Abc - Abc. Abc - x"},
      {u"ab Abc", u"Abc - x", u"ab Abc. Abc - x"},
      // At position 4 the three characters before it are dropped, whatever they are.
      {u"abcdAbc", u"Abc - x", u"a. Abc - x"},
      // White space around the source is not part of it.
      {u"News - Wire", u"Wire  - x", u"News. Wire - x"},
      // Only the first dash counts.
      {u"A - B - C", u"C - D - E", u"A - B. C - D - E"},
  };
  for (const Case& c : cases) {
    FakeContent content;
    content.items = {Item({{u"title", c.title}, {u"description", c.description}})};
    const std::vector<Headline> headlines = Read(content);
    ASSERT_EQ(headlines.size(), 1u);
    EXPECT_EQ(headlines[0].text, c.text);
    EXPECT_EQ(headlines[0].title, c.title);
  }
}

TEST_F(FeedReaderTest, FailedAccessCountsAsAbsent) {
  FakeContent content;
  content.items = {Item({{u"description", u"a"}}), Item({{u"description", u"b"}}),
                   Item({{u"description", u"c"}})};
  content.items[1].fetchFails = true;
  std::vector<Headline> headlines = Read(content);
  ASSERT_EQ(headlines.size(), 2u);
  EXPECT_EQ(headlines[1].text, u"<No Title>. c");

  content.selectionFails = true;
  EXPECT_TRUE(Read(content).empty());
}

TEST_F(FeedReaderTest, FetchTimeIsTwoDigitsEach) {
  EXPECT_EQ(FormatFetchTime({7, 5}), u"07:05");
  EXPECT_EQ(FormatFetchTime({0, 0}), u"00:00");
  EXPECT_EQ(FormatFetchTime({23, 59}), u"23:59");
  EXPECT_EQ(FormatFetchTime({123, 7}), u"123:07");
}

}  // namespace
}  // namespace tidewire
