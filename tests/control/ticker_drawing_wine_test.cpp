// Drawing the band with real GDI under Wine: frames are drawn into 32-bit DIB sections and read
// back pixel by pixel. Where the text must be is judged against the same text drawn alone in
// the band's font and colour, so no glyph shape is written down here.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "control/ticker_drawing_win.h"
#include "control/ticker_engine_win.h"
#include "settings/language_defaults.h"
#include "tests/support/dib_picture_win.h"
#include "tests/support/fake_headline_source.h"
#include "win/com.h"
#include "win/handles.h"

namespace tidewire {
namespace {

constexpr COLORREF Black = RGB(0, 0, 0);
// The text and edge-line colours.
constexpr COLORREF Orange = 0x000080FF;
constexpr COLORREF Grey = 0x00525152;
// What the target holds where nothing may be drawn; no blend of band and text gives it.
constexpr COLORREF Untouched = RGB(200, 0, 200);

// The band's rows, top to bottom.
constexpr std::array<COLORREF, 16> BandRows = {
    RGB(82, 81, 82), RGB(41, 44, 41), RGB(0, 4, 0),    RGB(66, 69, 66),
    RGB(66, 65, 66), RGB(66, 65, 66), RGB(0, 0, 0),    RGB(24, 24, 24),
    RGB(16, 16, 16), RGB(16, 16, 16), RGB(16, 16, 16), RGB(16, 16, 16),
    RGB(16, 16, 16), RGB(0, 0, 0),    RGB(41, 40, 41), RGB(66, 65, 66)};

constexpr std::u16string_view LongLine =
    u"Harbour authorities reopen the northern channel after a week of dredging. Ferries run "
    u"again";

// A 32-bit top-down DIB section selected into a memory context, filled with one colour.
class Canvas : public testing_support::DibPicture {
 public:
  Canvas(int width, int height, COLORREF fill = Untouched) : DibPicture(width, height) {
    Fill(fill);
  }
};

// A text drawn alone at x = 0 on black in the band's font and colour: the pixels it covers fully
// must show the text colour in a frame, those it does not touch the band.
class TextPicture {
 public:
  TextPicture(HFONT font, std::u16string_view text)
      : canvas_(Width(font, text) + 16, 16, Black) {
    const ScopedSelectObject fontSelection(canvas_.Dc(), font);
    ::SetBkMode(canvas_.Dc(), TRANSPARENT);
    ::SetTextColor(canvas_.Dc(), Orange);
    ::TextOutW(canvas_.Dc(), 0, 0, WideChars(text), static_cast<int>(text.size()));
  }

  static int Width(HFONT font, std::u16string_view text) {
    const Canvas scratch(1, 1);
    const ScopedSelectObject fontSelection(scratch.Dc(), font);
    SIZE extent{};
    ::GetTextExtentPoint32W(scratch.Dc(), WideChars(text), static_cast<int>(text.size()), &extent);
    return extent.cx;
  }
  COLORREF At(int x, int y) const {
    return x >= 0 && x < canvas_.Width() ? canvas_.Pixel(x, y) : Black;
  }

