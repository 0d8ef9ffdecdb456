#include "db/testing/test_database.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "db/database_file.h"
#include "db/stored_text.h"
#include "foundation/data/sql_text.h"
#include "platform/db/connection_pool.h"
#include "platform/db/testing/postgres_test_server.h"

namespace korvalis::schema {
namespace {

namespace fs = std::filesystem;

std::string InitString(const std::string& path) { return "Provider=SQLite;Data Source=" + path; }

// The database every fixture of one kind starts from, built on first use and removed at exit.
class TemplateDatabase {
 public:
  explicit TemplateDatabase(DatabaseContents contents)
      : directory_("korvalis-db"), path_(directory_.path() + "/template.db") {
    std::unique_ptr<db::Connection> connection = db::CreateDatabase(InitString(path_));
    BuildDatabase(*connection, contents);
  }
  const std::string& path() const { return path_; }

 private:
  korvalis::testing::TempDirectory directory_;
  std::string path_;
};

// The server database every server fixture of one kind is copied from.
const std::string& ServerTemplateFor(DatabaseContents contents) {
  static std::mutex mutex;
  static std::string templates[2];
  std::lock_guard<std::mutex> lock(mutex);
  std::string& init = templates[contents == DatabaseContents::kInstallation ? 0 : 1];
  if (init.empty()) {
    std::string made = db::testing::PostgresTestServer::Get().CreateDatabase();
    BuildServerDatabase(made, contents);
    // A template is copied only while nobody is connected to it.
    db::ConnectionPools::Close(made);
    init = std::move(made);
  }
  return init;
}

const TemplateDatabase& TemplateFor(DatabaseContents contents) {
  static std::mutex mutex;
  static std::unique_ptr<TemplateDatabase> installation;
  static std::unique_ptr<TemplateDatabase> sample;
  std::lock_guard<std::mutex> lock(mutex);
  std::unique_ptr<TemplateDatabase>& slot =
      contents == DatabaseContents::kInstallation ? installation : sample;
  if (!slot) slot = std::make_unique<TemplateDatabase>(contents);
  return *slot;
}

std::string Number(double value) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, end);
}

std::string Number(const std::optional<int>& value) {
  return value ? std::to_string(*value) : "NULL";
}

}  // namespace

std::string SqlText(std::string_view text) { return SqlQuoted(text); }

std::string SqlTextOrNull(const std::optional<std::string>& text) {
  return text ? SqlText(*text) : "NULL";
}

std::string SqlDate(const std::optional<std::string>& date) {
  if (!date) return "NULL";
  return "TO_DATE(" + SqlText(*date) + ", 'YYYY-MM-DD HH24:MI:SS')";
}

TestDatabase::TestDatabase(DatabaseContents contents, db::Engine engine)
    : directory_("korvalis-db"), server_(engine == db::Engine::kPostgres) {
  if (server_) {
    init_string_ =
        db::testing::PostgresTestServer::Get().CreateDatabase(ServerTemplateFor(contents));
    return;
  }
  path_ = directory_.path() + "/korvalis.db";
  init_string_ = InitString(path_);
  fs::copy_file(TemplateFor(contents).path(), path_);
}

TestDatabase::~TestDatabase() {
  connection_.reset();
  db::ConnectionPools::Close(init_string_);
  if (server_) {
    try {
      db::testing::PostgresTestServer::Get().DropDatabase(init_string_);
    } catch (const std::exception&) {
      // A database left behind goes with the test server's cluster.
    }
  }
}

db::Connection& TestDatabase::connection() {
  // A server connection lost (the server was restarted) is opened again.
  if (!connection_ || !connection_->Alive()) connection_ = db::OpenConnection(init_string_);
  return *connection_;
}

void TestDatabase::Execute(std::string_view sql) {
  std::unique_ptr<db::Rowset> rows = connection().Execute(sql);
  while (rows->Next()) {
  }
}

