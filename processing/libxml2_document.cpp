#include "processing/libxml2_document.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "processing/native_text_decoder.h"
#include "processing/utf8.h"
#include "processing/xml_input.h"

namespace tidewire {
namespace {

// Marks kept in a node's _private field while parsing, recording where white space that was not
// kept stood: MSXML puts one space there when it joins the text around it.
constexpr std::uintptr_t BlankDroppedBeforeFirstChild = 1;
constexpr std::uintptr_t BlankDroppedAfter = 2;

std::uintptr_t Marks(const xmlNode* node) {
  return reinterpret_cast<std::uintptr_t>(node->_private);
}
void Mark(xmlNode* node, std::uintptr_t mark) {
  node->_private = reinterpret_cast<void*>(Marks(node) | mark);
}

bool IsCSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsBlank(const xmlChar* chars, int length) {
  for (int i = 0; i < length; ++i) {
    if (!IsCSpace(chars[i])) return false;
  }
  return true;
}

// Character data that is only white space is dropped, unless xml:space="preserve" is in force,
// when it is all an element holds so far, ends a run of character data, or follows something
// other than character data. Runs are reported in pieces (each character reference on its
// own), so blanks between references inside one run are kept.
void OnCharacters(void* context, const xmlChar* chars, int length) {
  auto* parser = static_cast<xmlParserCtxt*>(context);
  xmlNode* node = parser->node;
  if (node != nullptr && IsBlank(chars, length) && xmlNodeGetSpacePreserve(node) != 1) {
    xmlNode* last = node->last;
    if (last == nullptr || *parser->input->cur == '<' || last->type != XML_TEXT_NODE) {
      if (last != nullptr) {
        Mark(last, BlankDroppedAfter);
      } else if (node->type != XML_DOCUMENT_NODE) {
        Mark(node, BlankDroppedBeforeFirstChild);
      }
      return;
    }
  }
  xmlSAX2Characters(context, chars, length);
}

void IgnoreMessage(void*, const char*, ...) {}
void IgnoreError(void*, xmlError*) {}
xmlParserInput* RefuseEntity(void*, const xmlChar*, const xmlChar*) { return nullptr; }

// The SAX1-style handler MSXML on Wine parses with, apart from the messages (dropped) and the
// external subset and entity resolution (refused, although this configuration never asks).
xmlSAXHandler MakeHandler() {
  xmlSAXHandler handler{};
  handler.internalSubset = xmlSAX2InternalSubset;
  handler.isStandalone = xmlSAX2IsStandalone;
  handler.hasInternalSubset = xmlSAX2HasInternalSubset;
  handler.hasExternalSubset = xmlSAX2HasExternalSubset;
  handler.resolveEntity = RefuseEntity;
  handler.getEntity = xmlSAX2GetEntity;
  handler.entityDecl = xmlSAX2EntityDecl;
  handler.notationDecl = xmlSAX2NotationDecl;
  handler.attributeDecl = xmlSAX2AttributeDecl;
  handler.elementDecl = xmlSAX2ElementDecl;
  handler.unparsedEntityDecl = xmlSAX2UnparsedEntityDecl;
  handler.setDocumentLocator = xmlSAX2SetDocumentLocator;
  handler.startDocument = xmlSAX2StartDocument;
  handler.endDocument = xmlSAX2EndDocument;
  handler.startElement = xmlSAX2StartElement;
  handler.endElement = xmlSAX2EndElement;
  handler.reference = xmlSAX2Reference;
  handler.characters = OnCharacters;
  handler.ignorableWhitespace = OnCharacters;
  handler.processingInstruction = xmlSAX2ProcessingInstruction;
  handler.comment = xmlSAX2Comment;
  handler.warning = IgnoreMessage;
  handler.error = IgnoreMessage;
  handler.fatalError = IgnoreMessage;
  handler.getParameterEntity = xmlSAX2GetParameterEntity;
  handler.cdataBlock = xmlSAX2CDataBlock;
  handler.externalSubset = nullptr;
  handler.initialized = 0;
  handler.startElementNs = xmlSAX2StartElementNs;
  handler.endElementNs = xmlSAX2EndElementNs;
  handler.serror = IgnoreError;
  return handler;
}

// libxml2 reports some faults (encoding errors among them) through its per-thread default
// handlers, which print to standard error: silence them while we parse.
class QuietErrors {
 public:
  QuietErrors()
      : generic_(xmlGenericError),
        genericContext_(xmlGenericErrorContext),
        structured_(xmlStructuredError),
        structuredContext_(xmlStructuredErrorContext) {
    xmlSetGenericErrorFunc(nullptr, IgnoreMessage);
    xmlSetStructuredErrorFunc(nullptr, IgnoreError);
  }
  ~QuietErrors() {
    xmlSetGenericErrorFunc(genericContext_, generic_);
    xmlSetStructuredErrorFunc(structuredContext_, structured_);
  }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  xmlGenericErrorFunc generic_;
  void* genericContext_;
  xmlStructuredErrorFunc structured_;
  void* structuredContext_;
};

// Parses a document as MSXML does: keeping entity references as references, loading nothing
// from outside, and accepting only well-formed text.
xmlDoc* Parse(const char* bytes, std::size_t size, xmlCharEncoding encoding) {
  static xmlSAXHandler handler = MakeHandler();
  if (size == 0 || size > INT_MAX) return nullptr;

  QuietErrors quiet;
  xmlParserCtxt* parser = xmlCreateMemoryParserCtxt(bytes, static_cast<int>(size));
  if (parser == nullptr) return nullptr;
  // No entity substitution, no DTD loading or validation, no network.
  xmlCtxtUseOptions(parser, XML_PARSE_NONET);
  xmlFree(parser->sax);
  parser->sax = &handler;
  parser->recovery = 0;
  if (encoding != XML_CHAR_ENCODING_NONE) xmlSwitchEncoding(parser, encoding);
  xmlParseDocument(parser);

  xmlDoc* doc = parser->myDoc;
  parser->myDoc = nullptr;
  if (!parser->wellFormed) {
    xmlFreeDoc(doc);
    doc = nullptr;
  }
  parser->sax = nullptr;
  xmlFreeParserCtxt(parser);
  return doc;
}

// UTF-16 text goes to the parser as little-endian bytes.
xmlDoc* Parse(std::u16string_view text) {
  std::vector<char> bytes(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return Parse(bytes.data(), bytes.size(), XML_CHAR_ENCODING_UTF16LE);
}

// Whether the name of an encoding is one the parser reads UTF-8 under without converting.
bool NamesUtf8(std::string_view name) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  std::string lowered(name);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), lower);
  return lowered == "utf-8" || lowered == "utf8";
}