 private:
  Canvas canvas_;
};

// Columns [from, to) of a frame whose bounds start at `origin` show the band, with `text` at
// x = textX where it covers a pixel fully, and the band wherever it does not touch one.
::testing::AssertionResult ShowsBandWithText(const Canvas& frame, POINT origin, int from, int to,
                                             const TextPicture* text, int textX) {
  for (int y = 0; y < 16; ++y) {
    for (int x = from; x < to; ++x) {
      const COLORREF ink = text != nullptr ? text->At(x - textX, y) : Black;
      // A pixel at the edge of a glyph, partly covered, blends with what lies below it.
      if (ink != Black && ink != Orange) continue;
      const COLORREF want = ink == Black ? BandRows[y] : Orange;
      const COLORREF got = frame.Pixel(origin.x + x, origin.y + y);
      if (got != want) {
        return ::testing::AssertionFailure() << "column " << x << " row " << y << ": 0x"
                                             << std::hex << got << " instead of 0x" << want;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

int CountTextPixels(const Canvas& frame) {
  int count = 0;
  for (int y = 0; y < frame.Height(); ++y) {
    for (int x = 0; x < frame.Width(); ++x) count += frame.Pixel(x, y) == Orange;
  }
  return count;
}

class DrawingWineTest : public ::testing::Test {
 protected:
  void SetUp() override { ProcessLanguageDefaults().SetLanguage(u"en"); }
  void TearDown() override { ProcessLanguageDefaults().SetLanguage(u"en"); }

  // An engine whose source hands out `lines` (the connecting record if there are none); the
  // first line is current, at offset 0.
  static std::unique_ptr<TickerEngine> MakeEngine(std::vector<Headline> lines) {
    return std::make_unique<TickerEngine>(
        [lines](HWND) { return std::make_unique<FakeHeadlineSource>(lines); });
  }
  static void Tick(TickerEngine& engine, int ticks) {
    for (int tick = 0; tick < ticks; ++tick) engine.IncrementFeed();
  }
  static void Draw(TickerEngine& engine, const Canvas& canvas, const RECT& bounds) {
    EXPECT_EQ(DrawTicker(engine, canvas.Dc(), bounds), S_OK);
  }
  // Every pixel of the canvas outside `bounds` still holds its fill.
  static ::testing::AssertionResult OutsideUntouched(const Canvas& canvas, const RECT& bounds) {
    for (int y = 0; y < canvas.Height(); ++y) {
      for (int x = 0; x < canvas.Width(); ++x) {
        const bool inside = x >= bounds.left && x < bounds.right && y >= bounds.top &&
                            y < bounds.bottom;
        if (!inside && canvas.Pixel(x, y) != Untouched) {
          return ::testing::AssertionFailure() << "pixel " << x << ", " << y << " was painted";
        }
      }
    }
    return ::testing::AssertionSuccess();
  }
  static void ExpectEdgeLines(const Canvas& canvas, const RECT& bounds) {
    for (int y = bounds.top; y < bounds.bottom; ++y) {
      EXPECT_EQ(canvas.Pixel(bounds.left, y), Grey) << "left line, row " << y;
      if (y > bounds.top) {
        EXPECT_EQ(canvas.Pixel(bounds.right - 1, y), Grey) << "right line, row " << y;
      }
    }
  }
};

TEST_F(DrawingWineTest, FrameIsTheBandAcrossTheBoundsBetweenTwoEdgeLines) {
  const auto engine = MakeEngine({LineWithText(u"Tidewire")});
  const Canvas canvas(220, 24);
  const RECT bounds{7, 3, 207, 19};
  Draw(*engine, canvas, bounds);

  // At offset 0 the text starts just beyond the right border.
  EXPECT_TRUE(ShowsBandWithText(canvas, {7, 3}, 1, 199, nullptr, 0));
  ExpectEdgeLines(canvas, bounds);
  EXPECT_TRUE(OutsideUntouched(canvas, bounds));

  // The container's context keeps transparent text and no clip region of ours.
  EXPECT_EQ(::GetBkMode(canvas.Dc()), TRANSPARENT);
  const UniqueGdiObject<HRGN> clip(::CreateRectRgn(0, 0, 0, 0));
  EXPECT_EQ(::GetClipRgn(canvas.Dc(), clip.Get()), 0);
}

// A container whose context has a moved origin (a scrolled form) and a clip of its own: the
// band goes where the bounds are in device units, only within the container's clip, and the
// container gets its clip back.
TEST_F(DrawingWineTest, ClipFollowsTheTargetsMappingAndTheContainersClipIsKept) {
  const auto engine = MakeEngine({LineWithText(u"Tidewire")});
  const Canvas canvas(240, 30);
  ::SetViewportOrgEx(canvas.Dc(), 30, 7, nullptr);
  const UniqueGdiObject<HRGN> containerClip(::CreateRectRgn(0, 0, 150, 30));
  ::SelectClipRgn(canvas.Dc(), containerClip.Get());
  Draw(*engine, canvas, {0, 0, 200, 16});

  EXPECT_TRUE(ShowsBandWithText(canvas, {30, 7}, 1, 120, nullptr, 0));
  EXPECT_TRUE(OutsideUntouched(canvas, {30, 7, 150, 23}));
  const UniqueGdiObject<HRGN> after(::CreateRectRgn(0, 0, 0, 0));
  ASSERT_EQ(::GetClipRgn(canvas.Dc(), after.Get()), 1);
  EXPECT_TRUE(::EqualRgn(after.Get(), containerClip.Get()));

  // An empty clip shows nothing and stays empty.
  const Canvas hidden(240, 30);
  const UniqueGdiObject<HRGN> empty(::CreateRectRgn(0, 0, 0, 0));
  ::SelectClipRgn(hidden.Dc(), empty.Get());
  Draw(*engine, hidden, {0, 0, 200, 16});
  EXPECT_TRUE(OutsideUntouched(hidden, {0, 0, 0, 0}));
  RECT box{1, 1, 1, 1};
  ASSERT_EQ(::GetClipRgn(hidden.Dc(), after.Get()), 1);
  EXPECT_EQ(::GetRgnBox(after.Get(), &box), NULLREGION);
}

// The rows of a frame that hold text.
std::pair<int, int> TextRows(const Canvas& frame) {
  int first = frame.Height();
  int last = -1;
  for (int y = 0; y < frame.Height(); ++y) {
    for (int x = 0; x < frame.Width(); ++x) {
      if (frame.Pixel(x, y) != Orange) continue;
      first = std::min(first, y);
      last = std::max(last, y);
    }
  }
  return {first, last};
}

// At 144 DPI every size is half as large again: the band 24 rows high, the text, the end lines
// two columns wide, the composition minimum 120 columns, and the step per tick.
TEST_F(DrawingWineTest, AtAnotherDpiEverySizeOfTheBandIsScaled) {
  const auto engine = MakeEngine({LineWithText(u"Tidewire news")});
  const Canvas canvas(300, 30);
  EXPECT_EQ(DrawTicker(*engine, canvas.Dc(), {0, 0, 300, 30}, 144), S_OK);
  for (int y = 0; y < 30; ++y) {
    const COLORREF got = canvas.Pixel(150, y);
    if (y >= 24) {
      EXPECT_EQ(got, Black) << "row " << y;
    } else {
      // Row y shows source row 2y/3, rounded either way.
      EXPECT_TRUE(got == BandRows[y * 2 / 3] || got == BandRows[std::min(15, (y * 2 + 2) / 3)])
          << "row " << y;
    }
    for (int x : {0, 1}) EXPECT_EQ(canvas.Pixel(x, y), Grey) << "left line " << x << ", " << y;
    if (y > 0) {
      for (int x : {298, 299}) EXPECT_EQ(canvas.Pixel(x, y), Grey) << "right line " << x;
    }
  }

  Tick(*engine, 2);
  EXPECT_EQ(engine->State().ScrollOffset(), 3) << "1.5 pixels a tick, the half carried";

  const auto reference = MakeEngine({LineWithText(u"Tidewire news")});
  Tick(*engine, 58);
  Tick(*reference, 60);
  const Canvas scaled(300, 30);
  const Canvas normal(300, 30);
  EXPECT_EQ(DrawTicker(*engine, scaled.Dc(), {0, 0, 300, 30}, 144), S_OK);
  Draw(*reference, normal, {0, 0, 300, 30});
  const auto [scaledTop, scaledBottom] = TextRows(scaled);
  const auto [normalTop, normalBottom] = TextRows(normal);
  ASSERT_LT(normalTop, normalBottom);
  EXPECT_GE((scaledBottom - scaledTop + 1) * 4, (normalBottom - normalTop + 1) * 5)
      << "text rows " << scaledTop << ".." << scaledBottom << " against " << normalTop << ".."
      << normalBottom;

  // Narrower than the scaled minimum: the frame is composed wider, its right line unseen.
  const Canvas narrow(100, 24);
  EXPECT_EQ(DrawTicker(*engine, narrow.Dc(), {0, 0, 100, 24}, 144), S_OK);
  EXPECT_NE(narrow.Pixel(99, 10), Grey);
}

// Under high contrast (a stand-in for the user's setting, which Wine cannot switch on) the
// frame is the system's window colour all over, the end lines its text colour, and the text the
// link colour for a line that opens, else the text colour.
TEST_F(DrawingWineTest, HighContrastDrawsInTheSystemsColoursWithoutThePattern) {
  Headline linked = LineWithText(u"Tidewire news");
  linked.link = u"http://example.test/news";
  Headline unlinked = linked;
  unlinked.link.clear();
  struct Case {
    Headline line;
    int textColour;
  };
  for (const Case& drawn : {Case{linked, COLOR_HOTLIGHT},
                            Case{unlinked, COLOR_WINDOWTEXT}}) {
    const auto engine = MakeEngine({drawn.line});
    engine->SetHighContrastQuery([] { return true; });
    Tick(*engine, 130);
    const Canvas canvas(300, 30);
    Draw(*engine, canvas, {0, 0, 300, 30});
    const COLORREF background = ::GetSysColor(COLOR_WINDOW);
    const COLORREF text = ::GetSysColor(drawn.textColour);
    ASSERT_NE(text, background);
    int textPixels = 0;
    for (int y = 0; y < 30; ++y) {
      EXPECT_EQ(canvas.Pixel(0, y), ::GetSysColor(COLOR_WINDOWTEXT)) << "left line, row " << y;
      for (int x = 2; x < 298; ++x) {
        const COLORREF got = canvas.Pixel(x, y);
        textPixels += got == text;
        // Nothing of the band's own colours; glyph edges may blend the two system colours.
        ASSERT_NE(got, Orange) << x << ", " << y;
        if (y >= 16 || x < 100) {
          ASSERT_EQ(got, background) << x << ", " << y;
        }
      }
    }
    EXPECT_GT(textPixels, 20) << "text colour " << drawn.textColour;
  }
}

TEST_F(DrawingWineTest, TextIsDrawnInItsColourAtWidthMinusOffset) {
  const auto engine = MakeEngine({LineWithText(u"Tidewire news")});
  const TextPicture text(engine->StripFont(), u"Tidewire news");
  Tick(*engine, 130);
  const Canvas canvas(220, 24);
  Draw(*engine, canvas, {7, 3, 207, 19});
  EXPECT_GT(CountTextPixels(canvas), 20);
  EXPECT_TRUE(ShowsBandWithText(canvas, {7, 3}, 1, 199, &text, 200 - 130));
}

TEST_F(DrawingWineTest, LongLineEntersAtTheRightBorderAndIsDoneOnceItHasLeft) {
  const auto engine = MakeEngine({LineWithText(LongLine)});
  const TextPicture text(engine->StripFont(), LongLine);
  const int textWidth = TextPicture::Width(engine->StripFont(), LongLine);
  ASSERT_GT(textWidth, 400);
  ASSERT_LT(textWidth, 600);

  // A tick, then a frame, as the timer and the container do; the first frame puts the text at
  // x = 199. Every frame shows it where the offset says until one finds it gone.
  int ticks = 0;
  while (!engine->State().LineDone() && ticks < 2000) {
    Tick(*engine, 1);
    ++ticks;
    const Canvas canvas(200, 16);
    Draw(*engine, canvas, {0, 0, 200, 16});
    ASSERT_TRUE(ShowsBandWithText(canvas, {0, 0}, 1, 199, &text, 200 - ticks))
        << "offset " << ticks;
  }
  EXPECT_EQ(ticks, 200 + textWidth + 1);

  // The next tick retires the line; the band then waits without text and stands still.
  Tick(*engine, 1);
  ASSERT_TRUE(engine->State().BetweenLines());
  for (int frame = 0; frame < 3; ++frame) {
    Tick(*engine, 1);
    const Canvas canvas(200, 16);
    Draw(*engine, canvas, {0, 0, 200, 16});
    EXPECT_TRUE(ShowsBandWithText(canvas, {0, 0}, 1, 199, nullptr, 0));
    EXPECT_EQ(CountTextPixels(canvas), 0);
  }
  EXPECT_EQ(engine->State().ScrollOffset(), 0);
  EXPECT_FALSE(engine->State().LineDone());
}

TEST_F(DrawingWineTest, NarrowControlIsComposedEightyWideButPaintsOnlyItsBounds) {
  const auto engine = MakeEngine({LineWithText(u"Tidewire news")});
  const TextPicture text(engine->StripFont(), u"Tidewire news");
  const int textWidth = TextPicture::Width(engine->StripFont(), u"Tidewire news");
  const RECT bounds{10, 4, 60, 20};
  Tick(*engine, 45);
  const Canvas canvas(100, 24);
  Draw(*engine, canvas, bounds);

  // The text stands at 80 - 45 of the wider frame; its last visible column has no edge line.
  EXPECT_TRUE(ShowsBandWithText(canvas, {10, 4}, 1, 50, &text, 80 - 45));
  EXPECT_TRUE(OutsideUntouched(canvas, bounds));
  for (int y = bounds.top; y < bounds.bottom; ++y) {
    EXPECT_EQ(canvas.Pixel(bounds.left, y), Grey) << "left line, row " << y;
  }

  // The line is done by the width of the composed frame.
  Tick(*engine, 80 + textWidth - 45);
  Draw(*engine, canvas, bounds);
  EXPECT_FALSE(engine->State().LineDone());
  Tick(*engine, 1);
  Draw(*engine, canvas, bounds);
  EXPECT_TRUE(engine->State().LineDone());
}

TEST_F(DrawingWineTest, TallControlLeavesTheRowsBelowTheBandBlack) {
  const auto engine = MakeEngine({LineWithText(u"Tidewire news")});
  const TextPicture text(engine->StripFont(), u"Tidewire news");
  const RECT bounds{0, 0, 200, 24};
  Tick(*engine, 60);
  const Canvas canvas(200, 30);
  Draw(*engine, canvas, bounds);

  EXPECT_TRUE(ShowsBandWithText(canvas, {0, 0}, 1, 199, &text, 200 - 60));
  for (int y = 16; y < 24; ++y) {
    for (int x = 1; x < 199; ++x) ASSERT_EQ(canvas.Pixel(x, y), Black) << x << ", " << y;
  }
  ExpectEdgeLines(canvas, bounds);
  EXPECT_TRUE(OutsideUntouched(canvas, bounds));
}

// A frame composed the way every frame once was, afresh: a new memory context and bitmap, the
// pattern stretched into it, the text drawn, the whole copied, the end lines on the target.
void ComposeAfresh(TickerEngine& engine, HDC target, const RECT& bounds) {
  const std::u16string& line = engine.State().CurrentHeadline().text;
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  const UniqueCreatedDc memory = CreateStripDC(target);
  const UniqueGdiObject<HBITMAP> frame(::CreateCompatibleBitmap(target, width, height));
  {
    const ScopedSelectObject frameSelection(memory.Get(), frame.Get());
    const ScopedSelectObject fontSelection(memory.Get(), engine.StripFont());
    {
      const UniqueCreatedDc pattern = CreateStripDC(target);
      const ScopedSelectObject patternSelection(pattern.Get(), engine.StripBackground());
      ::StretchBlt(memory.Get(), 0, 0, width, 16, pattern.Get(), 0, 0, PatternSourceWidth, 16,
                   SRCCOPY);
    }
    ::TextOutW(memory.Get(), width - engine.State().ScrollOffset(), 0, WideChars(line),
               static_cast<int>(line.size()));
    ::BitBlt(target, bounds.left, bounds.top, width, height, memory.Get(), 0, 0, SRCCOPY);
  }
  DrawEdgeLines(target, bounds);
}

// Frames drawn on kept surfaces are the frames composed afresh, pixel for pixel, through a run of
// ticks, a change of size and a change of the target's format.
TEST_F(DrawingWineTest, FramesOnKeptSurfacesEqualFramesComposedAfresh) {
  const auto engine = MakeEngine({LineWithText(LongLine)});
  struct Step {
    int width;
    int height;
    bool screenFormat;  // a bitmap compatible with the screen, else a 32-bit DIB section
  };
  for (const Step step : {Step{300, 16, false}, Step{300, 16, false}, Step{300, 24, false},
                          Step{120, 24, false}, Step{300, 16, true}, Step{300, 16, false}}) {
    for (int frame = 0; frame < 5; ++frame) {
      Tick(*engine, 37);
      const RECT bounds{0, 0, step.width, step.height};
      const Canvas kept(step.width, step.height, Black);
      const Canvas afresh(step.width, step.height, Black);
      if (step.screenFormat) {
        // Drawn into a screen-compatible bitmap, then read back through the DIBs.
        const WindowDc screen(nullptr);
        for (const Canvas* canvas : {&kept, &afresh}) {
          const UniqueGdiObject<HBITMAP> bitmap(
              ::CreateCompatibleBitmap(screen.Get(), step.width, step.height));
          const UniqueCreatedDc dc(::CreateCompatibleDC(screen.Get()));
          const ScopedSelectObject selection(dc.Get(), bitmap.Get());
          if (canvas == &kept) {
            DrawTicker(*engine, dc.Get(), bounds);
          } else {
            ComposeAfresh(*engine, dc.Get(), bounds);
          }
          ::BitBlt(canvas->Dc(), 0, 0, step.width, step.height, dc.Get(), 0, 0, SRCCOPY);
        }
      } else {
        ComposeAfresh(*engine, afresh.Dc(), bounds);
        Draw(*engine, kept, bounds);
      }
      ASSERT_TRUE(kept == afresh) << step.width << " x " << step.height << ", frame " << frame;
    }
  }
}

TEST_F(DrawingWineTest, PausedBandShowsTheSameFrameWhateverTheTicks) {
  const auto engine = MakeEngine({LineWithText(u"Tidewire news")});
  Tick(*engine, 60);
  const Canvas before(200, 16);
  Draw(*engine, before, {0, 0, 200, 16});
  ASSERT_GT(CountTextPixels(before), 0);

  engine->Pause();
  Tick(*engine, 10);
  const Canvas after(200, 16);
  Draw(*engine, after, {0, 0, 200, 16});
  EXPECT_TRUE(before == after);
}

TEST_F(DrawingWineTest, ConnectingTextIsDrawnInTheCurrentLanguage) {
  const auto engine = MakeEngine({});
  ASSERT_EQ(engine->State().CurrentHeadline().text, EnglishConnectingMessage);
  ProcessLanguageDefaults().SetLanguage(u"de");
  const std::u16string german = ProcessLanguageDefaults().ConnectingMessage();
  ASSERT_NE(german, EnglishConnectingMessage);

  const TextPicture text(engine->StripFont(), german);
  Tick(*engine, 150);
  const Canvas canvas(200, 16);
  Draw(*engine, canvas, {0, 0, 200, 16});
  EXPECT_EQ(engine->State().CurrentHeadline().text, german);
  EXPECT_TRUE(ShowsBandWithText(canvas, {0, 0}, 1, 199, &text, 200 - 150));
}

}  // namespace
}  // namespace tidewire
