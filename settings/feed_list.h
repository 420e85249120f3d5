#pragma once
// Feed-list and active-flags strings: entries separated by " URL ".

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tidewire {

inline constexpr std::u16string_view FeedListSeparator = u" URL ";

// Splits a feed-list or active-flags string. A remainder that begins with the separator is taken
// whole as one entry, and the first empty entry ends the list.
std::vector<std::u16string> SplitFeedList(std::u16string_view text);

// Every entry followed by the separator, the last one included.
std::u16string JoinFeedList(const std::vector<std::u16string>& entries);

// A feed without a flag is active; otherwise only the exact flag "1" is.
bool IsFeedActive(std::u16string_view flags, std::size_t index);
bool IsFeedActive(const std::vector<std::u16string>& splitFlags, std::size_t index);

}  // namespace tidewire
