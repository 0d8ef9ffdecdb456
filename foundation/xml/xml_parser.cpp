#include "foundation/xml/xml_parser.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/Wrapper4InputSource.hpp>
#include <xercesc/parsers/DOMLSParserImpl.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>
#include <xercesc/validators/DTD/DTDEntityDecl.hpp>

#include <string_view>

#include "foundation/xml/xerces_entity_bound.h"
#include "platform/text/ascii.h"
#include "platform/text/unicode.h"

using namespace xercesc;

namespace {

// The event log's record of a document refused for its entities.
constexpr char16_t kEntitiesRefusedFailure[] = u"解析XML文档错误:";

// Keeps Xerces started from the first use until the process or the library unloads.
class XercesSession {
 public:
  XercesSession() { XMLPlatformUtils::Initialize(); }
  ~XercesSession() { XMLPlatformUtils::Terminate(); }
  XercesSession(const XercesSession&) = delete;
  XercesSession& operator=(const XercesSession&) = delete;
};

// Records whether the parse met a fatal error, and stops the parse at the first one.
class FatalErrorRecorder : public DOMErrorHandler {
 public:
  bool handleError(const DOMError& error) override {
    if (error.getSeverity() == DOMError::DOM_SEVERITY_WARNING) return true;
    failed_ = true;
    return false;
  }
  bool failed() const { return failed_; }

 private:
  bool failed_ = false;
};

// A DOM parser whose entities are held to their bound.
class BoundedLsParser : public DOMLSParserImpl {
 public:
  explicit BoundedLsParser(XercesEntityBound& bound)
      : DOMLSParserImpl(nullptr, &bound), bound_(bound) {}

  void entityDecl(const DTDEntityDecl& declaration, const bool is_parameter,
                  const bool ignored) override {
    if (!is_parameter && !ignored && !declaration.isExternal()) {
      bound_.Declare(declaration.getName(), declaration.getValue());
    }
    DOMLSParserImpl::entityDecl(declaration, is_parameter, ignored);
  }
  void startEntityReference(const XMLEntityDecl& declaration) override {
    bound_.BeginReference(declaration.getName());
    DOMLSParserImpl::startEntityReference(declaration);
  }
  void endEntityReference(const XMLEntityDecl& declaration) override {
    bound_.EndReference();
    DOMLSParserImpl::endEntityReference(declaration);
  }

 private:
  XercesEntityBound& bound_;
};

void Configure(DOMLSParser* builder) {
  DOMConfiguration* config = builder->getDomConfig();
  // Prefixed element names stay as written ("a:b"); no namespace is resolved.
  config->setParameter(XMLUni::fgDOMNamespaces, false);
  config->setParameter(XMLUni::fgXercesLoadExternalDTD, false);
  config->setParameter(XMLUni::fgXercesDisableDefaultEntityResolution, true);
  config->setParameter(XMLUni::fgXercesSecurityManager, XercesEntityLimits());
}

bool IsBlankSource(const void* source, std::size_t byte_count, bool wide) {
  return wide ? korvalis::IsBlank(
                    std::u16string_view(static_cast<const char16_t*>(source), byte_count / 2))
              : korvalis::IsBlank(std::string_view(static_cast<const char*>(source), byte_count));
}

// Walks the tree without recursion and tells whether elements nest deeper than kMaxXmlDepth.
bool NestsTooDeep(const DOMDocument* document) {
  const DOMNode* node = document->getFirstChild();
  std::size_t depth = 1;
  while (node != nullptr) {
    if (depth > kMaxXmlDepth && node->getNodeType() == DOMNode::ELEMENT_NODE) return true;
    if (node->getFirstChild() != nullptr) {
      node = node->getFirstChild();
      ++depth;
      continue;
    }
    while (node != nullptr && node->getNextSibling() == nullptr) {
      node = node->getParentNode();
      --depth;
      if (node == document) return false;
    }
    if (node != nullptr) node = node->getNextSibling();
  }
  return false;
}

void ReplaceEvery(std::u16string& text, std::u16string_view from, std::u16string_view to) {
  std::size_t position = 0;
  while ((position = text.find(from, position)) != std::u16string::npos) {
    text.replace(position, from.size(), to);
    position += to.size();
  }
}

}  // namespace

// The session lives as long as the process: ending it at exit would pull the parser from under
// threads still parsing.
void StartXmlLibrary() { static XercesSession& session [[maybe_unused]] = *new XercesSession; }

xercesc::DOMImplementation* GetDomImplementation() {
  StartXmlLibrary();
  static DOMImplementation* const implementation =
      DOMImplementationRegistry::getDOMImplementation(u"LS");
  return implementation;
}

