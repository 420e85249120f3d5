// The control's engine under Wine: its message window, scroll timer, delay threads and the cycle
// of lines, with a headline source double and a stand-in for drawing that reports every frame.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "control/feeds_headline_source_win.h"
#include "control/ticker_engine_win.h"
#include "retrieval/feeds.h"
#include "settings/language_defaults.h"
#include "tests/support/fake_headline_source.h"
#include "tests/support/message_pump_win.h"

namespace tidewire {
namespace {

using namespace std::chrono_literals;

// NextHeadlineMessage posts as they are taken from this thread's queue, by window.
std::map<HWND, int> nextHeadlineArrivals;

LRESULT CALLBACK RecordArrival(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (message->message == NextHeadlineMessage) ++nextHeadlineArrivals[message->hwnd];
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

using testing_support::DispatchPending;
using testing_support::PumpUntil;

std::vector<Headline> Lines(std::initializer_list<std::u16string_view> texts) {
  std::vector<Headline> lines;
  for (std::u16string_view text : texts) lines.push_back(LineWithText(text));
  return lines;
}

// One control with a source double. On its first SetFeedList the source publishes `lines` and
// announces them, as the worker's first pass would. Every redraw request is answered with a
// frame 20 pixels wide, the text measuring 4 pixels per character.
class Ticker {
 public:
  explicit Ticker(std::vector<Headline> lines) : lines_(std::move(lines)) {
    gadget = std::make_unique<TickerEngine>(
        [this](HWND notifyWindow) {
          auto made = std::make_unique<FakeHeadlineSource>();
          source = made.get();
          notifyWindow_ = notifyWindow;
          made->onSetFeedList = [this] {
            source->Publish(lines_);
            Announce();
          };
          return made;
        },
        [this] { DrawFrame(); });
  }

  // What the container does after creating the control: settings, then SettingsLoadedMessage.
  void Start(std::int32_t speed, std::int32_t delayMs) {
    gadget->Settings().speech_speed = speed;
    gadget->Settings().delay_between_feeds = delayMs;
    gadget->NotifySettingsLoaded();
  }

  // A pass of the worker has been published.
  void Announce() const { ::PostMessageW(notifyWindow_, NextHeadlineMessage, 0, 0); }

  const TickerState& State() const { return gadget->State(); }
  std::u16string CurrentText() const { return State().CurrentHeadline().text; }

  // The items shown so far, in order, without the connecting text.
  std::vector<std::u16string> shown;
  int redraws = 0;
  int redrawsBetweenLines = 0;
  FakeHeadlineSource* source = nullptr;
  std::unique_ptr<TickerEngine> gadget;

 private:
  void DrawFrame() {
    ++redraws;
    const TickerState& state = gadget->State();
    if (state.BetweenLines()) ++redrawsBetweenLines;
    const std::u16string& text = state.CurrentHeadline().text;
    // A line is recorded on its first frame: the text changed, or the offset started again.
    if (text != EnglishConnectingMessage &&
        (text != lastText_ || state.ScrollOffset() < lastOffset_)) {
      shown.push_back(text);
    }
    lastText_ = text;
    lastOffset_ = state.ScrollOffset();
    gadget->FrameComposed(20, static_cast<std::int32_t>(4 * text.size()));
  }

  std::vector<Headline> lines_;
  HWND notifyWindow_ = nullptr;
  std::u16string lastText_;
  std::int32_t lastOffset_ = 0;
};

class GadgetWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    nextHeadlineArrivals.clear();
    hook_ = ::SetWindowsHookExW(WH_GETMESSAGE, &RecordArrival, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook_, nullptr);
  }
  void TearDown() override { ::UnhookWindowsHookEx(hook_); }

 private:
  HHOOK hook_ = nullptr;
};

TEST_F(GadgetWineTest, NewControlShowsTheConnectingTextAndStartsNothing) {
  Ticker ticker(Lines({u"1"}));
  const HWND window = ticker.gadget->MessageWindowHandle();
  ASSERT_TRUE(::IsWindow(window));
  EXPECT_EQ(ticker.CurrentText(), ProcessLanguageDefaults().ConnectingMessage());
  EXPECT_TRUE(ticker.State().NeedNextHeadline());
  EXPECT_EQ(ticker.State().ScrollOffset(), 0);
  // The reload period was given once; no download was started and no timer runs.
  EXPECT_EQ(ticker.source->refreshPeriods, std::vector<std::uint32_t>{1800000});
  EXPECT_TRUE(ticker.source->feedLists.empty());
  EXPECT_FALSE(::KillTimer(window, ScrollTimerId));

  const auto before = std::chrono::steady_clock::now();
  ticker.gadget.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);
  EXPECT_FALSE(::IsWindow(window));
}

