// Byte-order mark, code page detection and the native decoders on arbitrary bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "processing/document_path.h"
#include "processing/encoding.h"
#include "processing/native_text_decoder.h"
#include "processing/utf8.h"

using tidewire::NativeTextDecoder;

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The download buffer: the body and a terminating zero.
  const std::string body(reinterpret_cast<const char*>(data), size);
  const std::string_view bytes(body);

  const std::size_t mark = tidewire::ByteOrderMarkLength(bytes);
  Check(mark <= size && (mark == 0 || mark == 2 || mark == 3 || mark == 4));
  const unsigned codePage = tidewire::DetectCodePage(bytes);
  Check(codePage == tidewire::CodePageUtf8 || codePage == tidewire::CodePageUtf7 ||
        codePage == tidewire::CodePageLegacy);

  // Every unit produced consumes at least one byte.
  const std::u16string utf8 = NativeTextDecoder::DecodeUtf8(bytes);
  const std::u16string utf7 = NativeTextDecoder::DecodeUtf7(bytes);
  const std::u16string legacy = NativeTextDecoder::DecodeWindows1252(bytes);
  Check(utf8.size() <= size && utf7.size() <= size && legacy.size() == size);

  // The UTF-8 decoder never produces an unpaired surrogate, so its output survives a round trip.
  Check(NativeTextDecoder::DecodeUtf8(tidewire::ToUtf8(utf8)) == utf8);

  const NativeTextDecoder decoder;
  const std::u16string text = tidewire::DocumentPath::Decode(bytes, decoder);
  Check(text.find(u'\0') == std::u16string::npos);
  Check(text.size() <= size);
  return 0;
}
