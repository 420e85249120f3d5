#pragma once
// What the ticker control needs from its download manager: the next line to show, and the lists
// and reload period that steer the downloads. The control's tests plug in a double.

#include <cstdint>
#include <string_view>

#include "processing/headline.h"

namespace tidewire {

// Posted to the control's hidden window, with both parameters 0, after every publication of the
// download manager and at the end of every delay between lines.
inline constexpr unsigned NextHeadlineMessage = 0xC189;

class HeadlineSource {
 public:
  virtual ~HeadlineSource() = default;

  // The next published headline, cyclically, or the connecting record (with `connectingMessage`,
  // the control's text in its current language) while none is published.
  virtual Headline NextHeadline(std::u16string_view connectingMessage) = 0;
  // Replaces the feed addresses, drops the published headlines and restarts the downloads.
  virtual void SetFeedList(std::u16string_view text) = 0;
  // Replaces the active flags without restarting the downloads.
  virtual void SetActiveFlags(std::u16string_view text) = 0;
  // The pause after each pass; a change applies from the next pause on.
  virtual void SetRefreshMs(std::uint32_t refreshMs) = 0;
};

}  // namespace tidewire