TEST_F(GadgetWineTest, AppliedSettingsStartTheTimerAndTheDownloadsButKeepTheLine) {
  Ticker ticker(Lines({u"1", u"2"}));
  ticker.gadget->Settings().speech_feed_URLs = u"http://a.test/ URL http://b.test/";
  ticker.gadget->Settings().speech_feed_URLs_active = u"1 URL 0";
  ticker.gadget->Settings().feed_refresh_rate = 300000;
  ticker.Start(0, 0);
  ASSERT_TRUE(PumpUntil([&] { return ticker.CurrentText() == u"1"; }));
  EXPECT_EQ(ticker.source->feedLists,
            std::vector<std::u16string>{u"http://a.test/ URL http://b.test/"});
  EXPECT_EQ(ticker.source->activeFlags, std::vector<std::u16string>{u"1 URL 0"});
  // The stored reload period, not the one from construction, governs the downloads.
  EXPECT_EQ(ticker.source->refreshPeriods, (std::vector<std::uint32_t>{1800000, 300000}));

  // A second SettingsLoadedMessage (a container that loads twice) restarts both halves; the
  // announcement that follows finds an ordinary line and leaves it on the band.
  ticker.gadget->Pause();
  const std::int32_t offset = ticker.State().ScrollOffset();
  ticker.gadget->NotifySettingsLoaded();
  ASSERT_TRUE(PumpUntil([&] { return ticker.source->activeFlags.size() == 2; }));
  DispatchPending();
  EXPECT_EQ(ticker.source->feedLists.size(), 2u);
  EXPECT_EQ(ticker.CurrentText(), u"1");
  EXPECT_EQ(ticker.State().ScrollOffset(), offset);
  EXPECT_TRUE(::KillTimer(ticker.gadget->MessageWindowHandle(), ScrollTimerId));
}

TEST_F(GadgetWineTest, LinesFollowEachOtherCyclicallyWithoutDelay) {
  Ticker ticker(Lines({u"1", u"2", u"3"}));
  ticker.Start(10, 0);
  ASSERT_TRUE(PumpUntil([&] { return ticker.shown.size() >= 6; }))
      << ticker.shown.size() << " lines shown";
  ticker.shown.resize(6);
  EXPECT_EQ(ticker.shown, (std::vector<std::u16string>{u"1", u"2", u"3", u"1", u"2", u"3"}));
  EXPECT_EQ(ticker.redrawsBetweenLines, 0) << "no redraw is requested between lines";
}

TEST_F(GadgetWineTest, AnnouncementCutsTheDelayShort) {
  Ticker ticker(Lines({u"1", u"2", u"3"}));
  ticker.Start(10, 5000);
  ASSERT_TRUE(PumpUntil([&] { return ticker.CurrentText() == u"1"; }));
  ASSERT_TRUE(PumpUntil([&] { return ticker.State().BetweenLines(); }));
  EXPECT_EQ(ticker.CurrentText(), u"1");
  const HWND window = ticker.gadget->MessageWindowHandle();
  const int arrivals = nextHeadlineArrivals[window];

  // A pass is announced while the band waits: the next line is taken at once. The band is
  // paused, so the line waits at the right edge instead of moving on with the next tick.
  ticker.gadget->Pause();
  ticker.Announce();
  DispatchPending();
  EXPECT_EQ(ticker.CurrentText(), u"2");
  EXPECT_FALSE(ticker.State().BetweenLines());
  EXPECT_EQ(ticker.State().ScrollOffset(), 0);

  // The delay thread's own message, when it comes, finds no line wanted and changes nothing.
  const int taken = ticker.source->nextHeadlineCalls;
  ASSERT_TRUE(PumpUntil([&] { return nextHeadlineArrivals[window] == arrivals + 2; }));
  EXPECT_EQ(ticker.CurrentText(), u"2");
  EXPECT_EQ(ticker.source->nextHeadlineCalls, taken);
}

