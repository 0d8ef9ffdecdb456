#include "tools/config_files.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <sys/stat.h>

#include <cerrno>

#include "foundation/calls/emr_exception.h"
#include "platform/text/unicode.h"
#include "suite/suite_config.h"
#include "tools/input_file.h"

namespace korvalis::tools {
namespace {

constexpr char kDatabaseConfig[] = "telv.config.xml";

// Keeps the first error of a parse: later ones follow from it and say less.
struct FirstError {
  bool seen = false;
  int line = 0;
  std::string message;
};

void KeepFirstError(void* context, xmlErrorPtr error) {
  auto* first = static_cast<FirstError*>(context);
  if (first->seen || error == nullptr) return;
  first->seen = true;
  first->line = error->line;
  first->message = error->message != nullptr ? error->message : "";
  while (!first->message.empty() && first->message.back() == '\n') first->message.pop_back();
}

}  // namespace

xmlDocPtr ReadXmlFile(const std::string& path, std::string* problem) {
  problem->clear();
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return nullptr;
  // Read here, so that a file that cannot be read is named with the reason, and the parser,
  // which reads memory only, writes nothing of its own.
  std::string bytes;
  if (!ReadInputFile(path, "a configuration file", &bytes, problem)) return nullptr;
  FirstError first;
  xmlSetStructuredErrorFunc(&first, KeepFirstError);
  xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), path.c_str(),
                                nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  xmlSetStructuredErrorFunc(nullptr, nullptr);
  if (doc == nullptr) {
    *problem = path + " is malformed: line " + std::to_string(first.line) + ": " +
               (first.seen ? first.message : "no document");
  }
  return doc;
}

std::string MalformedXmlFile(const std::string& path) {
  std::string problem;
  xmlFreeDoc(ReadXmlFile(path, &problem));
  return problem;
}

bool ReadConfiguredDataSource(ConfiguredDataSource* source, std::string* error) {
  xmlDocPtr doc = ReadXmlFile(kDatabaseConfig, error);
  if (doc == nullptr) return false;
  // Exactly one `db` anywhere in the document; its first direct child named `datasource`.
  int db_count = 0;
  xmlNodePtr datasource = nullptr;
  std::vector<xmlNodePtr> stack{xmlDocGetRootElement(doc)};
  while (!stack.empty()) {
    xmlNodePtr element = stack.back();
    stack.pop_back();
    if (element == nullptr || element->type != XML_ELEMENT_NODE) continue;
    if (xmlStrcmp(element->name, BAD_CAST "db") == 0 && ++db_count == 1) {
      for (xmlNodePtr child = element->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlStrcmp(child->name, BAD_CAST "datasource") == 0) {
          datasource = child;
          break;
        }
      }
    }
    for (xmlNodePtr child = element->children; child != nullptr; child = child->next) {
      stack.push_back(child);
    }
  }
  if (db_count == 1 && datasource != nullptr) {
    xmlChar* encrypt = xmlGetProp(datasource, BAD_CAST "encrypt");
    source->encrypted = encrypt != nullptr && *encrypt != '\0';
    xmlFree(encrypt);
    xmlChar* text = xmlNodeGetContent(datasource);
    source->text = text != nullptr ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
  }
  xmlFreeDoc(doc);
  if (source->text.find_first_not_of(" \t\r\n") == std::string::npos) {
    *error = kNoDataSource;
    return false;
  }
  return true;
}

std::vector<std::string> ConfigurationProblems() {
  std::vector<std::string> problems;
  ConfiguredDataSource source;
  std::string problem;
  if (struct stat status; ::stat(kDatabaseConfig, &status) != 0 && errno == ENOENT) {
    problems.push_back(kNoDatabaseConfig);
  } else if (!ReadConfiguredDataSource(&source, &problem)) {
    problems.push_back(problem);
  }
  const std::string suite_path = suite::SuiteConfig::Path();
  if (std::string problem = MalformedXmlFile(suite_path); !problem.empty()) {
    problems.push_back(problem);
  } else if (std::string refusal = SuiteConfigurationRefusal(); !refusal.empty()) {
    problems.push_back(refusal);
  }
  return problems;
}

std::string SuiteConfigurationRefusal() {
  const std::string path = suite::SuiteConfig::Path();
  if (struct stat status; ::stat(path.c_str(), &status) != 0) return "";
  try {
    suite::SuiteConfig::Load();
  } catch (const CEMRException& e) {
    return path + ": " + ToUtf8(e.GetText());
  }
  return "";
}

}  // namespace korvalis::tools
