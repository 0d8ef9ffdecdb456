#include "foundation/xml/xml_property.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLChar.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <memory>
#include <optional>
#include <string_view>

#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xerces_entity_bound.h"
#include "foundation/xml/xml_parser.h"
#include "platform/xml/attribute_work.h"
#include "platform/text/ascii.h"
#include "platform/text/unicode.h"

using namespace xercesc;

// The bag is read with a streaming (SAX) pass and written directly as text: a DOM would
// cost several times more for the same result. The DOM is still built for the one case
// that needs the serialiser, an "extend" property that holds elements.

namespace {

constexpr char16_t kParseError[] = u"解析属性信息错误.";
constexpr char16_t kInvalidCharacter[] = u"属性信息含有XML不允许的字符.";
constexpr std::u16string_view kDeclaration =
    u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>";

struct ParseFailure {};

// Collects the first-level elements of the document element: name and text content, the
// first of a repeated name kept. Notes whether the first `tag` element holds an element.
class FirstLevelReader : public DefaultHandler {
 public:
  FirstLevelReader(CXmlProperty::Map& properties, std::u16string_view tag)
      : properties_(properties), tag_(tag) {}

  bool tag_holds_elements() const { return tag_holds_elements_; }

  void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const qname,
                    const Attributes&) override {
    ++depth_;
    if (depth_ > kMaxXmlDepth) throw ParseFailure();
    if (depth_ == 2) {
      // Names mostly arrive in ascending order (ToXml writes them so): append at the end.
      const std::size_t size_before = properties_.size();
      auto entry = !properties_.empty() && properties_.rbegin()->first < qname
                       ? properties_.emplace_hint(properties_.end(), qname, std::u16string())
                       : properties_.try_emplace(qname).first;
      const bool inserted = properties_.size() != size_before;
      current_ = inserted ? &entry->second : nullptr;
      in_tag_ = inserted && entry->first == tag_;
    } else if (depth_ == 3 && in_tag_) {
      tag_holds_elements_ = true;
    }
  }
  void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
    if (depth_ == 2) {
      current_ = nullptr;
      in_tag_ = false;
    }
    --depth_;
  }
  void characters(const XMLCh* const text, const XMLSize_t length) override {
    if (current_ != nullptr) current_->append(text, length);
  }
  void ignorableWhitespace(const XMLCh* const text, const XMLSize_t length) override {
    characters(text, length);
  }
  void error(const SAXParseException&) override { throw ParseFailure(); }
  void fatalError(const SAXParseException&) override { throw ParseFailure(); }

 private:
  CXmlProperty::Map& properties_;
  std::u16string_view tag_;
  std::size_t depth_ = 0;
  std::u16string* current_ = nullptr;
  bool in_tag_ = false;
  bool tag_holds_elements_ = false;
};

// Checks that a text is well-formed element content holding at least one element.
class FragmentChecker : public DefaultHandler {
 public:
  bool holds_elements() const { return holds_elements_; }
  void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const,
                    const Attributes&) override {
    if (++depth_ > kMaxXmlDepth) throw ParseFailure();
    if (depth_ == 2) holds_elements_ = true;
  }
  void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
    --depth_;
  }
  void error(const SAXParseException&) override { throw ParseFailure(); }
  void fatalError(const SAXParseException&) override { throw ParseFailure(); }

 private:
  std::size_t depth_ = 0;
  bool holds_elements_ = false;
};

// Hands the declarations and references a parse reports to its entity bound.
class EntityEvents : public DefaultHandler {
 public:
  explicit EntityEvents(XercesEntityBound& bound) : bound_(bound) {}
  void internalEntityDecl(const XMLCh* const name, const XMLCh* const value) override {
    bound_.Declare(name, value);
  }
  void startEntity(const XMLCh* const name) override { bound_.BeginReference(name); }
  void endEntity(const XMLCh* const) override { bound_.EndReference(); }

 private:
  XercesEntityBound& bound_;
};

