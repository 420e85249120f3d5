#pragma once
// The control's headline source backed by the download manager.

#include <memory>

#include "control/headline_source.h"
#include "retrieval/feeds.h"

namespace tidewire {

class FeedsHeadlineSource : public HeadlineSource {
 public:
  explicit FeedsHeadlineSource(std::unique_ptr<Feeds> feeds);

  Headline NextHeadline(std::u16string_view connectingMessage) override;
  void SetFeedList(std::u16string_view text) override;
  void SetActiveFlags(std::u16string_view text) override;
  void SetRefreshMs(std::uint32_t refreshMs) override;

 private:
  std::unique_ptr<Feeds> feeds_;
};

}  // namespace tidewire
