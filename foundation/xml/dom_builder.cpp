#include "foundation/xml/dom_builder.h"

#include <xercesc/dom/DOM.hpp>

#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xml_parser.h"

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

// The reference the DOM writer puts in place of `unit` in an attribute value (`attribute`) or in
// element text, or nullptr where it writes the unit itself.
const char16_t* DomReference(char16_t unit, bool attribute) {
  switch (unit) {
    case u'&': return u"&amp;";
    case u'<': return u"&lt;";
    case u'>': return attribute ? nullptr : u"&gt;";
    case u'"': return attribute ? u"&quot;" : nullptr;
    case u'\t': return attribute ? u"&#x9;" : nullptr;
    case u'\n': return attribute ? u"&#xA;" : nullptr;
    case u'\r': return u"&#xD;";
    default: return nullptr;
  }
}

void AppendEscaped(std::u16string& out, std::u16string_view text, bool attribute) {
  out.reserve(out.size() + text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool control = unit < 0x20 && unit != u'\t' && unit != u'\n' && unit != u'\r';
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool paired =
        high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (control || unit == 0xFFFE || unit == 0xFFFF || (high && !paired) ||
        (unit >= 0xDC00 && unit <= 0xDFFF)) {
      throw CEMRException(std::u16string(kUnwritableXmlMessage));
    }
    if (paired) {
      out.append(text.substr(i, 2));
      ++i;
    } else if (const char16_t* reference = DomReference(unit, attribute)) {
      out.append(reference);
    } else {
      out.push_back(unit);
    }
  }
}

}  // namespace

void AppendDomText(std::u16string& out, std::u16string_view text) {
  AppendEscaped(out, text, false);
}

void AppendDomAttributeValue(std::u16string& out, std::u16string_view value) {
  AppendEscaped(out, value, true);
}

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
