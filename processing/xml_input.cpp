#include "processing/xml_input.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace tidewire {
namespace {

// Costs saturate just above the limit.
constexpr std::uint64_t Over = XmlMaxEntityExpansion + 1;
std::uint64_t Add(std::uint64_t a, std::uint64_t b) { return std::min(Over, a + b); }
std::uint64_t Multiply(std::uint64_t a, std::uint64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > Over / b ? Over : std::min(Over, a * b);
}

// Entity nesting deeper than this is refused by the parsers too.
constexpr int MaxDepth = 40;

template <typename Char>
bool IsXmlSpace(Char c) {
  return c == Char{' '} || c == Char{'\t'} || c == Char{'\n'} || c == Char{'\r'};
}

bool IsNameChar(char16_t c) {
  return !IsXmlSpace(c) &&
         std::u16string_view(u";%&<>\"'=[]()|,/?!#").find(c) == std::u16string_view::npos;
}

// Prolog scanning for UTF-16 text and for UTF-8 bytes alike: everything it looks for is ASCII,
// which never occurs inside the encoding of another character in either.
template <typename Char>
bool StartsWithAscii(std::basic_string_view<Char> s, std::size_t pos, std::string_view prefix) {
  if (pos > s.size() || s.size() - pos < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (s[pos + i] != static_cast<Char>(prefix[i])) return false;
  }
  return true;
}

template <typename Char>
std::size_t FindAscii(std::basic_string_view<Char> s, std::string_view needle, std::size_t pos) {
  for (; (pos = s.find(static_cast<Char>(needle[0]), pos)) != s.npos; ++pos) {
    if (StartsWithAscii(s, pos, needle)) return pos;
  }
  return s.npos;
}

template <typename Char>
void SkipXmlSpace(std::basic_string_view<Char> s, std::size_t& pos) {
  while (pos < s.size() && IsXmlSpace(s[pos])) ++pos;
}

// Moves past `terminator`; false when it does not occur.
template <typename Char>
bool SkipPastAscii(std::basic_string_view<Char> s, std::size_t& pos, std::string_view terminator) {
  const std::size_t end = FindAscii(s, terminator, pos);
  if (end == std::basic_string_view<Char>::npos) return false;
  pos = end + terminator.size();
  return true;
}

// The position just inside "[" of the document type declaration, if it has an internal subset;
// `s` is searched through its prolog only.
template <typename Char>
std::optional<std::size_t> InternalSubsetStart(std::basic_string_view<Char> s) {
  std::size_t pos = 0;
  for (;;) {
    SkipXmlSpace(s, pos);
    if (StartsWithAscii(s, pos, "<?")) {
      if (!SkipPastAscii(s, pos, "?>")) return std::nullopt;
    } else if (StartsWithAscii(s, pos, "<!--")) {
      if (!SkipPastAscii(s, pos, "-->")) return std::nullopt;
    } else {
      break;
    }
  }
  if (!StartsWithAscii(s, pos, "<!DOCTYPE")) return std::nullopt;
  pos += 9;
  while (pos < s.size() && s[pos] != Char{'['} && s[pos] != Char{'>'}) {
    if (s[pos] == Char{'"'} || s[pos] == Char{'\''}) {
      const std::size_t close = s.find(s[pos], pos + 1);
      if (close == std::basic_string_view<Char>::npos) return std::nullopt;
      pos = close + 1;
    } else {
      ++pos;
    }
  }
  if (pos >= s.size() || s[pos] != Char{'['}) return std::nullopt;
  return pos + 1;
}

template <typename Char>
std::optional<TextRange> DeclaredEncodingIn(std::basic_string_view<Char> text) {
  if (!StartsWithAscii(text, 0, "<?xml") || text.size() <= 5 || !IsXmlSpace(text[5])) {
    return std::nullopt;
  }
  const std::size_t end = FindAscii(text, "?>", 0);
  if (end == std::basic_string_view<Char>::npos) return std::nullopt;
  const std::basic_string_view<Char> declaration = text.substr(0, end);
  constexpr std::string_view Name = "encoding";
  for (std::size_t at = FindAscii(declaration, Name, 0); at != std::basic_string_view<Char>::npos;
       at = FindAscii(declaration, Name, at + 1)) {
    if (!IsXmlSpace(declaration[at - 1])) continue;
    std::size_t pos = at + Name.size();
    SkipXmlSpace(declaration, pos);
    if (pos >= declaration.size() || declaration[pos] != Char{'='}) continue;
    ++pos;
    SkipXmlSpace(declaration, pos);
    if (pos >= declaration.size() ||
        (declaration[pos] != Char{'"'} && declaration[pos] != Char{'\''})) {
      continue;
    }
    const std::size_t close = declaration.find(declaration[pos], pos + 1);
    if (close == std::basic_string_view<Char>::npos) return std::nullopt;
    return TextRange{pos + 1, close - pos - 1};
  }
  return std::nullopt;
}

struct Entity {
  std::u16string replacement;  // empty for an external entity, which is never read
  bool external = false;
};

// Reads the internal subset of a document type declaration and totals what the entity
// references of the document would expand to.
class ExpansionCheck {
 public:
  explicit ExpansionCheck(std::u16string_view text) : text_(text) {}

