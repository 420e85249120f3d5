// The whole document path (native decoders, libxml2, the reader and cleanup) on arbitrary bytes;
// what it reads must be what the decoded text gives when loaded as UTF-16, the way that every
// body took before UTF-8 bodies went to the parser undecoded.

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
  static tidewire::Libxml2Document decodedDocument;
  const std::string body(reinterpret_cast<const char*>(data), size);
  std::vector<tidewire::Headline> headlines;
  path.Read(body, headlines);
  const std::u16string text = tidewire::DocumentPath::Decode(body, decoder);
  std::vector<tidewire::Headline> decoded;
  if (!text.empty()) {
    tidewire::ReadFeedDocument(&decodedDocument, text.c_str(), decoded, [] {
      return tidewire::ClockTime{7, 5};
    });
  }
  Check(headlines == decoded);
  for (const tidewire::Headline& headline : headlines) {
    Check(headline.fetchTime == u"07:05");
    Check(headline.text.size() >= 2);
    Check(!headline.title.empty() || headline.text.rfind(u". ", 0) == 0);
  }
  return 0;
}
