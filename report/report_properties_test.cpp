#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "foundation/testing/test_data_source.h"
#include "report/testing/report_test_util.h"

namespace korvalis::report::testing {
namespace {

class ReportPropertiesTest : public ReportTest {
 protected:
  static LONG NewReport(LONG catalog_id, const std::u16string& property) {
    ScopedBstr document(property);
    LONG id = -1;
    Write([&](CEMRDataSource* data_source) {
      CBEMRReport::InitNewReport(data_source, catalog_id, document.get(), &id);
    });
    return id;
  }
  static void SetProperty(LONG id, const std::u16string& property) {
    ScopedBstr document(property);
    Write([&](CEMRDataSource* data_source) {
      CBEMRReport::SetReportProperty(data_source, id, document.get());
    });
  }
  static std::u16string Property(LONG id) {
    return Answer([&](CEMRDataSource* data_source, BSTR* result) {
      CBEMRReport::GetReportProperty(data_source, id, result);
    });
  }
  static std::u16string List(LONG catalog_id) {
    return Answer([&](CEMRDataSource* data_source, BSTR* result) {
      CBEMRReport::GetReportList(data_source, catalog_id, result);
    });
  }
  static std::u16string Data(const std::u16string& catalog) {
    ScopedBstr text(catalog);
    return Answer([&](CEMRDataSource* data_source, BSTR* result) {
      CBEMRReport::GetReportData(data_source, text.get(), result);
    });
  }
  static bool NewFormat(LONG id) {
    VARIANT_BOOL answer = 1;
    Read([&](CEMRDataSource* data_source) { CBEMRReport::IsNewFormat(data_source, id, &answer); });
    EXPECT_TRUE(answer == VARIANT_TRUE || answer == VARIANT_FALSE);
    return answer == VARIANT_TRUE;
  }
  static std::u16string SqlProperty(LONG id) {
    return Answer([&](CEMRDataSource* data_source, BSTR* result) {
      CBEMRReport::GetSQLProperty(data_source, id, result);
    });
  }
  static void SetSqlProperty(LONG id, const std::u16string& names) {
    ScopedBstr text(names);
    Write([&](CEMRDataSource* data_source) {
      CBEMRReport::SetSQLProperty(data_source, id, text.get());
    });
  }
  static Rows Reports() {
    return db().Query(
        "SELECT ID, NAME, CATALOG_ID, SORT, STATUS, NEW_FORMAT, NOTE FROM TELV_REPORT ORDER BY ID");
  }
};

TEST_F(ReportPropertiesTest, NewReportsAreNumberedAfterTheOrdinaryIdentifiers) {
  EXPECT_EQ(NewReport(7,
                      u"<root><name>在院病人</name><catalogid>3</catalogid><creator>马丽华"
                      u"</creator><creatorid>9003</creatorid><createtime>2026-10-01 09:00:00"
                      u"</createtime><note>n</note></root>"),
            1);
  EXPECT_EQ(Reports(), (Rows{{"1", "在院病人", "3", "1", "1", "1", "n"}}))
      << "the category comes from the document only";
  EXPECT_EQ(db().QueryScalar("SELECT CREATOR || '|' || CREATOR_ID || '|' || "
                             "TO_CHAR(CREATE_TIME, 'YYYY-MM-DD HH24:MI:SS') FROM TELV_REPORT"),
            "马丽华|9003|2026-10-01 09:00:00");
  // Identifiers from 539399500000 on are kept out of the numbering.
  AddReport(539399500000LL, 3);
  AddReport(539399500007LL, 3);
  AddReport(41, 3);
  EXPECT_EQ(NewReport(3, u"<root><name>二</name></root>"), 42);
  EXPECT_EQ(db().QueryScalar("SELECT SORT || ' ' || NVL(TO_CHAR(CATALOG_ID), 'none') FROM "
                             "TELV_REPORT WHERE ID = 42"),
            "42 none")
      << "a document without catalogid stores no category";
}

TEST_F(ReportPropertiesTest, RefusedCreationsWriteNothing) {
  AddReport(5, 1);
  const Rows before = Reports();
  EXPECT_EQ(FailureOf([] { NewReport(0, u"<root><name>a</name></root>"); }),
            u"请先确定父类别后新建报表.");
  EXPECT_EQ(FailureOf([] { NewReport(1, u"<root><name>a</name><colour>red</colour></root>"); }),
            u"没有找到属性名: colour");
  EXPECT_EQ(FailureOf([] { NewReport(1, u"<root><name>a</root>"); }), u"解析属性信息错误.");
  EXPECT_EQ(Reports(), before);
  // An ID that the interface's 32-bit long cannot carry.
  AddReport(2147483647LL, 1);
  const Rows with_last_id = Reports();
  EXPECT_EQ(FailureOf([] { NewReport(1, u"<root><name>溢出</name></root>"); }),
            u"报表ID已超出范围, 无法新建报表.");
  EXPECT_EQ(Reports(), with_last_id);
}

TEST_F(ReportPropertiesTest, PropertyDocumentComesInKeyOrder) {
  EXPECT_EQ(Property(0), u"<?xml version='1.0' ?><root/>");
  NewReport(3,
            u"<root><name>O'Brien &amp; 统计</name><catalogid>3</catalogid><creator>韩志强"
            u"</creator><creatorid>9001</creatorid><createtime>2026-10-08 10:00:00</createtime>"
            u"<modifior>马丽华</modifior><lastmodifytime>2026-10-09 11:30:00</lastmodifytime>"
            u"<note>备注</note></root>");
  EXPECT_EQ(Elements(Property(1)), (Rows{{"catalogid", "3"},
                                         {"createtime", "2026-10-08 10:00:00"},
                                         {"creator", "韩志强"},
                                         {"creatorid", "9001"},
                                         {"id", "1"},
                                         {"lastmodifytime", "2026-10-09 11:30:00"},
                                         {"modifior", "马丽华"},
                                         {"name", "O'Brien & 统计"},
                                         {"note", "备注"},
                                         {"sort", "1"}}));
  Write([](CEMRDataSource* data_source) { CBEMRReport::DeleteReport(data_source, 1); });
  EXPECT_EQ(db().QueryScalar("SELECT STATUS FROM TELV_REPORT WHERE ID = 1"), "0") << "kept";
  EXPECT_EQ(FailureOf([] { Property(1); }), u"获取报表属性错误.");
  EXPECT_EQ(FailureOf([] { Property(2); }), u"获取报表属性错误.");
}

TEST_F(ReportPropertiesTest, SettingPropertiesKeepsTheIdentifierAndWhatTheDocumentLeavesOut) {
  NewReport(3, u"<root><name>旧</name><catalogid>3</catalogid><note>旧备注</note></root>");
  SetProperty(1, u"<root><id>77</id><name>D'Arcy</name><sort>5</sort></root>");
  EXPECT_EQ(Reports(), (Rows{{"1", "D'Arcy", "3", "5", "1", "1", "旧备注"}}));
  EXPECT_EQ(FailureOf([] { SetProperty(1, u"<root><id>2</id></root>"); }),
            u"没有属性列表, 无法生成Update SQL.");
  EXPECT_TRUE(FailsWithEmptyMessage([] { SetProperty(1, u""); }));
  EXPECT_EQ(FailureOf([] { SetProperty(1, u"<root><name>x</name><owner>y</owner></root>"); }),
            u"没有找到属性名: owner");
  EXPECT_EQ(Reports(), (Rows{{"1", "D'Arcy", "3", "5", "1", "1", "旧备注"}}));
}

TEST_F(ReportPropertiesTest, ListsShowLiveReports) {
  AddReport(1, 3, 1, "1", "丙", 2);
  AddReport(2, 3, 1, "1", "甲", 1);
  AddReport(3, 3, 1, "1", "乙", 1);
  AddReport(4, 3, 0, "1", "已删除", 0);
  AddReport(5, 4, 1, "0", "旧格式", 0);
  db().Execute(
      "UPDATE TELV_REPORT SET LAST_MODIFY_TIME = TO_DATE('2026-10-09 11:30:00', "
      "'YYYY-MM-DD HH24:MI:SS'), CREATOR = '韩志强', CREATOR_ID = '9001' WHERE ID = 2");
  // One category: by SORT, then ID.
  EXPECT_EQ(Elements(List(3)),
            (Rows{{"report", "甲", "catalogid=3", "creator=韩志强", "creatorid=9001", "id=2",
                   "modifytime=2026-10-09 11:30:00", "note=", "sort=1"},
                  {"report", "乙", "catalogid=3", "creator=", "creatorid=", "id=3",
                   "modifytime=", "note=", "sort=1"},
                  {"report", "丙", "catalogid=3", "creator=", "creatorid=", "id=1",
                   "modifytime=", "note=", "sort=2"}}));
  // Every category: in the database's order.
  std::vector<std::string> all;
  for (const auto& row : Elements(List(0))) all.push_back(row[1]);
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (std::vector<std::string>{"丙", "乙", "旧格式", "甲"}));
  EXPECT_EQ(Elements(List(9)), Rows{});
}

TEST_F(ReportPropertiesTest, ReportDataTakesOnlyANumberAsItsCategory) {
  AddReport(1, 3, 1, "1", "甲");
  AddReport(2, 3, 0, "1", "已删除");
  AddReport(3, 4, 1, "1", "乙");
  const Rows of_three = {{"id", "1", "name=甲"}};
  EXPECT_EQ(Elements(Data(u"3")), of_three);
  EXPECT_EQ(Elements(Data(u" 3\t")), of_three);
  EXPECT_EQ(FailureOf([] { Data(u""); }), u"获取报表信息，报表类别不能为空！");
  EXPECT_EQ(FailureOf([] { Data(u"  "); }), u"获取报表信息，报表类别不能为空！");
  // Text that is not a number never reaches the database.
  EXPECT_EQ(FailureOf([] { Data(u"abc"); }), u"不是有效的数字: 'abc' (报表类别)");
  EXPECT_EQ(FailureOf([] { Data(u"1 OR 1=1"); }), u"不是有效的数字: '1 OR 1=1' (报表类别)");
  EXPECT_EQ(FailureOf([] { Data(u"3; DELETE FROM TELV_REPORT"); }),
            u"不是有效的数字: '3; DELETE FROM TELV_REPORT' (报表类别)");
  EXPECT_EQ(db().Count("TELV_REPORT"), 3);
}

TEST_F(ReportPropertiesTest, OnlyANewFormatOfExactlyOneIsNew) {
  AddReport(1, 1, 1, "1");
  AddReport(2, 1, 1, "0");
  AddReport(3, 1, 1, "");
  AddReport(4, 1, 0, "1");
  EXPECT_TRUE(NewFormat(1));
  EXPECT_FALSE(NewFormat(2));
  EXPECT_FALSE(NewFormat(3));
  EXPECT_TRUE(NewFormat(4)) << "deleted reports keep their format";
  EXPECT_FALSE(NewFormat(5)) << "a report without a row";
}

TEST_F(ReportPropertiesTest, RowNamesBelongToOldFormatReportsOnly) {
  AddReport(1, 1, 1, "0");
  AddReport(2, 1, 1, "1");
  db().Execute("UPDATE TELV_REPORT SET SQL_PRO = 'stale,names' WHERE ID = 2");
  SetSqlProperty(1, u"patient,event_no,bed's");
  EXPECT_EQ(SqlProperty(1), u"patient,event_no,bed's");
  // A new-format report answers nothing and keeps what SQL_PRO holds.
  EXPECT_EQ(SqlProperty(2), u"");
  SetSqlProperty(2, u"row,a,b");
  EXPECT_EQ(db().QueryScalar("SELECT SQL_PRO FROM TELV_REPORT WHERE ID = 2"), "stale,names");
  EXPECT_EQ(SqlProperty(3), u"") << "a report without a row";
}

TEST_F(ReportPropertiesTest, CurrentTimeIsTheDatabaseServers) {
  korvalis::testing::ScopedDatabaseClock clock;
  EXPECT_EQ(Answer([](CEMRDataSource* data_source, BSTR* result) {
              CBEMRReport::GetCurrTime(data_source, result);
            }),
            u"2026-12-07 08:00:00");
}

// The property map that writes the reports: each property with its column, the times as
// dates, identifiers and numbers bare, texts between quotes.
TEST_F(ReportPropertiesTest, PropertyMapPairsEveryPropertyWithItsColumnAndType) {
  const std::map<std::string, std::pair<std::string, std::string>> expected = {
      {"id", {"ID", "bare"}},
      {"name", {"NAME", "string"}},
      {"catalogid", {"CATALOG_ID", "bare"}},
      {"creator", {"CREATOR", "string"}},
      {"creatorid", {"CREATOR_ID", "string"}},
      {"createtime", {"CREATE_TIME", "date"}},
      {"modifior", {"MODIFIOR", "string"}},
      {"lastmodifytime", {"LAST_MODIFY_TIME", "date"}},
      {"sort", {"SORT", "bare"}},
      {"note", {"NOTE", "string"}},
      {"status", {"STATUS", "bare"}},
      {"newformat", {"NEW_FORMAT", "bare"}},
  };
  const Rows rows = db().Query(
      "SELECT PROPERTY, FIELD, TYPE FROM TELV_PROPERTY_MAP WHERE MAP_NAME = "
      "'telv_report'");
  std::map<std::string, std::pair<std::string, std::string>> found;
  for (const auto& row : rows) {
    const std::string& type = row[2];
    found[row[0]] = {row[1], type == "string" || type == "date" ? type : "bare"};
  }
  EXPECT_EQ(found, expected);
  EXPECT_EQ(rows.size(), expected.size());
}

}  // namespace
}  // namespace korvalis::report::testing
