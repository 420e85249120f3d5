#include "processing/utf8.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tidewire {

std::string ToUtf8(std::u16string_view text) {
  if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
    return std::string(text.begin(), text.end());
  }
  // At most three bytes per unit (a surrogate pair takes four for two), written in place.
  std::string buffer(3 * text.size(), '\0');
  char* next = buffer.data();
  const auto put = [&next](char c) { *next++ = c; };
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDFFF) {
      const bool paired =
          c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
      if (paired) {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
      } else {
        c = 0xFFFD;
      }
    }
    if (c < 0x80) {
      put(static_cast<char>(c));
    } else if (c < 0x800) {
      put(static_cast<char>(0xC0 | (c >> 6)));
      put(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      put(static_cast<char>(0xE0 | (c >> 12)));
      put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      put(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      put(static_cast<char>(0xF0 | (c >> 18)));
      put(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      put(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  buffer.resize(static_cast<std::size_t>(next - buffer.data()));
  return buffer;
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* next = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* const end = next + bytes.size();
  while (next != end) {
    // ASCII sixteen (or eight) bytes at a time, up to the first byte that is not.
#if defined(__SSE2__)
    if (end - next >= 16) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(next));
      const auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
      next += high == 0 ? 16 : std::countr_zero(high);
      if (high == 0) continue;
    }
#else
    if (end - next >= 8) {
      std::uint64_t block;
      std::memcpy(&block, next, sizeof block);
      const std::uint64_t high = block & 0x8080808080808080u;
      static_assert(std::endian::native == std::endian::little);
      next += high == 0 ? 8 : std::countr_zero(high) / 8;
      if (high == 0) continue;
    }
#endif
    const unsigned char lead = *next++;
    if (lead < 0x80) continue;
    int follow = 0;
    unsigned char low = 0x80;  // bounds of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      follow = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      follow = 2;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      follow = 3;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (end - next < follow || *next < low || *next > high) return false;
    for (int k = 1; k < follow; ++k) {
      if ((next[k] & 0xC0) != 0x80) return false;
    }
    next += follow;
  }
  return true;
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  std::size_t pos = 0;
  // Eight bytes at a time: the top bit of each byte, shifted within it, tells its kind.
  constexpr std::uint64_t Tops = 0x8080808080808080u;
  for (; text.size() - pos >= 8; pos += 8) {
    std::uint64_t block;
    std::memcpy(&block, text.data() + pos, sizeof block);
    const std::uint64_t continuation = block & ~(block << 1) & Tops;
    const std::uint64_t fourByteLead = block & (block << 1) & (block << 2) & (block << 3) & Tops;
    units += 8 - static_cast<std::size_t>(std::popcount(continuation)) +
             static_cast<std::size_t>(std::popcount(fourByteLead));
  }
  for (const char c : text.substr(pos)) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) ++units;  // every lead byte starts one unit
    if (byte >= 0xF0) ++units;           // four-byte forms need a surrogate pair
  }
  return units;
}

}  // namespace tidewire
