// The schema as the engine builds it: every table, view and column the system's statements
// name, the column order of tables filled by position, the columns that must stay absent,
// keys, virtual columns, views and the installation rows.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "db/schema_files.h"
#include "db/testing/test_database.h"
#include "platform/db/sql_error.h"

namespace korvalis::schema {
namespace {

struct InventoryEntry {
  std::vector<std::string> columns;
  bool exact = false;                  // "TABLE = ...": these columns, in this order
  std::vector<std::string> forbidden;  // "TABLE - ..."
};

std::map<std::string, InventoryEntry> ParseInventory() {
  std::map<std::string, InventoryEntry> tables;
  std::istringstream in{std::string(InventoryText())};
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string table, mark, column;
    words >> table;
    if (table.back() == ':') {
      table.pop_back();
      mark = ":";
    } else {
      words >> mark;
    }
    InventoryEntry& entry = tables[table];
    std::vector<std::string>& target = mark == "-" ? entry.forbidden : entry.columns;
    if (mark == "=") entry.exact = true;
    while (words >> column) target.push_back(column);
  }
  return tables;
}

std::vector<std::string> LiveColumns(TestDatabase& db, const std::string& table) {
  std::unique_ptr<db::Rowset> rows = db.connection().Execute("SELECT * FROM " + table + " WHERE 1 = 0");
  std::vector<std::string> columns;
  for (int i = 0; i < rows->ColumnCount(); ++i) columns.push_back(rows->ColumnName(i));
  return columns;
}

class SchemaTest : public ::testing::Test {
 protected:
  TestDatabase db_;
};

TEST_F(SchemaTest, EveryTableAndColumnOfTheInventoryExists) {
  const auto inventory = ParseInventory();
  ASSERT_GT(inventory.size(), 100u);
  for (const auto& [table, entry] : inventory) {
    SCOPED_TRACE(table);
    std::vector<std::string> live = LiveColumns(db_, table);
    std::set<std::string> present(live.begin(), live.end());
    if (entry.exact) {
      EXPECT_EQ(live, entry.columns) << "rows of " << table << " are inserted by position";
    }
    for (const std::string& column : entry.columns) {
      EXPECT_TRUE(present.count(column)) << table << "." << column << " is missing";
    }
    for (const std::string& column : entry.forbidden) {
      EXPECT_FALSE(present.count(column)) << table << "." << column << " must not exist";
    }
  }
}

TEST_F(SchemaTest, ArchiveSearchNamesPatientAndVisitColumnsUnqualified) {
  // The patient search selects the columns of both tables without qualifier: any column in
  // both would make the statement ambiguous.
  db_.AddPatient({.id = "P1", .name = "测试", .case_no = "C1"});
  db_.AddVisit({.patient_id = "P1", .event_no = "E1"});
  auto rows = db_.Query(
      "SELECT/*+rule*/ NAME, SEX, PATIENT_ID, EVENT_NO, BIRTHDAY, IN_TIME, OUT_TIME, "
      "IN_DEPT_NAME, NOW_DEPT_NAME, OUT_DEPT_NAME, EMR_STATUS, COMMIT_TIME, ROLLBACK_TIME, "
      "ARCHIVE_TIME, FORBID_FLAG, BED_NO, DOCTOR_NAME, REG_DOCTOR_ID, CODE_STATUS, CODE_DATE, "
      "ROLLBACK_NOTES, ARCHIVER, ARCHIVE_NOTES, EVENT_STATUS, DECODE(V.ROLLBACKER, NULL, 1, 2) "
      "COMMIT_TIMES, RECTIFY_STATUS, V.COMMITER, V.COMMIT_NOTES, ADMISSION_DEPT_TIME, CASE_NO "
      "FROM TELV_VISIT_RECORD V, TELV_PATIENT W WHERE V.PATIENT_ID = W.ID AND "
      "NOW_DEPT_ID='0101' AND OUT_TIME is null AND RESIDENCE_FLAG=2 AND EMR_STATUS IN (1) AND 1=1");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "测试");
  EXPECT_EQ(rows[0][29], "C1");
}

