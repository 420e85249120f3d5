#include "control/ticker_engine_win.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "control/dpi_scaling.h"
#include "control/ticker_drawing_win.h"
#include "settings/language_defaults.h"
#include "win/com_boundary.h"
#include "win/module.h"

namespace tidewire {
namespace {

constexpr WORD StripBackgroundResource = 208;

// Character height 11 pixels at 96 DPI, without internal leading.
constexpr LONG StripFontHeight = -11;

HFONT CreateStripFont(UINT dpi) {
  LOGFONTW description{};
  description.lfHeight = ScaleForDpi(StripFontHeight, dpi);
  description.lfWeight = FW_NORMAL;
  constexpr wchar_t faceName[] = L"Tahoma";
  static_assert(sizeof(faceName) <= sizeof(description.lfFaceName));
  std::copy(std::begin(faceName), std::end(faceName), description.lfFaceName);
  return ::CreateFontIndirectW(&description);
}

}  // namespace

TickerEngine::TickerEngine(HeadlineSourceFactory makeSource, std::function<void()> requestRedraw)
    : requestRedraw_(std::move(requestRedraw)) {
  // The cycle's state starts as an empty line that is wanted replaced, not between lines, not
  // moved, not done, not paused; the settings record starts with its defaults.
  handCursor_ = ::LoadCursorW(nullptr, IDC_HAND);
  stripFont_.Reset(CreateStripFont(drawingDpi_));
  stripBackground_.Reset(::LoadBitmapW(CodeModule(), MAKEINTRESOURCEW(StripBackgroundResource)));
  settings_.speech_feed_URLs = ProcessLanguageDefaults().DefaultFeedList();
  settings_.speech_feed_URLs_active = std::u16string(DefaultActiveFlags);
  msgWindow_.Create(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  feeds_ = makeSource(msgWindow_.Handle());
  if (feeds_) {
    ApplyRefreshRate();
    state_.SetCurrentHeadline(
        feeds_->NextHeadline(ProcessLanguageDefaults().ConnectingMessage()));
  }
  delayEvent_.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  // Nothing is published yet: this takes the connecting record, which stays replaceable.
  AdvanceHeadline();
}

TickerEngine::~TickerEngine() {
  // The worker goes first: after this nothing but the delay threads can post to the window.
  feeds_.reset();
  // The delay threads are woken and joined while the window still exists, so none of them can
  // post to a window handle that has been destroyed and perhaps given to another window.
  StopDelayThreads();
  msgWindow_.Destroy();
  delayEvent_.Reset();
  stripFont_.Reset();
  stripBackground_.Reset();
}

bool TickerEngine::HandleMessage(UINT message, WPARAM, LPARAM, LRESULT* result) {
  switch (message) {
    case NextHeadlineMessage: AdvanceHeadline(); break;
    case SettingsLoadedMessage: ApplySettings(); break;
    case WM_TIMER: OnScrollTimer(); break;
    default: return false;
  }
  *result = 0;
  return true;
}

void TickerEngine::ApplySettings() {
  RestartScrollTimer();
  // A stored reload period governs the worker from the first start on, not only once the
  // settings page has set it again.
  ApplyRefreshRate();
  SetFeedList(settings_.speech_feed_URLs);
  SetActiveFlags(settings_.speech_feed_URLs_active);
}

void TickerEngine::ApplyRefreshRate() {
  // A negative period counts as none; the worker keeps its own floor between passes.
  SetRefreshMs(static_cast<std::uint32_t>(std::max(settings_.feed_refresh_rate, 0)));
}

void TickerEngine::SetFeedList(std::u16string_view text) {
  if (feeds_) feeds_->SetFeedList(text);
}

void TickerEngine::SetActiveFlags(std::u16string_view text) {
  if (feeds_) feeds_->SetActiveFlags(text);
}

void TickerEngine::SetRefreshMs(std::uint32_t refreshMs) {
  if (feeds_) feeds_->SetRefreshMs(refreshMs);
}

void TickerEngine::AdvanceHeadline() {
  if (state_.AdvanceHeadline(feeds_.get(), ProcessLanguageDefaults().Snapshot()) && lineStarted_) {
    lineStarted_();
  }
}

bool TickerEngine::HighContrast() const {
  return highContrast_ ? highContrast_() : SystemHighContrast();
}

void TickerEngine::IncrementFeed() {
  if (state_.IncrementFeed(settings_.speech_speed, drawingDpi_) == TickerState::TickOutcome::LineRetired) {
    StartDelay();
  }
}

void TickerEngine::OnScrollTimer() {
  IncrementFeed();
  if (state_.WantsRedraw()) RequestRedraw();
}

void TickerEngine::NotifySettingsLoaded() {
  ::PostMessageW(msgWindow_.Handle(), SettingsLoadedMessage, 0, 0);
}

void TickerEngine::RestartScrollTimer() {
  const HWND window = msgWindow_.Handle();
  // Without its window the control has no timer (a null window would make a thread timer).
  if (window == nullptr) return;
  ::KillTimer(window, ScrollTimerId);
  ::SetTimer(window, ScrollTimerId, ScrollTimerPeriodMs(settings_.speech_speed), nullptr);
}

void TickerEngine::SetDrawingDpi(UINT dpi) {
  dpi = UsableDpi(dpi);
  if (dpi == drawingDpi_) return;
  UniqueGdiObject<HFONT> font(CreateStripFont(dpi));
  // Without a new font the band keeps the old one and the old DPI: text and band stay matched.
  if (!font) return;
  stripFont_ = std::move(font);
  drawingDpi_ = dpi;
}

void TickerEngine::FrameComposed(std::int32_t compositionWidth, std::int32_t textWidth) {
  state_.CheckLineDone(compositionWidth, textWidth);
}

void TickerEngine::BringConnectingTextUpToDate() {
  state_.BringConnectingTextUpToDate(ProcessLanguageDefaults().ConnectingMessage());
}

void TickerEngine::RequestRedraw() {
  if (requestRedraw_) requestRedraw_();
}

void TickerEngine::StartDelay() {
  CloseFinishedDelayThreads();
  // Room for the handle is made first: a started thread must always be joined.
  delayThreads_.reserve(delayThreads_.size() + 1);
  // The delay is fixed when the thread starts, so the thread never reads the settings record,
  // which the control's thread may be changing. A negative delay counts as none: cast to the
  // wait's type it would mean waiting for ever.
  auto request = std::make_unique<DelayRequest>(
      DelayRequest{this, static_cast<DWORD>(std::max(settings_.delay_between_feeds, 0))});
  const HANDLE thread = ::CreateThread(nullptr, 0, &DelayThreadProc, request.get(), 0, nullptr);
  // Without a thread the band stays between lines until the worker's next announcement.
  if (thread == nullptr) return;
  static_cast<void>(request.release());
  delayThreads_.emplace_back(thread);
}

void TickerEngine::CloseFinishedDelayThreads() {
  std::erase_if(delayThreads_, [](const UniqueKernelHandle& thread) {
    return ::WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0;
  });
}

void TickerEngine::StopDelayThreads() {
  stopping_.store(true);
  if (delayEvent_) ::SetEvent(delayEvent_.Get());
  for (const UniqueKernelHandle& thread : delayThreads_) {
    ::WaitForSingleObject(thread.Get(), INFINITE);
  }
  delayThreads_.clear();
}

DWORD WINAPI TickerEngine::DelayThreadProc(LPVOID parameter) {
  const std::unique_ptr<DelayRequest> request(static_cast<DelayRequest*>(parameter));
  const TickerEngine& engine = *request->engine;
  // The event is signalled only at destruction, and then stays signalled. Without the event
  // (its creation failed) the wait fails at once and the next line follows without delay.
  ComBoundary([&] {
    ::WaitForSingleObject(engine.delayEvent_.Get(), request->delayMs);
    if (!engine.stopping_.load()) {
      ::PostMessageW(engine.msgWindow_.Handle(), NextHeadlineMessage, 0, 0);
    }
  });
  return 0;
}

}  // namespace tidewire
