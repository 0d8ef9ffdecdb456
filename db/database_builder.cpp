#include "db/database_builder.h"

#include <string>
#include <string_view>

#include "db/schema_files.h"
#include "db/stored_text.h"
#include "platform/db/script_runner.h"

namespace korvalis::schema {
namespace {

// Rolls the build back unless it was committed.
class BuildTransaction {
 public:
  explicit BuildTransaction(db::Connection& connection) : connection_(connection) {
    connection_.Begin(db::Connection::TransactionMode::kWriting);
  }
  ~BuildTransaction() {
    if (connection_.InTransaction()) connection_.Rollback();
  }
  BuildTransaction(const BuildTransaction&) = delete;
  BuildTransaction& operator=(const BuildTransaction&) = delete;

  void Commit() { connection_.Commit(); }

 private:
  db::Connection& connection_;
};

void RunFile(db::Connection& connection, const EmbeddedFile& file) {
  try {
    db::RunScript(connection, file.text());
  } catch (const db::DbError& e) {
    throw db::DbError(e.code(), std::string("db/") + file.path + ": " + e.description());
  }
}

// record_content.txt: one record per line, its ID, a tab and its HTML; '#' starts a comment.
void WriteRecordContents(db::Connection& connection, const EmbeddedFile& file) {
  std::string_view rest = file.text();
  int line_number = 0;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    ++line_number;
    if (line.empty() || line.front() == '#') continue;
    size_t tab = line.find('\t');
    std::string_view id = line.substr(0, tab);
    if (tab == std::string_view::npos || id.empty() || id.find('\'') != std::string_view::npos) {
      throw db::DbError(db::kProviderFailed, std::string("db/") + file.path + ":" +
                                                 std::to_string(line_number) +
                                                 ": expected a record ID, a tab and the HTML");
    }
    std::string query = "SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = '";
    query.append(id).append("'");
    if (!connection.WriteBlob(query, StoredText(line.substr(tab + 1)))) {
      throw db::DbError(db::kProviderFailed, std::string("db/") + file.path + ":" +
                                                 std::to_string(line_number) + ": no record " +
                                                 std::string(id));
    }
  }
}

bool IsScript(const EmbeddedFile& file) {
  return std::string_view(file.path).ends_with(".sql");
}

}  // namespace

void BuildDatabase(db::Connection& connection, DatabaseContents contents) {
  BuildTransaction transaction(connection);
  for (const EmbeddedFile& file : SchemaFiles()) RunFile(connection, file);
  for (const EmbeddedFile& file : InstallFiles()) RunFile(connection, file);
  if (contents == DatabaseContents::kSampleHospital) {
    for (const EmbeddedFile& file : SampleFiles()) {
      if (IsScript(file)) RunFile(connection, file);
    }
    for (const EmbeddedFile& file : SampleFiles()) {
      if (std::string_view(file.path) == "sample/record_content.txt") {
        WriteRecordContents(connection, file);
      }
    }
  }
  transaction.Commit();
}

}  // namespace korvalis::schema
