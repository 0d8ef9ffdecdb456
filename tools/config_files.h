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

// What the command says when telv.config.xml names no database.
inline constexpr char kNoDataSource[] =
    "telv.config.xml must hold exactly one db element with a datasource that names the database "
    "(as korvalis initdb writes it)";

// The one db/datasource element of telv.config.xml in the current directory.
struct ConfiguredDataSource {
  std::string text;        // the initialisation string, or its encrypted form
  bool encrypted = false;  // whether `encrypt` names a codec
};

// Reads *source from telv.config.xml. False with *error when the file is missing (""), cannot
// be read or is malformed (as ReadXmlFile says), or does not hold exactly one `db` with a
// `datasource` child whose text is not blank (kNoDataSource).
bool ReadConfiguredDataSource(ConfiguredDataSource* source, std::string* error);

// The problems of telv.config.xml and suite.config.xml (or the file KORVALIS_SUITE_CONFIG
// names), one message each: a missing telv.config.xml, a malformed file, one that names no
// database, and in the suite's a value it refuses (a fixed clock that is no date).
std::vector<std::string> ConfigurationProblems();

// "" when the suite's configuration file is missing or accepted; else "<path>: <the refusal>"
// (a file that does not parse, or a value it refuses), which every stand-in would answer.
std::string SuiteConfigurationRefusal();

}  // namespace korvalis::tools
