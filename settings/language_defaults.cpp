#include "settings/language_defaults.h"

#include <optional>

#include "settings/news_sources.h"

namespace tidewire {
namespace {

enum class RewriteKind { HostSwap, QueryInsert, Reset, None };

struct Rewrite {
  RewriteKind kind;
  std::optional<NewsRegion> region;  // host swap target, or the query insert's host (else generic)
  std::u16string_view pathAndQuery;  // query insert only, e.g. u"/?ned=de&"
};

struct LanguageRow {
  std::u16string_view code;
  std::optional<std::u16string_view> connecting;  // absent: left as it was
  std::u16string_view noFeeds;
  Rewrite rewrite;
};

constexpr Rewrite Swap(NewsRegion region) { return {RewriteKind::HostSwap, region, {}}; }
constexpr Rewrite Insert(std::u16string_view pathAndQuery) {
  return {RewriteKind::QueryInsert, std::nullopt, pathAndQuery};
}
constexpr Rewrite Insert(NewsRegion region, std::u16string_view pathAndQuery) {
  return {RewriteKind::QueryInsert, region, pathAndQuery};
}
constexpr Rewrite ResetList{RewriteKind::Reset, std::nullopt, {}};
constexpr Rewrite KeepList{RewriteKind::None, std::nullopt, {}};

constexpr std::u16string_view De = u"Verbindung wird aufgebaut...";
constexpr std::u16string_view DeNoFeeds =
    u"Kein Feed-Abonnement. Bitte f\u00fcgen Sie unter <Optionen> Feeds hinzu.";
constexpr std::u16string_view Es = u"Conectando...";
constexpr std::u16string_view EsNoFeeds =
    u"Sin suscripciones a alg\u00fan canal RSS. A\u00f1ada canales RSS en <Opciones>";
constexpr std::u16string_view Fr = u"Connexion...";
constexpr std::u16string_view FrNoFeeds = u"Non entr\u00e9s RSS adresses";
constexpr std::u16string_view It = u"In connessione...";
constexpr std::u16string_view ItNoFeeds =
    u"Non sono presenti sottoscrizioni. Prego aggiungere i feed usando <Opzioni>";
constexpr std::u16string_view Pt = u"Conectando...";
constexpr std::u16string_view PtNoFeeds =
    u"Nenhuma assinatura de feed foi encontrada. Utilize <Op\u00e7\u00f5es> para adicionar os "
    u"feeds de sua prefer\u00eancia.";
constexpr std::u16string_view Zh = u"\u8fde\u63a5...";
constexpr std::u16string_view ZhNoFeeds = u"\u6ca1\u6709rss\u7684\u5730\u5740\u8fdb\u5165\u3002";

// Compared in this order; the first row whose code matches exactly is applied.
constexpr LanguageRow LanguageRows[] = {
    {u"de", De, DeNoFeeds, Insert(u"/?ned=de&")},
    {u"es", Es, EsNoFeeds, Swap(NewsRegion::Spain)},
    {u"fr", Fr, FrNoFeeds, Swap(NewsRegion::France)},
    {u"it", It, ItNoFeeds, Swap(NewsRegion::Italy)},
    {u"ru", u"\u0421\u043e\u0435\u0434\u0438\u043d\u0435\u043d\u0438\u0435...",
     u"\u041d\u0435 \u0432\u0432\u0435\u0434\u0435\u043d\u043e \u0430\u0434\u0440\u0435\u0441"
     u"\u043e\u0432 RSS",
     Swap(NewsRegion::Russia)},
    {u"no", u"Kobler til...",
     u"Ingen nyhetsoppdaterings abonnement n\u00f8dvendig. Vennligs legg til "
     u"nyhetsoppdateringene via innstillinger.",
     Swap(NewsRegion::Norway)},
    {u"nl", u"Verbinding...", u"Niet RSS ontvanger geboekte", Swap(NewsRegion::Netherlands)},
    {u"pt", Pt, PtNoFeeds, Swap(NewsRegion::Portugal)},
    {u"fi", u"Yhdistet\u00e4\u00e4n...",
     u"Ei tilattuja sy\u00f6tteit\u00e4. Lis\u00e4\u00e4 sy\u00f6tteit\u00e4 valitsemalla "
     u"<Options>.",
     ResetList},
    {u"sv", u"F\u00f6rbinda...", u"Nej RSS adresser anklagade", Swap(NewsRegion::Sweden)},
    {u"da", u"Sammenknytte...", u"Ikke RSS adresser noterede", Swap(NewsRegion::Denmark)},
    {u"en-AU", std::nullopt, EnglishNoFeedsMessage, Swap(NewsRegion::Australia)},
    {u"en-CA", std::nullopt, EnglishNoFeedsMessage, Swap(NewsRegion::Canada)},
    {u"en-IE", std::nullopt, EnglishNoFeedsMessage, Swap(NewsRegion::Ireland)},
    {u"en-NZ", std::nullopt, EnglishNoFeedsMessage, Swap(NewsRegion::NewZealand)},
    {u"en-UK", std::nullopt, EnglishNoFeedsMessage, Swap(NewsRegion::UnitedKingdom)},
    {u"en-IN", std::nullopt, EnglishNoFeedsMessage, Swap(NewsRegion::India)},
    {u"de-CH", De, DeNoFeeds, Insert(NewsRegion::Switzerland, u"/?hl=de&")},
    {u"fr-CA", Fr, FrNoFeeds, Insert(NewsRegion::Canada, u"/?hl=fr&")},
    {u"fr-CH", Fr, FrNoFeeds, Insert(NewsRegion::Switzerland, u"/?hl=fr&")},
    {u"it-CH", It, ItNoFeeds, Insert(NewsRegion::Switzerland, u"/?hl=it&")},
    {u"es-MX", Es, EsNoFeeds, Swap(NewsRegion::Mexico)},
    {u"pt-BR", Pt, PtNoFeeds, Swap(NewsRegion::Brazil)},
    {u"ja", u"\u63a5\u7d9a\u4e2d...",
     u"\u3044\u3044\u3048 RSS \u306e\u30a2\u30c9\u30ec\u30b9\u3092\u5165\u529b\u3057\u307e\u3059"
     u"\u3002",
     Insert(u"/news?ned=ja&hl=ja&")},
    {u"zh-CN", Zh, ZhNoFeeds, Insert(u"/news?ned=cn&")},
    {u"zh-TW", Zh, ZhNoFeeds, Insert(u"/news?ned=tw&")},
    {u"zh-HK", Zh, ZhNoFeeds, Insert(u"/news?ned=hk&")},
    {u"tr", u"Ba\u011flan\u0131yor...",
     u"Yay\u0131n kayd\u0131 bulunamad\u0131.L\u00fctfen <Options> se\u00e7ene\u011fini "
     u"kullanarak yay\u0131n ekleyiniz",
     Insert(u"/news?ned=tr_tr&")},
    {u"se", u"Ansluter...",
     u"Inga RSS kanal best\u00e4llningar. Var god l\u00e4gg till kanals, med anv\u00e4ndnoing av "
     u"<Alternativ>",
     Insert(u"/?ned=sv_se&")},
    {u"pl", u"Trwa \u0142\u0105czenie...", u"Brak subskrybcji.", KeepList},
};

constexpr LanguageRow FallbackRow = {u"", EnglishConnectingMessage, EnglishNoFeedsMessage,
                                     ResetList};

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
  std::u16string result;
  std::size_t start = 0;
  for (std::size_t hit = text.find(from); hit != std::u16string::npos;
       hit = text.find(from, start)) {
    result.append(text, start, hit - start);
    result += to;
    start = hit + from.size();
  }
  if (start == 0) return;
  result.append(text, start);
  text = std::move(result);
}

void ApplyRewrite(std::u16string& list, const Rewrite& rewrite) {
  switch (rewrite.kind) {
    case RewriteKind::HostSwap:
      ReplaceAll(list, GenericNewsHost, RegionalNewsHost(*rewrite.region));
      break;
    case RewriteKind::QueryInsert: {
      std::u16string from(GenericNewsHost);
      from += u"/?";
      std::u16string to(rewrite.region ? RegionalNewsHost(*rewrite.region) : GenericNewsHost);
      to += rewrite.pathAndQuery;
      ReplaceAll(list, from, to);
      break;
    }
    case RewriteKind::Reset:
      list = EnglishDefaultFeedList();
      break;
    case RewriteKind::None:
      break;
  }
}

const LanguageRow& RowFor(const char16_t* code) {
  if (code != nullptr && *code != u'\0') {
    const std::u16string_view wanted(code);
    for (const LanguageRow& row : LanguageRows) {
      if (row.code == wanted) return row;
    }
  }
  return FallbackRow;
}

}  // namespace

