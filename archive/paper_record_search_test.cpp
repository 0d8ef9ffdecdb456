// The paper-record search on the embedded database: one element per discharged visit with the
// values of its latest hand-over, the conditions, and the refusals.
#include "archive/paper_record_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "archive/patient_paper_mag.h"
#include "db/testing/test_database.h"
#include "foundation/data/db_type.h"
#include "foundation/data/single_data_source.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/testing/engine_database.h"
#include "platform/text/unicode.h"

namespace korvalis::archive::testing {
namespace {

using korvalis::com::ScopedBstr;
using korvalis::testing::Element;
using korvalis::testing::FailureOf;
using korvalis::testing::ReadElements;
using korvalis::testing::TestDataSource;
using Visits = std::vector<std::string>;

// One hand-over log row: SERIAL, COMMIT_SERIAL, the commit date, and the return or sign-in
// date when the row has one.
struct LogRow {
  const char* event_no;
  int serial;
  int commit_serial;
  const char* commit_date;
  const char* rollback_date = nullptr;
  const char* checkin_date = nullptr;
};

class PaperRecordSearchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    db_ = new schema::TestDatabase;
    // D1 has three rows (returned twice, then signed in), D2 one commit, D3 and D4 none;
    // I1 is in hospital, I2 has a discharge time but no discharge department.
    struct Visit {
      const char* event_no;
      const char* name;
      const char* dept;
      std::optional<std::string> out_time;
      int paper_status;
      int emr_status;
    };
    const Visit visits[] = {
        {"D1", "张三", "0101", "2008-01-03 09:00:00", 3, 1},
        {"D2", "李四", "0102", "2008-01-04 10:00:00", 1, 1},
        {"D3", "王五", "0101", "2008-01-05 11:00:00", 0, 0},
        {"D4", "O'Brien", "0101", "2008-01-06 12:00:00", 2, 2},
        {"I1", "赵六", "0101", std::nullopt, 1, 0},
        {"I2", "钱七", "0101", "2008-01-07 12:00:00", 1, 0},
    };
    for (const Visit& v : visits) {
      const std::string patient = std::string("P12") + v.event_no;
      db_->AddPatient({.id = patient, .name = v.name});
      db_->AddVisit({.patient_id = patient,
                     .event_no = v.event_no,
                     .dept_id = v.dept,
                     .out_time = v.out_time,
                     .emr_status = v.emr_status,
                     .paper_emr_status = v.paper_status});
    }
    db_->Execute("UPDATE TELV_VISIT_RECORD SET OUT_DEPT_ID = NULL WHERE EVENT_NO = 'I2'");
    const LogRow rows[] = {
        {"D1", 1, 11, "2008-01-05 08:00:00", "2008-01-06 08:00:00"},
        {"D1", 2, 2, "2008-01-20 08:00:00", "2008-01-21 08:00:00"},
        {"D1", 3, 3, "2008-02-10 08:00:00", nullptr, "2008-02-11 08:00:00"},
        {"D2", 1, 21, "2008-01-10 08:00:00"},
        {"I1", 1, 31, "2008-01-01 08:00:00"},
        {"I2", 1, 41, "2008-01-01 08:00:00"},
    };
    for (const LogRow& r : rows) {
      const std::string serial = std::to_string(r.serial);
      // The operator columns of one step: name, id and memo, or with the date before them.
      const auto step = [&serial](const char* what) {
        return "'" + std::string(what) + serial + "', 'U" + what + serial + "', '" + what + "备注" +
               serial + "'";
      };
      const auto dated_step = [&step](const char* what, const char* date) {
        return date == nullptr ? std::string("NULL, NULL, NULL, NULL")
                               : schema::SqlDate(date) + ", " + step(what);
      };
      db_->Execute(
          "INSERT INTO TELV_PAPER_CHECKIN_RECORD (PATIENT_ID, EVENT_NO, SERIAL, COMMIT_SERIAL, "
          "COMMIT_DATE, OLD_PAPER_STATUS, COMMIT_OPER_NAME, COMMIT_OPER_ID, COMMIT_MEMO, "
          "ROLLBACK_DATE, ROLLBACK_OPER_NAME, ROLLBACK_OPER_ID, ROLLBACK_MEMO, CHECKIN_DATE, "
          "CHECKIN_OPER_NAME, CHECKIN_OPER_ID, CHECKIN_MEMO) VALUES ('P12" +
          std::string(r.event_no) + "', '" + r.event_no + "', " + serial + ", " +
          std::to_string(r.commit_serial) + ", " + schema::SqlDate(r.commit_date) + ", 0, " +
          step("提交") + ", " + dated_step("退回", r.rollback_date) + ", " +
          dated_step("签收", r.checkin_date) + ")");
    }
  }
  static void TearDownTestSuite() {
    delete db_;
    db_ = nullptr;
  }

