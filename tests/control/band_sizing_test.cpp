#include "control/band_sizing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tidewire {
namespace {

SizingRect Sized(SizingRect rect, std::uint32_t dpi = BaseDpi) {
  LimitToBandHeight(rect, dpi);
  return rect;
}

TEST(BandSizingTest, HeightIsLimitedToTheBandAndWidthIsFree) {
  const SizingRect tall = Sized({10, 20, 900, 60});
  EXPECT_EQ(tall.left, 10);
  EXPECT_EQ(tall.top, 20);
  EXPECT_EQ(tall.right, 900);
  EXPECT_EQ(tall.bottom, 36);

  EXPECT_EQ(Sized({0, 0, 50, 10}).bottom, 10) << "lower than the band is allowed";
  EXPECT_EQ(Sized({0, 0, 50, 16}).bottom, 16);
  EXPECT_EQ(Sized({0, 0, 50, 17}).bottom, 16);
  EXPECT_EQ(Sized({0, -100, 50, 0}).bottom, -84);
  EXPECT_EQ(Sized({0, 30, 50, 20}).bottom, 20) << "an inverted rectangle is left alone";
}

TEST(BandSizingTest, SizesScaleWithTheDpiAsMulDivRounds) {
  struct Case {
    std::int32_t pixels;
    std::uint32_t dpi;
    std::int32_t scaled;
  };
  for (const Case c : {Case{16, 96, 16}, Case{16, 120, 20}, Case{16, 144, 24}, Case{16, 192, 32},
                       Case{-11, 96, -11}, Case{-11, 144, -17}, Case{-11, 120, -14},
                       Case{3, 144, 5}, Case{1, 120, 1}, Case{1, 144, 2}, Case{200, 144, 300},
                       Case{16, 0, 16}, Case{16, 100000, 16},
                       Case{std::numeric_limits<std::int32_t>::max(), 192,
                            std::numeric_limits<std::int32_t>::max()}}) {
    EXPECT_EQ(ScaleForDpi(c.pixels, c.dpi), c.scaled) << c.pixels << " at " << c.dpi;
  }
  EXPECT_EQ(ScaleLineWidth(1, 72), 1) << "a line never vanishes";
  EXPECT_EQ(RescaleForDpi(600, 144, 96), 400);
  EXPECT_EQ(RescaleForDpi(301, 192, 144), 226);
  EXPECT_EQ(Sized({0, 0, 50, 40}, 144).bottom, 24);
  EXPECT_EQ(Sized({0, 0, 50, 40}, 192).bottom, 32);
}

TEST(BandSizingTest, ExtremeEdgesDoNotOverflow) {
  constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(Sized({0, lowest, 0, highest}).bottom, lowest + 16);
  EXPECT_EQ(Sized({0, highest - 4, 0, highest}).bottom, highest);
}

}  // namespace
}  // namespace tidewire
