#include "settings/feed_list.h"

namespace tidewire {

std::vector<std::u16string> SplitFeedList(std::u16string_view text) {
  std::vector<std::u16string> result;
  std::u16string_view rest = text;
  for (;;) {
    const std::size_t p = rest.find(FeedListSeparator);
    std::u16string_view entry;
    if (p != std::u16string_view::npos && p > 0) {
      entry = rest.substr(0, p);
      rest.remove_prefix(p + FeedListSeparator.size());
    } else {
      entry = rest;
      rest = {};
    }
    if (entry.empty()) return result;
    result.emplace_back(entry);
  }
}

std::u16string JoinFeedList(const std::vector<std::u16string>& entries) {
  std::u16string joined;
  for (const std::u16string& entry : entries) {
    joined += entry;
    joined += FeedListSeparator;
  }
  return joined;
}

bool IsFeedActive(const std::vector<std::u16string>& splitFlags, std::size_t index) {
  return index >= splitFlags.size() || splitFlags[index] == u"1";
}

bool IsFeedActive(std::u16string_view flags, std::size_t index) {
  return IsFeedActive(SplitFeedList(flags), index);
}

}  // namespace tidewire
