#pragma once
// Sizes on screens of any scaling. Every pixel size of the band, the host and the settings page
// is a size on a 96-DPI screen; a window shows it scaled to its own DPI, so that it has the same
// physical size, drawn sharply, at any scaling. At 96 DPI nothing changes.

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tidewire {

inline constexpr std::uint32_t BaseDpi = 96;

// Whether `dpi` is one a screen or a stored value can sensibly have; anything else (0 from a
// failed query, a damaged value) counts as 96.
constexpr bool IsPlausibleDpi(std::uint32_t dpi) { return dpi >= 24 && dpi <= 2400; }
constexpr std::uint32_t UsableDpi(std::uint32_t dpi) { return IsPlausibleDpi(dpi) ? dpi : BaseDpi; }

// `pixels` measured at `fromDpi` as pixels at `toDpi`, rounded to the nearest with halves away
// from zero, as MulDiv rounds; kept within 32 bits.
constexpr std::int32_t RescaleForDpi(std::int32_t pixels, std::uint32_t fromDpi,
                                     std::uint32_t toDpi) {
  const std::int64_t product = std::int64_t{pixels} * UsableDpi(toDpi);
  const std::int64_t from = UsableDpi(fromDpi);
  const std::int64_t scaled =
      product >= 0 ? (product + from / 2) / from : -((-product + from / 2) / from);
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(scaled, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max()));
}

// `pixels` of a 96-DPI screen as pixels at `dpi`: MulDiv(pixels, dpi, 96).
constexpr std::int32_t ScaleForDpi(std::int32_t pixels, std::uint32_t dpi) {
  return RescaleForDpi(pixels, BaseDpi, dpi);
}

// A line's width: scaled, and never thinner than one pixel.
constexpr std::int32_t ScaleLineWidth(std::int32_t pixels, std::uint32_t dpi) {
  return std::max<std::int32_t>(1, ScaleForDpi(pixels, dpi));
}

}  // namespace tidewire
