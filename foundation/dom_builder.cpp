#include "foundation/dom_builder.h"

#include <xercesc/dom/DOM.hpp>

#include "foundation/emr_exception.h"
#include "foundation/xml_parser.h"

using namespace xercesc;

namespace korvalis {
namespace {

// Records whether the writer met an error; it goes on writing, the text is thrown away.
class WriteErrorRecorder : public DOMErrorHandler {
 public:
  bool handleError(const DOMError& error) override {
    if (error.getSeverity() != DOMError::DOM_SEVERITY_WARNING) failed_ = true;
    return true;
  }
  bool failed() const { return failed_; }

 private:
  bool failed_ = false;
};

}  // namespace

DomDocumentBuilder::DomDocumentBuilder(std::u16string_view root_name)
    : document_(GetDomImplementation()->createDocument(nullptr, std::u16string(root_name).c_str(),
                                                       nullptr)) {}

DomDocumentBuilder::~DomDocumentBuilder() { document_->release(); }

DOMElement* DomDocumentBuilder::root() const { return document_->getDocumentElement(); }

DOMElement* DomDocumentBuilder::Append(DOMElement* parent, std::u16string_view name,
                                       std::u16string_view text) {
  DOMElement* element = document_->createElement(std::u16string(name).c_str());
  SetText(element, text);
  parent->appendChild(element);
  return element;
}

DOMElement* DomDocumentBuilder::AppendCopy(DOMElement* parent, const DOMElement* element) {
  auto* copy = static_cast<DOMElement*>(document_->importNode(element, true));
  parent->appendChild(copy);
  return copy;
}

void DomDocumentBuilder::SetAttribute(DOMElement* element, std::u16string_view name,
                                      std::u16string_view value) {
  element->setAttribute(std::u16string(name).c_str(), std::u16string(value).c_str());
}

void DomDocumentBuilder::SetText(DOMElement* element, std::u16string_view text) {
  element->setTextContent(text.empty() ? nullptr : std::u16string(text).c_str());
}

std::u16string DomDocumentBuilder::Write() const { return WriteDomDocument(document_); }

std::u16string WriteDomDocument(const DOMDocument* document) {
  auto* implementation = static_cast<DOMImplementationLS*>(GetDomImplementation());
  DOMLSSerializer* serializer = implementation->createLSSerializer();
  WriteErrorRecorder errors;
  serializer->getDomConfig()->setParameter(XMLUni::fgDOMErrorHandler, &errors);
  XmlWriter writer(serializer);
  std::u16string text = writer.Write(document);
  if (errors.failed() || text.empty()) throw CEMRException(std::u16string(kUnwritableXmlMessage));
  return text;
}

}  // namespace korvalis
