#include "processing/libxml2_document.h"
#include "processing/native_text_decoder.h"
#include "processing/platform.h"

namespace tidewire {

std::unique_ptr<XmlDocument> CreatePlatformXmlDocument() {
  return std::make_unique<Libxml2Document>();
}

const TextDecoder& PlatformTextDecoder() {
  static const NativeTextDecoder decoder;
  return decoder;
}

}  // namespace tidewire
