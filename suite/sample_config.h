// The stand-ins' configuration that `korvalis initdb` writes beside "telv.config.xml": the
// registry component's list of every stand-in class, the staff database and the system clock,
// and, for the sample hospital, its hospital, departments, dictionaries, notices, work-list
// parameters and one HIS file per sample visit in the folder "his" (his/<patient>/<event>.xml).
//
// Thread-safety: functions of the file system; do not race them on one directory.
#pragma once

#include <string>

namespace korvalis::suite {

inline constexpr char kSuiteConfigFile[] = "suite.config.xml";
// The folder of the sample hospital's visit files, beside the configuration file.
inline constexpr char kVisitsFolder[] = "his";

// The configuration file's text.
std::string SuiteConfigText(const std::string& init_string, bool sample_hospital);

// Writes the configuration file (and, for the sample hospital, the visits' files) into
// `directory` unless a configuration file is there. Returns false when one was there (it is
// left unchanged); throws std::runtime_error when a file cannot be written.
bool WriteSuiteConfig(const std::string& directory, const std::string& init_string,
                      bool sample_hospital);

}  // namespace korvalis::suite
