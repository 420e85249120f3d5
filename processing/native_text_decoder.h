#pragma once
// Our own UTF-8, UTF-7 and Windows-1252 decoders. They give the UTF-16 that the Windows
// converter (flags 0) gives on our machines, malformed input included, so that the native build
// reads feeds exactly as the Windows build does.

#include <string>
#include <string_view>

#include "processing/text_decoder.h"

namespace tidewire {

class NativeTextDecoder final : public TextDecoder {
 public:
  // Code page 0 is read as Windows-1252. Other code pages produce nothing.
  std::u16string Decode(unsigned codePage, const char* bytes) const override;

  // The conversions of exactly `bytes`, zeros included.
  //
  // UTF-8: every malformed sequence becomes one U+FFFD. A sequence ends at the first byte that
  // cannot continue it (that byte starts the next sequence); an overlong form, an encoded
  // surrogate or a value above U+10FFFF is rejected at the byte that makes it so. A lead byte
  // whose sequence would run past the end ends the conversion with one U+FFFD.
  static std::u16string DecodeUtf8(std::string_view bytes);
  // UTF-7: "+" opens a base64 run of UTF-16 units, "+-" is a plus sign. A run ends at a "-"
  // (which is dropped) or at any byte outside the base64 alphabet; unfinished bits are dropped,
  // except when a byte above 0x7F ends the run: then they carry over into the next run. Bytes
  // outside runs pass through as code points U+0000 to U+00FF.
  static std::u16string DecodeUtf7(std::string_view bytes);
  // Windows-1252, with the five unassigned bytes 81, 8D, 8F, 90 and 9D mapped to the control
  // characters of the same value.
  static std::u16string DecodeWindows1252(std::string_view bytes);
};

}  // namespace tidewire
