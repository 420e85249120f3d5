#include "processing/document_path.h"

#include <cstring>
#include <utility>

#include "processing/encoding.h"
#include "processing/feed_reader.h"

namespace tidewire {

DocumentPath::DocumentPath(const TextDecoder& decoder, std::unique_ptr<XmlDocument> document,
                           LocalClock clock)
    : decoder_(decoder), document_(std::move(document)), clock_(std::move(clock)) {}

std::u16string DocumentPath::Decode(std::string_view bytes, const TextDecoder& decoder) {
  const std::size_t mark = ByteOrderMarkLength(bytes);
  std::u16string text = decoder.Decode(DetectCodePage(bytes), bytes.data() + mark);
  // The reader takes a zero-terminated string: a decoded zero ends the document.
  if (const std::size_t zero = text.find(u'\0'); zero != std::u16string::npos) text.resize(zero);
  return text;
}

void DocumentPath::Read(std::string_view bytes, std::vector<Headline>& headlines) {
  if (document_ != nullptr && DetectCodePage(bytes) == CodePageUtf8) {
    const char* const start = bytes.data() + ByteOrderMarkLength(bytes);
    const std::string_view utf8(start, std::strlen(start));
    if (utf8.empty()) return;
    if (document_->LoadUtf8(utf8)) {
      ReadLoadedFeedDocument(*document_, headlines, clock_);
      return;
    }
  }
  const std::u16string text = Decode(bytes, decoder_);
  if (text.empty()) return;
  ReadFeedDocument(document_.get(), text.c_str(), headlines, clock_);
}

}  // namespace tidewire
