#include "settings/language_defaults.h"

#include <gtest/gtest.h>

#include <thread>

#include "settings/feed_list.h"
#include "settings/news_sources.h"

namespace tidewire {
namespace {

std::u16string Host(NewsRegion region) { return std::u16string(RegionalNewsHost(region)); }
std::u16string Generic() { return std::u16string(GenericNewsHost); }

LanguageDefaults After(std::initializer_list<const char16_t*> codes) {
  LanguageDefaults defaults = EnglishLanguageDefaults();
  for (const char16_t* code : codes) ApplyLanguage(defaults, code);
  return defaults;
}

std::u16string FirstEntry(const LanguageDefaults& defaults) {
  return SplitFeedList(defaults.DefaultFeedList).at(0);
}

TEST(NewsSources, EnglishListHasNineEntriesAndOnlyTheFirstNamesTheGenericHost) {
  const auto entries = SplitFeedList(EnglishDefaultFeedList());
  ASSERT_EQ(entries.size(), 9u);
  EXPECT_NE(EnglishDefaultFeedList().substr(EnglishDefaultFeedList().size() - 5), u" URL ");
  EXPECT_NE(entries[0].find(Generic() + u"/?output=rss"), std::u16string::npos);
  for (std::size_t i = 1; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].find(Generic()), std::u16string::npos) << i;
  }
}

TEST(NewsSources, NoRegionalHostContainsTheGenericHost) {
  for (int r = 0; r <= static_cast<int>(NewsRegion::UnitedKingdom); ++r) {
    const std::u16string host = Host(static_cast<NewsRegion>(r));
    EXPECT_EQ(host.find(Generic()), std::u16string::npos) << r;
    EXPECT_NE(host, Generic()) << r;
  }
}

TEST(SetLanguage, MessagesAreTheTablesTexts) {
  const LanguageDefaults de = After({u"de"});
  EXPECT_EQ(de.ConnectingMessage, u"Verbindung wird aufgebaut...");
  EXPECT_EQ(de.NoFeedsMessage,
            u"Kein Feed-Abonnement. Bitte fügen Sie unter <Optionen> Feeds hinzu.");
  EXPECT_EQ(After({u"ru"}).ConnectingMessage, u"Соединение...");
  EXPECT_EQ(After({u"ru"}).NoFeedsMessage, u"Не введено адресов RSS");
  EXPECT_EQ(After({u"ja"}).NoFeedsMessage, u"いいえ RSS のアドレスを入力します。");
  EXPECT_EQ(After({u"zh-HK"}).ConnectingMessage, u"连接...");
  EXPECT_EQ(After({u"zh-TW"}).NoFeedsMessage, u"没有rss的地址进入。");
  EXPECT_EQ(After({u"tr"}).NoFeedsMessage,
            u"Yayın kaydı bulunamadı.Lütfen <Options> seçeneğini kullanarak yayın ekleyiniz");
  EXPECT_EQ(After({u"pt-BR"}).NoFeedsMessage,
            u"Nenhuma assinatura de feed foi encontrada. Utilize <Opções> para adicionar os feeds "
            u"de sua preferência.");
  EXPECT_EQ(After({u"es-MX"}).NoFeedsMessage,
            u"Sin suscripciones a algún canal RSS. Añada canales RSS en <Opciones>");
  EXPECT_EQ(After({u"no"}).NoFeedsMessage,
            u"Ingen nyhetsoppdaterings abonnement nødvendig. Vennligs legg til "
            u"nyhetsoppdateringene via innstillinger.");
  EXPECT_EQ(After({u"se"}).ConnectingMessage, u"Ansluter...");
  EXPECT_EQ(After({u"sv"}).ConnectingMessage, u"Förbinda...");
  EXPECT_EQ(After({u"fi"}).NoFeedsMessage,
            u"Ei tilattuja syötteitä. Lisää syötteitä valitsemalla <Options>.");
  EXPECT_EQ(After({u"pl"}).ConnectingMessage, u"Trwa łączenie...");
  EXPECT_EQ(After({u"se"}).NoFeedsMessage,
            u"Inga RSS kanal beställningar. Var god lägg till kanals, med användnoing av "
            u"<Alternativ>");
}

