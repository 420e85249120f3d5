#include "processing/multibyte_decoder_win.h"

#include <windows.h>

#include <vector>

namespace tidewire {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::u16string MultiByteDecoder::Decode(unsigned codePage, const char* bytes) const {
  const int measured = ::MultiByteToWideChar(codePage, 0, bytes, -1, nullptr, 0);
  if (measured <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(measured));
  const int converted = ::MultiByteToWideChar(codePage, 0, bytes, -1, buffer.data(), measured);
  if (converted <= 0) return {};
  // The converted length is what counts: a sequence cut short by the terminator can swallow it,
  // and then the buffer holds no terminating zero at all.
  std::u16string text(reinterpret_cast<const char16_t*>(buffer.data()),
                      static_cast<std::size_t>(converted));
  if (text.back() == u'\0') text.pop_back();
  return text;
}

}  // namespace tidewire
