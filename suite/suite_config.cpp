#include "suite/suite_config.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "foundation/emr_exception.h"
#include "foundation/string_util.h"
#include "foundation/xml_parser.h"
#include "platform/com/unicode.h"

namespace korvalis::suite {
namespace {

using xercesc::DOMElement;
using xercesc::DOMNode;

std::u16string Attribute(const DOMElement* element, const char16_t* name) {
  const XMLCh* value = element->getAttribute(name);
  return value != nullptr ? std::u16string(value) : std::u16string();
}

std::u16string Name(const DOMElement* element) { return element->getTagName(); }

// The element children of `parent`, in document order.
std::vector<const DOMElement*> Children(const DOMNode* parent) {
  std::vector<const DOMElement*> children;
  if (parent == nullptr) return children;
  for (const DOMNode* n = parent->getFirstChild(); n != nullptr; n = n->getNextSibling()) {
    if (n->getNodeType() == DOMNode::ELEMENT_NODE) {
      children.push_back(static_cast<const DOMElement*>(n));
    }
  }
  return children;
}

const DOMElement* Child(const DOMNode* parent, std::u16string_view name) {
  for (const DOMElement* child : Children(parent)) {
    if (Name(child) == name) return child;
  }
  return nullptr;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CEMRException("组件配置文件无法读取: " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw CEMRException("组件配置文件无法读取: " + path);
  return bytes.str();
}

// The document element of `text`, parsed by `parser`; throws for a text that is not XML.
const DOMElement* ParseRoot(CXmlStringParser& parser, const std::string& path) {
  xercesc::DOMDocument* document = parser.GetDocument();
  const DOMElement* root = document != nullptr ? document->getDocumentElement() : nullptr;
  if (root == nullptr) throw CEMRException("组件配置文件格式错误: " + path);
  return root;
}

std::string DirectoryOf(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

std::string Resolve(const std::string& directory, const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  return directory.back() == '/' ? directory + path : directory + "/" + path;
}

// Whether `id` can name a file of the visit directory without leaving it.
bool IsSafeFileNamePart(std::u16string_view id) {
  if (id.empty() || id == u"." || id == u"..") return false;
  for (char16_t c : id) {
    if (c < 0x20 || c == u'/' || c == u'\\' || c == 0x7F) return false;
  }
  return id.find(u"..") == std::u16string_view::npos;
}

}  // namespace

std::string SuiteConfig::Path() {
  const char* path = std::getenv("KORVALIS_SUITE_CONFIG");
  return path != nullptr && *path != '\0' ? std::string(path) : std::string("suite.config.xml");
}

SuiteConfig SuiteConfig::Load() {
  std::string path = Path();
  return Parse(ReadFile(path), path);
}

SuiteConfig SuiteConfig::Parse(const std::string& text, const std::string& path) {
  CXmlStringParser parser(text);
  const DOMElement* root = ParseRoot(parser, path);
  const std::string directory = DirectoryOf(path);

  SuiteConfig config;
  config.path = path;
  config.interface_list = u"<list>" + GetInnerXml(Child(root, u"interfaces")) + u"</list>";
  if (const DOMElement* datetime = Child(root, u"datetime")) {
    config.fixed_datetime = Attribute(datetime, u"fixed");
  }
  if (const DOMElement* database = Child(root, u"database")) {
    config.database = ToUtf8(GetInnerXml(database));
  }
  if (const DOMElement* visits = Child(root, u"visits")) {
    config.visits_dir = Resolve(directory, ToUtf8(Attribute(visits, u"dir")));
  }
  for (const DOMElement* hospital : Children(Child(root, u"hospitals"))) {
    config.hospitals.emplace(Attribute(hospital, u"id"), Attribute(hospital, u"name"));
  }
  for (const DOMElement* dept : Children(Child(root, u"departments"))) {
    config.departments.push_back(
        {Attribute(dept, u"id"), Attribute(dept, u"name"), Attribute(dept, u"hospital")});
  }
  for (const DOMElement* dictionary : Children(Child(root, u"dictionaries"))) {
    bool read = false;
    int number = StringToInt(Attribute(dictionary, u"number"), &read);
    if (read) config.dictionaries.emplace(number, GetInnerXml(dictionary));
  }
  for (const DOMElement* notice : Children(Child(root, u"notices"))) {
    config.notices.push_back(
        {Attribute(notice, u"dept"), Attribute(notice, u"user"), GetInnerXml(notice)});
  }
  for (const DOMElement* parameter : Children(Child(root, u"parameters"))) {
    config.parameters.emplace(Attribute(parameter, u"name"), GetInnerXml(parameter));
  }
  return config;
}

std::optional<VisitAnswers> SuiteConfig::LoadVisit(std::u16string_view patient_id,
                                                   std::u16string_view event_no) const {
  if (visits_dir.empty() || !IsSafeFileNamePart(patient_id) || !IsSafeFileNamePart(event_no)) {
    return std::nullopt;
  }
  std::string file = Resolve(visits_dir, ToUtf8(patient_id) + "/" + ToUtf8(event_no) + ".xml");
  std::ifstream probe(file, std::ios::binary);
  if (!probe) return std::nullopt;
  probe.close();

  std::string text = ReadFile(file);
  CXmlStringParser parser(text);
  const DOMElement* root = ParseRoot(parser, file);
  VisitAnswers answers;
  for (const DOMElement* item : Children(root)) {
    if (Name(item) == u"data") {
      answers.data.emplace(Attribute(item, u"key"), GetInnerXml(item));
    } else {
      answers.items.emplace(Name(item), GetInnerXml(item));
    }
  }
  return answers;
}

const Department* SuiteConfig::FindDepartment(std::u16string_view id) const {
  for (const Department& dept : departments) {
    if (dept.id == id) return &dept;
  }
  return nullptr;
}

}  // namespace korvalis::suite