  // The search's answer to the condition (nullopt: a null BSTR).
  static std::vector<Element> Search(const std::optional<std::u16string>& condition) {
    TestDataSource data_source(db_->init_string());
    std::optional<ScopedBstr> text;
    if (condition) text.emplace(*condition);
    ScopedBstr result;
    EXPECT_EQ(CBPatientPaperMag::SearchPatientPMRList(&data_source, text ? text->get() : nullptr,
                                                      result.out()),
              0);
    return ReadElements(result.text());
  }
  // The visit numbers the condition lists, in order.
  static Visits Listed(const std::u16string& condition) {
    Visits visits;
    for (const Element& e : Search(condition)) visits.push_back(e.attributes.at("event_no"));
    return visits;
  }
  // The message with which the condition is refused on a database that cannot be reached.
  static std::u16string Refusal(const std::u16string& condition) {
    return FailureOf([&] {
      TestDataSource data_source(korvalis::testing::kUnreachableDatabase);
      ScopedBstr text(condition), result;
      CBPatientPaperMag::SearchPatientPMRList(&data_source, text.get(), result.out());
    });
  }

  static schema::TestDatabase* db_;
};

schema::TestDatabase* PaperRecordSearchTest::db_ = nullptr;

std::u16string Condition(const std::u16string& element, const std::u16string& text) {
  return u"<root><" + element + u">" + text + u"</" + element + u"></root>";
}

TEST_F(PaperRecordSearchTest, TheEmptyConditionListsEveryDischargedVisitOnce) {
  const Element d1{"patient",
                   "张三",
                   {{"sex", "1"},
                    {"id", "P12D1"},
                    {"event_no", "D1"},
                    {"doctor", "测试医生"},
                    {"out_time", "2008-01-03 09:00:00"},
                    {"out_dept_name", "心血管内科"},
                    {"out_dept_id", "0101"},
                    {"paper_status", "3"},
                    {"commit_serial", "3"},
                    {"commit_date", "2008-02-10 08:00:00"},
                    {"commit_oper_name", "提交3"},
                    {"commit_oper_id", "U提交3"},
                    {"commit_memo", "提交备注3"},
                    {"rollback_date", ""},
                    {"rollback_oper_name", ""},
                    {"rollback_oper_id", ""},
                    {"rollback_memo", ""},
                    {"checkin_date", "2008-02-11 08:00:00"},
                    {"checkin_oper_name", "签收3"},
                    {"checkin_oper_id", "U签收3"},
                    {"checkin_memo", "签收备注3"},
                    {"serial", "3"},
                    {"emr_status", "1"}}};
  Element d3 = d1;
  d3.text = "王五";
  for (auto& [name, value] : d3.attributes) {
    if (name.starts_with("commit") || name.starts_with("rollback") || name.starts_with("checkin") ||
        name == "serial") {
      value.clear();
    }
  }
  d3.attributes["id"] = "P12D3";
  d3.attributes["event_no"] = "D3";
  d3.attributes["out_time"] = "2008-01-05 11:00:00";
  d3.attributes["paper_status"] = "0";
  d3.attributes["emr_status"] = "0";
  for (const auto& condition : {std::optional<std::u16string>(), std::optional<std::u16string>(u""),
                                std::optional<std::u16string>(u"<root/>")}) {
    const std::vector<Element> list = Search(condition);
    // By the latest commit date; the visits without commits after the others.
    Visits order;
    for (const Element& e : list) order.push_back(e.attributes.at("event_no"));
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(Visits(order.begin(), order.begin() + 2), (Visits{"D2", "D1"}));
    EXPECT_EQ(std::set<std::string>(order.begin() + 2, order.end()),
              (std::set<std::string>{"D3", "D4"}));
    EXPECT_EQ(list[1], d1);
    EXPECT_EQ(order[2] == "D3" ? list[2] : list[3], d3);
  }
}

