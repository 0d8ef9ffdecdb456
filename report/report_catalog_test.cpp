#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "report/testing/report_test_util.h"

namespace korvalis::report::testing {
namespace {

class ReportCatalogTest : public ReportTest {
 protected:
  // InitNewCatalog in a call of its own; answers the new ID.
  static LONG NewCategory(const std::u16string& parent_code, const std::u16string& property) {
    ScopedBstr parent(parent_code), document(property);
    LONG id = -1;
    Write([&](CEMRDataSource* data_source) {
      CBEMRReport::InitNewCatalog(data_source, parent.get(), document.get(), &id);
    });
    return id;
  }
  static std::u16string InitFailure(const std::u16string& parent_code,
                                    const std::u16string& property) {
    return FailureOf([&] { NewCategory(parent_code, property); });
  }
  static void Delete(LONG id) {
    Write([&](CEMRDataSource* data_source) { CBEMRReport::DeleteCatalog(data_source, id); });
  }
  static std::u16string List(LONG parent_id) {
    return Answer([&](CEMRDataSource* data_source, BSTR* result) {
      CBEMRReport::GetCatalogList(data_source, parent_id, result);
    });
  }
  static std::u16string Property(LONG id) {
    return Answer([&](CEMRDataSource* data_source, BSTR* result) {
      CBEMRReport::GetCatalogProperty(data_source, id, result);
    });
  }
  static void SetProperty(LONG id, const std::u16string& property) {
    ScopedBstr document(property);
    Write([&](CEMRDataSource* data_source) {
      CBEMRReport::SetCatalogProperty(data_source, id, document.get());
    });
  }
  static Rows Categories() {
    return db().Query(
        "SELECT ID, NAME, CODE, PARENT_CODE, STATUS, NOTE FROM TELV_REPORT_CATALOG ORDER BY ID");
  }
};

TEST_F(ReportCatalogTest, CategoriesUnderTheRootAreNumberedInTurn) {
  EXPECT_EQ(NewCategory(u"", u"<root><name>病案统计</name><note>月报</note></root>"), 1);
  EXPECT_EQ(NewCategory(u"###", u"<root><name>质控报表</name><sort>9</sort></root>"), 2);
  EXPECT_EQ(Categories(), (Rows{{"1", "病案统计", "001", "###", "1", "月报"},
                                {"2", "质控报表", "002", "###", "1", ""}}));
}

TEST_F(ReportCatalogTest, SerialsAndIdsCountDeletedRowsAndAreNeverReused) {
  AddCategory(1, "001", "###");
  AddCategory(2, "001001", "001");
  AddCategory(9, "001004", "001", 0);
  AddCategory(3, "002001", "002");  // another parent's children do not count
  EXPECT_EQ(NewCategory(u"001", u"<root><name>子类别</name></root>"), 10);
  EXPECT_EQ(db().QueryScalar("SELECT CODE || ' ' || PARENT_CODE FROM TELV_REPORT_CATALOG "
                             "WHERE ID = 10"),
            "001005 001");
  // A deleted child keeps its serial too.
  Delete(10);
  EXPECT_EQ(NewCategory(u"001", u""), 11);
  EXPECT_EQ(db().QueryScalar("SELECT CODE FROM TELV_REPORT_CATALOG WHERE ID = 11"), "001006");
}

TEST_F(ReportCatalogTest, QuotesAndMarkupAreStoredAndListedAsWritten) {
  const LONG parent = NewCategory(u"",
                                  u"<root><name>O'Brien &lt;统计&gt; &amp; 'x'</name>"
                                  u"<note>it's</note></root>");
  EXPECT_EQ(Categories(), (Rows{{"1", "O'Brien <统计> & 'x'", "001", "###", "1", "it's"}}));
  EXPECT_EQ(Elements(List(0)), (Rows{{"catalog", "O'Brien <统计> & 'x'", "code=001", "id=1",
                                      "note=it's", "parent=###", "sort="}}));
  // A parent code with a quote is a value like any other.
  NewCategory(u"0'1", u"<root><name>a</name></root>");
  EXPECT_EQ(db().QueryScalar("SELECT CODE || '|' || PARENT_CODE FROM TELV_REPORT_CATALOG "
                             "WHERE ID = 2"),
            "0'1001|0'1");
  SetProperty(parent,
              u"<root><name>D'Arcy</name><note>'; DELETE FROM TELV_REPORT --</note></root>");
  EXPECT_EQ(db().QueryScalar("SELECT NAME || '|' || NOTE FROM TELV_REPORT_CATALOG WHERE ID = 1"),
            "D'Arcy|'; DELETE FROM TELV_REPORT --");
}

TEST_F(ReportCatalogTest, RefusedCreationsWriteNothing) {
  AddCategory(1, "001", "###");
  AddCategory(2, "001999", "001");
  const Rows before = Categories();
  // The 1000th child would repeat a code.
  EXPECT_EQ(InitFailure(u"001", u"<root><name>满</name></root>"),
            u"该类别下已有999个子类别, 无法再新建子类别. 类别编码: 001");
  // An ID that the interface's 32-bit long cannot carry.
  AddCategory(2147483647, "002", "###");
  const Rows with_last_id = Categories();
  EXPECT_EQ(InitFailure(u"", u"<root><name>溢出</name></root>"),
            u"报表类别ID已超出范围, 无法新建报表类别.");
  EXPECT_EQ(Categories(), with_last_id);
  db().Execute("DELETE FROM TELV_REPORT_CATALOG WHERE ID = 2147483647");
  // A property document that does not parse.
  EXPECT_EQ(InitFailure(u"", u"<root><name>a</root>"), u"解析属性信息错误.");
  EXPECT_EQ(Categories(), before);
}

TEST_F(ReportCatalogTest, PropertyDocumentOfALiveCategory) {
  EXPECT_EQ(Property(0), u"<?xml version='1.0' ?><root/>");
  const LONG id = NewCategory(u"", u"<root><name>统计</name><note>备注</note></root>");
  const std::u16string document = Property(id);
  EXPECT_EQ(
      Elements(document),
      (Rows{{"code", "001"}, {"id", "1"}, {"name", "统计"}, {"note", "备注"}, {"parent", "###"}}));
  Delete(id);
  EXPECT_EQ(FailureOf([&] { Property(id); }), u"获取类别属性错误.");
  EXPECT_EQ(FailureOf([&] { Property(99); }), u"获取类别属性错误.");
}

TEST_F(ReportCatalogTest, ListsShowTheLiveChildrenOfAParent) {
  AddCategory(1, "001", "###", 1, "甲");
  AddCategory(2, "002", "###", 0, "已删除");
  AddCategory(3, "003", "###", 1, "乙");
  AddCategory(4, "001001", "001", 1, "甲一");
  auto names = [](const std::u16string& list) {
    std::vector<std::string> names;
    for (const auto& row : Elements(list)) names.push_back(row[1]);
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_EQ(names(List(0)), (std::vector<std::string>{"乙", "甲"}));
  EXPECT_EQ(Elements(List(1)),
            (Rows{{"catalog", "甲一", "code=001001", "id=4", "note=", "parent=001", "sort=4"}}));
  EXPECT_EQ(Elements(List(3)), Rows{});
  EXPECT_EQ(FailureOf([&] { List(2); }), u"获取类别属性错误.");
}

TEST_F(ReportCatalogTest, DeletionIsRefusedWhileLiveChildrenOrReportsRemain) {
  EXPECT_EQ(FailureOf([] { Delete(0); }), u"获取报表类别属性错误.");
  EXPECT_EQ(FailureOf([] { Delete(5); }), u"获取类别属性错误.");
  AddCategory(1, "001", "###");
  AddCategory(2, "001001", "001");
  AddCategory(3, "001002", "001", 0);
  AddReport(1, 1);
  // Children are counted before the reports.
  EXPECT_EQ(FailureOf([] { Delete(1); }), u"请先删除该类别包含的子类别.");
  Delete(2);
  EXPECT_EQ(FailureOf([] { Delete(1); }), u"请先删除该类别包含的报表.");
  db().Execute("UPDATE TELV_REPORT SET STATUS = 0 WHERE ID = 1");
  Delete(1);
  EXPECT_EQ(db().Query("SELECT ID, STATUS FROM TELV_REPORT_CATALOG ORDER BY ID"),
            (Rows{{"1", "0"}, {"2", "0"}, {"3", "0"}}))
      << "rows are kept";
  EXPECT_EQ(FailureOf([] { Delete(1); }), u"获取类别属性错误.");
}

TEST_F(ReportCatalogTest, SettingPropertiesRenamesWithoutCheckingTheRow) {
  const LONG id = NewCategory(u"", u"<root><name>旧</name><note>旧备注</note></root>");
  SetProperty(id, u"<root><name>新</name><code>999</code></root>");
  EXPECT_EQ(Categories(), (Rows{{"1", "新", "001", "###", "1", ""}}));
  // An empty document fails with an empty description; one that does not parse with the
  // property bag's message; a category without a row is no error.
  EXPECT_TRUE(FailsWithEmptyMessage([&] { SetProperty(id, u""); }));
  EXPECT_EQ(FailureOf([&] { SetProperty(id, u"<root><name>x</root>"); }), u"解析属性信息错误.");
  SetProperty(42, u"<root><name>无</name></root>");
  EXPECT_EQ(Categories(), (Rows{{"1", "新", "001", "###", "1", ""}}));
}

// Writing calls hold the database's write lock from their first statement, so identifiers and
// codes read with MAX are never handed out twice.
TEST_F(ReportCatalogTest, ConcurrentCreationsGetDistinctIdentifiersAndCodes) {
  AddCategory(1, "001", "###");
  constexpr int kThreads = 8;
  constexpr int kEach = 6;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kEach; ++i) {
        try {
          NewCategory(u"001", u"<root><name>并发</name></root>");
          ScopedBstr property(u"<root><name>并发报表</name><catalogid>1</catalogid></root>");
          LONG report = 0;
          Write([&](CEMRDataSource* data_source) {
            CBEMRReport::InitNewReport(data_source, 1, property.get(), &report);
          });
        } catch (const CEMRException&) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
  const int created = kThreads * kEach;
  EXPECT_EQ(db().QueryScalar("SELECT COUNT(DISTINCT ID) || ' ' || COUNT(DISTINCT CODE) || ' ' || "
                             "MAX(CODE) FROM TELV_REPORT_CATALOG WHERE PARENT_CODE = '001'"),
            std::to_string(created) + " " + std::to_string(created) + " 001048");
  EXPECT_EQ(db().QueryScalar("SELECT COUNT(DISTINCT ID) || ' ' || MAX(ID) FROM TELV_REPORT"),
            std::to_string(created) + " " + std::to_string(created));
}

}  // namespace
}  // namespace korvalis::report::testing