std::string Content(const xmlNode* node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content != nullptr ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return text;
}

// The text of an element joined as MSXML joins it: character data, CDATA sections and entity
// expansions in order; blank character data that was kept but stands alone is left out; where
// white space was left out between two pieces, one space joins them. The CDATA range records
// which part no trimming may touch.
struct TextRun {
  std::string text;
  std::uint32_t cdataStart = UINT32_MAX;
  std::uint32_t cdataEnd = 0;
  bool blankAfter = false;
};

// What xmlNodeGetContent gives for a text or CDATA node, without copying it.
std::string_view StoredContent(const xmlNode* node) {
  return node->content != nullptr ? reinterpret_cast<const char*>(node->content) : "";
}

TextRun ElementText(const xmlNode* element) {
  TextRun run;
  const bool preserving = xmlNodeGetSpacePreserve(element) == 1;
  if (element->children == nullptr) {
    // No children: the content is empty.
    run.blankAfter = (Marks(element) & BlankDroppedBeforeFirstChild) != 0;
    return run;
  }
  bool blank = (Marks(element) & BlankDroppedBeforeFirstChild) != 0;
  bool childBlankAfter = false;
  std::uint32_t pos = 0;
  std::string owned;  // the text of a piece that the tree does not hold as it stands
  for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
    std::string_view piece;
    bool hasPiece = true;
    switch (child->type) {
      case XML_ELEMENT_NODE: {
        TextRun inner = ElementText(child);
        // Placed before any joining space is counted, as MSXML does.
        if (inner.cdataStart != UINT32_MAX && pos + inner.cdataStart < run.cdataStart) {
          run.cdataStart = pos + inner.cdataStart;
        }
        if (inner.cdataEnd != 0 && pos + inner.cdataEnd > run.cdataEnd) {
          run.cdataEnd = pos + inner.cdataEnd;
        }
        childBlankAfter = inner.blankAfter;
        owned = std::move(inner.text);
        piece = owned;
        break;
      }
      case XML_TEXT_NODE:
        piece = StoredContent(child);
        if (!preserving && !piece.empty() &&
            IsBlank(reinterpret_cast<const xmlChar*>(piece.data()),
                    static_cast<int>(piece.size()))) {
          blank = true;
          hasPiece = false;
        }
        break;
      case XML_CDATA_SECTION_NODE: piece = StoredContent(child); break;
      case XML_ENTITY_REF_NODE:
      case XML_ENTITY_NODE:
        owned = Content(child);
        piece = owned;
        break;
      default: hasPiece = false; break;
    }
    const bool isCdata = child->type == XML_CDATA_SECTION_NODE;
    if ((hasPiece && !piece.empty()) || isCdata) {
      if (blank && !run.text.empty()) {
        run.text += ' ';
        ++pos;
      }
      if (isCdata && pos < run.cdataStart) run.cdataStart = pos;
      run.text += piece;
      pos += static_cast<std::uint32_t>(piece.size());
      if (isCdata && pos > run.cdataEnd) run.cdataEnd = pos;
      blank = false;
    }
    if (!blank) blank = (Marks(child) & BlankDroppedAfter) != 0;
    if (!blank) blank = childBlankAfter;
    childBlankAfter = false;
  }
  run.blankAfter = blank;
  return run;
}