TEST_F(PaperRecordSearchTest, ACommitSpanShowsTheLatestCommitInsideIt) {
  const std::vector<Element> list =
      Search(Condition(u"commit_time", u"2008-01-01 00:00:00|2008-01-31 23:59:59"));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].attributes.at("event_no"), "D2");
  // D1's last commit falls after the span: its second row shows, returned.
  EXPECT_EQ(list[1].attributes.at("event_no"), "D1");
  EXPECT_EQ(list[1].attributes.at("serial"), "2");
  EXPECT_EQ(list[1].attributes.at("commit_date"), "2008-01-20 08:00:00");
  EXPECT_EQ(list[1].attributes.at("rollback_oper_name"), "退回2");
  EXPECT_EQ(list[1].attributes.at("checkin_date"), "");
  // Both ends belong to a span.
  EXPECT_EQ(Listed(Condition(u"commit_time", u"2008-01-10 08:00:00|2008-01-20 08:00:00")),
            (Visits{"D2", "D1"}));
  EXPECT_EQ(Listed(Condition(u"checkin_time", u"2008-02-11 08:00:00|2008-02-11 08:00:00")),
            (Visits{"D1"}));
  EXPECT_EQ(Listed(Condition(u"leavetime_span", u"2008-01-04 10:00:00|2008-01-05 11:00:00")),
            (Visits{"D2", "D3"}));
}

TEST_F(PaperRecordSearchTest, SpansOfOneOrThreePiecesAddNothing) {
  const Visits all = Listed(u"<root/>");
  for (const char16_t* element : {u"commit_time", u"checkin_time", u"leavetime_span"}) {
    for (const char16_t* span : {u"2008-01-01|", u"|2008-01-31", u"2008-01-01",
                                 u"2008-01-01|2008-01-15|2008-01-31", u"2008-01-01||2008-01-31"}) {
      EXPECT_EQ(Listed(Condition(element, span)), all) << ToUtf8(element) << " " << ToUtf8(span);
    }
  }
}

TEST_F(PaperRecordSearchTest, StatesAreListsOfNumbers) {
  EXPECT_EQ(Listed(Condition(u"paper_status", u"1,2")), (Visits{"D2", "D4"}));
  EXPECT_EQ(Listed(Condition(u"paper_status", u" 1 , 2 ")), (Visits{"D2", "D4"}));
  EXPECT_EQ(Listed(Condition(u"emr_status", u"0")), (Visits{"D3"}));
  const CDBOracle oracle;
  const std::u16string sql = PaperRecordSearchSql(
      oracle, u"<root><paper_status>1,2</paper_status><emr_status>2</emr_status></root>");
  EXPECT_NE(sql.find(u" AND A.PAPER_EMR_STATUS IN (1,2)  AND A.EMR_STATUS IN (2)  ORDER BY"),
            std::u16string::npos);
}

TEST_F(PaperRecordSearchTest, TextsAreContainedAndTheDepartmentExact) {
  EXPECT_EQ(Listed(Condition(u"name", u"O'B")), (Visits{"D4"}));
  EXPECT_EQ(Listed(Condition(u"patient_id", u"12D")).size(), 4u);
  EXPECT_EQ(Listed(Condition(u"event_no", u"2")), (Visits{"D2"}));
  EXPECT_EQ(Listed(Condition(u"leave_dept", u"0102")), (Visits{"D2"}));
  EXPECT_EQ(Listed(Condition(u"leave_dept", u"010")), Visits{});
  EXPECT_EQ(Listed(Condition(u"name", u"' OR '1'='1")), Visits{});
}

TEST_F(PaperRecordSearchTest, AVisitNotDischargedIsNeverListed) {
  // I1 and I2 are committed, with a commit on 2008-01-01, and their patients' ids hold "P12I".
  EXPECT_EQ(Listed(Condition(u"patient_id", u"P12I")), Visits{});
  EXPECT_EQ(Listed(Condition(u"paper_status", u"1")), (Visits{"D2"}));
  EXPECT_EQ(Listed(Condition(u"commit_time", u"2008-01-01 00:00:00|2008-01-01 23:59:59")),
            Visits{});
}

