#include "settings/news_sources.h"

#include "settings/feed_list.h"

namespace tidewire {

std::u16string_view RegionalNewsHost(NewsRegion region) {
  switch (region) {
    case NewsRegion::Australia: return u"www.google.com.au/news";
    case NewsRegion::Brazil: return u"www.google.com.br/news";
    case NewsRegion::Canada: return u"news.google.ca";
    case NewsRegion::Denmark: return u"news.google.dk";
    case NewsRegion::Finland: return u"news.google.fi";
    case NewsRegion::France: return u"news.google.fr";
    case NewsRegion::Germany: return u"news.google.de";
    case NewsRegion::India: return u"news.google.co.in";
    case NewsRegion::Ireland: return u"news.google.ie";
    case NewsRegion::Italy: return u"news.google.it";
    case NewsRegion::Mexico: return u"www.google.com.mx/news";
    case NewsRegion::Netherlands: return u"news.google.nl";
    case NewsRegion::NewZealand: return u"news.google.co.nz";
    case NewsRegion::Norway: return u"news.google.no";
    case NewsRegion::Portugal: return u"news.google.pt";
    case NewsRegion::Russia: return u"news.google.ru";
    case NewsRegion::Spain: return u"news.google.es";
    case NewsRegion::Sweden: return u"news.google.se";
    case NewsRegion::Switzerland: return u"news.google.ch";
    case NewsRegion::UnitedKingdom: return u"news.google.co.uk";
  }
  return GenericNewsHost;
}

std::u16string EnglishDefaultFeedList() {
  std::u16string list;
  for (const DefaultFeed& feed : EnglishDefaultFeeds) {
    if (!list.empty()) list += FeedListSeparator;
    list += feed.address;
  }
  return list;
}

}  // namespace tidewire