// The text of an element as Text() gives it: leading white space trimmed up to where the first
// CDATA section starts, trailing white space down to where the last one ends, unless
// xml:space="preserve" is in force.
std::string_view TrimmedText(const xmlNode* element, std::string_view text, std::uint32_t first,
                             std::uint32_t last) {
  // Without white space at either end there is nothing to trim, preserved or not.
  if (text.empty() || (!IsCSpace(static_cast<unsigned char>(text.front())) &&
                       !IsCSpace(static_cast<unsigned char>(text.back())))) {
    return text;
  }
  if (xmlNodeGetSpacePreserve(element) == 1) return text;
  std::size_t start = 0;
  while (start < text.size() && IsCSpace(static_cast<unsigned char>(text[start]))) {
    if (first-- == 0) break;
    if (last != 0) --last;
    ++start;
  }
  std::int64_t end = static_cast<std::int64_t>(text.size() - start) - 1;
  while (end >= 0 && static_cast<std::uint64_t>(end) >= last &&
         IsCSpace(static_cast<unsigned char>(text[start + end]))) {
    --end;
  }
  return text.substr(start, static_cast<std::size_t>(end + 1));
}

// Whether the text of `element` stays within XmlTextMaxNodes and XmlTextMaxLength. Entity
// references count as one node each: MSXML shows no more of them.
bool TextWithinLimits(const xmlNode* element, std::size_t& nodes, std::size_t& length) {
  for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
    if (++nodes > XmlTextMaxNodes) return false;
    if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
      if (child->content != nullptr) {
        length += Utf16Length(reinterpret_cast<const char*>(child->content));
        if (length > XmlTextMaxLength) return false;
      }
    } else if (child->type == XML_ELEMENT_NODE) {
      if (!TextWithinLimits(child, nodes, length)) return false;
    }
  }
  return true;
}

// Elements match names written without a prefix, in no namespace or the default one.
bool Matches(const xmlNode* node, const std::string& name) {
  return node->type == XML_ELEMENT_NODE && (node->ns == nullptr || node->ns->prefix == nullptr) &&
         std::strcmp(name.c_str(), reinterpret_cast<const char*>(node->name)) == 0;
}

// `name` in UTF-8 for Matches(), or nothing when it holds a zero unit, as no element name does.
std::optional<std::string> WantedName(std::u16string_view name) {
  if (name.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  return ToUtf8(name);
}

// Visits the elements below `parent` in document order, not entering entity references,
// until `visit` returns false. Returns false if it was stopped.
template <typename Visit>
bool ForEachElement(const xmlNode* parent, Visit& visit) {
  for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (!visit(child) || !ForEachElement(child, visit)) return false;
  }
  return true;
}

class Libxml2Node final : public XmlNode {
 public:
  explicit Libxml2Node(const xmlNode* node) : node_(node) {}

  std::unique_ptr<XmlNode> FirstChild(std::u16string_view name) const override {
    const std::optional<std::string> wanted = WantedName(name);
    if (!wanted) return nullptr;
    for (const xmlNode* child = node_->children; child != nullptr; child = child->next) {
      if (Matches(child, *wanted)) return std::make_unique<Libxml2Node>(child);
    }
    return nullptr;
  }