TEST_F(SchemaTest, KeysRefuseDuplicatesWhereTheSystemCountsOnThem) {
  db_.AddRuleInstance({.patient_id = "P1", .event_no = "E1", .serial = 1, .rule_id = 1,
                       .start_time = "2026-01-01 08:00:00", .over_time = "2026-01-02 08:00:00"});
  try {
    db_.AddRuleInstance({.patient_id = "P1", .event_no = "E1", .serial = 1, .rule_id = 2,
                         .start_time = "2026-01-01 08:00:00",
                         .over_time = "2026-01-02 08:00:00"});
    FAIL() << "a second instance with the serial of the visit was stored";
  } catch (const db::DbError& e) {
    EXPECT_EQ(e.code(), db::kIntegrityViolation) << e.description();
  }
  // Another visit may use the same serial.
  db_.AddRuleInstance({.patient_id = "P1", .event_no = "E2", .serial = 1, .rule_id = 1,
                       .start_time = "2026-01-01 08:00:00", .over_time = "2026-01-02 08:00:00"});

  // The parameter table and the property maps allow repeated names: their readers take the
  // first row, and a site may carry such rows.
  db_.Execute("INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('emr_browse_max', '5')");
  EXPECT_EQ(db_.Count("TELV_SYS_PARAM", "NAME = 'emr_browse_max'"), 2);
  db_.Execute(
      "INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE) "
      "VALUES ('pev_rule', 'name', 'NOTES', 'string')");
  EXPECT_EQ(db_.Count("TELV_PROPERTY_MAP", "MAP_NAME = 'pev_rule' AND PROPERTY = 'name'"), 2);
}

TEST_F(SchemaTest, MisspelledColumnsReadTheColumnsTheWritersFill) {
  // The final-QC lists read TATOL_COUNT, VERIFY_COUNT, TASK_ID and EVNET_NO; the writers fill
  // TOTAL_COUNT, VIRIFY_COUNT, QCTASK_ID and EVENT_NO.
  db_.Execute(
      "INSERT INTO PEV_FINAL_DEPT_RECORD(ID, DEPT_ID, DEPT_NAME, QCTASK_ID, QC_USER_ID, "
      "QC_USER_NAME, STATUS) VALUES(1, '0101', '心血管内科', 7, 'U1', '质控员', 1)");
  db_.Execute("UPDATE PEV_FINAL_DEPT_RECORD SET TOTAL_COUNT = 3 WHERE QCTASK_ID = 7 AND DEPT_ID = '0101'");
  db_.Execute("UPDATE PEV_FINAL_DEPT_RECORD SET VIRIFY_COUNT = 2 WHERE ID = 1");
  EXPECT_EQ(db_.Query("SELECT DEPT_NAME, DEPT_ID, ID, TATOL_COUNT, VERIFY_COUNT FROM "
                      "PEV_FINAL_DEPT_RECORD WHERE QCTASK_ID = 7"),
            (std::vector<std::vector<std::string>>{{"心血管内科", "0101", "1", "3", "2"}}));
  db_.AddPatient({.id = "P1", .name = "测试"});
  db_.Execute(
      "INSERT INTO PEV_FINAL_PATIENT_RECORD(PATIENT_ID, EVENT_NO, ID, QC_USER_ID, QC_USER_NAME, "
      "TOTAL_POINT, EMR_LEVEL, STATUS) VALUES('P1', 'E9', 1, 'U1', '质控员', 100, 1, 1)");
  EXPECT_EQ(db_.Query("SELECT A.NAME, B.PATIENT_ID, B.EVNET_NO, B.EMR_LEVEL, B.TOTAL_POINT FROM "
                      "TELV_PATIENT A, PEV_FINAL_PATIENT_RECORD B, PEV_FINAL_DEPT_RECORD C WHERE "
                      "C.TASK_ID = 7 AND C.DEPT_ID = '0101' AND B.ID = C.ID AND A.ID = B.PATIENT_ID"),
            (std::vector<std::vector<std::string>>{{"测试", "P1", "E9", "1", "100"}}));

  // The shift records: the delete writes VAILD_FLAG, the paging reads VAILD_FALG.
  db_.Execute("INSERT INTO PEV_DT_SHIFT_RECORD (ID, DEPT_ID, CREATE_TIME) VALUES ('S1', '0101', SYSDATE)");
  EXPECT_EQ(db_.Count("PEV_DT_SHIFT_RECORD", "VAILD_FALG=1"), 1);
  db_.Execute("UPDATE PEV_DT_SHIFT_RECORD SET VAILD_FLAG=0 WHERE ID='S1'");
  EXPECT_EQ(db_.Count("PEV_DT_SHIFT_RECORD", "VAILD_FALG=1"), 0);

  // The QC standard catalogue: the property map writes EMR_TYPE_LIST, the filter searches
  // EMR_TYPE.
  db_.AddStandardCatalog({.id = 1, .name = "病程记录", .emr_type_list = ";3;8;"});
  EXPECT_EQ(db_.Count("PEV_STANDARD_CATALOG A", "A.EMR_TYPE LIKE '%;8;%'"), 1);
  EXPECT_THROW(db_.Execute("UPDATE PEV_FINAL_DEPT_RECORD SET TATOL_COUNT = 1"), db::DbError);
}

