#pragma once
// How tall the ticker's window may be made: the band is 16 pixels high at 96 DPI, scaled to the
// DPI of the window that shows it; the width is free.

#include <cstdint>

#include "control/dpi_scaling.h"

namespace tidewire {

inline constexpr std::int32_t BandHeight = 16;

// A sizing rectangle as the window manager proposes it, in pixels.
struct SizingRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// The band's height in a window of `dpi`.
constexpr std::int32_t BandHeightAt(std::uint32_t dpi) { return ScaleForDpi(BandHeight, dpi); }

// Limits an interactive resize to the band's height at `dpi`, keeping the top edge; lower
// heights stay.
void LimitToBandHeight(SizingRect& rect, std::uint32_t dpi = BaseDpi);

}  // namespace tidewire
