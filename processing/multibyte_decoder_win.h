#pragma once
// Decoding through the system's MultiByteToWideChar, as the download worker does on Windows.

#include <string>

#include "processing/text_decoder.h"

namespace tidewire {

class MultiByteDecoder final : public TextDecoder {
 public:
  std::u16string Decode(unsigned codePage, const char* bytes) const override;
};

}  // namespace tidewire
