// `korvalis initdb [--sample] <file>` or `korvalis initdb [--sample] --connect <string>`:
// creates an embedded database, or fills an empty PostgreSQL database, with the system's
// schema and installation rows (and, with --sample, the sample hospital), and writes a
// "telv.config.xml" pointing at it into the current directory unless one is there, and beside
// it the configuration of the suite's stand-in components ("suite.config.xml").
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "db/database_file.h"
#include "foundation/database_error.h"
#include "platform/com/unicode.h"
#include "platform/db/connection_pool.h"
#include "suite/sample_config.h"
#include "tools/command.h"

namespace korvalis::tools {

int RunInitDb(const std::vector<std::string>& args) {
  bool sample = false;
  std::string file, connect;
  bool valid = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--sample" && !sample) {
      sample = true;
    } else if (arg == "--connect" && i + 1 < args.size() && connect.empty() && file.empty()) {
      connect = args[++i];
    } else if (arg.starts_with("-") || !file.empty() || !connect.empty()) {
      valid = false;
    } else {
      file = arg;
    }
  }
  if (!valid || (file.empty() && connect.empty())) {
    std::fprintf(stderr,
                 "usage: korvalis initdb [--sample] <file>\n"
                 "       korvalis initdb [--sample] --connect \"Provider=PostgreSQL;Host=...;"
                 "Port=...;Database=...;User ID=...;Password=...\"\n");
    return 2;
  }

  const auto start = std::chrono::steady_clock::now();
  const schema::DatabaseContents contents = sample ? schema::DatabaseContents::kSampleHospital
                                                   : schema::DatabaseContents::kInstallation;
  try {
    std::string init_string;
    if (!connect.empty()) {
      if (!db::IsServerDatabase(connect)) {
        std::fprintf(stderr, "korvalis initdb: --connect names a server database "
                             "(Provider=PostgreSQL); give an embedded database as a file\n");
        return 2;
      }
      schema::BuildServerDatabase(connect, contents);
      init_string = connect;
    } else {
      init_string = schema::CreateDatabaseFile(file, contents);
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("created the database (schema and installation rows%s) in %lld ms: %s\n",
                sample ? ", sample hospital" : "", static_cast<long long>(elapsed.count()),
                ToUtf8(datasource::MaskPassword(FromUtf8(init_string))).c_str());
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
