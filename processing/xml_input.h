#pragma once
// What both XML documents (MSXML and libxml2) do with a feed text before and while they parse
// it, so that both read the same documents and no document, however hostile, costs unbounded
// time or memory.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tidewire {

// The text of one element is read only if the element holds at most this many nodes below it
// and at most this many characters of character data. Reading the text of an element costs
// MSXML time in proportion to both multiplied.
inline constexpr std::size_t XmlTextMaxNodes = 1024;
inline constexpr std::size_t XmlTextMaxLength = std::size_t{1} << 20;

// How far entity references may expand a document, in characters (plus one for every
// reference). Counts the body's general entity references, the parameter entity references of
// the internal subset, and attribute defaults that use entities once for every possible element.
inline constexpr std::size_t XmlMaxEntityExpansion = std::size_t{1} << 20;

// The characters MSXML skips at the start of a text before it parses it.
bool IsLoadSkippedSpace(char16_t c);
std::u16string_view SkipLoadSkippedSpace(std::u16string_view text);
// The same for valid UTF-8.
std::string_view SkipLoadSkippedSpace(std::string_view utf8);

// The text is Unicode by the time it is parsed, whatever encoding its XML declaration names;
// parsers refuse names they do not know (MSXML on Wine knows few: UTF-7, KOI8-R or Shift_JIS
// make it fail). So the declared name is replaced by this one before parsing.
inline constexpr std::u16string_view XmlParsedEncoding = u"UTF-16";

// Where the encoding name of the XML declaration at the start of `text` stands (position and
// length), if it has one.
struct TextRange {
  std::size_t position = 0;
  std::size_t length = 0;
};
std::optional<TextRange> DeclaredEncoding(std::u16string_view text);
// The same for valid UTF-8, in bytes.
std::optional<TextRange> DeclaredEncoding(std::string_view utf8);

// `text` with the declared encoding name replaced by XmlParsedEncoding.
std::u16string WithParsedEncoding(std::u16string_view text);

// False when the internal subset of the document type declaration declares entities whose
// references would expand the document beyond XmlMaxEntityExpansion, or holds something that no
// well-formed internal subset holds. A document without internal subset passes.
bool EntityExpansionWithinLimit(std::u16string_view text);

// Whether valid UTF-8 `utf8`, after the characters skipped at the start, has a document type
// declaration with an internal subset: the only documents whose entity expansion needs checking.
bool HasInternalSubset(std::string_view utf8);

}  // namespace tidewire
