#include "processing/msxml_document_win.h"
#include "processing/multibyte_decoder_win.h"
#include "processing/platform.h"

namespace tidewire {

std::unique_ptr<XmlDocument> CreatePlatformXmlDocument() { return MsxmlDocument::Create(); }

const TextDecoder& PlatformTextDecoder() {
  static const MultiByteDecoder decoder;
  return decoder;
}

}  // namespace tidewire
