#include "foundation/xml/xml_document.h"

#include <algorithm>
#include <string_view>

#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xml_parser.h"
#include "platform/text/unicode.h"
#include "platform/xml/entity_bound.h"

using korvalis::FromUtf8;
using korvalis::ToUtf8;

namespace {

constexpr char16_t kDeclaration[] = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
constexpr char16_t kDefaultDocument[] = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><root></root>";
constexpr char16_t kNoDocumentElement[] = u"无效XML!";
constexpr char16_t kEmptyNode[] = u"无效XML节点!";

// The text as loaded: the default document for an empty text, otherwise the text without
// any line feed or carriage return.
std::string LoadableText(std::u16string_view xml) {
  if (xml.empty()) return ToUtf8(kDefaultDocument);
  std::u16string text(xml);
  text.erase(
      std::remove_if(text.begin(), text.end(), [](char16_t c) { return c == u'\n' || c == u'\r'; }),
      text.end());
  return ToUtf8(text);
}

}  // namespace

// ---- CXmlDocument ----

CXmlDocument::CXmlDocument() : read_only_(std::make_shared<bool>(false)) {
  Load(std::u16string(), false);
}

CXmlDocument::CXmlDocument(const std::u16string& xml, bool, bool read_only)
    : read_only_(std::make_shared<bool>(read_only)) {
  Load(xml, read_only);
}

CXmlDocument::CXmlDocument(const char16_t* xml, bool, bool read_only)
    : read_only_(std::make_shared<bool>(read_only)) {
  Load(xml == nullptr ? std::u16string() : std::u16string(xml), read_only);
}

CXmlDocument::CXmlDocument(BSTR xml, bool, bool read_only)
    : read_only_(std::make_shared<bool>(read_only)) {
  const std::u16string text(korvalis::BstrView(xml));
  SysFreeString(xml);
  Load(text, read_only);
}

CXmlDocument::~CXmlDocument() = default;

bool CXmlDocument::Load(const std::u16string& xml, bool read_only) {
  *read_only_ = read_only;
  return document_.LoadXml(LoadableText(xml)) && HasRoot();
}

bool CXmlDocument::HasRoot() const { return document_.HasDocumentElement(); }

CXmlNode CXmlDocument::GetRootNode(const std::u16string&) { return GetDocumentElement(); }

CXmlNode CXmlDocument::GetDocumentElement() {
  if (!HasRoot()) {
    throw CEMRException(WithEntitiesCause(kNoDocumentElement,
                                          korvalis::xml::EntityRefusalIn(document_.LoadFailure())));
  }
  return CXmlNode(this, document_.DocumentElement());
}

std::u16string CXmlDocument::GetXml() { return kDeclaration + GetDocumentElement().GetXml(); }

// ---- CXmlNode ----

CXmlNode::CXmlNode(CXmlDocument* owner)
    : read_only_(owner == nullptr ? nullptr : owner->read_only_) {}

CXmlNode::CXmlNode(CXmlDocument* owner, korvalis::xml::Node node)
    : node_(std::move(node)), read_only_(owner == nullptr ? nullptr : owner->read_only_) {}

CXmlNode::~CXmlNode() = default;

void CXmlNode::CheckValid() const {
  if (node_.IsNull()) throw CEMRException(std::u16string(kEmptyNode));
  if (!error_.empty()) throw CEMRException(error_);
}

std::u16string CXmlNode::GetName() const {
  CheckValid();
  return FromUtf8(node_.Name());
}

std::u16string CXmlNode::GetText() const {
  CheckValid();
  return FromUtf8(node_.Text());
}

void CXmlNode::SetText(const char16_t* text) {
  SetText(text == nullptr ? std::u16string() : std::u16string(text));
}

void CXmlNode::SetText(const std::u16string& text) {
  CheckValid();
  if (IsReadOnly()) return;
  node_.SetText(ToUtf8(text));
}

void CXmlNode::PutText(const std::u16string& text) { SetText(text); }

std::u16string CXmlNode::GetXml() const { return FromUtf8(node_.Xml()); }

std::u16string CXmlNode::GetRawXml() const { return GetXml(); }