std::u16string WithEntitiesCause(std::u16string_view message, std::string_view cause) {
  std::u16string text(message);
  if (!cause.empty()) text += u" " + korvalis::FromUtf8(cause);
  return text;
}

// ---- XmlWriter ----

XmlWriter::XmlWriter(DOMLSSerializer* serializer) : serializer_(serializer) {}

XmlWriter::~XmlWriter() { serializer_->release(); }

std::u16string XmlWriter::Write(const DOMNode* node) {
  XMLCh* markup = serializer_->writeToString(node);
  std::u16string text = markup == nullptr ? std::u16string() : std::u16string(markup);
  XMLString::release(&markup);
  return text;
}

// ---- CXmlStringParser ----

CXmlStringParser::CXmlStringParser(const std::u16string& text)
    : source_(text.data()), byte_count_(text.size() * 2), wide_(true) {}

CXmlStringParser::CXmlStringParser(BSTR text)
    : source_(text), byte_count_(SysStringByteLen(text) & ~static_cast<std::size_t>(1)),
      wide_(true) {}

CXmlStringParser::CXmlStringParser(const std::string& text)
    : source_(text.data()), byte_count_(text.size()), wide_(false) {}

CXmlStringParser::~CXmlStringParser() { Release(); }

void CXmlStringParser::Release() {
  if (builder_ != nullptr) builder_->release();
  if (blank_document_ != nullptr) blank_document_->release();
  builder_ = nullptr;
  blank_document_ = nullptr;
  document_ = nullptr;
}

xercesc::DOMDocument* CXmlStringParser::GetDocument() {
  if (document_ != nullptr) return document_;
  Release();
  StartXmlLibrary();
  // A blank text is an empty document, not a malformed one.
  if (source_ == nullptr || IsBlankSource(source_, byte_count_, wide_)) {
    blank_document_ = GetDomImplementation()->createDocument();
    document_ = blank_document_;
    return document_;
  }
  if (bound_ == nullptr) bound_ = std::make_unique<XercesEntityBound>();
  bound_->Begin(byte_count_);
  builder_ = new BoundedLsParser(*bound_);
  Configure(builder_);

  MemBufInputSource input(static_cast<const XMLByte*>(source_), byte_count_, u"", false);
  if (wide_) input.setEncoding(u"UTF-16LE");
  Wrapper4InputSource wrapper(&input, false);

  FatalErrorRecorder errors;
  builder_->getDomConfig()->setParameter(XMLUni::fgDOMErrorHandler, &errors);
  DOMDocument* document = nullptr;
  bool failed = false;
  try {
    document = builder_->parse(&wrapper);
  } catch (const XMLException&) {
    failed = true;
  } catch (const DOMException&) {
    failed = true;
  } catch (const OutOfMemoryException&) {
    failed = true;
  } catch (const EntitiesRefused&) {
    failed = true;
  }
  bound_->End();
  if (!bound_->Refused().empty()) LogEntitiesRefused(kEntitiesRefusedFailure, bound_->Refused());
  builder_->getDomConfig()->setParameter(XMLUni::fgDOMErrorHandler,
                                         static_cast<const void*>(nullptr));
  if (failed || errors.failed() || document == nullptr || NestsTooDeep(document)) {
    return nullptr;
  }
  document_ = document;
  return document_;
}

std::string_view CXmlStringParser::EntityRefusal() const {
  return bound_ == nullptr ? std::string_view() : bound_->Refused();
}

// ---- helpers of the property bag ----

void EscapeXmlText(std::u16string& text) {
  ReplaceEvery(text, u"<", u"#lt;");
  ReplaceEvery(text, u">", u"#gt;");
  ReplaceEvery(text, u"\"", u"#quot;");
}

void UnescapeXmlText(std::u16string& text) {
  ReplaceEvery(text, u"#lt;", u"<");
  ReplaceEvery(text, u"#gt;", u">");
  ReplaceEvery(text, u"#quot;", u"\"");
}

std::u16string GetInnerXml(const xercesc::DOMNode* element) {
  if (element == nullptr || element->getFirstChild() == nullptr) return std::u16string();
  bool has_element_child = false;
  for (const DOMNode* child = element->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    has_element_child = has_element_child || child->getNodeType() == DOMNode::ELEMENT_NODE;
  }
  if (!has_element_child) {
    const XMLCh* text = element->getTextContent();
    return text == nullptr ? std::u16string() : std::u16string(text);
  }
  auto* implementation = static_cast<DOMImplementationLS*>(GetDomImplementation());
  XmlWriter writer(implementation->createLSSerializer());
  std::u16string inner;
  for (const DOMNode* child = element->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() == DOMNode::ELEMENT_NODE) inner += writer.Write(child);
  }
  return inner;
}
