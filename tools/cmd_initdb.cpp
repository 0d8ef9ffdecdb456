// `korvalis initdb [--sample] <file>`: creates an embedded database with the system's schema
// and installation rows (and, with --sample, the sample hospital), and writes a
// "telv.config.xml" pointing at it into the current directory unless one is there, and beside
// it the configuration of the suite's stand-in components ("suite.config.xml").
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "db/database_file.h"
#include "suite/sample_config.h"
#include "tools/command.h"

namespace korvalis::tools {

int RunInitDb(const std::vector<std::string>& args) {
  bool sample = false;
  std::string file;
  for (const std::string& arg : args) {
    if (arg == "--sample" && !sample) {
      sample = true;
    } else if (arg.starts_with("-") || !file.empty()) {
      file.clear();
      break;
    } else {
      file = arg;
    }
  }
  if (file.empty()) {
    std::fprintf(stderr, "usage: korvalis initdb [--sample] <file>\n");
    return 2;
  }

  const auto start = std::chrono::steady_clock::now();
  try {
    const std::string init_string = schema::CreateDatabaseFile(
        file, sample ? schema::DatabaseContents::kSampleHospital
                     : schema::DatabaseContents::kInstallation);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("created the database (schema and installation rows%s) in %lld ms: %s\n",
                sample ? ", sample hospital" : "", static_cast<long long>(elapsed.count()),
                init_string.c_str());
    if (schema::WriteDatabaseConfig(".", init_string)) {
      std::printf("wrote %s\n", schema::kDatabaseConfigFile);
    } else {
      std::printf("%s exists in the current directory; left unchanged\n",
                  schema::kDatabaseConfigFile);
    }
    if (suite::WriteSuiteConfig(".", init_string, sample)) {
      std::printf("wrote %s (the suite's stand-in components)\n", suite::kSuiteConfigFile);
    } else {
      std::printf("%s exists in the current directory; left unchanged\n",
                  suite::kSuiteConfigFile);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvalis initdb: %s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace korvalis::tools
