#include "settings/settings_page.h"

#include <algorithm>
#include <limits>

#include "settings/feed_list.h"
#include "settings/news_sources.h"

namespace tidewire {
namespace {

constexpr std::u16string_view GoogleNewsTitle = EnglishDefaultFeeds[0].title;

// The first default entry with the generic host and the "/?" after it replaced, as a language
// rewrite replaces them: `pathAndQuery` is "/?" for a host swap, or a query insert's text.
std::u16string NewsSearchAddress(std::u16string_view host, std::u16string_view pathAndQuery) {
  std::u16string address(EnglishDefaultFeeds[0].address);
  std::u16string generic(GenericNewsHost);
  generic += u"/?";
  std::u16string replacement(host);
  replacement += pathAndQuery;
  address.replace(address.find(generic), generic.size(), replacement);
  return address;
}

// The regional editions reached by a host swap.
constexpr NewsRegion SwappedRegions[] = {
    NewsRegion::Australia,     NewsRegion::Ireland, NewsRegion::India,  NewsRegion::NewZealand,
    NewsRegion::UnitedKingdom, NewsRegion::Mexico,  NewsRegion::Brazil, NewsRegion::Germany,
    NewsRegion::Spain,         NewsRegion::Finland, NewsRegion::Norway, NewsRegion::Netherlands,
    NewsRegion::Portugal,      NewsRegion::Russia,  NewsRegion::France, NewsRegion::Italy,
    NewsRegion::Denmark,       NewsRegion::Sweden,
};

// The editions reached by a query insert: a host (none: the generic one) and the inserted text.
struct QueryEdition {
  std::optional<NewsRegion> region;
  std::u16string_view pathAndQuery;
};
constexpr QueryEdition QueryEditions[] = {
    {NewsRegion::Switzerland, u"/?hl=de&"}, {NewsRegion::Switzerland, u"/?hl=fr&"},
    {NewsRegion::Switzerland, u"/?hl=it&"}, {NewsRegion::Canada, u"/?hl=en&"},
    {NewsRegion::Canada, u"/?hl=fr&"},      {std::nullopt, u"/news?ned=cn&"},
    {std::nullopt, u"/news?ned=tw&"},       {std::nullopt, u"/news?ned=hk&"},
};

bool IsWhiteSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' ||
         c == u'\u00a0' || c == u'\u3000';
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Whether an address, written into the feed list with the separator after it, would come back
// as more than one entry (every later active flag would then belong to the wrong feed): it holds
// the separator, or ends in all of it but the final space.
bool SplitsInTheList(std::u16string_view address) {
  std::u16string entry(address);
  entry += FeedListSeparator;
  return entry.find(FeedListSeparator) < address.size();
}

}  // namespace

KnownFeedTitles::KnownFeedTitles() {
  rows_.emplace_back(EnglishDefaultFeeds[0].address, GoogleNewsTitle);
  for (NewsRegion region : SwappedRegions) {
    rows_.emplace_back(NewsSearchAddress(RegionalNewsHost(region), u"/?"), GoogleNewsTitle);
  }
  for (const QueryEdition& edition : QueryEditions) {
    const std::u16string_view host =
        edition.region ? RegionalNewsHost(*edition.region) : GenericNewsHost;
    rows_.emplace_back(NewsSearchAddress(host, edition.pathAndQuery), GoogleNewsTitle);
  }
  for (std::size_t i = 1; i < std::size(EnglishDefaultFeeds); ++i) {
    rows_.emplace_back(EnglishDefaultFeeds[i].address, EnglishDefaultFeeds[i].title);
  }
  rows_.emplace_back(CnnEntertainmentFeed.address, CnnEntertainmentFeed.title);
}

std::u16string_view KnownFeedTitles::TitleOf(std::u16string_view address) const {
  for (const auto& [known, title] : rows_) {
    if (known == address) return title;
  }
  return {};
}

std::vector<FeedRow> FeedRows(std::u16string_view feeds, std::u16string_view flags,
                              const KnownFeedTitles& titles) {
  const std::vector<std::u16string> splitFlags = SplitFeedList(flags);
  std::vector<FeedRow> rows;
  for (std::u16string& address : SplitFeedList(feeds)) {
    const std::u16string_view title = titles.TitleOf(address);
    FeedRow row;
    row.text = title.empty() ? address : std::u16string(title);
    row.active = IsFeedActive(splitFlags, rows.size());
    row.address = std::move(address);
    rows.push_back(std::move(row));
  }
  return rows;
}

FeedToAdd CheckFeedToAdd(std::u16string_view typed) {
  const std::u16string_view address = Trim(typed);
  if (address.empty()) return {{}, EmptyFeedMessage};
  if (address.size() < 3 || address.find(u'.') == std::u16string_view::npos ||
      SplitsInTheList(address)) {
    return {{}, InvalidFeedMessage};
  }
  return {std::u16string(address), {}};
}

FeedRow AddedFeedRow(std::u16string address) {
  FeedRow row;
  row.text = address;
  row.address = std::move(address);
  return row;
}

PageValues ValuesToApply(const std::vector<FeedRow>& rows, bool listChanged,
                         std::u16string_view refreshField, std::u16string_view delayField,
                         std::int32_t speed) {
  PageValues values;
  if (listChanged) {
    std::vector<std::u16string> flags;
    std::vector<std::u16string> addresses;
    for (const FeedRow& row : rows) {
      flags.emplace_back(row.active ? u"1" : u"0");
      addresses.push_back(row.address);
    }
    values.lists = FeedLists{JoinFeedList(flags), JoinFeedList(addresses)};
  }
  values.refreshMinutes = ReadNumberField(refreshField);
  values.delaySeconds = ReadNumberField(delayField);
  values.speed = speed;
  return values;
}

std::int32_t ReadNumberField(std::u16string_view text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  // Counted one past the largest magnitude at most, so that it cannot overflow.
  constexpr std::int64_t Limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') break;
    magnitude = std::min(magnitude * 10 + (c - u'0'), Limit);
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::u16string NumberFieldText(std::int32_t value) {
  std::u16string digits;
  std::uint32_t rest = value > 0 ? static_cast<std::uint32_t>(value) : 0;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + rest % 10));
    rest /= 10;
  } while (rest != 0);
  return digits;
}

}  // namespace tidewire
