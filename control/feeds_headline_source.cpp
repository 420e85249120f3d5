#include "control/feeds_headline_source.h"

#include <utility>

namespace tidewire {

FeedsHeadlineSource::FeedsHeadlineSource(std::unique_ptr<Feeds> feeds) : feeds_(std::move(feeds)) {}

Headline FeedsHeadlineSource::NextHeadline(std::u16string_view connectingMessage) {
  return feeds_->NextHeadline(connectingMessage);
}

void FeedsHeadlineSource::SetFeedList(std::u16string_view text) { feeds_->SetFeedList(text); }

void FeedsHeadlineSource::SetActiveFlags(std::u16string_view text) { feeds_->SetActiveFlags(text); }

void FeedsHeadlineSource::SetRefreshMs(std::uint32_t refreshMs) { feeds_->SetRefreshMs(refreshMs); }

}  // namespace tidewire