TEST_F(SchemaTest, TablesFilledByPositionTakeTheStatementsOfTheSystem) {
  db_.Execute(
      "INSERT INTO TELV_REGISTER_EVENT (ID, EVENT_CODE, CREATE_TIME, PATIENT_ID, EVENT_NO, "
      "REGIST_TIME, TYPE, EXTEND_INFO, SRC_SYS) VALUES('e1', 'A01', to_date('2026-01-02 "
      "03:04:05', 'YYYY-MM-DD HH24:MI:SS'), 'P1', 'E1', SYSDATE, 0, '<emr_id>x</emr_id>', 1)");
  db_.Execute("insert into telv_register_event_record select * from telv_register_event where id = 'e1'");
  EXPECT_EQ(db_.QueryScalar("SELECT CREATE_TIME FROM TELV_REGISTER_EVENT_RECORD WHERE ID = 'e1'"),
            "2026-01-02 03:04:05");
  EXPECT_EQ(db_.QueryScalar("SELECT EXTEND_INFO FROM TELV_REGISTER_EVENT_RECORD"), "<emr_id>x</emr_id>");

  db_.Execute("INSERT INTO TELV_MONITOR_SERVICE VALUES('cron','/usr/sbin/cron',1)");
  EXPECT_EQ(db_.Count("TELV_MONITOR_SERVICE T", "T.TYPE = '1'"), 1);
  db_.Execute("INSERT INTO TELV_FUNCTION_CONFIG VALUES('f1', '在院病人', 't1', 2, '', 'r1')");
  db_.Execute("INSERT INTO TELV_FUNCTION_GROUP T VALUES('g1', '查询', '' ,'3', 'pirundel', 1 )");
  EXPECT_EQ(db_.QueryScalar("SELECT REPORT_ID FROM TELV_FUNCTION_CONFIG WHERE ID = 'f1'"), "r1");
  EXPECT_EQ(db_.QueryScalar("SELECT SORT_CODE FROM TELV_FUNCTION_GROUP WHERE ID = 'g1'"), "1");
  db_.Execute("INSERT INTO TELV_QUERY_TEMPLATE_DISTRIBUTE VALUES ('t1', '0101')");
  db_.Execute(
      "INSERT INTO PEV_EMR_WRITE_APPLY VALUES('P1', 'E1','2','1','1','U1','申请人',"
      "'2026-01-02 03:04:05','0','','')");
  EXPECT_EQ(db_.QueryScalar("SELECT APPLY_DATE FROM PEV_EMR_WRITE_APPLY"), "2026-01-02 03:04:05");
  db_.Execute(
      "INSERT INTO PEV_RESCUE_RECORD VALUES('r1','P1','E1','呼吸衰竭','气管插管','成功',"
      "'2026-01-02 03:04:05','甲, 乙','血氧下降','U1','呼吸内科','2026-01-02 08:00:00','')");
  EXPECT_EQ(db_.QueryScalar("SELECT REGISTER_DATE FROM PEV_RESCUE_RECORD"), "2026-01-02 08:00:00");
  db_.Execute(
      "INSERT INTO TELV_CRISIS_RECORD VALUES('P1','E1','1','2','LIS','生化','RX','AP','R1', "
      "to_date('2026-01-02 03:04:05', 'yyyy-mm-dd HH24:MI:SS'),'K','血钾','6.8','3.5','5.5',"
      "to_date('2026-01-02 04:00:00','yyyy-mm-dd HH24:MI:SS'),'医生','U1','3.5-5.5')");
  EXPECT_EQ(db_.QueryScalar("SELECT NORMAL_VAL FROM TELV_CRISIS_RECORD"), "3.5-5.5");
}