  bool WithinLimit() {
    const std::optional<std::size_t> subset = FindInternalSubset();
    if (!subset) return true;
    std::u16string_view rest = text_.substr(*subset);
    if (!ScanSubset(rest, 0)) return false;
    if (general_.empty()) return cost_ < Over;
    // What follows the subset is the body, up to the end of the text.
    const std::u16string_view body = rest;
    cost_ = Add(cost_, ReferencesCost(body, 0));
    // Attribute defaults are copied into every element that omits the attribute.
    if (defaultsCost_ > 0) {
      const auto elements = static_cast<std::uint64_t>(std::count(body.begin(), body.end(), u'<'));
      cost_ = Add(cost_, Multiply(defaultsCost_, elements));
    }
    return cost_ < Over;
  }

 private:
  static bool StartsWith(std::u16string_view s, std::size_t pos, std::u16string_view prefix) {
    return s.substr(pos, prefix.size()) == prefix;
  }
  static void SkipSpace(std::u16string_view s, std::size_t& pos) {
    while (pos < s.size() && IsXmlSpace(s[pos])) ++pos;
  }
  // Moves past `terminator`; false when it does not occur.
  static bool SkipPast(std::u16string_view s, std::size_t& pos, std::u16string_view terminator) {
    const std::size_t end = s.find(terminator, pos);
    if (end == std::u16string_view::npos) return false;
    pos = end + terminator.size();
    return true;
  }
  static std::u16string_view Name(std::u16string_view s, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < s.size() && IsNameChar(s[pos])) ++pos;
    return s.substr(start, pos - start);
  }
  static std::optional<std::u16string_view> Quoted(std::u16string_view s, std::size_t& pos) {
    if (pos >= s.size() || (s[pos] != u'"' && s[pos] != u'\'')) return std::nullopt;
    const std::size_t end = s.find(s[pos], pos + 1);
    if (end == std::u16string_view::npos) return std::nullopt;
    const std::u16string_view inside = s.substr(pos + 1, end - pos - 1);
    pos = end + 1;
    return inside;
  }

  // The position just inside "[" of the document type declaration, if it has an internal
  // subset.
  std::optional<std::size_t> FindInternalSubset() const { return InternalSubsetStart(text_); }

  // Reads declarations from `s` (the internal subset, or the replacement text of a parameter
  // entity referenced in it); on return from the outermost level `s` holds what follows the
  // subset. False when the subset cannot be understood or the expansion is too large.
  bool ScanSubset(std::u16string_view& s, int depth) {
    std::size_t pos = 0;
    for (;;) {
      SkipSpace(s, pos);
      if (pos >= s.size()) return depth > 0;
      if (s[pos] == u']') {
        if (depth > 0) return false;
        s = s.substr(pos + 1);
        return true;
      }
      if (StartsWith(s, pos, u"<!--")) {
        if (!SkipPast(s, pos, u"-->")) return false;
      } else if (StartsWith(s, pos, u"<?")) {
        if (!SkipPast(s, pos, u"?>")) return false;
      } else if (StartsWith(s, pos, u"<!ENTITY")) {
        pos += 8;
        if (!EntityDeclaration(s, pos)) return false;
      } else if (StartsWith(s, pos, u"<!ATTLIST")) {
        pos += 9;
        if (!MarkupDeclaration(s, pos, /*attributeDefaults=*/true)) return false;
      } else if (StartsWith(s, pos, u"<!ELEMENT") || StartsWith(s, pos, u"<!NOTATION")) {
        pos += 2;
        if (!MarkupDeclaration(s, pos, /*attributeDefaults=*/false)) return false;
      } else if (s[pos] == u'%') {
        ++pos;
        const std::u16string_view name = Name(s, pos);
        if (name.empty() || pos >= s.size() || s[pos] != u';') return false;
        ++pos;
        cost_ = Add(cost_, 1);
        const auto found = parameter_.find(std::u16string(name));
        if (found != parameter_.end() && !found->second.external) {
          if (depth >= MaxDepth) return false;
          cost_ = Add(cost_, found->second.replacement.size());
          if (cost_ >= Over) return false;
          std::u16string_view replacement = found->second.replacement;
          if (!ScanSubset(replacement, depth + 1)) return false;
        }
      } else {
        return false;
      }
      if (cost_ >= Over) return false;
    }
  }

