#include "db/database_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "foundation/xml/xml_text.h"
#include "platform/db/connection_pool.h"
#include "platform/db/sqlite_connection.h"
#include "platform/sys/private_file.h"
#include "platform/sys/write_all.h"

namespace korvalis::schema {
namespace {

namespace fs = std::filesystem;

// The path as an initialisation-string value: quoted when it holds a ';', a quote or blanks
// at either end.
std::string DataSourceValue(const std::string& path) {
  const bool needs_quotes = path.find_first_of(";'\"") != std::string::npos ||
                            path.front() == ' ' || path.back() == ' ';
  if (!needs_quotes) return path;
  if (path.find('"') == std::string::npos) return "\"" + path + "\"";
  if (path.find('\'') == std::string::npos) return "'" + path + "'";
  throw std::runtime_error(path + ": a path with both kinds of quote cannot be configured");
}

void RemoveDatabaseFiles(const std::string& path) {
  for (const char* suffix : kDatabaseFileSuffixes) {
    std::error_code ignored;
    fs::remove(path + suffix, ignored);
  }
}

// Syncs the folder that holds `path`; 0, or the errno of the failure.
int SyncFolderOf(const std::string& path) {
  const int folder =
      ::open(fs::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return errno;
  const int synced = ::fsync(folder) == 0 ? 0 : errno;
  ::close(folder);
  return synced;
}

}  // namespace

std::string DatabaseFileInitString(const std::string& path) {
  if (path.empty()) throw std::runtime_error("no database file given");
  return "Provider=SQLite;Data Source=" +
         DataSourceValue(fs::absolute(path).lexically_normal().string());
}

std::string BuildingDatabaseName(const std::string& path) {
  const fs::path absolute = fs::absolute(path).lexically_normal();
  return absolute.string() + ".initdb-" + std::to_string(::getpid());
}

std::string CreateDatabaseFile(const std::string& path, DatabaseContents contents) {
  const std::string init_string = DatabaseFileInitString(path);
  const std::string absolute = fs::absolute(path).lexically_normal().string();
  const auto refuse = [&absolute](int error) {
    if (error == EEXIST) return std::runtime_error(absolute + " exists; refusing to overwrite it");
    return std::runtime_error("cannot create " + absolute + ": " + std::strerror(error));
  };
  // Refused before the build: an existing file, a folder that is missing or not writable.
  struct stat status {};
  if (::lstat(absolute.c_str(), &status) == 0) throw refuse(EEXIST);
  if (::access(fs::path(absolute).parent_path().c_str(), W_OK | X_OK) != 0) throw refuse(errno);

  const std::string building = BuildingDatabaseName(absolute);
  RemoveDatabaseFiles(building);  // left by a killed run whose process id this one has
  try {
    std::unique_ptr<db::Connection> connection =
        db::CreateDatabase("Provider=SQLite;Data Source=" + DataSourceValue(building));
    BuildDatabase(*connection, contents);
    // The file is whole once the log is in it and synced; the close that follows would move
    // the log too, but reports nothing when it cannot (a full disk), and the log is removed.
    dynamic_cast<db::SqliteConnection&>(*connection).MoveLogIntoFile();
  } catch (...) {
    RemoveDatabaseFiles(building);
    throw;
  }
  // A link takes the name only where none is: a file made there meanwhile is never replaced.
  const int linked = ::link(building.c_str(), absolute.c_str()) == 0 ? 0 : errno;
  RemoveDatabaseFiles(building);
  if (linked != 0) throw refuse(linked);
  // The name is kept only once the folder's entry is on the disk.
  if (const int synced = SyncFolderOf(absolute); synced != 0) {
    std::error_code ignored;
    fs::remove(absolute, ignored);
    throw std::runtime_error("cannot create " + absolute + ": " + std::strerror(synced));
  }
  return init_string;
}

void BuildServerDatabase(const std::string& init_string, DatabaseContents contents) {
  // The runtime objects installed on connecting go with the build: all or nothing.
  std::unique_ptr<db::Connection> connection = db::OpenConnectionToBuild(init_string);
  std::unique_ptr<db::Rowset> described =
      connection->Execute("SELECT COUNT(*) FROM KORVALIS_TABLES WHERE TABLE_NAME = 'TELV_PATIENT'");
  if (described->Next() && described->Text(0) != "0") {
    throw std::runtime_error("the database already holds the system's schema; refusing to build it again");
  }
  described.reset();
  BuildDatabase(*connection, contents);
}

std::string DatabaseConfigText(const std::string& init_string) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<config>\n"
         "  <db>\n"
         "    <datasource dbtype=\"oracle\" encrypt=\"\">" +
         XmlEscaped(init_string) +
         "</datasource>\n"
         "  </db>\n"
         "</config>\n";
}

bool WriteDatabaseConfig(const std::string& directory, const std::string& init_string) {
  const fs::path config = fs::path(directory) / kDatabaseConfigFile;
  const fs::path temporary = fs::path(directory) / (std::string(kDatabaseConfigFile) + ".tmp");
  std::error_code error;
  if (fs::exists(config, error)) return false;
  // A temporary left by an earlier run is made afresh, so that the new one gets the owner's
  // mode whatever that one had.
  fs::remove(temporary, error);
  const int fd = sys::OpenPrivateFile(temporary.string(), O_WRONLY | O_EXCL);
  if (fd < 0) {
    throw std::runtime_error("cannot write " + temporary.string() + ": " + std::strerror(errno));
  }
  const bool written = sys::WriteAll(fd, DatabaseConfigText(init_string));
  int failure = written ? 0 : errno;
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure != 0) {
    fs::remove(temporary, error);
    throw std::runtime_error("cannot write " + temporary.string() + ": " + std::strerror(failure));
  }
  // A configuration written meanwhile by someone else wins: link fails when the name exists.
  if (::link(temporary.c_str(), config.c_str()) != 0) {
    const int link_error = errno;
    fs::remove(temporary, error);
    if (link_error == EEXIST) return false;
    throw std::runtime_error("cannot write " + config.string() + ": " + std::strerror(link_error));
  }
  fs::remove(temporary, error);
  return true;
}

}  // namespace korvalis::schema
