#pragma once
// The XML document of the Windows build: MSXML's DOMDocument, created in-process and configured
// once (validation on parse, synchronous loading, external resources off).

#include <msxml2.h>
#include <wrl/client.h>

#include <memory>
#include <string_view>

#include "processing/xml_document.h"

namespace tidewire {

class MsxmlDocument final : public XmlDocument {
 public:
  // Null when the DOMDocument cannot be created or configured. COM must be initialised on the
  // calling thread, which is the thread that uses the document.
  static std::unique_ptr<MsxmlDocument> Create();

  void Load(std::u16string_view text) override;
  std::unique_ptr<XmlNode> SelectFirst(std::u16string_view name) const override;
  std::unique_ptr<XmlNodeList> SelectAll(std::u16string_view name) const override;

 private:
  explicit MsxmlDocument(Microsoft::WRL::ComPtr<IXMLDOMDocument> document);

  Microsoft::WRL::ComPtr<IXMLDOMDocument> document_;
};

}  // namespace tidewire
