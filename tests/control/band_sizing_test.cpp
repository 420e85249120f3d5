#include "control/band_sizing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tidewire {
namespace {

SizingRect Sized(SizingRect rect) {
  LimitToBandHeight(rect);
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

TEST(BandSizingTest, ExtremeEdgesDoNotOverflow) {
  constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(Sized({0, lowest, 0, highest}).bottom, lowest + 16);
  EXPECT_EQ(Sized({0, highest - 4, 0, highest}).bottom, highest);
}

}  // namespace
}  // namespace tidewire
