// `korvalis initdb [--sample] <file>` or `korvalis initdb [--sample] --connect <string>`:
// creates an embedded database, or fills an empty PostgreSQL database, with the system's
// schema and installation rows (and, with --sample, the sample hospital), and writes a
// "telv.config.xml" pointing at it into the current directory unless one is there, and beside
// it the configuration of the suite's stand-in components ("suite.config.xml").
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/database_file.h"
#include "foundation/data/database_error.h"
#include "platform/db/connection_pool.h"
#include "platform/text/unicode.h"
#include "suite/sample_config.h"
#include "tools/command.h"
#include "tools/command_line.h"
#include "tools/temporary_files.h"

namespace korvalis::tools {
namespace {

constexpr char kUsage[] =
    "usage: korvalis initdb [--sample] FILE\n"
    "       korvalis initdb [--sample] --connect \"Provider=PostgreSQL;Host=...;Port=...;"
    "Database=...;User ID=...;Password=...\"\n"
    "Creates the embedded database FILE (never over an existing file), or fills the empty\n"
    "PostgreSQL database the string names, with the system's schema and installation rows, and\n"
    "writes telv.config.xml (and the stand-ins' suite.config.xml) naming it into the current\n"
    "directory unless they are there.\n"
    "  --sample          add the sample hospital (every sample login's password is 123456)\n"
    "  --connect STRING  the server database to fill instead of a file\n";

// What one initdb run makes, removed if a signal ends the run before it is done: the files of
// the database being built and the configuration files with the sample's visits.
class MadeByThisRun {
 public:
  MadeByThisRun() = default;
  ~MadeByThisRun() { KeepAll(); }
  MadeByThisRun(const MadeByThisRun&) = delete;
  MadeByThisRun& operator=(const MadeByThisRun&) = delete;

  void Add(const std::string& path) {
    if (RemoveAtSignal(path)) paths_.push_back(path);
  }
  // A folder and everything in it, the folder first.
  void AddTree(const std::string& folder) {
    Add(folder);
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored)) {
      Add(entry.path().string());
    }
  }
  // The run is done, or removes what it made itself.
  void KeepAll() {
    for (const std::string& path : paths_) KeepAtSignal(path);
    paths_.clear();
  }

 private:
  std::vector<std::string> paths_;
};

// The configuration files of one initdb run in the current directory: each is written unless
// one is there already, and what this run wrote is removed again unless it is kept.
class NewConfigFiles {
 public:
  NewConfigFiles(bool sample, MadeByThisRun* made) : sample_(sample), made_(made) {}
  ~NewConfigFiles() {
    if (kept_) return;
    std::error_code ignored;
    if (database_written_) std::filesystem::remove(schema::kDatabaseConfigFile, ignored);
    if (suite_written_) std::filesystem::remove(suite::kSuiteConfigFile, ignored);
    if (visits_made_) std::filesystem::remove_all(suite::kVisitsFolder, ignored);
  }
  NewConfigFiles(const NewConfigFiles&) = delete;
  NewConfigFiles& operator=(const NewConfigFiles&) = delete;

  // Writes the files; a signal meanwhile waits until they are known to be removed at one.
  void Write(const std::string& init_string) {
    SignalsHeld held;
    database_written_ = schema::WriteDatabaseConfig(".", init_string);
    if (database_written_) made_->Add(schema::kDatabaseConfigFile);
    visits_made_ = sample_ && !std::filesystem::exists(suite::kVisitsFolder);
    suite_written_ = suite::WriteSuiteConfig(".", init_string, sample_);
    if (!suite_written_) visits_made_ = false;
    if (suite_written_) made_->Add(suite::kSuiteConfigFile);
    if (visits_made_) made_->AddTree(suite::kVisitsFolder);
  }
  void Keep() { kept_ = true; }

  void Report() const {
    if (database_written_) {
      std::printf("wrote %s\n", schema::kDatabaseConfigFile);
    } else {
      std::printf("%s exists in the current directory; left unchanged\n",
                  schema::kDatabaseConfigFile);
    }
    if (suite_written_) {
      std::printf("wrote %s (the suite's stand-in components)\n", suite::kSuiteConfigFile);
    } else {
      std::printf("%s exists in the current directory; left unchanged\n", suite::kSuiteConfigFile);
    }
  }

 private:
  bool sample_;
  MadeByThisRun* made_;
  bool database_written_ = false;
  bool suite_written_ = false;
  bool visits_made_ = false;
  bool kept_ = false;
};

