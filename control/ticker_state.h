#pragma once
// The state of the ticker's feed cycle and scroll tick: which line is on the band, how far it has
// moved, whether it has left the band, whether the band waits between two lines, and pausing.
// Everything here runs on the control's thread; the timer, the delay threads and the drawing that
// feed it live with the control.

#include <cstdint>
#include <string_view>
#include <utility>

#include "control/headline_source.h"
#include "processing/headline.h"
#include "settings/language_defaults.h"

namespace tidewire {

// True when `text` is one of the status texts that yield to the next line at once: the built-in
// English connecting or no-feeds text, or the current translation of either. Exact comparison.
bool IsStatusText(std::u16string_view text, std::u16string_view connectingMessage,
                  std::u16string_view noFeedsMessage);

class TickerState {
 public:
  // What a tick did, so that the control knows whether to start the delay between lines.
  enum class TickOutcome {
    Unchanged,    // between lines or paused: nothing moved
    Advanced,     // the line moved by one step
    LineRetired,  // the finished line was retired; the delay between lines must start now
  };

  TickerState() = default;

  const Headline& CurrentHeadline() const { return currentHeadline_; }
  bool NeedNextHeadline() const { return needNextHeadline_; }
  bool BetweenLines() const { return betweenLines_; }
  std::int32_t ScrollOffset() const { return scrollOffset_; }
  bool LineDone() const { return lineDone_; }
  bool Paused() const { return paused_; }

  // Puts a headline on the band without touching the cycle's flags (the construction step that
  // shows the connecting record before the first AdvanceHeadline).
  void SetCurrentHeadline(Headline headline) { currentHeadline_ = std::move(headline); }

  // One scroll tick at the given speed, on a band drawn at `dpi`: the step is scaled so that the
  // line covers the same distance per second as at 96 DPI, the fraction of a pixel left over
  // carried to the next tick. Retiring a line leaves the band between lines with the next
  // headline wanted; the caller then starts the delay.
  TickOutcome IncrementFeed(std::int32_t speechSpeed, std::uint32_t dpi = 96);

  // Whether the tick just handled should be followed by a redraw request.
  bool WantsRedraw() const { return !paused_ && !betweenLines_; }

  // The drawing of one frame: the line is done once the offset, as it was before the frame's
  // text was placed, exceeds the frame width plus the text width.
  void CheckLineDone(std::int32_t compositionWidth, std::int32_t textWidth);

  // Takes the next line from `source` when one is wanted; `language` gives the connecting and
  // no-feeds texts of the control's current language. A status text stays replaceable, so the
  // next announcement replaces it at once. A missing source changes nothing. True when a new line
  // came on the band: any headline, or a status text other than the text before it.
  bool AdvanceHeadline(HeadlineSource* source, const LanguageDefaults& language);

  // Drawing shows the connecting text in the current language: when `connectingMessage` is a
  // translation, a current text that is exactly the built-in English one is replaced by it in
  // the current headline itself.
  void BringConnectingTextUpToDate(std::u16string_view connectingMessage);

  // The feed or flag lists changed: the next announcement replaces the current line.
  void MarkForNextHeadline() { needNextHeadline_ = true; }

  // Toggles pausing (not a setter).
  void Pause() { paused_ = !paused_; }

 private:
  Headline currentHeadline_;
  bool needNextHeadline_ = true;
  bool betweenLines_ = false;
  std::int32_t scrollOffset_ = 0;
  std::int64_t stepRemainder_ = 0;  // in 1/96ths of a pixel at the drawing DPI
  bool lineDone_ = false;
  bool paused_ = false;
};

}  // namespace tidewire
