#pragma once
// Turns fuzzer bytes into UTF-16: a byte is one character, except that 0xFF introduces a
// little-endian code unit from the next two bytes, so any character can be reached.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tidewire::fuzz {

inline std::u16string Utf16FromFuzzBytes(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && i + 2 < size) {
      text += static_cast<char16_t>(data[i + 1] | data[i + 2] << 8);
      i += 2;
    } else {
      text += static_cast<char16_t>(data[i]);
    }
  }
  return text;
}

}  // namespace tidewire::fuzz