std::vector<std::vector<std::string>> TestDatabase::Query(std::string_view sql) {
  std::unique_ptr<db::Rowset> rows = connection().Execute(sql);
  std::vector<std::vector<std::string>> result;
  while (rows->Next()) {
    std::vector<std::string>& row = result.emplace_back();
    for (int i = 0; i < rows->ColumnCount(); ++i) {
      row.emplace_back(rows->IsNull(i) ? std::string_view() : rows->Text(i));
    }
  }
  return result;
}

std::string TestDatabase::QueryScalar(std::string_view sql) {
  std::unique_ptr<db::Rowset> rows = connection().Execute(sql);
  if (rows->ColumnCount() == 0 || !rows->Next() || rows->IsNull(0)) return "";
  return std::string(rows->Text(0));
}

int TestDatabase::Count(std::string_view table, std::string_view where) {
  std::string sql = "SELECT COUNT(*) FROM " + std::string(table);
  if (!where.empty()) sql.append(" WHERE ").append(where);
  return std::stoi(QueryScalar(sql));
}

void TestDatabase::AddPatient(const PatientRow& row) {
  Execute("INSERT INTO TELV_PATIENT (ID, NAME, SEX, BIRTHDAY, CASE_NO) VALUES (" + SqlText(row.id) +
          ", " + SqlText(row.name) + ", " + std::to_string(row.sex) + ", " + SqlDate(row.birthday) +
          ", " + SqlText(row.case_no) + ")");
}

void TestDatabase::AddVisit(const VisitRow& row) {
  const bool out = row.out_time.has_value();
  std::optional<std::string> out_dept_id, out_dept_name;
  if (out) {
    out_dept_id = row.dept_id;
    out_dept_name = row.dept_name;
  }
  Execute(
      "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, IN_TIME, IN_DEPT_ID, "
      "IN_DEPT_NAME, NOW_DEPT_ID, NOW_DEPT_NAME, BED_NO, OUT_TIME, OUT_DEPT_ID, OUT_DEPT_NAME, "
      "DOCTOR_NAME, REG_DOCTOR_ID, RESIDENCE_FLAG, EVENT_STATUS, EMR_STATUS, CODE_STATUS, "
      "FORBID_FLAG, PAPER_EMR_STATUS, ADMISSION_DEPT_TIME) VALUES (" +
      SqlText(row.patient_id) + ", " + SqlText(row.event_no) + ", 1, " + SqlDate(row.in_time) +
      ", " + SqlText(row.dept_id) + ", " + SqlText(row.dept_name) + ", " + SqlText(row.dept_id) +
      ", " + SqlText(row.dept_name) + ", " + SqlText(row.bed_no) + ", " + SqlDate(row.out_time) +
      ", " + SqlTextOrNull(out_dept_id) + ", " + SqlTextOrNull(out_dept_name) + ", " +
      SqlText(row.doctor_name) + ", " + SqlText(row.doctor_id) + ", " +
      std::to_string(row.residence_flag) + ", 1, " + std::to_string(row.emr_status) + ", " +
      Number(row.code_status) + ", " + SqlText(row.forbid_flag) + ", " +
      std::to_string(row.paper_emr_status) + ", " + SqlDate(row.in_time) + ")");
}

std::string TestDatabase::AddRecord(const RecordRow& row) {
  std::string id = row.id;
  if (id.empty()) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "00000000-0000-4000-8000-%012d", ++next_record_);
    id = buffer;
  }
  Execute(
      "INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO, CATALOG_ID, TEMPLATE_ID, "
      "EMR_TYPE, TITLE, CREATOR_ID, CREATOR, SORT_CODE, CREATE_DATE, STATUS, COMPRESSION, "
      "ENCRYPTION, CONTENT_VERIFICATION_TIME) VALUES (" +
      SqlText(id) + ", " + SqlText(row.patient_id) + ", " + SqlText(row.event_no) + ", " +
      std::to_string(row.catalog_id) + ", " + std::to_string(row.template_id) + ", " +
      std::to_string(row.emr_type) + ", " + SqlText(row.title) + ", " + SqlText(row.creator_id) +
      ", " + SqlText(row.creator) + ", '00001', " + SqlDate(row.create_date) + ", " +
      std::to_string(row.status) + ", 0, 0, " + SqlDate(row.confirm_time) + ")");
  if (row.html) {
    connection().WriteBlob("SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = " + SqlText(id),
                           StoredText(*row.html));
  }
  return id;
}

