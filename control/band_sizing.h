#pragma once
// How tall the ticker's window may be made: the band is 16 pixels high, the width is free.

#include <cstdint>

namespace tidewire {

inline constexpr std::int32_t BandHeight = 16;

// A sizing rectangle as the window manager proposes it, in pixels.
struct SizingRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// Limits an interactive resize to the band's height, keeping the top edge; lower heights stay.
void LimitToBandHeight(SizingRect& rect);

}  // namespace tidewire