TEST_F(SchemaTest, CatalogueChildCountSeesLiveChildrenOnly) {
  db_.AddCatalog({.id = 1, .code = "001", .name = "病程记录"});
  db_.AddCatalog({.id = 2, .code = "001001", .name = "首次病程", .parent_code = "001"});
  db_.AddCatalog({.id = 3, .code = "001002", .name = "日常病程", .parent_code = "001"});
  db_.AddCatalog({.id = 4, .code = "001003", .name = "已删除", .parent_code = "001", .status = 0});
  EXPECT_EQ(db_.Query("SELECT A.ID, B.CHILDREN FROM TELV_EMR_CATALOG A, TELV_V_EMR_CATALOG_COUNT B "
                      "WHERE A.ID = B.ID AND A.STATUS = 1 ORDER BY A.ID"),
            (std::vector<std::vector<std::string>>{{"1", "2"}, {"2", "0"}, {"3", "0"}}));
}

TEST_F(SchemaTest, VisitViewJoinsEachVisitWithItsPatient) {
  db_.AddPatient({.id = "P1", .name = "甲", .sex = 0, .birthday = "1980-02-03 00:00:00"});
  db_.AddVisit({.patient_id = "P1", .event_no = "E1", .out_time = "2026-01-10 09:00:00"});
  db_.AddVisit({.patient_id = "NOBODY", .event_no = "E2"});
  EXPECT_EQ(db_.Query("SELECT NAME, SEX, BIRTHDAY, OUT_DEPT_ID, FORBID_FLAG, EMR_STATUS FROM "
                      "TELV_V_PATIENT_VISIT_RECORD"),
            (std::vector<std::vector<std::string>>{
                {"甲", "0", "1980-02-03 00:00:00", "0101", "0", "1"}}));
}

// The table each property map writes.
const std::map<std::string, std::string> kMapTables = {
    {"telv_report", "TELV_REPORT"},
    {"pev_rule", "PEV_RULE"},
    {"pev_standard_item", "PEV_STANDARD_ITEM"},
    {"pev_standard_catalog", "PEV_STANDARD_CATALOG"},
    {"telv_emr_content", "TELV_EMR_CONTENT"},
};

TEST_F(SchemaTest, PropertyMapsKnowThePropertiesTheirWritersSet) {
  const std::map<std::string, std::vector<std::string>> required = {
      {"telv_report", {"id", "name", "catalogid", "creator", "creatorid", "createtime", "modifior",
                       "lastmodifytime", "sort", "note", "status", "newformat"}},
      {"pev_rule", {"id", "name", "owner_type", "emr_type", "point_id", "quantity", "sort_code",
                    "time_out", "notes", "status", "frequency", "preevent", "preevent_time"}},
      {"pev_standard_item", {"id", "standard", "point", "type_veto", "type_multi_sel",
                             "type_subjective", "main_grade_flag", "notes", "sort_code",
                             "point_catalog_id", "code", "type", "status"}},
      {"pev_standard_catalog", {"id", "name", "emr_type", "parent_id", "sort_code", "total_point",
                                "notes", "grade_area", "status"}},
      {"telv_emr_content", {"id", "patient_id", "event_no", "catalog", "create_date", "encryption",
                            "compression", "sort", "status", "version", "emr_type", "template",
                            "title", "author", "authorid", "key", "notes"}},
  };
  for (const auto& [map, properties] : required) {
    for (const std::string& property : properties) {
      EXPECT_EQ(db_.Count("TELV_PROPERTY_MAP", "MAP_NAME = '" + map + "' AND PROPERTY = '" +
                                                   property + "'"),
                1)
          << map << "." << property;
    }
  }
  EXPECT_EQ(db_.Count("TELV_PROPERTY_MAP", "MAP_NAME = 'telv_report'"), 12);
}

