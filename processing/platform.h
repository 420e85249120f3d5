#pragma once
// The XML document and byte decoder of the platform we run on: MSXML and MultiByteToWideChar on
// Windows, libxml2 and our own decoders elsewhere.

#include <memory>

#include "processing/text_decoder.h"
#include "processing/xml_document.h"

namespace tidewire {

// A new document, or null when none can be created. On Windows, COM must be initialised on the
// calling thread, and the document is used on that thread only.
std::unique_ptr<XmlDocument> CreatePlatformXmlDocument();

const TextDecoder& PlatformTextDecoder();

}  // namespace tidewire
