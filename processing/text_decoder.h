#pragma once
// Decoding of downloaded bytes into UTF-16 for the three code pages a feed can select
// (see encoding.h). The Windows build uses the system's converter, the native build our own.

#include <string>

namespace tidewire {

class TextDecoder {
 public:
  virtual ~TextDecoder() = default;

  // Converts the zero-terminated `bytes` from `codePage` (65001, 65000 or 0), terminator
  // included, measuring the result first. Returns what the conversion produced, without a
  // terminating zero; a conversion that produces nothing gives the empty string. Invalid
  // sequences do not stop the conversion. The result can hold zeros that the bytes encode.
  virtual std::u16string Decode(unsigned codePage, const char* bytes) const = 0;
};

}  // namespace tidewire
