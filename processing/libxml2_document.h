#pragma once
// The XML document of the native build, on libxml2, configured and read the way MSXML 3 on Wine
// (itself built on libxml2) configures and reads it, so that both builds read feeds alike.

#include <memory>
#include <string_view>

#include "processing/xml_document.h"

struct _xmlDoc;

namespace tidewire {

class Libxml2Document final : public XmlDocument {
 public:
  Libxml2Document();
  ~Libxml2Document() override;
  Libxml2Document(const Libxml2Document&) = delete;
  Libxml2Document& operator=(const Libxml2Document&) = delete;

  void Load(std::u16string_view text) override;
  bool LoadUtf8(std::string_view utf8) override;
  std::unique_ptr<XmlNode> SelectFirst(std::u16string_view name) const override;
  std::unique_ptr<XmlNodeList> SelectAll(std::u16string_view name) const override;

 private:
  struct DocDeleter {
    void operator()(_xmlDoc* doc) const;
  };
  std::unique_ptr<_xmlDoc, DocDeleter> doc_;
};

}  // namespace tidewire
