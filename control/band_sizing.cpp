#include "control/band_sizing.h"

namespace tidewire {

void LimitToBandHeight(SizingRect& rect, std::uint32_t dpi) {
  const std::int32_t height = BandHeightAt(dpi);
  // Computed in 64 bits: a rectangle with extreme edges must not overflow the height.
  if (std::int64_t{rect.bottom} - rect.top > height) rect.bottom = rect.top + height;
}

}  // namespace tidewire