  bool EntityDeclaration(std::u16string_view s, std::size_t& pos) {
    SkipSpace(s, pos);
    bool isParameter = false;
    if (pos < s.size() && s[pos] == u'%') {
      isParameter = true;
      ++pos;
      SkipSpace(s, pos);
    }
    const std::u16string name(Name(s, pos));
    if (name.empty()) return false;
    SkipSpace(s, pos);
    Entity entity;
    if (const std::optional<std::u16string_view> literal = Quoted(s, pos)) {
      entity.replacement = DecodeCharacterReferences(*literal);
    } else if (StartsWith(s, pos, u"SYSTEM") || StartsWith(s, pos, u"PUBLIC")) {
      entity.external = true;
    } else {
      return false;
    }
    if (!MarkupDeclaration(s, pos, /*attributeDefaults=*/false)) return false;
    // The first declaration of a name binds it.
    (isParameter ? parameter_ : general_).emplace(name, std::move(entity));
    return true;
  }

  // Moves past the ">" that ends a declaration, skipping quoted literals. Entity references in
  // attribute defaults are charged to defaultsCost_.
  bool MarkupDeclaration(std::u16string_view s, std::size_t& pos, bool attributeDefaults) {
    while (pos < s.size() && s[pos] != u'>') {
      if (s[pos] == u'"' || s[pos] == u'\'') {
        const std::optional<std::u16string_view> literal = Quoted(s, pos);
        if (!literal) return false;
        if (attributeDefaults) defaultsCost_ = Add(defaultsCost_, ReferencesCost(*literal, 0));
      } else {
        ++pos;
      }
    }
    if (pos >= s.size()) return false;
    ++pos;
    return true;
  }

