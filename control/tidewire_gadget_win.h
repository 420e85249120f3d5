#pragma once
// The engine of the ticker control: its settings, its feed cycle and scroll tick, its hidden
// window with the scroll timer, the delay threads between lines, and its drawing resources.
// The container-facing side (automation, activation, drawing, persistence) builds on it.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "control/gadget_handles_win.h"
#include "control/headline_source.h"
#include "control/msg_only_window_win.h"
#include "control/ticker_state.h"
#include "settings/settings_record.h"

namespace tidewire {

// Makes the control's headline source; `notifyWindow` receives its NextHeadlineMessage posts.
using HeadlineSourceFactory = std::function<std::unique_ptr<HeadlineSource>(HWND notifyWindow)>;

// The download manager with the system's HTTP client, as the control normally uses it.
std::unique_ptr<HeadlineSource> CreateFeedsHeadlineSource(HWND notifyWindow);

class CTidewireGadget {
 public:
  // `requestRedraw` asks the container to redraw the whole control after a tick that moved the
  // line; without it ticks still advance the cycle.
  explicit CTidewireGadget(HeadlineSourceFactory makeSource = CreateFeedsHeadlineSource,
                           std::function<void()> requestRedraw = {});
  CTidewireGadget(const CTidewireGadget&) = delete;
  CTidewireGadget& operator=(const CTidewireGadget&) = delete;

  // Limits an interactive resize of the control's window to the band's height.
  virtual LRESULT OnSizing(RECT& rect);
  // Stops the downloads, wakes and joins every delay thread and releases the window and the
  // drawing resources; returns without waiting out any delay.
  virtual ~CTidewireGadget();

  // Handler of SettingsLoadedMessage: restarts the scroll timer and the downloads with the
  // settings record. The line on the band finishes first.
  HRESULT ApplySettings();
  // Handler of NextHeadlineMessage: takes the next line when one is wanted.
  void AdvanceHeadline();
  // One scroll tick; a retired line starts the delay before the next one.
  HRESULT IncrementFeed();
  // Handler of the scroll timer: a tick, then a redraw unless paused or between lines.
  void OnScrollTimer();
  // Toggles pausing: ticks change nothing while paused, the cycle of lines goes on.
  HRESULT Pause();
  bool Paused() const { return state_.Paused(); }

  // What persistence does once it has filled the settings record.
  void NotifySettingsLoaded();
  // Kills the scroll timer and starts it again with the period for the current speed.
  void RestartScrollTimer();
  // The lists changed: the next announcement replaces the line on the band.
  void MarkForNextHeadline() { state_.MarkForNextHeadline(); }
  // Drawing reports each composed frame, which decides when the line has left the band.
  void FrameComposed(std::int32_t compositionWidth, std::int32_t textWidth);

  SettingsRecord& Settings() { return settings_; }
  const SettingsRecord& Settings() const { return settings_; }
  const TickerState& State() const { return state_; }
  HWND MessageWindow() const { return msgWindow_.Handle(); }

 private:
  struct DelayRequest {
    CTidewireGadget* control;
    DWORD delayMs;
  };

  // Every construction writes the library's registration again, ignoring the result; the body
  // comes with the COM server's registration entry point.
  void RefreshServerRegistration();
  void StartDelay();
  void CloseFinishedDelayThreads();
  void StopDelayThreads();
  void RequestRedraw();
  static DWORD WINAPI DelayThreadProc(LPVOID parameter);

  SettingsRecord settings_;
  TickerState state_;
  std::function<void()> requestRedraw_;
  HCURSOR handCursor_ = nullptr;  // a shared system cursor: never destroyed
  UniqueGdiObject<HFONT> stripFont_;
  UniqueGdiObject<HBITMAP> stripBackground_;
  UniqueKernelHandle delayEvent_;
  // Every delay thread that may still run; the last one is the most recently started.
  std::vector<UniqueKernelHandle> delayThreads_;
  std::atomic<bool> stopping_{false};
  MsgOnlyWindow msgWindow_{*this};
  std::unique_ptr<HeadlineSource> feeds_;
};

}  // namespace tidewire