TEST_F(PaperRecordSearchTest, MalformedConditionsAreRefusedBeforeTheStatement) {
  EXPECT_EQ(Refusal(Condition(u"paper_status", u"1) OR (1=1")),
            u"不是有效的数字: '1) OR (1=1' (paper_status)");
  for (const char16_t* list : {u"1;DELETE FROM TELV_PATIENT", u"1,", u"1,,2", u"一"}) {
    EXPECT_NE(Refusal(Condition(u"emr_status", list)), u"") << ToUtf8(list);
  }
  EXPECT_EQ(Refusal(u"<root><name>x</root>"), u"无效XML!");
  // A date piece that does not read as a date fails in the database, with its message.
  EXPECT_EQ(FailureOf([] { Listed(Condition(u"commit_time", u"2008-13-01|x'y")); }),
            kDatabaseErrorMessage);
}


// `text` with every `from` replaced by `to`.
std::u16string Replaced(std::u16string text, std::u16string_view from, std::u16string_view to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::u16string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The search as first written, with a window per log column over the rows of each visit
// number and a grouping of all columns: the reference that the search's answers must match.
std::u16string WindowedSearchSql(const std::u16string& conditions) {
  std::u16string latest;
  for (const char16_t* column :
       {u"COMMIT_SERIAL", u"COMMIT_DATE", u"COMMIT_OPER_NAME", u"COMMIT_OPER_ID", u"COMMIT_MEMO",
        u"ROLLBACK_DATE", u"ROLLBACK_OPER_NAME", u"ROLLBACK_OPER_ID", u"ROLLBACK_MEMO",
        u"CHECKIN_DATE", u"CHECKIN_OPER_NAME", u"CHECKIN_OPER_ID", u"CHECKIN_MEMO"}) {
    latest += u" FIRST_VALUE(" + std::u16string(column) +
              u") OVER(PARTITION BY EVENT_NO ORDER BY SERIAL DESC) " + column + u",";
  }
  const std::u16string columns =
      u"NAME, SEX, PATIENT_ID, EVENT_NO, DOCTOR_NAME, OUT_TIME, OUT_DEPT_NAME, OUT_DEPT_ID, "
      u"PAPER_EMR_STATUS";
  const std::u16string log_columns =
      u"COMMIT_SERIAL, COMMIT_DATE, COMMIT_OPER_NAME, COMMIT_OPER_ID, COMMIT_MEMO, "
      u"ROLLBACK_DATE, ROLLBACK_OPER_NAME, ROLLBACK_OPER_ID, ROLLBACK_MEMO, CHECKIN_DATE, "
      u"CHECKIN_OPER_NAME, CHECKIN_OPER_ID, CHECKIN_MEMO";
  return u"SELECT " + columns + u", " + log_columns + u", MAX(SERIAL), EMR_STATUS FROM (SELECT " +
         columns + u"," + latest +
         u" MAX(SERIAL) OVER(PARTITION BY SERIAL) SERIAL, EMR_STATUS FROM (SELECT C.NAME, C.SEX, "
         u"A.PATIENT_ID, A.EVENT_NO, A.DOCTOR_NAME, A.OUT_TIME, A.OUT_DEPT_NAME, A.OUT_DEPT_ID, "
         u"A.PAPER_EMR_STATUS, B." +
         Replaced(log_columns, u", ", u", B.") +
         u", B.SERIAL, A.EMR_STATUS FROM TELV_VISIT_RECORD A, "
         u"TELV_PAPER_CHECKIN_RECORD B, TELV_PATIENT C WHERE A.PATIENT_ID = C.ID AND A.OUT_TIME "
         u"IS NOT NULL AND A.OUT_DEPT_ID IS NOT NULL AND A.PATIENT_ID = B.PATIENT_ID(+) AND "
         u"A.EVENT_NO = B.EVENT_NO(+)" +
         conditions + u")) GROUP BY " + columns + u", " + log_columns +
         u", EMR_STATUS ORDER BY COMMIT_DATE, COMMIT_SERIAL";
}

// 60 discharged visits with none to three log rows each, returned or signed in, on either
// engine.
class PaperRecordSearchShapeTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  void SetUp() override {
    for (int i = 0; i < 60; ++i) {
      const std::string n = std::to_string(100 + i);
      db_.AddPatient({.id = "P" + n, .name = i % 7 == 0 ? "O'Brien" : "张" + n});
      db_.AddVisit({.patient_id = "P" + n,
                    .event_no = "E" + n,
                    .dept_id = i % 2 == 0 ? "0101" : "0102",
                    .out_time = "2008-01-" + std::to_string(10 + i % 19) + " 09:00:00",
                    .emr_status = i % 3,
                    .paper_emr_status = i % 4});
      for (int serial = 1; serial <= i % 4; ++serial) {
        const std::string day = std::to_string(10 + (i * 7 + serial * 3) % 19);
        const std::string date = "TO_DATE('2008-02-" + day + " " + std::to_string(10 + i % 14) +
                                 ":00:00', 'YYYY-MM-DD HH24:MI:SS')";
        const std::string step = serial % 2 == 0 ? "ROLLBACK" : "CHECKIN";
        db_.Execute("INSERT INTO TELV_PAPER_CHECKIN_RECORD (PATIENT_ID, EVENT_NO, SERIAL, "
                    "COMMIT_SERIAL, COMMIT_DATE, OLD_PAPER_STATUS, COMMIT_OPER_NAME, " +
                    step + "_DATE, " + step + "_OPER_NAME, " + step + "_MEMO) VALUES ('P" + n +
                    "', 'E" + n + "', " + std::to_string(serial) + ", " +
                    std::to_string(i * 10 + serial) + ", " + date + ", 1, '提交" + n + "', " +
                    date + " + 1, '签收" + n + "', NULL)");
      }
    }
  }
  // The rows of `sql`, each a line of its texts.
  std::vector<std::u16string> Rows(const std::u16string& sql) {
    TestDataSource data_source(db_.init_string());
    std::vector<std::u16string> values;
    data_source.Query(sql, 24, values);
    std::vector<std::u16string> rows;
    for (std::size_t i = 0; i + 24 <= values.size(); i += 24) {
      std::u16string row;
      for (std::size_t c = 0; c < 24; ++c) row.append(values[i + c]).append(u"|");
      rows.push_back(row);
    }
    return rows;
  }
  schema::TestDatabase db_{schema::DatabaseContents::kInstallation, GetParam()};
};

