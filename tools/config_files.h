// The configuration files that calls read from the current directory, checked so that the
// command can name a malformed one with its line instead of leaving only the system's generic
// message.
//
// Thread-safety: main thread only (libxml2's last-error record).
#pragma once

#include <string>
#include <vector>

namespace korvalis::tools {

// "" when the file at `path` is missing or a well-formed XML document; else what is wrong with
// it and where: "<path> is malformed: line 3: <the parser's message>".
std::string MalformedXmlFile(const std::string& path);

// The problems of telv.config.xml and suite.config.xml (or the file KORVALIS_SUITE_CONFIG
// names), one message each: a malformed file, and in the suite's a value it refuses (a fixed
// clock that is no date).
std::vector<std::string> ConfigurationProblems();

// "" when the suite's configuration file is missing or accepted; else "<path>: <the refusal>"
// (a file that does not parse, or a value it refuses), which every stand-in would answer.
std::string SuiteConfigurationRefusal();

}  // namespace korvalis::tools
