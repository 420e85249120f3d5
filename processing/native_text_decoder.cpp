#include "processing/native_text_decoder.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "processing/encoding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tidewire {
namespace {

constexpr char16_t Replacement = u'\uFFFD';

// Continuation bytes that follow a UTF-8 lead byte; 0 for bytes that cannot start a sequence.
int FollowingBytes(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return 0;
}

// Appends the next continuation byte to `value`; false when bytes[pos] is no continuation byte.
bool TakeContinuation(std::string_view bytes, std::size_t pos, std::int32_t& value) {
  const auto byte = static_cast<unsigned char>(bytes[pos]);
  if ((byte & 0xC0) != 0x80) return false;
  value = (value << 6) | (byte & 0x3F);
  return true;
}

// Decodes the sequence whose lead byte was just consumed, advancing `pos` over the continuation
// bytes it accepts. A fault is detected at the byte that shows it: the bytes consumed up to then
// belong to the rejected sequence, the rest start the next one. Returns the code point, or -1.
std::int32_t DecodeSequence(std::string_view bytes, std::size_t& pos, unsigned char lead,
                            int follow) {
  std::int32_t value = 0;
  switch (follow) {
    case 1:
      value = lead & 0x1F;
      if (!TakeContinuation(bytes, pos, value)) return -1;
      ++pos;
      return value;
    case 2:
      value = lead & 0x0F;
      if (!TakeContinuation(bytes, pos, value)) return -1;
      ++pos;
      if (value < (0x800 >> 6)) return -1;                              // overlong
      if (value >= (0xD800 >> 6) && value <= (0xDFFF >> 6)) return -1;  // encoded surrogate
      if (!TakeContinuation(bytes, pos, value)) return -1;
      ++pos;
      return value;
    case 3:
      value = lead & 0x07;
      if (!TakeContinuation(bytes, pos, value)) return -1;
      ++pos;
      if (value < (0x10000 >> 12)) return -1;  // overlong
      if (!TakeContinuation(bytes, pos, value)) return -1;
      if (value >= (0x110000 >> 6)) return -1;  // above U+10FFFF; this byte is not consumed
      ++pos;
      if (!TakeContinuation(bytes, pos, value)) return -1;
      ++pos;
      return value;
    default: return -1;
  }
}

constexpr int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

constexpr std::array<char16_t, 32> Windows1252High = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178'};

}  // namespace

std::u16string NativeTextDecoder::Decode(unsigned codePage, const char* bytes) const {
  // The terminator takes part in the conversion, as with a source length of -1: a sequence cut
  // short by it decodes the same way as on Windows.
  const std::string_view withTerminator(bytes, std::strlen(bytes) + 1);
  std::u16string text;
  switch (codePage) {
    case CodePageUtf8: text = DecodeUtf8(withTerminator); break;
    case CodePageUtf7: text = DecodeUtf7(withTerminator); break;
    case CodePageLegacy: text = DecodeWindows1252(withTerminator); break;
    default: return {};
  }
  if (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

std::u16string NativeTextDecoder::DecodeUtf8(std::string_view bytes) {
  // Every unit written consumes at least one byte, so the output never outgrows the input.
  std::u16string out(bytes.size(), u'\0');
  char16_t* next = out.data();
  std::size_t pos = 0;
  while (pos < bytes.size()) {
#if defined(__SSE2__)
    // Sixteen bytes widened at a time, kept up to the first that is not ASCII: the output has
    // room for them, as it has for every byte still to come.
    while (bytes.size() - pos >= 16) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + pos));
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(next), _mm_unpacklo_epi8(block, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(next + 8), _mm_unpackhi_epi8(block, zero));
      const auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
      const int ascii = high == 0 ? 16 : std::countr_zero(high);
      next += ascii;
      pos += static_cast<std::size_t>(ascii);
      if (high != 0) break;
    }
    if (pos == bytes.size()) break;
#endif
    const auto lead = static_cast<unsigned char>(bytes[pos++]);
    if (lead < 0x80) {
      *next++ = lead;
      continue;
    }
    const int follow = FollowingBytes(lead);
    if (static_cast<std::size_t>(follow) > bytes.size() - pos) {
      // The sequence would run past the end: it swallows the rest.
      *next++ = Replacement;
      break;
    }
    const std::int32_t value = follow == 0 ? -1 : DecodeSequence(bytes, pos, lead, follow);
    if (value < 0) {
      *next++ = Replacement;
    } else if (value < 0x10000) {
      *next++ = static_cast<char16_t>(value);
    } else {
      *next++ = static_cast<char16_t>(0xD800 | ((value - 0x10000) >> 10));
      *next++ = static_cast<char16_t>(0xDC00 | (value & 0x3FF));
    }
  }
  out.resize(static_cast<std::size_t>(next - out.data()));
  return out;
}

std::u16string NativeTextDecoder::DecodeUtf7(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  std::uint32_t bits = 0;
  int pending = 0;  // bits of `bits` not yet emitted
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (bytes[pos] != '+') {
      out.push_back(static_cast<unsigned char>(bytes[pos++]));
      continue;
    }
    if (++pos >= bytes.size()) break;
    if (bytes[pos] == '-') {
      out.push_back(u'+');
      ++pos;
      continue;
    }
    do {
      const char c = bytes[pos];
      if (c == '-') {
        ++pos;
        pending = 0;
        break;
      }
      // A byte above 0x7F ends the run without dropping its unfinished bits.
      if (static_cast<unsigned char>(c) >= 0x80) break;
      const int sextet = Base64Value(c);
      if (sextet < 0) {
        pending = 0;
        break;
      }
      bits = (bits << 6) | static_cast<std::uint32_t>(sextet);
      pending += 6;
      if (pending >= 16) {
        out.push_back(static_cast<char16_t>((bits >> (pending - 16)) & 0xFFFF));
        pending -= 16;
      }
      ++pos;
    } while (pos < bytes.size());
  }
  return out;
}

std::u16string NativeTextDecoder::DecodeWindows1252(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    out[i] = byte >= 0x80 && byte < 0xA0 ? Windows1252High[byte - 0x80] : char16_t{byte};
  }
  return out;
}

}  // namespace tidewire
