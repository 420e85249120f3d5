#include "processing/feed_reader.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "processing/text_cleanup.h"

namespace tidewire {
namespace {

std::u16string NodeText(const XmlNode* node) { return node != nullptr ? node->Text() : u""; }

bool IsWhiteSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Feeds often end the title with " - Source" and begin the description with "Source - ": the
// display text then leaves the source out of the title part.
std::u16string DisplayText(const std::u16string& title, const std::u16string& description) {
  std::size_t titleLength = title.size();
  if (const std::size_t dash = description.find(u'-'); dash != std::u16string::npos && dash != 0) {
    const std::u16string_view source = Trimmed(std::u16string_view(description).substr(0, dash));
    const std::size_t at = title.find(source);
    // The three characters before the source are taken to be " - " without looking.
    if (at != std::u16string::npos && at > 3) titleLength = at - 3;
  }
  std::u16string text;
  text.reserve(titleLength + 2 + description.size());
  text.append(title, 0, titleLength).append(u". ").append(description);
  return text;
}

}  // namespace

void ReadFeedDocument(XmlDocument* document, const char16_t* text, std::vector<Headline>& headlines,
                      const LocalClock& clock) {
  if (document == nullptr) return;
  document->Load(text != nullptr ? std::u16string_view(text) : std::u16string_view());
  ReadLoadedFeedDocument(*document, headlines, clock);
}

void ReadLoadedFeedDocument(const XmlDocument& document, std::vector<Headline>& headlines,
                            const LocalClock& clock) {
  const std::u16string fetchTime = FormatFetchTime(clock());

  std::u16string feedTitle = NodeText(document.SelectFirst(u"title").get());
  if (!feedTitle.empty()) CleanText(feedTitle);

  const std::unique_ptr<XmlNodeList> items = document.SelectAll(u"item");
  if (!items) return;
  const std::size_t count = items->Length();
  // Room for every item at once, growing as push_back would for lists that take many documents.
  if (headlines.capacity() - headlines.size() < count) {
    headlines.reserve(std::max(headlines.size() + count, 2 * headlines.capacity()));
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::unique_ptr<XmlNode> item = items->Item(i);
    if (!item) continue;
    std::u16string description = NodeText(item->FirstChild(u"description").get());
    if (description.empty()) continue;

    std::u16string title = NoTitleText;
    std::u16string link;
    CleanText(description);
    if (description.empty()) description = UnreadableDescriptionText;
    // The fallback title is never cleaned: cleanup would take it for a tag.
    if (std::u16string itemTitle = NodeText(item->FirstChild(u"title").get()); !itemTitle.empty()) {
      CleanText(itemTitle);
      title = std::move(itemTitle);
    }
    if (std::u16string itemLink = NodeText(item->FirstChild(u"link").get()); !itemLink.empty()) {
      link = std::move(itemLink);
    }
    std::u16string display = DisplayText(title, description);
    headlines.push_back(
        Headline{std::move(link), std::move(title), std::move(display), feedTitle, fetchTime});
  }
}

}  // namespace tidewire
