// What the tests of the report bodies share: the bodies called as the method frame calls them
// (one call scope each, writing for the methods that write, the call's CEMRDataSource on the
// process's test database), the report tables emptied before each test, and the texts of
// results and rows.
//
// Thread-safety: calls may run on several threads; the fixture itself belongs to one.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/test_data_source.h"
#include "interface/emr_call_scope.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"
#include "report/emr_report.h"

namespace korvalis::report::testing {

using com::ScopedBstr;
using frame::Transaction;
using korvalis::testing::FailureOf;
using Rows = std::vector<std::vector<std::string>>;

// A caller's identity: a doctor of cardiology.
inline constexpr char16_t kClient[] =
    u"<root><user id='1002'>刘静怡</user><dept id='0101'>心血管内科</dept></root>";

// Runs `body(data_source)` as one method call; a failure rolls the call back and propagates.
template <class Body>
void InCall(Transaction transaction, Body&& body) {
  using BodyType = std::remove_reference_t<Body>;
  frame::RunEMRCall(
      transaction,
      [](void* context, CEMRDataSource* data_source) {
        (*static_cast<BodyType*>(context))(data_source);
      },
      &body);
}

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db().Execute("DELETE FROM TELV_REPORT_CATALOG");
    db().Execute("DELETE FROM TELV_REPORT");
  }

  // The database that the calls' data sources open ("telv.config.xml" names it).
  static schema::TestDatabase& db() { return datasource::testing::EMRDatabase(); }

  // A writing call and a reading one.
  template <class Body>
  static void Write(Body&& body) {
    InCall(Transaction::kWriting, body);
  }
  template <class Body>
  static void Read(Body&& body) {
    InCall(Transaction::kReading, body);
  }
  // The text a reading call answers through the result pointer it hands `body`.
  template <class Body>
  static std::u16string Answer(Body&& body) {
    ScopedBstr result;
    Read([&](CEMRDataSource* data_source) { body(data_source, result.out()); });
    return result.text();
  }

  // A category row written directly.
  static void AddCategory(int id, const std::string& code, const std::string& parent_code,
                          int status = 1, const std::string& name = "类别") {
    db().Execute(
        "INSERT INTO TELV_REPORT_CATALOG (ID, NAME, CODE, PARENT_CODE, SORT, STATUS) "
        "VALUES (" +
        std::to_string(id) + ", " + schema::SqlText(name) + ", " + schema::SqlText(code) + ", " +
        schema::SqlText(parent_code) + ", " + std::to_string(id) + ", " + std::to_string(status) +
        ")");
  }
  // A report row written directly; `new_format` "" stores NULL.
  static void AddReport(long long id, int catalog_id, int status = 1,
                        const std::string& new_format = "1", const std::string& name = "报表",
                        int sort = 0) {
    db().Execute(
        "INSERT INTO TELV_REPORT (ID, NAME, CATALOG_ID, SORT, STATUS, NEW_FORMAT) "
        "VALUES (" +
        std::to_string(id) + ", " + schema::SqlText(name) + ", " + std::to_string(catalog_id) +
        ", " + std::to_string(sort) + ", " + std::to_string(status) + ", " +
        (new_format.empty() ? "NULL" : new_format) + ")");
  }

  // A definition method that stores a text and one that reads one, called as one call each.
  static void SetText(long (*setter)(CEMRDataSource*, LONG, BSTR), LONG id,
                      const std::u16string& text) {
    ScopedBstr value(text);
    Write([&](CEMRDataSource* data_source) { setter(data_source, id, value.get()); });
  }
  static std::u16string GetText(long (*getter)(CEMRDataSource*, LONG, BSTR*), LONG id) {
    return Answer(
        [&](CEMRDataSource* data_source, BSTR* result) { getter(data_source, id, result); });
  }

  // A live report of category 1 named "报表<id>", of the format `new_format` ("1" or "0"),
  // with its sort key id * 10, a note, a modification time and every text set; an empty `param`
  // leaves SQL_PARAM empty.
  static void AddDefinedReport(LONG id, const std::string& new_format,
                               const std::u16string& param) {
    AddReport(id, 1, 1, new_format, "报表" + std::to_string(id), static_cast<int>(id) * 10);
    db().Execute("UPDATE TELV_REPORT SET NOTE = '备注" + std::to_string(id) +
                 "', LAST_MODIFY_TIME = TO_DATE('2026-01-01 10:00:00', "
                 "'YYYY-MM-DD HH24:MI:SS'), SQL_PRO = 'patient,bed' WHERE ID = " +
                 std::to_string(id));
    const std::u16string n = FromUtf8(std::to_string(id));
    SetText(&CBEMRReport::SetReportSQL, id,
            u"SELECT NAME FROM TELV_PATIENT WHERE ID = {p" + n + u"}");
    SetText(&CBEMRReport::SetReportSQL2, id, u"<report><sql id=\"" + n + u"\"/></report>");
    SetText(&CBEMRReport::SetSQLParam, id, param);
    SetText(&CBEMRReport::SetReportXSLT, id, u"<xsl:stylesheet n=\"" + n + u"\"/>");
  }
};

// Defines report `id` on a test database of the test's own: a new-format one whose multi-SQL
// document is `statements`, or an old-format one of the SQL `statements` whose rows `names`
// (comma-separated) shapes, without parameters; an empty `xslt` stops its runs once their data
// document is built.
inline void DefineReport(schema::TestDatabase& database, LONG id, bool new_format,
                         std::u16string_view statements, std::u16string_view names,
                         std::u16string_view xslt) {
  database.Execute("INSERT INTO TELV_REPORT (ID, NAME, CATALOG_ID, SORT, STATUS, NEW_FORMAT) "
                   "VALUES (" + std::to_string(id) + ", '报表', 1, 0, 1, " +
                   (new_format ? "1" : "0") + ")");
  korvalis::testing::TestDataSource source(database.init_string());
  ScopedBstr text(statements), row_names(names), empty(u""), style(xslt);
  if (new_format) {
    CBEMRReport::SetReportSQL2(&source, id, text.get());
  } else {
    CBEMRReport::SetReportSQL(&source, id, text.get());
    CBEMRReport::SetSQLProperty(&source, id, row_names.get());
    CBEMRReport::SetSQLParam(&source, id, empty.get());
  }
  CBEMRReport::SetReportXSLT(&source, id, style.get());
}

// True when `call` throws CEMRException with an empty message.
template <class Call>
bool FailsWithEmptyMessage(Call&& call) {
  try {
    call();
  } catch (const CEMRException& e) {
    return e.GetText().empty();
  }
  return false;
}

// The children of the result's `root`: per element its name, text and attributes in document
// order, as rows { name, text, attribute=value... }.
inline Rows Elements(const std::u16string& result) {
  xml::Document document;
  EXPECT_TRUE(document.LoadXml(ToUtf8(result))) << ToUtf8(result);
  Rows rows;
  if (!document.HasDocumentElement()) return rows;
  EXPECT_EQ(document.DocumentElement().Name(), "root");
  for (const xml::Node& child : document.DocumentElement().Children()) {
    std::vector<std::string> row = {child.Name(), child.Text()};
    for (const auto& [name, value] : child.Attributes()) row.push_back(name + "=" + value);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace korvalis::report::testing
