// A fresh database for one test: the system's schema and installation rows in a file of its
// own, and helpers that insert patients, visits, records, catalogues, templates, rules, rule
// instances, QC standards, staff and system parameters in one line each. Every statement
// runs through the provider and the Oracle front end, as the system's own do.
//
//   korvalis::schema::TestDatabase db;
//   db.AddPatient({.id = "P1", .name = "张三"});
//   db.AddVisit({.patient_id = "P1", .event_no = "E1", .dept_id = "0101"});
//   std::string record = db.AddRecord({.patient_id = "P1", .event_no = "E1", .emr_type = 2});
//
// The first database of a process is built from the embedded scripts; every later one is a
// copy of that file (on the server, of that database), so a fixture costs a copy. When the object
// ends, the pooled connections of its database are closed and the directory of the file is removed.
//
// Thread-safety: one thread at a time per object; objects are independent.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/database_builder.h"
#include "db/testing/temp_directory.h"
#include "platform/db/provider.h"
#include "platform/db/sql_translator.h"

namespace korvalis::schema {

// Dates are texts "YYYY-MM-DD HH:MM:SS"; an empty optional writes NULL.
struct PatientRow {
  std::string id{};
  std::string name = "测试病人";
  int sex = 1;  // 1 male, 0 female
  std::string birthday = "1970-01-01 00:00:00";
  std::string case_no{};
};

struct VisitRow {
  std::string patient_id{};
  std::string event_no{};
  std::string dept_id = "0101";
  std::string dept_name = "心血管内科";
  std::string in_time = "2026-01-05 08:00:00";
  std::optional<std::string> out_time{};  // set: discharged from dept_id
  std::string bed_no = "01";
  std::string doctor_name = "测试医生";
  std::string doctor_id = "D001";
  int residence_flag = 2;
  int emr_status = 1;
  std::string forbid_flag = "0";
  int paper_emr_status = 0;
  std::optional<int> code_status{};
};

struct RecordRow {
  std::string id{};  // empty: a new identifier is made
  std::string patient_id{};
  std::string event_no{};
  int catalog_id = 2;
  int template_id = 2;
  int emr_type = 2;
  std::string title = "入院记录";
  std::string creator_id = "D001";
  std::string creator = "测试医生";
  std::string create_date = "2026-01-05 10:00:00";
  std::optional<std::string> confirm_time{};  // CONTENT_VERIFICATION_TIME
  int status = 1;
  std::optional<std::string> html{};  // stored as UTF-16LE with a byte-order mark, no codec
};

struct CatalogRow {  // TELV_EMR_CATALOG
  int id = 0;
  std::string code{};
  std::string name{};
  std::string parent_code = "###";
  int system_flag = 1;
  int status = 1;
  int sort_code = 0;
  std::optional<int> limit_high{};
};

// One of a template's five contents (index 1 to 5), stored as the system stores record text,
// without compression (its COMPRESSIONi is "0").
struct TemplateContentRow {
  int index = 1;
  std::string text{};
};

struct TemplateRow {  // TELV_EMR_TEMPLATE
  int id = 0;
  std::string name{};
  int emr_type = 0;
  int catalog_id = 0;
  int superior_sign_flag = 0;
  int print_flag = 0;
  std::vector<TemplateContentRow> contents{};  // first page, XML frame, style sheets
};

// A time-limit rule with its EMR types (written to both column sets of PEV_RULE_EMRTYPE) and
// the events that open it (PEV_EVENT_RULE, relation 1, under RULE_ID and RULE_CODE).
struct RuleRow {
  int id = 0;
  std::string name{};
  std::vector<int> emr_types{};
  std::string quantity = "1";
  double time_out = 24;
  std::optional<int> point_id{};
  int status = 1;
  std::vector<std::string> open_events{};
};

struct RuleInstanceRow {  // PEV_TIME_RULE_RECORD
  std::string patient_id{};
  std::string event_no{};
  int serial = 1;
  int rule_id = 0;
  std::string start_time{};
  std::string over_time{};
  int status = 1;  // 0 undone, 1 open, 2 closed, 3 suspended
  std::optional<int> emr_type{};
  std::string open_event_code = "A01";
  std::optional<std::string> emr_id{};
  std::optional<std::string> finish_time{};
  std::optional<int> over_hour{};
  int superior_sign_flag = 0;
};

struct StandardCatalogRow {  // PEV_STANDARD_CATALOG
  int id = 0;
  std::string name{};
  int parent_id = 0;
  std::string emr_type_list{};
  std::string grade_area = "0";
  double total_point = 0;
  int status = 1;
};

struct StandardItemRow {  // PEV_STANDARD_ITEM
  int id = 0;
  std::string standard{};
  double point = 1;
  int catalog_id = 0;
  std::string code{};
  int type_veto = 1;
  int type = 0;
  int status = 1;
};

// A user in the staff dictionary, the user table and the identity table at once.
struct StaffRow {
  std::string id{};
  std::string name = "测试医生";
  std::string login{};
  std::string password_digest{};  // upper-case hex MD5 of the UTF-16LE password
  std::string title_id = "10";
  std::string identity = "10";
  std::string super_level = "1";
  std::string valid_flag = "1";
};

class TestDatabase {
 public:
  // kSampleHospital adds the sample hospital (built once per process as well). On
  // db::Engine::kPostgres the database is one of the tests' throwaway server, copied from a
  // template database built once per process.
  explicit TestDatabase(DatabaseContents contents = DatabaseContents::kInstallation,
                        db::Engine engine = db::Engine::kSqlite);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  // The embedded database's file (empty on the server).
  const std::string& path() const { return path_; }
  // What the code under test opens: "Provider=SQLite;Data Source=<path>", or the server
  // database's string.
  const std::string& init_string() const { return init_string_; }

  // A connection of the fixture's own; its statements commit one by one.
  db::Connection& connection();

  void Execute(std::string_view sql);
  // The first column of the first row as text; empty for no row or NULL.
  std::string QueryScalar(std::string_view sql);
  // Every row, each a vector of column texts (NULL as empty).
  std::vector<std::vector<std::string>> Query(std::string_view sql);
  // COUNT(*) of `table`, with `where` (without the word WHERE) when given.
  int Count(std::string_view table, std::string_view where = "");

  void AddPatient(const PatientRow& row);
  void AddVisit(const VisitRow& row);
  // Returns the record's identifier.
  std::string AddRecord(const RecordRow& row);
  void AddCatalog(const CatalogRow& row);
  void AddTemplate(const TemplateRow& row);
  void AddRule(const RuleRow& row);
  void AddRuleInstance(const RuleInstanceRow& row);
  void AddStandardCatalog(const StandardCatalogRow& row);
  void AddStandardItem(const StandardItemRow& row);
  void AddStaff(const StaffRow& row);
  // Replaces the parameter's rows; nullopt stores a row without a value.
  void SetSysParam(std::string_view name, std::optional<std::string_view> value);

 private:
  korvalis::testing::TempDirectory directory_;  // removed last, after the connections are closed
  std::string path_;
  std::string init_string_;
  bool server_ = false;
  std::unique_ptr<db::Connection> connection_;
  int next_record_ = 0;
};

// A text as an Oracle literal: between single quotes with inner quotes doubled.
std::string SqlText(std::string_view text);
// An optional text as a literal, or NULL.
std::string SqlTextOrNull(const std::optional<std::string>& text);
// A date text "YYYY-MM-DD HH:MM:SS" as TO_DATE(...), or NULL for an empty optional.
std::string SqlDate(const std::optional<std::string>& date);

}  // namespace korvalis::schema
