// What the tests of the time-limit rules share: the process's database (the one
// "telv.config.xml" names, so that the rule bodies, the property map and the classes reach it
// as in the product), emptied of rules, bindings, instances, records and visits before each
// test; calls of a body with the product's data source, committed whatever the body does; one
// clock read by the suite's date-time component, by SYSDATE and as the process's local time; the
// event log's records; and event documents.
//
// Thread-safety: a fixture belongs to its test's thread; the tests of the process use its database,
// clock and event log one at a time.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/calls/call_scope.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/list_elements.h"
#include "foundation/xml/xml_text.h"
#include "platform/com/bstr.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/database_clock.h"
#include "platform/sys/testing/fixed_local_clock.h"
#include "platform/text/unicode.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::rules::testing {

using com::ScopedBstr;
using datasource::testing::EMRDatabase;
using datasource::testing::EventLogCapture;
using korvalis::testing::Element;
using korvalis::testing::ReadElements;

// One clock for the suite's date-time component, the database's SYSDATE and the process's local
// time, standing at `now` ("YYYY-MM-DD HH:MM:SS") while the object lives.
class SharedClock {
 public:
  SharedClock(suite::testing::SiblingDoubles& doubles, const std::string& now)
      : clock_(std::make_shared<FixedClock>(db::ParseStoredDate(now).value())),
        local_(sys::LocalTime{clock_->now.year, clock_->now.month, clock_->now.day,
                              clock_->now.hour, clock_->now.minute, clock_->now.second}) {
    doubles.Answer(IID_IDateTimeService, 7, FromUtf8(now));
    db::SetDatabaseClock(clock_);
  }
  ~SharedClock() { db::SetDatabaseClock(nullptr); }
  SharedClock(const SharedClock&) = delete;
  SharedClock& operator=(const SharedClock&) = delete;

 private:
  struct FixedClock : db::DatabaseClock {
    explicit FixedClock(db::DateTime time) : now(time) {}
    db::DateTime Now() const override { return now; }
    db::DateTime now;
  };
  std::shared_ptr<FixedClock> clock_;
  sys::testing::ScopedLocalClock local_;
};

// An event document: `root` with the given children, and `extend` with its own.
struct EventDocument {
  std::vector<std::pair<std::u16string, std::u16string>> children;
  std::vector<std::pair<std::u16string, std::u16string>> extend{};

  std::u16string Xml() const {
    std::u16string xml = u"<root>";
    for (const auto& [name, value] : children) AppendElement(xml, name, value);
    if (!extend.empty()) {
      xml += u"<extend>";
      for (const auto& [name, value] : extend) AppendElement(xml, name, value);
      xml += u"</extend>";
    }
    return xml + u"</root>";
  }

 private:
  static void AppendElement(std::u16string& xml, const std::u16string& name,
                            const std::u16string& value) {
    xml.append(u"<").append(name).append(u">");
    AppendXmlEscaped(xml, value);
    xml.append(u"</").append(name).append(u">");
  }
};

// An opening event of `code` at `time`.
inline std::u16string OpenEvent(const std::u16string& time, const std::u16string& code = u"A01") {
  return EventDocument{{{u"code", code}, {u"type", u"0"}, {u"time", time}}}.Xml();
}

// A closing event of type `type` by record `emr_id` of `emr_type` at `time`.
inline std::u16string CloseEvent(const std::u16string& time, const std::u16string& emr_id,
                                 const std::u16string& emr_type, const std::u16string& type = u"1",
                                 const std::u16string& code = u"E03") {
  return EventDocument{{{u"code", code}, {u"type", type}, {u"time", time}},
                       {{u"emr_id", emr_id},
                        {u"emr_type", emr_type},
                        {u"user_id", u"1003"},
                        {u"user_name", u"陈浩然"}}}
      .Xml();
}

// Each row with its columns joined by "|": {"1|2|A01", ...}.
inline std::vector<std::string> JoinedRows(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::string> joined;
  for (const auto& row : rows) {
    std::string& line = joined.emplace_back();
    for (const std::string& value : row) line += (line.empty() ? "" : "|") + value;
  }
  return joined;
}

// The base of the rule tests; see the top of this file.
class RuleDatabaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EMRDatabase(); }

  void SetUp() override {
    for (const char* table :
         {"PEV_TIME_RULE_RECORD", "PEV_RULE", "PEV_RULE_EMRTYPE", "PEV_RULE_DEPEND",
          "PEV_EVENT_RULE", "TELV_EVENT_OPPOSE", "TELV_EMR_CONTENT", "TELV_VISIT_RECORD",
          "TELV_PATIENT", "TELV_REGISTER_EVENT", "TELV_REGISTER_EVENT_RECORD",
          "PEV_CONTENT_QUALITY"}) {
      db().Execute(std::string("DELETE FROM ") + table);
    }
  }

  static schema::TestDatabase& db() { return EMRDatabase(); }

  // Runs `body` with the product's data source in a call of its own, which is committed
  // whether or not the body fails, so that whatever a failing body wrote would remain.
  // Answers the text of the CEMRException it threw, "" when it threw none.
  static std::u16string Run(const std::function<void(CEMRDataSource*)>& body) {
    std::u16string failure;
    CCallScope scope(CCallScope::Mode::kWriting);
    {
      CEMRDataSource data_source;
      try {
        body(&data_source);
      } catch (const CEMRException& e) {
        failure = e.GetText();
      }
    }
    scope.Commit();
    return failure;
  }

  // Every row of the statement, each a vector of column texts.
  static std::vector<std::vector<std::string>> Rows(const std::string& sql) {
    return db().Query(sql);
  }
  static std::string Scalar(const std::string& sql) { return db().QueryScalar(sql); }

  // Binds the rule to the event code in the relation (1 opens, 3 cancels).
  static void BindEvent(const std::string& code, int rule_id, int relation) {
    db().Execute("INSERT INTO PEV_EVENT_RULE (EVENT_CODE, RULE_ID, RELATION_TYPE) VALUES (" +
                 schema::SqlText(code) + ", " + std::to_string(rule_id) + ", " +
                 std::to_string(relation) + ")");
  }
  // Opening `rule_id` undoes the open instances of `opposed_id`.
  static void Oppose(int rule_id, int opposed_id) {
    db().Execute("INSERT INTO PEV_RULE_DEPEND (RULE_ID, SUB_ID, RELATION) VALUES (" +
                 std::to_string(rule_id) + ", " + std::to_string(opposed_id) + ", 1)");
  }

  // The columns of each instance of P1/E1 in serial order, joined by "|".
  static std::vector<std::string> Instances(const std::string& columns) {
    return JoinedRows(Rows("SELECT " + columns +
                           " FROM PEV_TIME_RULE_RECORD WHERE PATIENT_ID = 'P1' AND EVENT_NO = 'E1' "
                           "ORDER BY SERIAL"));
  }

  // STATUS of each instance of the visit, in serial order: "1:2 2:1" is serial 1 closed,
  // serial 2 open.
  static std::string Statuses(const std::string& patient_id, const std::string& event_no) {
    std::string text;
    for (const auto& row : Rows("SELECT SERIAL, STATUS FROM PEV_TIME_RULE_RECORD WHERE "
                                "PATIENT_ID = " +
                                schema::SqlText(patient_id) + " AND EVENT_NO = " +
                                schema::SqlText(event_no) + " ORDER BY SERIAL")) {
      text += (text.empty() ? "" : " ") + row[0] + ":" + row[1];
    }
    return text;
  }
};

}  // namespace korvalis::rules::testing