std::u16string CXmlNode::GetInnerXml() const {
  CheckValid();
  std::u16string xml = GetRawXml();
  const std::size_t first_open = xml.find(u'<');
  const std::size_t first_close = xml.find(u'>');
  if (first_open != std::u16string::npos && first_close != std::u16string::npos &&
      first_open < first_close) {
    xml.erase(first_open, first_close - first_open + 1);
  }
  const std::size_t last_open = xml.rfind(u'<');
  const std::size_t last_close = xml.rfind(u'>');
  if (last_open != std::u16string::npos && last_close != std::u16string::npos &&
      last_open < last_close) {
    xml.erase(last_open, last_close - last_open + 1);
  }
  return xml;
}

std::vector<std::pair<std::u16string, std::u16string>> CXmlNode::GetAttributes() const {
  std::vector<std::pair<std::u16string, std::u16string>> attributes;
  for (const auto& [name, value] : node_.Attributes()) {
    attributes.emplace_back(FromUtf8(name), FromUtf8(value));
  }
  return attributes;
}

std::u16string CXmlNode::GetAttribute(const std::u16string& name) const {
  CheckValid();
  std::string value;
  if (name.empty() || !node_.GetAttribute(ToUtf8(name), value)) return std::u16string();
  return FromUtf8(value);
}

void CXmlNode::SetAttribute(const std::u16string& name, const std::u16string& value) {
  CheckValid();
  if (name.empty() || IsReadOnly() || !node_.IsElement()) return;
  node_.SetAttribute(ToUtf8(name), ToUtf8(value));
}

CXmlNode CXmlNode::AppendChild(const std::u16string& tag, const std::u16string& text) {
  CheckValid();
  CXmlNode child(*this);
  child.error_.clear();
  child.node_ = node_.CreateElement(ToUtf8(tag));
  if (child.node_.IsNull()) return child;
  if (!text.empty()) child.node_.SetText(ToUtf8(text));
  node_.AppendChild(child.node_);
  return child;
}

std::vector<CXmlNode> CXmlNode::GetElementsByTagName(const std::u16string& tag) const {
  CheckValid();
  std::vector<CXmlNode> elements;
  if (!node_.IsElement()) return elements;
  for (auto& element : node_.ElementsByTagName(ToUtf8(tag))) {
    CXmlNode handle(*this);
    handle.node_ = std::move(element);
    elements.push_back(std::move(handle));
  }
  return elements;
}

CXmlNode CXmlNode::GetChildAt(long index) const {
  CheckValid();
  CXmlNode child(*this);
  child.node_ = korvalis::xml::Node();
  if (node_.IsElement() && index >= 0) child.node_ = node_.ChildAt(static_cast<std::size_t>(index));
  return child;
}

CXmlNode CXmlNode::GetChild(const std::u16string& tag) {
  CheckValid();
  CXmlNode child(*this);
  child.node_ = node_.SelectSingleNode(ToUtf8(tag));
  if (!child.node_.IsNull()) return child;
  if (!IsReadOnly()) return AppendChild(tag, std::u16string());
  return child;
}

int CXmlNode::GetChildCount(const std::u16string& tag) const {
  CheckValid();
  if (tag.empty()) return static_cast<int>(node_.ChildCount());
  if (!node_.IsElement()) return 0;
  return static_cast<int>(node_.ElementsByTagName(ToUtf8(tag)).size());
}

void CXmlNode::AppendCopy(const CXmlNode& source, CXmlNode& target) {
  if (source.node_.IsNull()) return;
  if (!source.node_.IsElement()) {
    target.SetText(FromUtf8(source.node_.Text()));
    return;
  }
  target.CheckValid();
  target.node_.AppendCopy(source.node_);
}

bool CXmlNode::AppendXml(const std::u16string& fragment) {
  if (fragment.empty()) return true;
  CXmlDocument pasted(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><root>" + fragment + u"</root>",
                      true, false);
  const CXmlNode root = pasted.GetRootNode();
  CheckValid();
  const std::vector<korvalis::xml::Node> nodes = root.node_.Children();
  const bool holds_markup = std::any_of(
      nodes.begin(), nodes.end(),
      [](const korvalis::xml::Node& n) { return n.Type() != korvalis::xml::NodeType::kText; });
  for (const auto& node : nodes) {
    if (holds_markup) {
      node_.AppendCopy(node);
    } else {
      AppendCopy(CXmlNode(&pasted, node), *this);
    }
  }
  return true;
}
