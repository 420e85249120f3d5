#include "control/ticker_state.h"

#include <limits>
#include <string>

#include "control/dpi_scaling.h"
#include "settings/language_defaults.h"
#include "settings/settings_record.h"

namespace tidewire {

bool IsStatusText(std::u16string_view text, std::u16string_view connectingMessage,
                  std::u16string_view noFeedsMessage) {
  return text == EnglishConnectingMessage || text == connectingMessage ||
         text == EnglishNoFeedsMessage || text == noFeedsMessage;
}

TickerState::TickOutcome TickerState::IncrementFeed(std::int32_t speechSpeed, std::uint32_t dpi) {
  if (betweenLines_ || paused_) return TickOutcome::Unchanged;
  if (lineDone_) {
    scrollOffset_ = 0;
    stepRemainder_ = 0;
    betweenLines_ = true;
    needNextHeadline_ = true;
    lineDone_ = false;
    return TickOutcome::LineRetired;
  }
  // A control that is never drawn never finishes its line; the offset then stops at its maximum
  // instead of overflowing.
  const std::int64_t travelled =
      std::int64_t{ScrollStepPixels(speechSpeed)} * UsableDpi(dpi) + stepRemainder_;
  const auto step = static_cast<std::int32_t>(travelled / BaseDpi);
  stepRemainder_ = travelled % BaseDpi;
  if (scrollOffset_ <= std::numeric_limits<std::int32_t>::max() - step) scrollOffset_ += step;
  return TickOutcome::Advanced;
}

void TickerState::CheckLineDone(std::int32_t compositionWidth, std::int32_t textWidth) {
  if (std::int64_t{scrollOffset_} > std::int64_t{compositionWidth} + textWidth) lineDone_ = true;
}

bool TickerState::AdvanceHeadline(HeadlineSource* source, const LanguageDefaults& language) {
  if (source == nullptr || !needNextHeadline_) return false;
  needNextHeadline_ = false;
  betweenLines_ = false;
  scrollOffset_ = 0;
  stepRemainder_ = 0;
  std::u16string previousText = std::move(currentHeadline_.text);
  currentHeadline_ = source->NextHeadline(language.ConnectingMessage);
  if (IsStatusText(currentHeadline_.text, language.ConnectingMessage, language.NoFeedsMessage)) {
    needNextHeadline_ = true;
    return currentHeadline_.text != previousText;
  }
  return true;
}

void TickerState::BringConnectingTextUpToDate(std::u16string_view connectingMessage) {
  if (connectingMessage != EnglishConnectingMessage &&
      currentHeadline_.text == EnglishConnectingMessage) {
    currentHeadline_.text = connectingMessage;
  }
}

}  // namespace tidewire