TEST(SetLanguage, RewritesEntryOneOnly) {
  const auto english = SplitFeedList(EnglishDefaultFeedList());
  const auto de = SplitFeedList(After({u"de"}).DefaultFeedList);
  ASSERT_EQ(de.size(), 9u);
  EXPECT_EQ(de[0], u"http://" + Generic() + u"/?ned=de&output=rss");
  EXPECT_TRUE(std::equal(de.begin() + 1, de.end(), english.begin() + 1));
  EXPECT_EQ(FirstEntry(After({u"es"})), u"http://" + Host(NewsRegion::Spain) + u"/?output=rss");
  EXPECT_EQ(FirstEntry(After({u"fr-CH"})),
            u"http://" + Host(NewsRegion::Switzerland) + u"/?hl=fr&output=rss");
  EXPECT_EQ(FirstEntry(After({u"ja"})), u"http://" + Generic() + u"/news?ned=ja&hl=ja&output=rss");
  EXPECT_EQ(FirstEntry(After({u"se"})), u"http://" + Generic() + u"/?ned=sv_se&output=rss");
  EXPECT_EQ(After({u"pl"}).DefaultFeedList, EnglishDefaultFeedList());
}

TEST(SetLanguage, CodesAreExactAndCaseSensitive) {
  for (const char16_t* code : {u"DE", u"de-AT", u"en-au", u"", u"xx", u"de ", u" de"}) {
    const LanguageDefaults d = After({u"ru", code});
    EXPECT_EQ(d, EnglishLanguageDefaults()) << "the last row resets everything";
  }
  EXPECT_EQ(After({u"ru", nullptr}), EnglishLanguageDefaults());
}

TEST(SetLanguage, CallsAccumulate) {
  const LanguageDefaults d = After({u"de", u"en-AU"});
  EXPECT_EQ(d.ConnectingMessage, u"Verbindung wird aufgebaut...") << "en-AU keeps the text";
  EXPECT_EQ(d.NoFeedsMessage, EnglishNoFeedsMessage);
  EXPECT_EQ(FirstEntry(d), u"http://" + Host(NewsRegion::Australia) + u"/?ned=de&output=rss");

  const LanguageDefaults fi = After({u"de", u"fi"});
  EXPECT_EQ(fi.DefaultFeedList, EnglishDefaultFeedList());
  EXPECT_EQ(fi.ConnectingMessage, u"Yhdistetään...");

  // A second host swap finds no generic host left and changes nothing.
  EXPECT_EQ(FirstEntry(After({u"en-AU", u"es"})),
            u"http://" + Host(NewsRegion::Australia) + u"/?output=rss");
  EXPECT_EQ(After({u"pl"}).DefaultFeedList, EnglishDefaultFeedList());
  EXPECT_EQ(FirstEntry(After({u"es", u"pl"})),
            u"http://" + Host(NewsRegion::Spain) + u"/?output=rss");
}

TEST(LanguageDefaultsStore, ReadersGetConsistentCopiesWhileAnotherThreadWrites) {
  LanguageDefaultsStore store;
  std::thread writer([&store] {
    for (int i = 0; i < 2000; ++i) store.SetLanguage(i % 2 ? u"de" : u"fi");
  });
  for (int i = 0; i < 2000; ++i) {
    const LanguageDefaults d = store.Snapshot();
    const bool german = d.ConnectingMessage == u"Verbindung wird aufgebaut...";
    EXPECT_EQ(german, d.DefaultFeedList.find(u"ned=de") != std::u16string::npos);
  }
  writer.join();
  EXPECT_EQ(store.ConnectingMessage(), u"Verbindung wird aufgebaut...");
}

}  // namespace
}  // namespace tidewire