  std::u16string Text() const override {
    // One CDATA section, or character data that is not all white space, as most feed elements
    // hold: read where the tree keeps it, as ElementText would give it. Its UTF-16 length is at
    // most its length in bytes.
    if (const xmlNode* child = node_->children;
        child != nullptr && child->next == nullptr &&
        (child->type == XML_CDATA_SECTION_NODE || child->type == XML_TEXT_NODE)) {
      const std::string_view content = StoredContent(child);
      if (content.size() > XmlTextMaxLength && Utf16Length(content) > XmlTextMaxLength) return {};
      const auto size = static_cast<std::uint32_t>(content.size());
      if (child->type == XML_CDATA_SECTION_NODE) {
        return NativeTextDecoder::DecodeUtf8(TrimmedText(node_, content, 0, size));
      }
      if (child->type == XML_TEXT_NODE &&
          !IsBlank(reinterpret_cast<const xmlChar*>(content.data()), static_cast<int>(size))) {
        return NativeTextDecoder::DecodeUtf8(TrimmedText(node_, content, UINT32_MAX, 0));
      }
    }
    std::size_t nodes = 0;
    std::size_t length = 0;
    if (!TextWithinLimits(node_, nodes, length)) return {};
    const TextRun run = ElementText(node_);
    return NativeTextDecoder::DecodeUtf8(
        TrimmedText(node_, run.text, run.cdataStart, run.cdataEnd));
  }

 private:
  const xmlNode* node_;
};

class Libxml2NodeList final : public XmlNodeList {
 public:
  explicit Libxml2NodeList(std::vector<const xmlNode*> nodes) : nodes_(std::move(nodes)) {}
  std::size_t Length() const override { return nodes_.size(); }
  std::unique_ptr<XmlNode> Item(std::size_t index) const override {
    if (index >= nodes_.size()) return nullptr;
    return std::make_unique<Libxml2Node>(nodes_[index]);
  }

 private:
  std::vector<const xmlNode*> nodes_;
};

}  // namespace

void Libxml2Document::DocDeleter::operator()(_xmlDoc* doc) const { xmlFreeDoc(doc); }

Libxml2Document::Libxml2Document() {
  static const bool initialized = [] {
    xmlInitParser();
    return true;
  }();
  (void)initialized;
}

Libxml2Document::~Libxml2Document() = default;

void Libxml2Document::Load(std::u16string_view text) {
  doc_.reset();
  // MSXML skips leading white space (in a wide sense) before it parses.
  const std::u16string_view body = SkipLoadSkippedSpace(text);
  if (body.empty() || !EntityExpansionWithinLimit(body)) return;
  doc_.reset(Parse(WithParsedEncoding(body)));
}

bool Libxml2Document::LoadUtf8(std::string_view utf8) {
  // The parser reads the bytes as it reads the UTF-8 it makes of UTF-16 text, as long as they are
  // valid, name UTF-8 if any encoding, and stay within the parser's lookup limit (beyond it, the
  // parser treats converted and unconverted input differently). Documents with an internal subset
  // take the way through UTF-16 for the expansion check.
  if (utf8.size() > XML_MAX_LOOKUP_LIMIT || !IsValidUtf8(utf8)) return false;
  const std::string_view body = SkipLoadSkippedSpace(utf8);
  if (HasInternalSubset(body)) return false;
  if (const std::optional<TextRange> name = DeclaredEncoding(body);
      name && !NamesUtf8(body.substr(name->position, name->length))) {
    return false;
  }
  doc_.reset();
  if (!body.empty()) doc_.reset(Parse(body.data(), body.size(), XML_CHAR_ENCODING_NONE));
  return true;
}

std::unique_ptr<XmlNode> Libxml2Document::SelectFirst(std::u16string_view name) const {
  const std::optional<std::string> wanted = WantedName(name);
  if (!doc_ || !wanted) return nullptr;
  const xmlNode* found = nullptr;
  auto visit = [&](const xmlNode* element) {
    if (!Matches(element, *wanted)) return true;
    found = element;
    return false;
  };
  ForEachElement(reinterpret_cast<const xmlNode*>(doc_.get()), visit);
  return found != nullptr ? std::make_unique<Libxml2Node>(found) : nullptr;
}

std::unique_ptr<XmlNodeList> Libxml2Document::SelectAll(std::u16string_view name) const {
  std::vector<const xmlNode*> nodes;
  if (const std::optional<std::string> wanted = WantedName(name); doc_ && wanted) {
    auto visit = [&](const xmlNode* element) {
      if (Matches(element, *wanted)) nodes.push_back(element);
      return true;
    };
    ForEachElement(reinterpret_cast<const xmlNode*>(doc_.get()), visit);
  }
  return std::make_unique<Libxml2NodeList>(std::move(nodes));
}

}  // namespace tidewire
