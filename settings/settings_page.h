#pragma once
// What the settings page does with the control's values, apart from the dialog: the rows of its
// feed list, the checks of Add, and the values that Apply hands to the control's setters.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tidewire {

// The page's message boxes.
inline constexpr std::u16string_view SettingsMessageCaption = u"Tidewire";
inline constexpr std::u16string_view EmptyFeedMessage = u"Please enter RSS feed URL to add";
inline constexpr std::u16string_view InvalidFeedMessage = u"Please enter valid RSS feed URL to add";
inline constexpr std::u16string_view NoFeedSelectedMessage =
    u"Please select RSS feed URL to remove";

// The titles under which the page shows the built-in feeds: the default list's addresses, the
// news-search provider's regional editions as the language rewrites produce them, and one more
// feed of a default provider.
class KnownFeedTitles {
 public:
  KnownFeedTitles();

  // The title of an address, compared exactly; empty for an address the table does not hold.
  std::u16string_view TitleOf(std::u16string_view address) const;
  std::size_t Size() const { return rows_.size(); }

 private:
  std::vector<std::pair<std::u16string, std::u16string_view>> rows_;
};

// One row of the page's feed list.
struct FeedRow {
  std::u16string address;
  std::u16string text;  // what the list shows: the address's title, else the address itself
  bool active = false;

  bool operator==(const FeedRow&) const = default;
};

// The rows for a feed-list string and its active-flags string, in list order. A feed without a
// flag is shown ticked: the download worker treats it as active, and applying the page keeps it so.
std::vector<FeedRow> FeedRows(std::u16string_view feeds, std::u16string_view flags,
                              const KnownFeedTitles& titles);

// What Add makes of the typed text: the address without the white space around it, or the
// message that refuses it. An address that the feed list would split (one that holds its
// separator " URL ") is refused as implausible.
struct FeedToAdd {
  std::u16string address;
  std::u16string_view refusal;  // empty when the address is accepted
};
FeedToAdd CheckFeedToAdd(std::u16string_view typed);

// A row added by the user: shown as typed and inactive until ticked.
FeedRow AddedFeedRow(std::u16string address);

// The two list strings written together from the rows.
struct FeedLists {
  std::u16string activeFlags;
  std::u16string feeds;
};

// What Apply hands to each control. The lists are written only when the list changed, the flags
// before the feeds (setting the feeds restarts the download, which then sees the new flags).
struct PageValues {
  std::optional<FeedLists> lists;
  std::int32_t refreshMinutes = 0;
  std::int32_t delaySeconds = 0;
  std::int32_t speed = 0;
};
PageValues ValuesToApply(const std::vector<FeedRow>& rows, bool listChanged,
                         std::u16string_view refreshField, std::u16string_view delayField,
                         std::int32_t speed);

// A number field read as a signed decimal integer: white space before it and text after its
// digits are ignored, a field without digits reads 0, and a number beyond 32 bits reads as the
// nearest 32-bit value.
std::int32_t ReadNumberField(std::u16string_view text);
// A value as the page shows it in a digits-only field; negative values, which the setters would
// store as 0, show as 0.
std::u16string NumberFieldText(std::int32_t value);

}  // namespace tidewire
