#pragma once
// Scanning UTF-16 text for code units, eight positions at a time where SSE2 is there (the C
// library's memchr is byte-wise, and slow in some runtimes). The matcher's literal search and the
// cleanup's literal steps share it.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "processing/pattern_matcher.h"

namespace tidewire::unit_scan {

// Offers `take` each position p in [from, end) where data[p] == first and data[p + distance] ==
// second, in increasing order, until `take` returns true; returns that position, or `end` when
// none was taken. With distance 0 (and second == first) the positions of one unit are offered.
// data[p + distance] must be readable for every p < end.
template <typename Take>
std::size_t Scan(const char16_t* data, std::size_t from, std::size_t end, char16_t first,
                 std::size_t distance, char16_t second, Take take) {
#if defined(__SSE2__)
  const __m128i wantFirst = _mm_set1_epi16(static_cast<short>(first));
  const __m128i wantSecond = _mm_set1_epi16(static_cast<short>(second));
  // Positions at[0, 8) that hold both units, as two mask bits per position.
  const auto candidates = [&](std::size_t at) {
    __m128i equal =
        _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)), wantFirst);
    if (distance != 0) {
      const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + distance));
      equal = _mm_and_si128(equal, _mm_cmpeq_epi16(tails, wantSecond));
    }
    return static_cast<std::uint32_t>(_mm_movemask_epi8(equal));
  };
  // Sixteen positions a round, where most rounds find nothing.
  for (; from + 8 <= end; from += 16) {
    std::uint32_t mask = candidates(from);
    if (from + 16 <= end) mask |= candidates(from + 8) << 16;
    for (; mask != 0; mask &= mask - 1, mask &= mask - 1) {
      const std::size_t at = from + static_cast<std::size_t>(std::countr_zero(mask)) / 2;
      if (take(at)) return at;
    }
    if (from + 16 > end) {
      from += 8;
      break;
    }
  }
#endif
  for (; from < end; ++from) {
    if (data[from] == first && data[from + distance] == second && take(from)) return from;
  }
  return end;
}

// Position of the first unit in data[from, end) that is one of `units` (a few), or `end`.
inline std::size_t FindAnyUnit(const char16_t* data, std::size_t from, std::size_t end,
                               std::u16string_view units) {
#if defined(__SSE2__)
  for (; from + 8 <= end; from += 8) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from));
    __m128i equal = _mm_setzero_si128();
    for (const char16_t unit : units) {
      equal = _mm_or_si128(equal, _mm_cmpeq_epi16(block, _mm_set1_epi16(static_cast<short>(unit))));
    }
    if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(equal)); mask != 0) {
      return from + static_cast<std::size_t>(std::countr_zero(mask)) / 2;
    }
  }
#endif
  for (; from < end; ++from) {
    if (units.find(data[from]) != std::u16string_view::npos) return from;
  }
  return end;
}

// Position of the first occurrence of `search` (not empty) in data[from, size), or NoPosition. The
// first and the last unit are tested together, so that few candidates reach the full comparison
// even when the first unit is common.
inline std::size_t FindText(const char16_t* data, std::size_t size, std::u16string_view search,
                            std::size_t from) {
  const std::size_t length = search.size();
  if (length > size) return NoPosition;
  const std::size_t starts = size - length + 1;  // positions where a match can begin
  const std::size_t found =
      Scan(data, from, starts, search.front(), length - 1, search.back(), [&](std::size_t at) {
        return std::char_traits<char16_t>::compare(data + at, search.data(), length) == 0;
      });
  return found == starts ? NoPosition : found;
}

}  // namespace tidewire::unit_scan