void TestDatabase::AddCatalog(const CatalogRow& row) {
  Execute(
      "INSERT INTO TELV_EMR_CATALOG (ID, CODE, NAME, PARENT_CODE, SYSTEM_FLAG, STATUS, "
      "SORT_CODE, LIMIT_HIGH) VALUES (" +
      std::to_string(row.id) + ", " + SqlText(row.code) + ", " + SqlText(row.name) + ", " +
      SqlText(row.parent_code) + ", " + std::to_string(row.system_flag) + ", " +
      std::to_string(row.status) + ", " + std::to_string(row.sort_code) + ", " +
      Number(row.limit_high) + ")");
}

void TestDatabase::AddTemplate(const TemplateRow& row) {
  Execute(
      "INSERT INTO TELV_EMR_TEMPLATE (ID, NAME, EMR_TYPE, CATALOG_ID, SUPERIOR_SIGN_FLAG, "
      "PRINT_FLAG) VALUES (" +
      std::to_string(row.id) + ", " + SqlText(row.name) + ", " + std::to_string(row.emr_type) +
      ", " + std::to_string(row.catalog_id) + ", " + std::to_string(row.superior_sign_flag) + ", " +
      std::to_string(row.print_flag) + ")");
  for (const TemplateContentRow& content : row.contents) {
    const std::string index = std::to_string(content.index);
    const std::string where = " FROM TELV_EMR_TEMPLATE WHERE ID = " + std::to_string(row.id);
    Execute("UPDATE TELV_EMR_TEMPLATE SET COMPRESSION" + index +
            " = '0' WHERE ID = " + std::to_string(row.id));
    connection().WriteBlob("SELECT CONTENT" + index + where, StoredText(content.text));
  }
}

void TestDatabase::AddRule(const RuleRow& row) {
  const std::string id = std::to_string(row.id);
  char sort_code[16];
  std::snprintf(sort_code, sizeof sort_code, "%05d", row.id);
  Execute(
      "INSERT INTO PEV_RULE (ID, NAME, OWNER_TYPE, EMR_TYPE, POINT_ID, QUANTITY, SORT_CODE, "
      "TIME_OUT, STATUS) VALUES (" +
      id + ", " + SqlText(row.name) + ", '1', NULL, " + Number(row.point_id) + ", " +
      SqlText(row.quantity) + ", " + SqlText(sort_code) + ", " + Number(row.time_out) + ", " +
      std::to_string(row.status) + ")");
  for (int emr_type : row.emr_types) {
    const std::string type = std::to_string(emr_type);
    Execute("INSERT INTO PEV_RULE_EMRTYPE (RULE_ID, EMR_TYPE, EMRTYPE) VALUES (" + id + ", " +
            type + ", " + type + ")");
  }
  for (const std::string& event : row.open_events) {
    Execute("INSERT INTO PEV_EVENT_RULE (EVENT_CODE, RULE_ID, RELATION_TYPE, RULE_CODE) VALUES (" +
            SqlText(event) + ", " + id + ", 1, " + id + ")");
  }
}

