#include "tools/whole_database_file.h"

#include <sys/stat.h>

#include <memory>

#include "foundation/data/db_config.h"
#include "platform/db/connection_pool.h"
#include "platform/db/connection_string.h"
#include "platform/db/sqlite_connection.h"
#include "platform/text/control_escape.h"
#include "platform/text/unicode.h"
#include "tools/command_line.h"

namespace korvalis::tools {
namespace {

// The file of the embedded database `init_string` names whose log holds writes; "" for any other.
std::string FileWithWrittenLog(const std::string& init_string) {
  if (db::IsServerDatabase(init_string)) return "";
  const std::string file =
      db::ConnectionString::Parse(init_string).Get("Data Source").value_or(":memory:");
  struct stat log {};
  if (file == ":memory:" || ::stat((file + "-wal").c_str(), &log) != 0 || log.st_size == 0) {
    return "";
  }
  return file;
}

}  // namespace

void LeaveDatabaseFileWhole(const std::string& init_string) {
  std::string file;
  try {
    file = FileWithWrittenLog(init_string);
    if (file.empty()) return;
    std::unique_ptr<db::Connection> connection = db::OpenConnection(init_string);
    dynamic_cast<db::SqliteConnection&>(*connection).MoveLogIntoFile();
  } catch (const db::DbError& e) {
    // A string that names no database reached none; a log that another process is moving or
    // still writing is left to it: the last to end moves it.
    if (file.empty() || e.code() == db::kBusy) return;
    PrintError(EscapeControls(e.what()) + "; the committed writes are safe in " +
               EscapeControls(file) + "-wal, which must stay with the file (a copy needs both)");
  }
}

void LeaveConfiguredDatabaseFileWhole() {
  std::string init_string;
  try {
    init_string = ToUtf8(ReadDBConfig(u"telv.config.xml"));
  } catch (...) {
    // A file that is missing, malformed or no file at all (CEMRException, or the stream's
    // failure): the calls reached no database through it either.
    return;
  }
  LeaveDatabaseFileWhole(init_string);
}

}  // namespace korvalis::tools