LanguageDefaults EnglishLanguageDefaults() {
  return {std::u16string(EnglishConnectingMessage), std::u16string(EnglishNoFeedsMessage),
          EnglishDefaultFeedList()};
}

void ApplyLanguage(LanguageDefaults& defaults, const char16_t* code) {
  const LanguageRow& row = RowFor(code);
  if (row.connecting) defaults.ConnectingMessage = *row.connecting;
  defaults.NoFeedsMessage = row.noFeeds;
  ApplyRewrite(defaults.DefaultFeedList, row.rewrite);
}

LanguageDefaultsStore::LanguageDefaultsStore() : values_(EnglishLanguageDefaults()) {}

void LanguageDefaultsStore::SetLanguage(const char16_t* code) {
  std::lock_guard lock(mutex_);
  ApplyLanguage(values_, code);
}

LanguageDefaults LanguageDefaultsStore::Snapshot() const {
  std::lock_guard lock(mutex_);
  return values_;
}

std::u16string LanguageDefaultsStore::ConnectingMessage() const {
  std::lock_guard lock(mutex_);
  return values_.ConnectingMessage;
}

std::u16string LanguageDefaultsStore::NoFeedsMessage() const {
  std::lock_guard lock(mutex_);
  return values_.NoFeedsMessage;
}

std::u16string LanguageDefaultsStore::DefaultFeedList() const {
  std::lock_guard lock(mutex_);
  return values_.DefaultFeedList;
}

LanguageDefaultsStore& ProcessLanguageDefaults() {
  static LanguageDefaultsStore store;
  return store;
}

}  // namespace tidewire
