#pragma once
// The document steps of a download, in one place for the download worker and the preview tool:
// skip the byte-order mark, choose the code page, decode, and read the headlines.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "processing/headline.h"
#include "processing/local_clock.h"
#include "processing/text_decoder.h"
#include "processing/xml_document.h"

namespace tidewire {

class DocumentPath {
 public:
  // `document` may be null (no parser could be created): every document then yields nothing.
  // The document is reused for every body read, and belongs to the thread that reads.
  DocumentPath(const TextDecoder& decoder, std::unique_ptr<XmlDocument> document,
               LocalClock clock = SystemLocalTime);

  // Appends the headlines of one downloaded body to `headlines`. `bytes` is the body, and
  // bytes.data()[bytes.size()] must be a zero byte, as in the download buffer. A body that
  // decodes to nothing is skipped. A UTF-8 body goes to the document undecoded when the document
  // can read it so (see XmlDocument::LoadUtf8): valid UTF-8 decodes alike in every decoder.
  void Read(std::string_view bytes, std::vector<Headline>& headlines);

  // The document text of a body (same precondition): the bytes after the byte-order mark,
  // decoded in the detected code page, up to the first zero character.
  static std::u16string Decode(std::string_view bytes, const TextDecoder& decoder);

 private:
  const TextDecoder& decoder_;
  std::unique_ptr<XmlDocument> document_;
  LocalClock clock_;
};

}  // namespace tidewire
