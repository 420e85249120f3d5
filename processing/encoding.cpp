#include "processing/encoding.h"

#include <array>

namespace tidewire {
namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::size_t ByteOrderMarkLength(std::string_view bytes) {
  // Tested in this order, so FF FE 00 00 counts as the two-byte mark.
  static constexpr std::array<std::string_view, 4> Marks = {
      std::string_view("\xEF\xBB\xBF", 3), std::string_view("\xFE\xFF", 2),
      std::string_view("\xFF\xFE", 2), std::string_view("\x00\x00\xFE\xFF", 4)};
  for (std::string_view mark : Marks) {
    if (StartsWith(bytes, mark)) return mark.size();
  }
  return 0;
}

unsigned DetectCodePage(std::string_view bytes) {
  if (ByteOrderMarkLength(bytes) != 0) return CodePageUtf8;
  // The declaration is only looked for in the text before the first zero byte.
  const std::string_view text = bytes.substr(0, bytes.find('\0'));
  if (!StartsWith(text, "<?xml")) return CodePageUtf8;

  constexpr std::string_view Key = "encoding=";
  const std::size_t key = text.find(Key);
  if (key == std::string_view::npos) return CodePageUtf8;
  const std::size_t open = key + Key.size();
  if (open >= text.size()) return CodePageUtf8;
  const std::size_t close = text.find(text[open], open + 1);
  if (close == std::string_view::npos) return CodePageUtf8;

  const std::string_view name = text.substr(open + 1, close - open - 1);
  if (EqualsIgnoringAsciiCase(name, "UTF-8") || EqualsIgnoringAsciiCase(name, "UTF-16")) {
    return CodePageUtf8;
  }
  if (EqualsIgnoringAsciiCase(name, "UTF-7")) return CodePageUtf7;
  return CodePageLegacy;
}

}  // namespace tidewire
