// The configuration files that calls read from the current directory, checked so that the
// command can name a malformed one with its line instead of leaving only the system's generic
// message.
//
// Thread-safety: main thread only (libxml2's last-error record).
#pragma once

#include <libxml/tree.h>

#include <string>
#include <vector>

namespace korvalis::tools {

// The document of the XML file at `path` (the caller frees it with xmlFreeDoc), or nullptr
// with *problem: "" when the file is missing, else what is wrong with it and where: "cannot
// read <path>: <reason>", "<path> is malformed: line 3: <the parser's message>".
xmlDocPtr ReadXmlFile(const std::string& path, std::string* problem);

// "" when the file at `path` is missing or a well-formed XML document; else what ReadXmlFile
// says is wrong with it.
std::string MalformedXmlFile(const std::string& path);

// What the command says when the current directory holds no telv.config.xml.
inline constexpr char kNoDatabaseConfig[] =
    "there is no telv.config.xml in the current directory (korvalis initdb writes one)";

// The problems of telv.config.xml and suite.config.xml (or the file KORVALIS_SUITE_CONFIG
// names), one message each: a missing telv.config.xml, a malformed file, and in the suite's a value
// it refuses (a fixed clock that is no date).
std::vector<std::string> ConfigurationProblems();

// "" when the suite's configuration file is missing or accepted; else "<path>: <the refusal>"
// (a file that does not parse, or a value it refuses), which every stand-in would answer.
std::string SuiteConfigurationRefusal();

}  // namespace korvalis::tools