// Streaming readers configured for bounded parsing. Making one costs as much as reading a small
// bag, so each thread keeps two: one that only checks well-formedness (no grammar is built for
// the names met, which makes it the faster, but it would skip a document type declaration unread)
// and one that also reads the declaration, for the texts that carry one, its entities held to
// their bound.
struct ThreadReaders {
  static std::unique_ptr<SAX2XMLReader> Make(bool with_document_type, MemoryManager* memory) {
    std::unique_ptr<SAX2XMLReader> made(XMLReaderFactory::createXMLReader(memory));
    made->setFeature(XMLUni::fgSAX2CoreNameSpaces, false);
    made->setFeature(XMLUni::fgXercesLoadExternalDTD, false);
    made->setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    if (!with_document_type) {
      made->setProperty(XMLUni::fgXercesScannerName, const_cast<XMLCh*>(XMLUni::fgWFXMLScanner));
    } else {
      made->setProperty(XMLUni::fgXercesSecurityManager, XercesEntityLimits());
    }
    return made;
  }

  // The memory of the reader it watches: made first, so that it is freed after the reader.
  XercesEntityBound bound;
  std::unique_ptr<SAX2XMLReader> plain = Make(false, XMLPlatformUtils::fgMemoryManager);
  std::unique_ptr<SAX2XMLReader> with_document_type = Make(true, &bound);
};

ThreadReaders& Readers() {
  StartXmlLibrary();
  thread_local ThreadReaders readers;
  return readers;
}

// How a parse ended: well formed, or not, or refused for its entities (the cause).
struct ReadOutcome {
  bool well_formed = false;
  std::string_view refused;
};

ReadOutcome RunReader(SAX2XMLReader& reader, XercesEntityBound* bound, std::u16string_view text,
                      DefaultHandler& handler) {
  std::optional<EntityEvents> entity_events;
  reader.setContentHandler(&handler);
  reader.setErrorHandler(&handler);
  if (bound != nullptr) {
    bound->Begin(text.size() * 2);
    entity_events.emplace(*bound);
    reader.setLexicalHandler(&*entity_events);
    reader.setDeclarationHandler(&*entity_events);
  }
  MemBufInputSource input(reinterpret_cast<const XMLByte*>(text.data()), text.size() * 2, u"",
                          false);
  input.setEncoding(u"UTF-16LE");
  ReadOutcome outcome;
  try {
    reader.parse(input);
    outcome.well_formed = true;
  } catch (const EntitiesRefused&) {
  } catch (const ParseFailure&) {
  } catch (const XMLException&) {
  } catch (const SAXException&) {
  } catch (const OutOfMemoryException&) {
  }
  reader.setContentHandler(nullptr);
  reader.setErrorHandler(nullptr);
  if (bound != nullptr) {
    bound->End();
    outcome.refused = bound->Refused();
    reader.setLexicalHandler(nullptr);
    reader.setDeclarationHandler(nullptr);
  }
  return outcome;
}

// Runs one bounded streaming parse of a wide text.
ReadOutcome ReadWide(std::u16string_view text, DefaultHandler& handler) {
  ThreadReaders& readers = Readers();
  // Xerces' well-formedness scanner compares each attribute of a tag with every one before it;
  // the other keeps a table of them once a tag holds 100.
  if (text.find(u"<!DOCTYPE") == std::u16string_view::npos &&
      !korvalis::xml::WritesAttributesInOneTag(text, 100)) {
    return RunReader(*readers.plain, nullptr, text, handler);
  }
  return RunReader(*readers.with_document_type, &readers.bound, text, handler);
}

// The inner XML of the first element named `tag` among the first-level elements.
std::u16string InnerXmlOf(const std::u16string& xml, const std::u16string& tag) {
  CXmlStringParser parser(xml);
  const DOMDocument* document = parser.GetDocument();
  if (document == nullptr || document->getDocumentElement() == nullptr) {
    throw CEMRException(std::u16string(kParseError));
  }
  for (const DOMNode* child = document->getDocumentElement()->getFirstChild();
       child != nullptr; child = child->getNextSibling()) {
    if (child->getNodeType() == DOMNode::ELEMENT_NODE && tag == child->getNodeName()) {
      return GetInnerXml(child);
    }
  }
  return std::u16string();
}

// Appends `text` as element content, escaped as the library's serialiser escapes it.
// Throws CEMRException for a character that XML cannot carry.
void AppendEscaped(std::u16string& out, std::u16string_view text) {
  std::size_t run = 0;  // start of the characters not yet appended, which need no escape
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if ((c >= 0x20 && c < 0xD800 && c != u'&' && c != u'<' && c != u'>') || c == u'\t' ||
        c == u'\n') {
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
        XMLChar1_0::isXMLChar(c, text[i + 1])) {
      ++i;
      continue;
    }
    if (c >= 0xE000 && XMLChar1_0::isXMLChar(c)) continue;
    out.append(text.substr(run, i - run));
    run = i + 1;
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'\r': out += u"&#xD;"; break;
      default: throw CEMRException(std::u16string(kInvalidCharacter));
    }
  }
  out.append(text.substr(run));
}

