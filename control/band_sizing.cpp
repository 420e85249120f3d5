#include "control/band_sizing.h"

namespace tidewire {

void LimitToBandHeight(SizingRect& rect) {
  // Computed in 64 bits: a rectangle with extreme edges must not overflow the height.
  if (std::int64_t{rect.bottom} - rect.top > BandHeight) rect.bottom = rect.top + BandHeight;
}

}  // namespace tidewire
