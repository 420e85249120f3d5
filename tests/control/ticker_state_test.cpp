#include "control/ticker_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "control/dpi_scaling.h"
#include "control/feeds_headline_source.h"
#include "retrieval/feeds.h"
#include "settings/language_defaults.h"
#include "settings/settings_record.h"
#include "tests/support/fake_headline_source.h"

namespace tidewire {
namespace {

using Outcome = TickerState::TickOutcome;

// The status texts of a language, as the engine hands them to the state.
LanguageDefaults Language(const char16_t* code) {
  LanguageDefaults defaults = EnglishLanguageDefaults();
  ApplyLanguage(defaults, code);
  return defaults;
}

class TickerStateTest : public ::testing::Test {
 protected:

  // Ticks and draws a frame after every tick, as the timer and the container do, until the
  // drawing finds the line done. Returns the number of ticks.
  int ScrollUntilDone(std::int32_t width, std::int32_t textWidth, std::int32_t speed) {
    int ticks = 0;
    while (!state.LineDone() && ticks < 100000) {
      EXPECT_EQ(state.IncrementFeed(speed), Outcome::Advanced);
      ++ticks;
      state.CheckLineDone(width, textWidth);
    }
    return ticks;
  }

  const LanguageDefaults english = EnglishLanguageDefaults();
  TickerState state;
  FakeHeadlineSource source{{LineWithText(u"One"), LineWithText(u"Two")}};
};

TEST_F(TickerStateTest, LifeOfOneLineWithDefaultSettings) {
  state.AdvanceHeadline(&source, english);
  ASSERT_EQ(state.CurrentHeadline(), LineWithText(u"One"));
  EXPECT_FALSE(state.NeedNextHeadline());
  EXPECT_FALSE(state.BetweenLines());
  EXPECT_EQ(state.ScrollOffset(), 0);

  // A band 200 pixels wide and a text 500 pixels wide, at the default speed.
  EXPECT_EQ(state.IncrementFeed(DefaultSpeechSpeed), Outcome::Advanced);
  EXPECT_EQ(200 - state.ScrollOffset(), 199) << "the text first appears at the right border";
  EXPECT_TRUE(state.WantsRedraw());
  state.CheckLineDone(200, 500);
  EXPECT_EQ(ScrollUntilDone(200, 500, DefaultSpeechSpeed) + 1, 701);
  EXPECT_EQ(state.ScrollOffset(), 701);

  // The tick after the done frame retires the line and asks for the delay; nothing is redrawn.
  EXPECT_EQ(state.IncrementFeed(DefaultSpeechSpeed), Outcome::LineRetired);
  EXPECT_EQ(state.ScrollOffset(), 0);
  EXPECT_FALSE(state.LineDone());
  EXPECT_TRUE(state.BetweenLines());
  EXPECT_TRUE(state.NeedNextHeadline());
  EXPECT_FALSE(state.WantsRedraw());

  // Between lines ticks change nothing, and a frame without text never finishes a line.
  EXPECT_EQ(state.IncrementFeed(DefaultSpeechSpeed), Outcome::Unchanged);
  state.CheckLineDone(200, 0);
  EXPECT_FALSE(state.LineDone());
  EXPECT_EQ(state.ScrollOffset(), 0);
  EXPECT_EQ(state.CurrentHeadline(), LineWithText(u"One"));

  // The end of the delay brings the next line, which enters at the right edge.
  state.AdvanceHeadline(&source, english);
  EXPECT_EQ(state.CurrentHeadline(), LineWithText(u"Two"));
  EXPECT_FALSE(state.BetweenLines());
  EXPECT_FALSE(state.NeedNextHeadline());
  EXPECT_EQ(state.ScrollOffset(), 0);
  EXPECT_TRUE(state.WantsRedraw());
}

TEST_F(TickerStateTest, LinesFollowThePublishedListCyclically) {
  std::vector<std::u16string> shown;
  for (int line = 0; line < 5; ++line) {
    state.AdvanceHeadline(&source, english);
    shown.push_back(state.CurrentHeadline().text);
    ScrollUntilDone(30, 10, DefaultSpeechSpeed);
    ASSERT_EQ(state.IncrementFeed(DefaultSpeechSpeed), Outcome::LineRetired);
  }
  EXPECT_EQ(shown, (std::vector<std::u16string>{u"One", u"Two", u"One", u"Two", u"One"}));
}

// What a screen reader hears of: every headline that comes on the band, even one that comes
// round again, but a status text only when it replaces another text.
TEST_F(TickerStateTest, ANewLineIsReportedOnceAndARepeatedStatusTextNot) {
  FakeHeadlineSource feeds;
  const auto next = [&] {
    state.MarkForNextHeadline();
    return state.AdvanceHeadline(&feeds, english);
  };
  EXPECT_TRUE(next()) << "the connecting text replaces the empty start";
  EXPECT_FALSE(next()) << "the same connecting text again";
  feeds.Publish({LineWithText(u"One")});
  EXPECT_TRUE(next());
  EXPECT_TRUE(next()) << "the same headline comes round again";
  EXPECT_FALSE(state.AdvanceHeadline(&feeds, english)) << "no line was wanted";
  feeds.Publish({});
  EXPECT_TRUE(next()) << "the connecting text replaces a headline";
}

TEST_F(TickerStateTest, StepIsOnePixelBelowSpeedFourAndTwoFromIt) {
  struct Case {
    std::int32_t speed;
    std::int32_t step;
  };
  for (const Case c : {Case{-10, 1}, Case{-1, 1}, Case{0, 1}, Case{3, 1}, Case{4, 2}, Case{7, 2},
                       Case{10, 2}, Case{11, 2}}) {
    TickerState ticker;
    ticker.AdvanceHeadline(&source, english);
    for (int tick = 0; tick < 5; ++tick) ticker.IncrementFeed(c.speed);
    EXPECT_EQ(ticker.ScrollOffset(), 5 * c.step) << "speed " << c.speed;
  }
}

// The band covers the same distance per second at every DPI: over 96 ticks at 96-DPI step s the
// line moves s * dpi pixels, whatever fraction each single tick leaves.
TEST_F(TickerStateTest, StepScalesWithTheDpiAndCarriesItsFraction) {
  struct Case {
    std::int32_t speed;
    std::uint32_t dpi;
    std::int32_t afterOneTick;
    std::int32_t afterTwoTicks;
  };
  for (const Case c : {Case{0, 96, 1, 2}, Case{0, 144, 1, 3}, Case{4, 144, 3, 6},
                       Case{0, 120, 1, 2}, Case{0, 192, 2, 4}, Case{4, 0, 2, 4}}) {
    TickerState ticker;
    ticker.AdvanceHeadline(&source, english);
    ticker.IncrementFeed(c.speed, c.dpi);
    EXPECT_EQ(ticker.ScrollOffset(), c.afterOneTick) << c.speed << " at " << c.dpi;
    ticker.IncrementFeed(c.speed, c.dpi);
    EXPECT_EQ(ticker.ScrollOffset(), c.afterTwoTicks) << c.speed << " at " << c.dpi;
    for (int tick = 2; tick < 96; ++tick) ticker.IncrementFeed(c.speed, c.dpi);
    EXPECT_EQ(ticker.ScrollOffset(), ScrollStepPixels(c.speed) * UsableDpi(c.dpi));
  }
}

TEST_F(TickerStateTest, LineIsDoneOnlyWhenTheOffsetExceedsWidthPlusText) {
  state.AdvanceHeadline(&source, english);
  for (int tick = 0; tick < 90; ++tick) state.IncrementFeed(DefaultSpeechSpeed);
  state.CheckLineDone(80, 10);
  EXPECT_FALSE(state.LineDone()) << "an offset equal to width plus text is not past the border";
  state.CheckLineDone(79, 10);
  EXPECT_TRUE(state.LineDone());
  // Once done, a later frame does not bring the line back; only the next tick retires it.
  state.CheckLineDone(1000, 1000);
  EXPECT_TRUE(state.LineDone());

  // An empty text measures 0 wide: that line is done once the offset exceeds the width.
  TickerState empty;
  FakeHeadlineSource blank{{LineWithText(u"")}};
  empty.AdvanceHeadline(&blank, english);
  for (int tick = 0; tick < 81; ++tick) empty.IncrementFeed(DefaultSpeechSpeed);
  empty.CheckLineDone(80, 0);
  EXPECT_TRUE(empty.LineDone());
}

TEST_F(TickerStateTest, PauseFreezesTheBandButNotTheCycle) {
  state.AdvanceHeadline(&source, english);
  state.IncrementFeed(DefaultSpeechSpeed);
  state.Pause();
  EXPECT_TRUE(state.Paused());
  EXPECT_EQ(state.IncrementFeed(DefaultSpeechSpeed), Outcome::Unchanged);
  EXPECT_EQ(state.ScrollOffset(), 1);
  EXPECT_FALSE(state.WantsRedraw());

  // A done line is not retired while paused.
  state.CheckLineDone(0, 0);
  ASSERT_TRUE(state.LineDone());
  EXPECT_EQ(state.IncrementFeed(DefaultSpeechSpeed), Outcome::Unchanged);
  EXPECT_TRUE(state.LineDone());

  state.Pause();
  EXPECT_FALSE(state.Paused());
  EXPECT_EQ(state.IncrementFeed(DefaultSpeechSpeed), Outcome::LineRetired);

  // A delay that runs out while paused makes the next line current; it waits at the right edge.
  state.Pause();
  state.AdvanceHeadline(&source, english);
  EXPECT_EQ(state.CurrentHeadline(), LineWithText(u"Two"));
  EXPECT_EQ(state.ScrollOffset(), 0);
  EXPECT_FALSE(state.BetweenLines());
  EXPECT_EQ(state.IncrementFeed(DefaultSpeechSpeed), Outcome::Unchanged);
  EXPECT_EQ(state.ScrollOffset(), 0);
  state.Pause();
  EXPECT_EQ(state.IncrementFeed(DefaultSpeechSpeed), Outcome::Advanced);
  EXPECT_EQ(state.ScrollOffset(), 1);
}

TEST_F(TickerStateTest, AnnouncementsReplaceOnlyAWantedLine) {
  state.AdvanceHeadline(&source, english);
  for (int tick = 0; tick < 7; ++tick) state.IncrementFeed(DefaultSpeechSpeed);

  // An announcement while an ordinary line scrolls changes nothing.
  state.AdvanceHeadline(&source, english);
  EXPECT_EQ(state.CurrentHeadline(), LineWithText(u"One"));
  EXPECT_EQ(state.ScrollOffset(), 7);
  EXPECT_EQ(source.nextHeadlineCalls, 1);

  // After the lists changed, the next announcement replaces the line in mid-scroll.
  state.MarkForNextHeadline();
  state.AdvanceHeadline(&source, english);
  EXPECT_EQ(state.CurrentHeadline(), LineWithText(u"Two"));
  EXPECT_EQ(state.ScrollOffset(), 0);
  EXPECT_FALSE(state.NeedNextHeadline());

  // Without a source nothing is taken, whatever is wanted.
  state.MarkForNextHeadline();
  state.AdvanceHeadline(nullptr, english);
  EXPECT_EQ(state.CurrentHeadline(), LineWithText(u"Two"));
  EXPECT_TRUE(state.NeedNextHeadline());
}

TEST_F(TickerStateTest, StatusTextsAreRecognisedExactlyInEveryLanguage) {
  const std::u16string german = u"Verbindung wird aufgebaut...";
  const std::u16string germanNoFeeds = u"Kein Feed.";
  EXPECT_TRUE(IsStatusText(EnglishConnectingMessage, german, germanNoFeeds));
  EXPECT_TRUE(IsStatusText(EnglishNoFeedsMessage, german, germanNoFeeds));
  EXPECT_TRUE(IsStatusText(german, german, germanNoFeeds));
  EXPECT_TRUE(IsStatusText(germanNoFeeds, german, germanNoFeeds));
  for (std::u16string_view other : {u"connecting...", u"Connecting.. ", u"Connecting... ",
                                    u"Verbindung wird aufgebaut", u"", u"Kein Feed"}) {
    EXPECT_FALSE(IsStatusText(other, german, germanNoFeeds))
        << std::string(other.begin(), other.end());
  }
}

TEST_F(TickerStateTest, StatusTextStaysReplaceableWhileAnItemDoesNot) {
  const LanguageDefaults german = Language(u"de");
  ASSERT_NE(german.ConnectingMessage, EnglishConnectingMessage);

  for (const std::u16string& status :
       {german.ConnectingMessage, german.NoFeedsMessage, std::u16string(EnglishConnectingMessage),
        std::u16string(EnglishNoFeedsMessage)}) {
    FakeHeadlineSource statusSource{{LineWithText(status)}};
    TickerState ticker;
    ticker.AdvanceHeadline(&statusSource, german);
    EXPECT_EQ(ticker.CurrentHeadline().text, status);
    EXPECT_TRUE(ticker.NeedNextHeadline()) << std::string(status.begin(), status.end());
  }

  // The previous language's translation is an ordinary line once the language has changed.
  FakeHeadlineSource oldText{{LineWithText(german.ConnectingMessage)}};
  TickerState ticker;
  ticker.AdvanceHeadline(&oldText, Language(u"fr"));
  EXPECT_FALSE(ticker.NeedNextHeadline());
}

TEST_F(TickerStateTest, OnlyTheBuiltInConnectingTextIsBroughtUpToDate) {
  const std::u16string german = u"Verbindung wird aufgebaut...";
  FakeHeadlineSource lines{{LineWithText(EnglishConnectingMessage), LineWithText(u"Connecting.."),
                            LineWithText(german)}};
  state.AdvanceHeadline(&lines, english);

  // While the language is English there is nothing to translate.
  state.BringConnectingTextUpToDate(EnglishConnectingMessage);
  EXPECT_EQ(state.CurrentHeadline().text, EnglishConnectingMessage);

  // Only the text is replaced; the rest of the headline and the cycle's state stay.
  state.IncrementFeed(DefaultSpeechSpeed);
  state.BringConnectingTextUpToDate(german);
  Headline translated = LineWithText(EnglishConnectingMessage);
  translated.text = german;
  EXPECT_EQ(state.CurrentHeadline(), translated);
  EXPECT_EQ(state.ScrollOffset(), 1);

  // Texts that are not exactly the built-in one stay, an earlier translation among them.
  for (int line = 0; line < 2; ++line) {
    state.MarkForNextHeadline();
    state.AdvanceHeadline(&lines, english);
    const std::u16string before = state.CurrentHeadline().text;
    state.BringConnectingTextUpToDate(u"Connexion...");
    EXPECT_EQ(state.CurrentHeadline().text, before);
  }
}

TEST_F(TickerStateTest, EmptyDownloadManagerGivesTheConnectingRecord) {
  FeedsHeadlineSource feeds(std::make_unique<Feeds>(FeedsPlatform{}));
  state.AdvanceHeadline(&feeds, english);
  Headline connecting;
  connecting.text = std::u16string(EnglishConnectingMessage);
  EXPECT_EQ(state.CurrentHeadline(), connecting);
  EXPECT_TRUE(state.NeedNextHeadline());

  // The connecting text scrolls like a line; the next announcement takes it again, translated.
  state.IncrementFeed(DefaultSpeechSpeed);
  const LanguageDefaults italian = Language(u"it");
  state.AdvanceHeadline(&feeds, italian);
  EXPECT_EQ(state.CurrentHeadline().text, italian.ConnectingMessage);
  EXPECT_NE(state.CurrentHeadline().text, EnglishConnectingMessage);
  EXPECT_EQ(state.ScrollOffset(), 0);
  EXPECT_TRUE(state.NeedNextHeadline());
}

}  // namespace
}  // namespace tidewire