  // Character references in an entity value are replaced when it is declared; what they
  // produce ("&#38;" gives "&") is read as markup when the entity is referenced.
  static std::u16string DecodeCharacterReferences(std::u16string_view literal) {
    std::u16string out;
    out.reserve(literal.size());
    std::size_t pos = 0;
    while (pos < literal.size()) {
      if (StartsWith(literal, pos, u"&#")) {
        const std::size_t end = literal.find(u';', pos);
        const bool hex = StartsWith(literal, pos, u"&#x");
        std::uint32_t value = 0;
        bool valid = end != std::u16string_view::npos && end > pos + (hex ? 3 : 2);
        for (std::size_t i = pos + (hex ? 3 : 2); valid && i < end; ++i) {
          const char16_t c = literal[i];
          int digit = -1;
          if (c >= u'0' && c <= u'9') digit = c - u'0';
          if (hex && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
          if (hex && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
          valid = digit >= 0 && value <= 0x10FFFF;
          value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(std::max(digit, 0));
        }
        if (valid && value <= 0x10FFFF) {
          if (value >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 | ((value - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 | (value & 0x3FF)));
          } else {
            out.push_back(static_cast<char16_t>(value));
          }
          pos = end + 1;
          continue;
        }
      }
      out.push_back(literal[pos++]);
    }
    return out;
  }

  // What the general entity references in `content` expand to, CDATA sections, comments and
  // processing instructions left out.
  std::uint64_t ReferencesCost(std::u16string_view content, int depth) {
    std::uint64_t cost = 0;
    std::size_t pos = 0;
    while (pos < content.size() && cost < Over) {
      const std::size_t next = content.find_first_of(u"&<", pos);
      if (next == std::u16string_view::npos) break;
      pos = next;
      if (content[pos] == u'<') {
        if (StartsWith(content, pos, u"<![CDATA[")) {
          if (!SkipPast(content, pos, u"]]>")) break;
        } else if (StartsWith(content, pos, u"<!--")) {
          if (!SkipPast(content, pos, u"-->")) break;
        } else if (StartsWith(content, pos, u"<?")) {
          if (!SkipPast(content, pos, u"?>")) break;
        } else {
          ++pos;
        }
        continue;
      }
      ++pos;
      if (pos < content.size() && content[pos] == u'#') continue;
      const std::u16string_view name = Name(content, pos);
      if (name.empty() || pos >= content.size() || content[pos] != u';') continue;
      ++pos;
      cost = Add(cost, EntityCost(name, depth));
    }
    return cost;
  }

  // One reference to the general entity `name`: 1 plus the length of its full expansion.
  std::uint64_t EntityCost(std::u16string_view name, int depth) {
    const std::u16string key(name);
    const auto found = general_.find(key);
    if (found == general_.end() || found->second.external) return 1;
    if (const auto known = expansion_.find(key); known != expansion_.end()) return known->second;
    // A reference loop or nesting too deep: the parsers refuse such a document as well.
    if (depth >= MaxDepth || !inProgress_.insert(key).second) return Over;
    const std::u16string_view replacement = found->second.replacement;
    const std::uint64_t cost = Add(1 + replacement.size(), ReferencesCost(replacement, depth + 1));
    inProgress_.erase(key);
    expansion_.emplace(key, cost);
    return cost;
  }

  std::u16string_view text_;
  std::map<std::u16string, Entity> general_;
  std::map<std::u16string, Entity> parameter_;
  std::map<std::u16string, std::uint64_t> expansion_;
  std::set<std::u16string> inProgress_;
  std::uint64_t cost_ = 0;
  std::uint64_t defaultsCost_ = 0;
};

}  // namespace

bool IsLoadSkippedSpace(char16_t c) {
  return (c >= u'\t' && c <= u'\r') || c == u' ' || c == u'\u0085' || c == u'\u00A0' ||
         c == u'\u1680' || (c >= u'\u2000' && c <= u'\u200A') || c == u'\u2028' || c == u'\u2029' ||
         c == u'\u202F' || c == u'\u205F' || c == u'\u3000' || c == u'\uFEFF';
}

std::u16string_view SkipLoadSkippedSpace(std::u16string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsLoadSkippedSpace(text[pos])) ++pos;
  return text.substr(pos);
}

std::string_view SkipLoadSkippedSpace(std::string_view utf8) {
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    // Every skipped character lies below U+10000: one to three bytes.
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(utf8[pos + k]); };
    const auto lead = byte(0);
    char32_t c = lead;
    std::size_t length = 1;
    if (lead >= 0xE0 && lead < 0xF0 && utf8.size() - pos >= 3) {
      c = ((lead & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
      length = 3;
    } else if (lead >= 0xC0 && lead < 0xE0 && utf8.size() - pos >= 2) {
      c = ((lead & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
      length = 2;
    }
    if (c >= 0x10000 || lead >= 0xF0 || !IsLoadSkippedSpace(static_cast<char16_t>(c))) break;
    pos += length;
  }
  return utf8.substr(pos);
}

std::optional<TextRange> DeclaredEncoding(std::u16string_view text) {
  return DeclaredEncodingIn(text);
}

std::optional<TextRange> DeclaredEncoding(std::string_view utf8) {
  return DeclaredEncodingIn(utf8);
}

std::u16string WithParsedEncoding(std::u16string_view text) {
  const std::optional<TextRange> encoding = DeclaredEncoding(text);
  if (!encoding) return std::u16string(text);
  std::u16string result;
  result.reserve(text.size() + XmlParsedEncoding.size());
  result.append(text.substr(0, encoding->position));
  result.append(XmlParsedEncoding);
  result.append(text.substr(encoding->position + encoding->length));
  return result;
}

bool EntityExpansionWithinLimit(std::u16string_view text) {
  return ExpansionCheck(SkipLoadSkippedSpace(text)).WithinLimit();
}

bool HasInternalSubset(std::string_view utf8) {
  return InternalSubsetStart(SkipLoadSkippedSpace(utf8)).has_value();
}

}  // namespace tidewire