TEST_P(PaperRecordSearchShapeTest, AnswersAsTheWindowedStatementInItsOrder) {
  const CDBOracle oracle;
  const struct {
    const char16_t* condition;
    const char16_t* windowed;
  } cases[] = {
      {u"<root/>", u""},
      {u"<root><commit_time>2008-02-12 00:00:00|2008-02-20 00:00:00</commit_time></root>",
       u" AND B.COMMIT_DATE BETWEEN TO_DATE('2008-02-12 00:00:00', 'YYYY-MM-DD HH24:MI:SS') AND "
       u"TO_DATE('2008-02-20 00:00:00', 'YYYY-MM-DD HH24:MI:SS')"},
      {u"<root><checkin_time>2008-02-11 00:00:00|2008-02-25 00:00:00</checkin_time>"
       u"<name>O'B</name><leave_dept>0101</leave_dept></root>",
       u" AND C.NAME LIKE '%O''B%' AND A.OUT_DEPT_ID = '0101' AND B.CHECKIN_DATE BETWEEN "
       u"TO_DATE('2008-02-11 00:00:00', 'YYYY-MM-DD HH24:MI:SS') AND TO_DATE('2008-02-25 "
       u"00:00:00', 'YYYY-MM-DD HH24:MI:SS')"},
  };
  for (const auto& c : cases) {
    const std::vector<std::u16string> rows = Rows(PaperRecordSearchSql(oracle, c.condition));
    std::vector<std::u16string> windowed = Rows(WindowedSearchSql(c.windowed));
    // The windowed statement leaves the order of visits with the same latest commit open; the
    // search orders them by patient and visit, which start each row after name and sex.
    const auto key = [](const std::u16string& row) {
      std::vector<std::u16string> fields;
      for (std::size_t start = 0, bar; (bar = row.find(u'|', start)) != std::u16string::npos;
           start = bar + 1) {
        fields.push_back(row.substr(start, bar - start));
      }
      return std::tuple(fields[10].empty(), fields[10], fields[9].size(), fields[9], fields[2],
                        fields[3]);
    };
    std::stable_sort(windowed.begin(), windowed.end(),
                     [&](const auto& a, const auto& b) { return key(a) < key(b); });
    EXPECT_GT(rows.size(), 1u) << ToUtf8(c.condition);
    EXPECT_EQ(rows, windowed) << ToUtf8(c.condition);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, PaperRecordSearchShapeTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis::archive::testing