TEST_F(SchemaTest, EveryMappedPropertyCanBeWrittenAsItsTypeSays) {
  // One insert per map with every property, valued as the map's writer would: quoted texts,
  // converted dates, bare numbers. A field missing from the table or a type that does not fit
  // its column fails the insert.
  auto rows = db_.Query("SELECT MAP_NAME, PROPERTY, FIELD, TYPE FROM TELV_PROPERTY_MAP ORDER BY MAP_NAME, PROPERTY");
  std::map<std::string, std::pair<std::string, std::string>> statements;  // map -> columns, values
  std::map<std::string, std::set<std::string>> fields;
  for (const auto& row : rows) {
    const std::string& map = row[0];
    ASSERT_TRUE(kMapTables.count(map)) << "a map no writer uses: " << map;
    if (!fields[map].insert(row[2]).second) continue;  // two properties of one column
    std::string value = row[3] == "string" ? "'1'"
                        : row[3] == "date" ? "to_date('2026-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS')"
                                           : "1";
    if (row[2] == "ID" && map == "telv_emr_content") value = "'r1'";
    auto& [columns, values] = statements[map];
    columns += (columns.empty() ? "" : ",") + row[2];
    values += (values.empty() ? "" : ",") + value;
  }
  ASSERT_EQ(statements.size(), kMapTables.size());
  for (const auto& [map, statement] : statements) {
    SCOPED_TRACE(map);
    db_.Execute("INSERT INTO " + kMapTables.at(map) + "(" + statement.first + ") VALUES (" +
                statement.second + ")");
    EXPECT_EQ(db_.Count(kMapTables.at(map)), 1);
  }
}

TEST_F(SchemaTest, InstallationRowsCoverParametersEventsAndSearchDictionaries) {
  for (const char* name :
       {"emr_content_compression", "emr_content_encryption", "system_version",
        "system_consultation_timeout", "system_default_css", "system_std_diagnosis",
        "system_age_format", "system_datetime_format", "emr_recipe_text_xsl", "dept_qc_param",
        "emr_grade_default", "emr_browse_max", "emr_browse_pagebreak",
        "temperature_record_property", "birth_process_property", "system_peeper"}) {
    EXPECT_EQ(db_.Count("TELV_SYS_PARAM", std::string("NAME = '") + name + "'"), 1) << name;
  }
  EXPECT_EQ(db_.QueryScalar("SELECT VALUE FROM TELV_SYS_PARAM WHERE NAME = 'system_age_format'"),
            "1;168;0");
  // Every event code of the suite's vocabulary is in the catalogue and offered to rules.
  for (const char* code : {"A01", "A11", "A03", "A04", "A73", "A02", "A021", "A72", "A74", "A54",
                           "A08", "C01", "C02", "C03", "C04", "E03", "E07", "E06", "N01", "N02",
                           "N03", "N09", "O72", "O75", "O73", "O71", "O74", "O90", "O41", "O42",
                           "R01", "R02", "R03", "R04", "V03", "V04", "V05", "D00"}) {
    EXPECT_EQ(db_.Count("TELV_EVENT", std::string("CODE = '") + code +
                                          "' AND PARENT_CODE <> '###' AND QC_DISPATCH = 1"),
              1)
        << code;
  }
  EXPECT_EQ(db_.Count("TELV_EVENT", "PARENT_CODE <> '###' AND PARENT_CODE NOT IN (SELECT CODE "
                                    "FROM TELV_EVENT WHERE PARENT_CODE = '###')"),
            0);
  for (const char* type : {"STRING", "NUMBER", "DATE"}) {
    EXPECT_GT(db_.Count("MOLB_OPERATOR_DICT", std::string("DATA_TYPE = '") + type + "'"), 0);
  }
  EXPECT_GT(db_.Count("MOLB_SEARCHES_CONDITION", "STATUS = 1"), 0);
}

}  // namespace
}  // namespace korvalis::schema