void TestDatabase::AddRuleInstance(const RuleInstanceRow& row) {
  Execute(
      "INSERT INTO PEV_TIME_RULE_RECORD (PATIENT_ID, EVENT_NO, SERIAL, RULE_ID, START_TIME, "
      "OVER_TIME, STATUS, EMR_TYPE, OPEN_EVENT_CODE, SUPERIOR_SIGN_FLAG, EMR_ID, FINISH_TIME, "
      "OVER_HOUR) VALUES (" +
      SqlText(row.patient_id) + ", " + SqlText(row.event_no) + ", " + std::to_string(row.serial) +
      ", " + std::to_string(row.rule_id) + ", " + SqlDate(row.start_time) + ", " +
      SqlDate(row.over_time) + ", " + std::to_string(row.status) + ", " + Number(row.emr_type) +
      ", " + SqlText(row.open_event_code) + ", " + std::to_string(row.superior_sign_flag) + ", " +
      SqlTextOrNull(row.emr_id) + ", " + SqlDate(row.finish_time) + ", " + Number(row.over_hour) +
      ")");
}

void TestDatabase::AddStandardCatalog(const StandardCatalogRow& row) {
  Execute(
      "INSERT INTO PEV_STANDARD_CATALOG (ID, NAME, EMR_TYPE_LIST, PARENT_ID, SORT_CODE, "
      "TOTAL_POINT, GRADE_AREA, STATUS) VALUES (" +
      std::to_string(row.id) + ", " + SqlText(row.name) + ", " + SqlText(row.emr_type_list) + ", " +
      std::to_string(row.parent_id) + ", " + std::to_string(row.id) + ", " +
      Number(row.total_point) + ", " + SqlText(row.grade_area) + ", " + std::to_string(row.status) +
      ")");
}

void TestDatabase::AddStandardItem(const StandardItemRow& row) {
  Execute(
      "INSERT INTO PEV_STANDARD_ITEM (ID, STANDARD, POINT, TYPE_VETO, TYPE_MULTI, "
      "TYPE_SUBJECTIVE, MAIN_GRADE_FLAG, SORT_CODE, POINT_CATALOG_ID, CODE, TYPE, STATUS) "
      "VALUES (" +
      std::to_string(row.id) + ", " + SqlText(row.standard) + ", " + Number(row.point) + ", " +
      std::to_string(row.type_veto) + ", 0, 0, '0', " + std::to_string(row.id) + ", " +
      std::to_string(row.catalog_id) + ", " + SqlText(row.code) + ", " + std::to_string(row.type) +
      ", " + std::to_string(row.status) + ")");
}

void TestDatabase::AddStaff(const StaffRow& row) {
  const std::string id = SqlText(row.id);
  Execute("INSERT INTO TELV_STAFF_DICT (ID, NAME, SEX, TITLE_ID, WORK_KIND, VALID_FLAG) VALUES (" +
          id + ", " + SqlText(row.name) + ", '男', " + SqlText(row.title_id) + ", " +
          SqlText(row.identity) + ", " + SqlText(row.valid_flag) + ")");
  Execute(
      "INSERT INTO TELV_USER_TABLE (ID, USER_CODE, PASSWORD, VALID_FLAG, SUPER_LEVEL, "
      "PWD_VALID_DATE, PWD_EXPIRE_DATE) VALUES (" +
      id + ", " + SqlText(row.login.empty() ? row.id : row.login) + ", " +
      SqlText(row.password_digest) + ", " + SqlText(row.valid_flag) + ", " +
      SqlText(row.super_level) + ", " + SqlDate(std::string("2000-01-01 00:00:00")) + ", " +
      SqlDate(std::string("2099-12-31 23:59:59")) + ")");
  Execute("INSERT INTO TELV_USER (ID, IDENTITY) VALUES (" + id + ", " + SqlText(row.identity) +
          ")");
}

void TestDatabase::SetSysParam(std::string_view name, std::optional<std::string_view> value) {
  Execute("DELETE FROM TELV_SYS_PARAM WHERE NAME = " + SqlText(name));
  Execute("INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES (" + SqlText(name) + ", " +
          (value ? SqlText(*value) : std::string("NULL")) + ")");
}

}  // namespace korvalis::schema