// Creates the database file `file`, built under the name `building` beside it. A failure of the
// build (a full disk, a file size limit) names the file asked for: the building name is gone
// with the failure, so a message naming it would point at nothing, and an engine's bare
// "disk I/O error" says nothing of which file.
void CreateDatabaseFileNamedSo(const std::string& file, const std::string& building,
                               schema::DatabaseContents contents) {
  try {
    schema::CreateDatabaseFile(file, contents);
  } catch (const std::exception& e) {
    std::string message = e.what();
    const std::string named = std::filesystem::absolute(file).lexically_normal().string();
    const size_t first = message.find(building);
    if (first == std::string::npos && message.find(named) != std::string::npos) throw;
    for (size_t at = first; at != std::string::npos;
         at = message.find(building, at + named.size())) {
      message.replace(at, building.size(), named);
    }
    if (first == std::string::npos) message = "cannot create " + named + ": " + message;
    throw std::runtime_error(message + "; nothing of it was left behind");
  }
}

}  // namespace

int RunInitDb(const std::vector<std::string>& args) {
  ParsedOptions options;
  switch (ParseOptions("initdb", args, {{"sample", 0, false}, {"connect", 0, true}}, kUsage,
                       &options)) {
    case OptionsOutcome::kRun: break;
    case OptionsOutcome::kHelpShown: return 0;
    case OptionsOutcome::kRefused: return 2;
  }
  const bool sample = options.Has("sample");
  const std::string connect = options.Value("connect");
  const std::string file = options.operands.empty() ? "" : options.operands[0];
  if (options.operands.size() > 1 || connect.empty() == file.empty()) {
    PrintError("initdb takes one database: a FILE, or --connect STRING (korvalis initdb --help "
               "tells more)");
    return 2;
  }

  const auto start = std::chrono::steady_clock::now();
  const schema::DatabaseContents contents = sample ? schema::DatabaseContents::kSampleHospital
                                                   : schema::DatabaseContents::kInstallation;
  try {
    if (!connect.empty() && !db::IsServerDatabase(connect)) {
      std::fprintf(stderr,
                   "korvalis initdb: --connect names a server database "
                   "(Provider=PostgreSQL); give an embedded database as a file\n");
      return 2;
    }
    const std::string init_string =
        connect.empty() ? schema::DatabaseFileInitString(file) : connect;
    // The configuration files are written before the database is touched, so that a directory
    // they cannot go into fails the run at once; a failed build takes them back, and the build
    // itself is one transaction: a failed initdb leaves nothing behind and may simply be rerun.
    // The database file is built under another name beside it and takes its name when whole:
    // a run ended by a signal takes everything it made with it, as a failed run does.
    const std::string database = connect.empty() ? "the database " + file : "the server database";
    SayAtSignal("korvalis initdb: interrupted: " + database +
                (connect.empty() ? " was not created" : " was not filled (the server undoes it)") +
                ", and what the run had made is removed; run korvalis initdb again");
    MadeByThisRun made;
    NewConfigFiles configs(sample, &made);
    configs.Write(init_string);
    if (connect.empty()) {
      const std::string building = schema::BuildingDatabaseName(file);
      // The name too, where no file has it (the build refuses one that has): the whole file
      // takes it by a link that a signal may follow at once, before the run keeps what it made.
      std::error_code unknown;
      if (!std::filesystem::exists(std::filesystem::symlink_status(file, unknown))) made.Add(file);
      for (const char* suffix : schema::kDatabaseFileSuffixes) made.Add(building + suffix);
      CreateDatabaseFileNamedSo(file, building, contents);
    } else {
      schema::BuildServerDatabase(connect, contents);
    }
    {
      SignalsHeld held;
      configs.Keep();
      made.KeepAll();
      SayAtSignal("korvalis initdb: interrupted after " + database +
                  (connect.empty() ? " was created" : " was filled") + "; it is whole");
    }
    NoteWorkDone(connect.empty() ? "the database " + file + " was created"
                                 : std::string("the server database was filled"));
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("created the database (schema and installation rows%s) in %lld ms: %s\n",
                sample ? ", sample hospital" : "", static_cast<long long>(elapsed.count()),
                ToUtf8(datasource::MaskPassword(FromUtf8(init_string))).c_str());
    configs.Report();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvalis initdb: %s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace korvalis::tools
