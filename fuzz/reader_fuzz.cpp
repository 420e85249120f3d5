// The whole document path (native decoders, libxml2, the reader and cleanup) on arbitrary bytes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "processing/document_path.h"
#include "processing/feed_reader.h"
#include "processing/libxml2_document.h"
#include "processing/native_text_decoder.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const tidewire::NativeTextDecoder decoder;
  // One path for the whole run, as the worker keeps one document for all its reads.
  static tidewire::DocumentPath path(decoder, std::make_unique<tidewire::Libxml2Document>(), [] {
    return tidewire::ClockTime{7, 5};
  });
  const std::string body(reinterpret_cast<const char*>(data), size);
  std::vector<tidewire::Headline> headlines;
  path.Read(body, headlines);
  for (const tidewire::Headline& headline : headlines) {
    Check(headline.fetchTime == u"07:05");
    Check(headline.text.size() >= 2);
    Check(!headline.title.empty() || headline.text.rfind(u". ", 0) == 0);
  }
  return 0;
}
