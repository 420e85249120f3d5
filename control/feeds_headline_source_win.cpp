#include "control/feeds_headline_source_win.h"

#include "control/feeds_headline_source.h"
#include "retrieval/feeds_win.h"

namespace tidewire {

std::unique_ptr<HeadlineSource> CreateFeedsHeadlineSource(HWND notifyWindow) {
  return std::make_unique<FeedsHeadlineSource>(CreateFeeds(notifyWindow, NextHeadlineMessage));
}

}  // namespace tidewire