TEST_F(GadgetWineTest, PausedTicksChangeNothingAndRequestNoRedraw) {
  // A line long enough to be still scrolling when the timer is stopped.
  const std::u16string longLine(300, u'x');
  Ticker ticker(Lines({longLine}));
  ticker.Start(10, 0);
  ASSERT_TRUE(PumpUntil([&] { return ticker.CurrentText() == longLine; }));
  const HWND window = ticker.gadget->MessageWindowHandle();
  ASSERT_TRUE(::KillTimer(window, ScrollTimerId));
  DispatchPending();

  ticker.gadget->Pause();
  EXPECT_TRUE(ticker.gadget->Paused());
  const std::int32_t offset = ticker.State().ScrollOffset();
  const int redraws = ticker.redraws;
  for (int tick = 0; tick < 3; ++tick) ::SendMessageW(window, WM_TIMER, ScrollTimerId, 0);
  EXPECT_EQ(ticker.State().ScrollOffset(), offset);
  EXPECT_EQ(ticker.redraws, redraws);

  ticker.gadget->Pause();
  EXPECT_FALSE(ticker.gadget->Paused());
  ::SendMessageW(window, WM_TIMER, ScrollTimerId, 0);
  EXPECT_EQ(ticker.State().ScrollOffset(), offset + 2);
  EXPECT_EQ(ticker.redraws, redraws + 1);

  // A tick from the container moves the line but leaves the redraw to the container.
  ticker.gadget->IncrementFeed();
  EXPECT_EQ(ticker.State().ScrollOffset(), offset + 4);
  EXPECT_EQ(ticker.redraws, redraws + 1);
}

TEST_F(GadgetWineTest, TwoControlsInOneProcessRunIndependently) {
  Ticker first(Lines({u"a1", u"a2"}));
  Ticker second(Lines({u"b1", u"b2", u"b3"}));
  ASSERT_NE(first.gadget->MessageWindowHandle(), second.gadget->MessageWindowHandle());
  first.Start(10, 0);
  second.Start(7, 0);
  ASSERT_TRUE(PumpUntil([&] { return first.shown.size() >= 4 && second.shown.size() >= 4; }));
  first.shown.resize(4);
  second.shown.resize(4);
  EXPECT_EQ(first.shown, (std::vector<std::u16string>{u"a1", u"a2", u"a1", u"a2"}));
  EXPECT_EQ(second.shown, (std::vector<std::u16string>{u"b1", u"b2", u"b3", u"b1"}));

  // Destroying one leaves the other running.
  first.gadget.reset();
  const std::size_t shown = second.shown.size();
  EXPECT_TRUE(PumpUntil([&] { return second.shown.size() >= shown + 2; }));
}

TEST_F(GadgetWineTest, DestroyingDuringLongDelaysReturnsAtOnceAndPostsNothing) {
  Ticker ticker(Lines({u"1", u"2", u"3"}));
  ticker.Start(10, 60000);
  // Three lines finish; each leaves a delay thread waiting out its minute, the first two cut
  // short for the band by an announcement.
  for (const char16_t* text : {u"1", u"2", u"3"}) {
    ASSERT_TRUE(PumpUntil([&] { return ticker.CurrentText() == text; }));
    ASSERT_TRUE(PumpUntil([&] { return ticker.State().BetweenLines(); }));
    if (text[0] != u'3') {
      ticker.Announce();
      DispatchPending();
    }
  }
  const HWND window = ticker.gadget->MessageWindowHandle();
  const int arrivals = nextHeadlineArrivals[window];

  const auto before = std::chrono::steady_clock::now();
  ticker.gadget.reset();
  const auto took = std::chrono::steady_clock::now() - before;
  EXPECT_LT(took, 20s) << "a delay thread was waited out";
  EXPECT_FALSE(::IsWindow(window));

  // The woken threads have ended without posting: nothing reaches the queue afterwards, and a
  // window created now (which may get the old handle) receives nothing either.
  const HWND fresh = ::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       nullptr, nullptr);
  ASSERT_NE(fresh, nullptr);
  ::PostMessageW(fresh, WM_NULL, 0, 0);
  DispatchPending();
  EXPECT_EQ(nextHeadlineArrivals[window], arrivals);
  EXPECT_EQ(nextHeadlineArrivals[fresh], 0);
  ::DestroyWindow(fresh);
}

TEST_F(GadgetWineTest, RealDownloadManagerWithAnUnreachableFeedKeepsTheConnectingText) {
  TickerEngine gadget(CreateFeedsHeadlineSource);
  const HWND window = gadget.MessageWindowHandle();
  // Nothing listens on the discard port of the loopback address: the first pass fails at once,
  // publishes an empty list and announces it; the next pass is half an hour away.
  gadget.Settings().speech_feed_URLs = u"http://127.0.0.1:9/feed.xml";
  gadget.NotifySettingsLoaded();
  ASSERT_TRUE(PumpUntil([&] { return nextHeadlineArrivals[window] >= 1; }, 60s));
  EXPECT_EQ(gadget.State().CurrentHeadline().text, ProcessLanguageDefaults().ConnectingMessage());
  EXPECT_TRUE(gadget.State().NeedNextHeadline());
}

}  // namespace
}  // namespace tidewire
