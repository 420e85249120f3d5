#pragma once
// The engine of the ticker control: its settings, its feed cycle and scroll tick, its hidden
// message-only window with the scroll timer, the delay threads between lines, and its drawing
// resources. The COM class CTidewireGadget owns one and gives it to containers.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "control/headline_source.h"
#include "control/ticker_drawing_win.h"
#include "control/ticker_state.h"
#include "settings/settings_record.h"
#include "win/handles.h"
#include "win/message_window.h"

namespace tidewire {

// Posted to the message-only window (both parameters 0) when loaded settings are to be put into
// effect.
inline constexpr UINT SettingsLoadedMessage = WM_APP + 1;
// The scroll timer's identifier on the message-only window.
inline constexpr UINT_PTR ScrollTimerId = 0;

// Makes the control's headline source; `notifyWindow` receives its NextHeadlineMessage posts.
using HeadlineSourceFactory = std::function<std::unique_ptr<HeadlineSource>(HWND notifyWindow)>;

class TickerEngine {
 public:
  // `requestRedraw` asks the container to redraw the whole control after a tick that moved the
  // line; without it ticks still advance the cycle.
  explicit TickerEngine(HeadlineSourceFactory makeSource, std::function<void()> requestRedraw = {});
  TickerEngine(const TickerEngine&) = delete;
  TickerEngine& operator=(const TickerEngine&) = delete;
  // Stops the downloads, wakes and joins every delay thread and releases the window and the
  // drawing resources; returns without waiting out any delay.
  ~TickerEngine();

  // Handler of SettingsLoadedMessage: restarts the scroll timer and the downloads with the
  // settings record, reload period included. The line on the band finishes first.
  void ApplySettings();
  // Handler of NextHeadlineMessage: takes the next line when one is wanted.
  void AdvanceHeadline();
  // One scroll tick; a retired line starts the delay before the next one.
  void IncrementFeed();
  // Handler of the scroll timer: a tick, then a redraw unless paused or between lines.
  void OnScrollTimer();
  // Toggles pausing: ticks change nothing while paused, the cycle of lines goes on.
  void Pause() { state_.Pause(); }
  bool Paused() const { return state_.Paused(); }

  // What persistence does once it has filled the settings record.
  void NotifySettingsLoaded();
  // Kills the scroll timer and starts it again with the period for the current speed.
  void RestartScrollTimer();
  // Replaces the feed addresses and restarts the downloads; replaces the active flags; sets the
  // reload period from the next pause on.
  void SetFeedList(std::u16string_view text);
  void SetActiveFlags(std::u16string_view text);
  void SetRefreshMs(std::uint32_t refreshMs);
  // The lists changed: the next announcement replaces the line on the band.
  void MarkForNextHeadline() { state_.MarkForNextHeadline(); }
  // Drawing tells the DPI it draws at before each frame: the font follows it, and so does the
  // scroll step, which keeps the band's speed in 96-DPI terms.
  void SetDrawingDpi(UINT dpi);
  UINT DrawingDpi() const { return drawingDpi_; }
  // Whether frames are drawn in the system's high-contrast colours: the user's setting, asked at
  // every frame, or what `query` answers when one is given (a test's stand-in).
  bool HighContrast() const;
  void SetHighContrastQuery(std::function<bool()> query) { highContrast_ = std::move(query); }
  // Called each time a new line comes on the band; a status text counts only when it differs
  // from the text before it.
  void SetLineStartedHandler(std::function<void()> handler) { lineStarted_ = std::move(handler); }
  // Drawing reports each composed frame, which decides when the line has left the band.
  void FrameComposed(std::int32_t compositionWidth, std::int32_t textWidth);
  // Drawing shows a connecting text on the band in the process's current language.
  void BringConnectingTextUpToDate();

  SettingsRecord& Settings() { return settings_; }
  const SettingsRecord& Settings() const { return settings_; }
  const TickerState& State() const { return state_; }
  HWND MessageWindowHandle() const { return msgWindow_.Handle(); }
  HFONT StripFont() const { return stripFont_.Get(); }
  HBITMAP StripBackground() const { return stripBackground_.Get(); }
  HCURSOR HandCursor() const { return handCursor_; }
  // What drawing keeps from one frame to the next.
  FrameSurfaces& Surfaces() { return surfaces_; }

 private:
  struct DelayRequest {
    TickerEngine* engine;
    DWORD delayMs;
  };

  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Gives the downloads the reload period of the settings record.
  void ApplyRefreshRate();
  void StartDelay();
  void CloseFinishedDelayThreads();
  void StopDelayThreads();
  void RequestRedraw();
  static DWORD WINAPI DelayThreadProc(LPVOID parameter);

  SettingsRecord settings_;
  TickerState state_;
  std::function<void()> requestRedraw_;
  std::function<bool()> highContrast_;
  std::function<void()> lineStarted_;
  HCURSOR handCursor_ = nullptr;  // a shared system cursor: never destroyed
  UINT drawingDpi_ = 96;           // of the last frame drawn, and of the font
  UniqueGdiObject<HFONT> stripFont_;
  UniqueGdiObject<HBITMAP> stripBackground_;
  FrameSurfaces surfaces_;
  UniqueKernelHandle delayEvent_;
  // Every delay thread that may still run; the last one is the most recently started.
  std::vector<UniqueKernelHandle> delayThreads_;
  std::atomic<bool> stopping_{false};
  // The hidden message-only window with the control's message map.
  MessageWindow msgWindow_{[this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return HandleMessage(message, wParam, lParam, result);
  }};
  std::unique_ptr<HeadlineSource> feeds_;
};

}  // namespace tidewire
