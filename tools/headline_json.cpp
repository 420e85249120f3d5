#include "tools/headline_json.h"

#include <cstdio>

#include "processing/utf8.h"

namespace tidewire {
namespace {

void AppendEscape(std::string& out, char16_t unit) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(unit));
  out += buffer;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string JsonString(std::u16string_view text) {
  std::string out = "\"";
  std::size_t plainStart = 0;
  auto flush = [&](std::size_t end) { out += ToUtf8(text.substr(plainStart, end - plainStart)); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const char* escape = nullptr;
    switch (c) {
      case u'"': escape = "\\\""; break;
      case u'\\': escape = "\\\\"; break;
      case u'\b': escape = "\\b"; break;
      case u'\f': escape = "\\f"; break;
      case u'\n': escape = "\\n"; break;
      case u'\r': escape = "\\r"; break;
      case u'\t': escape = "\\t"; break;
      default: break;
    }
    const bool paired = IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]);
    if (paired) {
      ++i;
      continue;
    }
    const bool unpaired = IsHighSurrogate(c) || IsLowSurrogate(c);
    if (escape == nullptr && c >= 0x20 && !unpaired) continue;
    flush(i);
    if (escape != nullptr) {
      out += escape;
    } else {
      AppendEscape(out, c);
    }
    plainStart = i + 1;
  }
  flush(text.size());
  out += '"';
  return out;
}

std::string HeadlineJson(const Headline& headline) {
  std::string out = "{\"link\":" + JsonString(headline.link);
  out += ",\"title\":" + JsonString(headline.title);
  out += ",\"text\":" + JsonString(headline.text);
  out += ",\"feedTitle\":" + JsonString(headline.feedTitle);
  out += ",\"fetchTime\":" + JsonString(headline.fetchTime);
  out += '}';
  return out;
}

}  // namespace tidewire
