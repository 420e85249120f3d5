#pragma once
// Addresses of the built-in feeds: the English default list and the news-search provider's
// generic and regional editions. The language rewrites and the settings page's table of known
// feed titles both read them from here, so that the addresses they produce agree.

#include <string>
#include <string_view>

namespace tidewire {

// The generic (international) edition of the news-search provider. No other address in this
// file contains it: a language rewrite replaces every occurrence of it as plain text, and a
// regional host containing it would be rewritten again by a later call.
inline constexpr std::u16string_view GenericNewsHost = u"news.google.com";

enum class NewsRegion {
  Australia,
  Brazil,
  Canada,
  Denmark,
  Finland,
  France,
  Germany,
  India,
  Ireland,
  Italy,
  Mexico,
  Netherlands,
  NewZealand,
  Norway,
  Portugal,
  Russia,
  Spain,
  Sweden,
  Switzerland,
  UnitedKingdom,
};

// Where the provider's regional edition lives. For the countries whose provider domain ends in
// ".com.<country>" the edition is reached under the country domain's "/news" path, because the
// regional "news." host name would contain the generic one.
std::u16string_view RegionalNewsHost(NewsRegion region);

struct DefaultFeed {
  std::u16string_view title;
  std::u16string_view address;
};

// The nine entries of the English default feed list, in list order.
inline constexpr DefaultFeed EnglishDefaultFeeds[] = {
    {u"Google News", u"http://news.google.com/?output=rss"},
    {u"Yahoo! News Top Stories", u"http://rss.news.yahoo.com/rss/topstories"},
    {u"CNN Top Stories", u"http://rss.cnn.com/rss/cnn_topstories.rss"},
    {u"MSNBC World News", u"http://rss.msnbc.msn.com/id/3032506/device/rss/rss.xml"},
    {u"CBS News", u"http://www.cbsnews.com/feeds/rss/main.rss"},
    {u"NASA Breaking News", u"http://www.nasa.gov/rss/breaking_news.rss"},
    {u"BBC World News",
     u"http://newsrss.bbc.co.uk/rss/newsonline_world_edition/front_page/rss.xml"},
    {u"FOX News Headlines", u"http://feeds.foxnews.com/foxnews/latest"},
    {u"Washington Post Top News", u"http://www.washingtonpost.com/wp-dyn/rss/topnews/index.xml"},
};

// The same provider's entertainment feed, known to the settings page but not in the default list.
inline constexpr DefaultFeed CnnEntertainmentFeed = {
    u"CNN Entertainment News", u"http://rss.cnn.com/rss/cnn_showbiz.rss"};

// The English default list: the nine addresses joined by the separator, none after the last.
std::u16string EnglishDefaultFeedList();

}  // namespace tidewire
