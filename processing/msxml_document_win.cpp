#include "processing/msxml_document_win.h"

#include <windows.h>

#include <string>
#include <utility>

#include "processing/xml_input.h"
#include "win/com.h"

namespace tidewire {
namespace {

// DOMDocument and IXMLDOMDocument (msxml2.h maps its CLSID_DOMDocument to another class).
constexpr CLSID DomDocumentClass = {
    0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID XmlDomDocumentInterface = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

std::u16string Query(std::u16string_view prefix, std::u16string_view name) {
  std::u16string query(prefix);
  query += name;
  return query;
}

// Whether the text of `element` stays within XmlTextMaxNodes and XmlTextMaxLength. MSXML
// joins the pieces of a text in time that grows with both, so larger texts are not read.
bool TextWithinLimits(IXMLDOMNode* element, std::size_t& nodes, std::size_t& length) {
  ComPtr<IXMLDOMNode> child;
  if (element->get_firstChild(&child) != S_OK) return true;
  while (child) {
    if (++nodes > XmlTextMaxNodes) return false;
    DOMNodeType type = NODE_INVALID;
    child->get_nodeType(&type);
    if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
      UniqueVariant value;
      if (SUCCEEDED(child->get_nodeValue(value.Get())) && value.Get()->vt == VT_BSTR) {
        length += ::SysStringLen(value.Get()->bstrVal);
        if (length > XmlTextMaxLength) return false;
      }
    } else if (type == NODE_ELEMENT) {
      if (!TextWithinLimits(child.Get(), nodes, length)) return false;
    }
    ComPtr<IXMLDOMNode> next;
    if (child->get_nextSibling(&next) != S_OK) break;
    child = std::move(next);
  }
  return true;
}

class MsxmlNode final : public XmlNode {
 public:
  explicit MsxmlNode(ComPtr<IXMLDOMNode> node) : node_(std::move(node)) {}

  std::unique_ptr<XmlNode> FirstChild(std::u16string_view name) const override {
    const UniqueBstr query(name);
    ComPtr<IXMLDOMNode> child;
    if (node_->selectSingleNode(query.Get(), &child) != S_OK || !child) return nullptr;
    return std::make_unique<MsxmlNode>(std::move(child));
  }

  std::u16string Text() const override {
    std::size_t nodes = 0;
    std::size_t length = 0;
    if (!TextWithinLimits(node_.Get(), nodes, length)) return {};
    UniqueVariant value;
    if (FAILED(node_->get_nodeTypedValue(value.Get()))) return {};
    if (value.Get()->vt != VT_BSTR &&
        FAILED(::VariantChangeType(value.Get(), value.Get(), 0, VT_BSTR))) {
      return {};
    }
    const BSTR text = value.Get()->bstrVal;
    if (text == nullptr) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text), ::SysStringLen(text));
  }

 private:
  ComPtr<IXMLDOMNode> node_;
};

class MsxmlNodeList final : public XmlNodeList {
 public:
  explicit MsxmlNodeList(ComPtr<IXMLDOMNodeList> list) : list_(std::move(list)) {}

  std::size_t Length() const override {
    long length = 0;
    if (FAILED(list_->get_length(&length)) || length < 0) return 0;
    return static_cast<std::size_t>(length);
  }

  std::unique_ptr<XmlNode> Item(std::size_t index) const override {
    ComPtr<IXMLDOMNode> node;
    if (list_->get_item(static_cast<long>(index), &node) != S_OK || !node) return nullptr;
    return std::make_unique<MsxmlNode>(std::move(node));
  }

 private:
  ComPtr<IXMLDOMNodeList> list_;
};

}  // namespace

std::unique_ptr<MsxmlDocument> MsxmlDocument::Create() {
  ComPtr<IXMLDOMDocument> document;
  if (FAILED(::CoCreateInstance(DomDocumentClass, nullptr, CLSCTX_INPROC_SERVER,
                                XmlDomDocumentInterface,
                                reinterpret_cast<void**>(document.GetAddressOf())))) {
    return nullptr;
  }
  document->put_validateOnParse(VARIANT_TRUE);
  document->put_async(VARIANT_FALSE);
  // A document that could fetch external DTDs and entities must not be used at all.
  if (FAILED(document->put_resolveExternals(VARIANT_FALSE))) return nullptr;
  return std::unique_ptr<MsxmlDocument>(new MsxmlDocument(std::move(document)));
}

MsxmlDocument::MsxmlDocument(ComPtr<IXMLDOMDocument> document) : document_(std::move(document)) {}

void MsxmlDocument::Load(std::u16string_view text) {
  // A document whose entities would expand too far is replaced by nothing: the load then fails
  // and leaves the document empty, as for any unreadable text.
  const UniqueBstr source(EntityExpansionWithinLimit(text)
                              ? WithParsedEncoding(SkipLoadSkippedSpace(text))
                              : std::u16string());
  VARIANT_BOOL loaded = VARIANT_FALSE;
  document_->loadXML(source.Get(), &loaded);
}

std::unique_ptr<XmlNode> MsxmlDocument::SelectFirst(std::u16string_view name) const {
  const UniqueBstr query(Query(u"//", name));
  ComPtr<IXMLDOMNode> node;
  if (document_->selectSingleNode(query.Get(), &node) != S_OK || !node) return nullptr;
  return std::make_unique<MsxmlNode>(std::move(node));
}

std::unique_ptr<XmlNodeList> MsxmlDocument::SelectAll(std::u16string_view name) const {
  const UniqueBstr query(Query(u"//", name));
  ComPtr<IXMLDOMNodeList> list;
  if (FAILED(document_->selectNodes(query.Get(), &list)) || !list) return nullptr;
  return std::make_unique<MsxmlNodeList>(std::move(list));
}

}  // namespace tidewire
