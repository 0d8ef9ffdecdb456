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

std::vector<std::string> ConfigurationProblems() {
  std::vector<std::string> problems;
  if (struct stat status; ::stat(kDatabaseConfig, &status) != 0 && errno == ENOENT) {
    problems.push_back(kNoDatabaseConfig);
  } else if (std::string problem = MalformedXmlFile(kDatabaseConfig); !problem.empty()) {
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
