// frame_bench_win: what one frame of the band costs. DrawTicker composes every frame afresh (two
// memory contexts, a frame bitmap, the pattern stretched, the text measured and drawn, the copy,
// the edge lines), so this is the price of every scroll tick. Measured at 200 and 1,920 pixels
// wide, into a container's back buffer of two kinds: a bitmap compatible with the screen, and a
// 32-bit DIB section. Prints microseconds per frame and the share of the default 40 ms tick.

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_harness.h"
#include "control/ticker_drawing_win.h"
#include "control/ticker_engine_win.h"
#include "win/handles.h"

#include "dib_picture_win.h"
#include "fake_headline_source.h"

namespace {

using tidewire::DrawTicker;
using tidewire::ScopedSelectObject;
using tidewire::TickerEngine;
using tidewire::UniqueCreatedDc;
using tidewire::UniqueGdiObject;

constexpr std::u16string_view Line =
    u"Harbour authorities reopen the northern channel after a week of dredging. Ferries to the "
    u"islands run again from Monday, with extra sailings at the weekend.";
constexpr int FramesPerRun = 200;
constexpr int Height = 16;

HBITMAP MakeDibSection(int width) {
  void* bits = nullptr;
  return tidewire::testing_support::CreateDib32(width, Height, &bits);
}

HBITMAP MakeScreenBitmap(int width) {
  const tidewire::WindowDc screen(nullptr);
  return screen ? ::CreateCompatibleBitmap(screen.Get(), width, Height) : nullptr;
}

void MeasureFrames(const char* kind, HBITMAP backBuffer, int width) {
  if (backBuffer == nullptr) {
    std::printf("%s, %d px: no such bitmap here\n", kind, width);
    return;
  }
  const UniqueGdiObject<HBITMAP> bitmap(backBuffer);
  const UniqueCreatedDc target(::CreateCompatibleDC(nullptr));
  const ScopedSelectObject selection(target.Get(), bitmap.Get());

  TickerEngine engine([](HWND) {
    return std::make_unique<tidewire::FakeHeadlineSource>(
        std::vector<tidewire::Headline>{tidewire::LineWithText(Line)});
  });
  // The line's head in the middle of the band, held there: every frame draws the same picture.
  for (int tick = 0; tick < width / 2; ++tick) engine.IncrementFeed();
  engine.Pause();

  const RECT bounds{0, 0, width, Height};
  const tidewire::bench::Result result = tidewire::bench::Measure([&] {
    for (int frame = 0; frame < FramesPerRun; ++frame) DrawTicker(engine, target.Get(), bounds);
  });
  const std::string name = std::string(kind) + ", " + std::to_string(width) + " px, " +
                           std::to_string(FramesPerRun) + " frames";
  tidewire::bench::Report(name, result);
  const double perFrame = result.bestSeconds / FramesPerRun;
  std::printf("  %.1f us per frame, %.3f %% of a 40 ms tick\n", perFrame * 1e6,
              100.0 * perFrame / 0.040);
}

}  // namespace

int main() {
  for (const int width : {200, 1920}) {
    MeasureFrames("screen-compatible bitmap", MakeScreenBitmap(width), width);
    MeasureFrames("32-bit DIB section", MakeDibSection(width), width);
  }
  return 0;
}
