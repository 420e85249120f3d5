#pragma once
// The XML document the feed reader works through: MSXML on Windows, libxml2 natively. Both
// give the same results for feed documents: names match elements written without a prefix (an
// element in a default namespace matches, a prefixed one does not), and the text of an element
// is read the way MSXML reads it (see Text()).

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tidewire {

class XmlNode {
 public:
  virtual ~XmlNode() = default;

  // The first child element named `name`, or null.
  virtual std::unique_ptr<XmlNode> FirstChild(std::u16string_view name) const = 0;

  // The element's typed value as a string; for the untyped elements of a feed, its text
  // content: the character data and CDATA sections below it, joined, white space at both ends
  // trimmed (but not inside CDATA sections). Empty when the element holds more than
  // XmlTextMaxNodes nodes or more than XmlTextMaxLength characters of character data.
  virtual std::u16string Text() const = 0;
};

class XmlNodeList {
 public:
  virtual ~XmlNodeList() = default;
  virtual std::size_t Length() const = 0;
  // Null when the item cannot be fetched.
  virtual std::unique_ptr<XmlNode> Item(std::size_t index) const = 0;
};

class XmlDocument {
 public:
  virtual ~XmlDocument() = default;

  // Parses `text`, replacing the previous content; nodes of that content must not be used any
  // more. Leading white space is skipped, and the encoding the XML declaration names does not
  // matter (the text is Unicode already). Text that is not well-formed XML, or whose entity
  // references would expand beyond XmlMaxEntityExpansion, leaves the document empty. Nothing
  // outside the text is ever read: no external DTD, no external entity, no network.
  virtual void Load(std::u16string_view text) = 0;

  // Loads a document from its UTF-8 bytes (without byte-order mark) when the document can read
  // them directly, with the result Load would give for their UTF-16 decoding; `utf8` holds no
  // zero byte and is followed by one. Returns false, with the content left as it was, when the
  // bytes have to be decoded and loaded through Load instead.
  virtual bool LoadUtf8(std::string_view /*utf8*/) { return false; }

  // The first element named `name` anywhere in the document, in document order ("//name").
  virtual std::unique_ptr<XmlNode> SelectFirst(std::u16string_view name) const = 0;

  // Every element named `name`, in document order ("//name"); null when the selection fails.
  virtual std::unique_ptr<XmlNodeList> SelectAll(std::u16string_view name) const = 0;
};

}  // namespace tidewire
