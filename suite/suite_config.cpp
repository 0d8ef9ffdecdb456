#include "suite/suite_config.h"

#include <sys/stat.h>
#include <time.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "foundation/xml/dom_elements.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_parser.h"
#include "platform/text/unicode.h"
#include "suite/date_time_component.h"

namespace korvalis::suite {
namespace {

using xercesc::DOMElement;

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

namespace {

// What tells one version of the file from another without reading it.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  bool operator==(const FileStamp& other) const {
    const auto same = [](const timespec& a, const timespec& b) {
      return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return device == other.device && inode == other.inode && size == other.size &&
           same(modified, other.modified) && same(changed, other.changed);
  }
};

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileStamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
}

// The last configuration parsed, with the file it came from.
struct ParsedConfig {
  std::string path;
  FileStamp stamp;
  std::string text;
  // Whether the file was changed less than the file system's time granularity before it was
  // read: a later change within the same tick could keep the stamp.
  bool recent = true;
  std::shared_ptr<const SuiteConfig> config;
};

std::mutex parsed_mutex;
ParsedConfig parsed;

// Whether a file changed at `changed` may still change again under the same stamp: true
// within two seconds of now, far more than any file system's tick.
bool ChangedRecently(const timespec& changed) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec - changed.tv_sec < 2;
}

}  // namespace

std::shared_ptr<const SuiteConfig> SuiteConfig::Load() {
  std::string path = Path();
  const std::optional<FileStamp> stamp = StampOf(path);
  std::lock_guard<std::mutex> lock(parsed_mutex);
  if (stamp && parsed.config && parsed.path == path && parsed.stamp == *stamp && !parsed.recent) {
    return parsed.config;
  }
  std::string text = ReadFile(path);
  if (!(stamp && parsed.config && parsed.path == path && parsed.text == text)) {
    try {
      parsed.config = std::make_shared<const SuiteConfig>(Parse(text, path));
    } catch (const CEMRException& e) {
      // Callers that answer a failure as an empty result still leave the cause in the log.
      CEventLogEntry(FromUtf8(path) + u": " + e.GetText(), CEventLogEntry::kError).Report();
      throw;
    }
    parsed.path = path;
    parsed.text = std::move(text);
  }
  parsed.stamp = stamp.value_or(FileStamp{});
  parsed.recent = !stamp || ChangedRecently(stamp->changed) || ChangedRecently(stamp->modified);
  return parsed.config;
}

SuiteConfig SuiteConfig::Parse(const std::string& text, const std::string& path) {
  CXmlStringParser parser(text);
  const DOMElement* root = ParseRoot(parser, path);
  const std::string directory = DirectoryOf(path);

  SuiteConfig config;
  config.path = path;
  config.interface_list =
      u"<list>" + GetInnerXml(FirstChildElement(root, u"interfaces")) + u"</list>";
  if (const DOMElement* datetime = FirstChildElement(root, u"datetime")) {
    config.fixed_datetime = ElementAttribute(datetime, u"fixed");
    // A clock that is no date is refused, so that no call runs on the system clock unnoticed.
    if (!config.fixed_datetime.empty() && !IsDateTimeText(config.fixed_datetime)) {
      throw CEMRException(u"日期时间配置格式错误: <datetime fixed=\"" + config.fixed_datetime +
                          u"\">");
    }
  }
  if (const DOMElement* database = FirstChildElement(root, u"database")) {
    config.database = ToUtf8(GetInnerXml(database));
  }
  if (const DOMElement* visits = FirstChildElement(root, u"visits")) {
    config.visits_dir = Resolve(directory, ToUtf8(ElementAttribute(visits, u"dir")));
  }
  for (const DOMElement* hospital : ElementChildren(FirstChildElement(root, u"hospitals"))) {
    config.hospitals.emplace(ElementAttribute(hospital, u"id"),
                             ElementAttribute(hospital, u"name"));
  }
  for (const DOMElement* dept : ElementChildren(FirstChildElement(root, u"departments"))) {
    config.departments.push_back({ElementAttribute(dept, u"id"), ElementAttribute(dept, u"name"),
                                  ElementAttribute(dept, u"hospital")});
  }
  for (const DOMElement* dictionary : ElementChildren(FirstChildElement(root, u"dictionaries"))) {
    bool read = false;
    int number = StringToInt(ElementAttribute(dictionary, u"number"), &read);
    if (read) config.dictionaries.emplace(number, GetInnerXml(dictionary));
  }
  for (const DOMElement* notice : ElementChildren(FirstChildElement(root, u"notices"))) {
    config.notices.push_back({ElementAttribute(notice, u"dept"), ElementAttribute(notice, u"user"),
                              GetInnerXml(notice)});
  }
  for (const DOMElement* parameter : ElementChildren(FirstChildElement(root, u"parameters"))) {
    config.parameters.emplace(ElementAttribute(parameter, u"name"), GetInnerXml(parameter));
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
  for (const DOMElement* item : ElementChildren(root)) {
    if (ElementName(item) == u"data") {
      answers.data.emplace(ElementAttribute(item, u"key"), GetInnerXml(item));
    } else {
      answers.items.emplace(ElementName(item), GetInnerXml(item));
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
