#pragma once
// Language-dependent status texts and default feed list, shared by every control of a process.

#include <mutex>
#include <string>
#include <string_view>

namespace tidewire {

inline constexpr std::u16string_view EnglishConnectingMessage = u"Connecting...";
inline constexpr std::u16string_view EnglishNoFeedsMessage =
    u"No feed subscriptions. Please add feeds, using <Options>.";

struct LanguageDefaults {
  std::u16string ConnectingMessage;
  std::u16string NoFeedsMessage;
  std::u16string DefaultFeedList;

  bool operator==(const LanguageDefaults&) const = default;
};

LanguageDefaults EnglishLanguageDefaults();

// Applies the table row for a language code to a set of defaults. Codes are compared exactly;
// a null, empty or unknown code takes the English row. Rewrites of the default list accumulate
// over calls, except for the rows that start again from the English list.
void ApplyLanguage(LanguageDefaults& defaults, const char16_t* code);

// The defaults as a guarded value: controls on several threads may read them while one of them
// changes the language. Readers always get copies.
class LanguageDefaultsStore {
 public:
  LanguageDefaultsStore();

  void SetLanguage(const char16_t* code);
  LanguageDefaults Snapshot() const;
  std::u16string ConnectingMessage() const;
  std::u16string NoFeedsMessage() const;
  std::u16string DefaultFeedList() const;

 private:
  mutable std::mutex mutex_;
  LanguageDefaults values_;
};

// The process-wide defaults (initially English; they live until the library is unloaded).
LanguageDefaultsStore& ProcessLanguageDefaults();

}  // namespace tidewire