void CheckName(const std::u16string& name) {
  if (name.empty() || name.find(u'\0') != std::u16string::npos ||
      !XMLChar1_0::isValidName(name.c_str(), name.size())) {
    throw DOMException(DOMException::INVALID_CHARACTER_ERR, 0, XMLPlatformUtils::fgMemoryManager);
  }
}

}  // namespace

CXmlProperty::CXmlProperty(const std::u16string& xml) : xml_(xml), tag_(u"extend") {}

CXmlProperty::CXmlProperty(const Map& properties) : properties_(properties), tag_(u"extend") {}

CXmlProperty::CXmlProperty(const CXmlProperty& other) : xml_(other.ToXml()), tag_(u"extend") {}

CXmlProperty& CXmlProperty::operator=(const CXmlProperty& other) {
  if (this != &other) {
    xml_ = other.ToXml();
    properties_.clear();
  }
  return *this;
}

CXmlProperty::~CXmlProperty() = default;

namespace {

// The last short text parsed on this thread and its properties: a list a client asks for
// again (a ward's list refreshed) builds the same condition, which is not parsed again.
struct LastParsed {
  static constexpr std::size_t kMaxUnits = 4096;
  std::u16string xml;
  CXmlProperty::Map properties;
};
thread_local LastParsed last_parsed;

}  // namespace

void CXmlProperty::Parse() const {
  if (!properties_.empty() || korvalis::IsBlank(xml_)) return;
  if (!last_parsed.xml.empty() && last_parsed.xml == xml_) {
    properties_ = last_parsed.properties;
    return;
  }
  Map properties;
  FirstLevelReader reader(properties, tag_);
  const ReadOutcome read = ReadWide(xml_, reader);
  if (!read.refused.empty()) {
    LogEntitiesRefused(kParseError, read.refused);
    throw CEMRException(WithEntitiesCause(kParseError, read.refused));
  }
  if (!read.well_formed) throw CEMRException(std::u16string(kParseError));
  // The markup of the elements under "extend" is as the library's serialiser writes it.
  if (reader.tag_holds_elements()) properties[tag_] = InnerXmlOf(xml_, tag_);
  properties_.swap(properties);
  if (xml_.size() <= LastParsed::kMaxUnits && !properties_.empty()) {
    last_parsed.xml = xml_;
    last_parsed.properties = properties_;
  }
}

std::u16string CXmlProperty::GetValue(const std::u16string& name) const {
  Parse();
  auto found = properties_.find(name);
  return found == properties_.end() ? std::u16string() : found->second;
}

CXmlProperty::Map CXmlProperty::GetMap() const {
  Parse();
  return properties_;
}

void CXmlProperty::SetMap(const Map& properties) {
  properties_ = properties;
  xml_.clear();
}

std::u16string CXmlProperty::ToXml() const {
  if (!xml_.empty()) return xml_;
  std::u16string xml(kDeclaration);
  if (properties_.empty()) return xml + u"<root/>";
  std::size_t size = xml.size() + 16;
  for (const auto& [name, value] : properties_) size += 2 * name.size() + value.size() + 5;
  xml.reserve(size + size / 8);
  xml += u"<root>";
  for (const auto& [name, value] : properties_) {
    CheckName(name);
    xml += u'<';
    xml += name;
    if (value.empty()) {
      // An element without content, written as the library's serialiser writes it.
      xml += u"/>";
      continue;
    }
    xml += u'>';
    if (name == tag_) {
      // Markup stays markup; anything else (plain text, a broken fragment) is text.
      const std::u16string wrapped = u"<extend>" + value + u"</extend>";
      FragmentChecker checker;
      if (ReadWide(wrapped, checker).well_formed && checker.holds_elements()) {
        xml += value;
      } else {
        AppendEscaped(xml, value);
      }
    } else {
      AppendEscaped(xml, value);
    }
    xml += u"</";
    xml += name;
    xml += u'>';
  }
  return xml + u"</root>";
}
