#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/list_elements.h"
#include "report/testing/report_test_util.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::report::testing {
namespace {

using korvalis::testing::Element;
using korvalis::testing::ReadElements;
using Elements = std::vector<Element>;

constexpr char16_t kUserTable[] = u"TELV_REPORT_DISTRIBUTE_TO_USER";
constexpr char16_t kEmptyList[] = u"<?xml version='1.0' ?><root/>";
constexpr char16_t kEmptyUserList[] = u"<?xml version = \"1.0\" ?><root></root>";
constexpr int kUserIdToProperty = 9;  // the security component's slot

class ReportDistributionTest : public ReportTest {
 protected:
  void SetUp() override {
    ReportTest::SetUp();
    for (const char* table :
         {"TELV_REPORT_DISTRIBUTE_TO_USER", "TELV_REPORT_DISTRIBUTE_TO_DEPT", "TELV_REPORT_USER"}) {
      db().Execute(std::string("DELETE FROM ") + table);
    }
    db().Execute("DELETE FROM TELV_STAFF_DICT WHERE ID LIKE 'U%'");
  }

  static void AddStaff(const std::string& id, const std::string& name) {
    db().Execute(
        "INSERT INTO TELV_STAFF_DICT (ID, NAME, SEX, PY_CODE, WB_CODE, VALID_FLAG) VALUES (" +
        schema::SqlText(id) + ", " + schema::SqlText(name) + ", '女', " +
        schema::SqlText("PY" + id) + ", " + schema::SqlText("WB" + id) + ", '1')");
  }
  static void AddDistribution(int report, const std::string& user) {
    db().Execute("INSERT INTO TELV_REPORT_DISTRIBUTE_TO_USER (REPORT_NO, USER_ID) VALUES (" +
                 std::to_string(report) + ", " + schema::SqlText(user) + ")");
  }
  static Rows Distribution(const std::string& table = "TELV_REPORT_DISTRIBUTE_TO_USER",
                           const std::string& key = "USER_ID") {
    return db().Query("SELECT REPORT_NO, " + key + " FROM " + table + " ORDER BY 1, 2");
  }
  static Rows UserPairs() {
    return db().Query("SELECT USER_ID, REPORT_ID FROM TELV_REPORT_USER ORDER BY 1, 2");
  }

  // The methods, each as one call; the writing ones answer the text of their failure.
  static std::u16string DistributeToUsers(const std::u16string& list) {
    ScopedBstr text(list);
    return FailureOf([&] {
      Write([&](CEMRDataSource* data_source) {
        CBEMRReport::DistributeReportToUser(data_source, text.get());
      });
    });
  }
  static std::u16string DistributePairs(const std::u16string& user, const std::u16string& list) {
    ScopedBstr user_id(user), text(list);
    return FailureOf([&] {
      Write([&](CEMRDataSource* data_source) {
        CBEMRReport::DistributeReport(data_source, user_id.get(), text.get());
      });
    });
  }
  static std::u16string UserReports(const std::u16string& user, LONG catalog) {
    ScopedBstr user_id(user);
    return Answer([&](CEMRDataSource* data_source, BSTR* result) {
      CBEMRReport::GetUserReport(data_source, user_id.get(), catalog, result);
    });
  }
  static std::u16string UserCatalogs(const std::u16string& user, LONG catalog) {
    ScopedBstr user_id(user);
    return Answer([&](CEMRDataSource* data_source, BSTR* result) {
      CBEMRReport::GetUserCatalog(data_source, user_id.get(), catalog, result);
    });
  }
  static std::u16string DistributedUsers(LONG report) {
    return Answer([&](CEMRDataSource* data_source, BSTR* result) {
      CBEMRReport::GetAllDistributedUserList(data_source, report, result);
    });
  }
  // DistributeReports on `table` in a writing call: its answer.
  static bool DistributeInto(const std::u16string& list, const std::u16string& table) {
    bool done = false;
    Write([&](CEMRDataSource* data_source) {
      done = CBEMRReport::DistributeReports(data_source, list, table);
    });
    return done;
  }

  // The `id` attributes of a list, sorted: lists without an order compare as sets.
  static std::vector<std::string> Ids(const std::u16string& list) {
    std::vector<std::string> ids;
    for (const Element& element : ReadElements(list)) ids.push_back(element.attributes.at("id"));
    std::sort(ids.begin(), ids.end());
    return ids;
  }
  static std::vector<std::u16string> EventTexts(const datasource::testing::EventLogCapture& log) {
    std::vector<std::u16string> texts;
    for (const auto& record : log.Records()) {
      EXPECT_EQ(record.type, 1) << "an error record";
      texts.push_back(record.text);
    }
    return texts;
  }

  suite::testing::SiblingDoubles doubles_;  // the security component answers empty texts
};

TEST_F(ReportDistributionTest, ListsWithoutEntriesAreTheFixedEmptyTexts) {
  AddCategory(1, "001", "###");
  AddReport(1, 1);
  AddDistribution(1, "U2");
  EXPECT_EQ(UserReports(u"U1", 0), kEmptyList);
  EXPECT_EQ(UserReports(u"U1", 1), kEmptyList);
  EXPECT_EQ(UserCatalogs(u"U1", 0), kEmptyList);
  EXPECT_EQ(DistributedUsers(2), kEmptyUserList);
  EXPECT_EQ(FailureOf([] { UserReports(u"", 0); }), u"获取报表类别,用户ID不能为空!");
  EXPECT_EQ(FailureOf([] { UserCatalogs(u"", 1); }), u"获取报表类别,用户ID不能为空!");
}

TEST_F(ReportDistributionTest, UserReportsAreLiveOnesOrderedWithinACategory) {
  AddCategory(1, "001", "###");
  AddCategory(2, "002", "###");
  AddReport(1, 1, 1, "1", "乙", 2);
  AddReport(2, 1, 1, "1", "甲", 1);
  AddReport(3, 1, 1, "1", "丙", 2);
  AddReport(4, 2);
  AddReport(5, 1, /*status=*/0);
  for (int report : {3, 1, 5, 4, 2}) AddDistribution(report, "O'Neil");
  AddDistribution(1, "U9");
  db().Execute(
      "UPDATE TELV_REPORT SET CREATOR = '马丽华', CREATOR_ID = '9003', NOTE = 'n', "
      "LAST_MODIFY_TIME = TO_DATE('2026-10-01 09:00:00', 'YYYY-MM-DD HH24:MI:SS') WHERE ID = 2");

  const Elements in_category = ReadElements(UserReports(u"O'Neil", 1));
  ASSERT_EQ(in_category.size(), 3u);
  EXPECT_EQ(in_category[0], (Element{"report",
                                     "甲",
                                     {{"catalogid", "1"},
                                      {"creator", "马丽华"},
                                      {"creatorid", "9003"},
                                      {"id", "2"},
                                      {"modifytime", "2026-10-01 09:00:00"},
                                      {"note", "n"},
                                      {"sort", "1"}}}));
  EXPECT_EQ(in_category[1].text, "乙") << "SORT, then ID";
  EXPECT_EQ(in_category[2].text, "丙");
  EXPECT_EQ(Ids(UserReports(u"O'Neil", 0)), (std::vector<std::string>{"1", "2", "3", "4"}))
      << "every category, the deleted report left out";
  EXPECT_EQ(Ids(UserReports(u"O'Neil", 2)), (std::vector<std::string>{"4"}));
  EXPECT_EQ(UserReports(u"O'Neil' OR '1'='1", 0), kEmptyList) << "a quote is looked up as itself";
}

TEST_F(ReportDistributionTest, UserCategoriesHoldTheUsersOwnLiveReportsUnderTheParentAsked) {
  AddCategory(1, "001", "###", 1, "A");
  AddCategory(2, "001001", "001", 1, "B");
  AddCategory(3, "002", "###", 1, "C");
  AddCategory(4, "003", "###", /*status=*/0, "D");
  AddReport(1, 1);
  AddReport(2, 2);
  AddReport(3, 3, /*status=*/0);
  AddReport(4, 1);
  AddReport(5, 4);
  for (int report : {1, 2, 3, 4, 5}) AddDistribution(report, "U1");
  AddDistribution(2, "U2");

  const Elements top = ReadElements(UserCatalogs(u"U1", 0));
  ASSERT_EQ(top.size(), 1u) << "A once for its two reports; C's report and D are deleted";
  EXPECT_EQ(
      top[0],
      (Element{"catalog",
               "A",
               {{"code", "001"}, {"id", "1"}, {"note", ""}, {"parent", "###"}, {"sort", "1"}}}));
  EXPECT_EQ(Ids(UserCatalogs(u"U1", 1)), (std::vector<std::string>{"2"}));
  // A user whose only report lies in the sub-category sees no top-level category.
  EXPECT_EQ(Ids(UserCatalogs(u"U2", 0)), std::vector<std::string>{});
  EXPECT_EQ(Ids(UserCatalogs(u"U2", 1)), (std::vector<std::string>{"2"}));
  // The category asked for must be live, also for a user without reports.
  EXPECT_EQ(FailureOf([] { UserCatalogs(u"nobody", 99); }), u"获取类别属性错误.");
  EXPECT_EQ(FailureOf([] { UserCatalogs(u"U1", 4); }), u"获取类别属性错误.");
}

TEST_F(ReportDistributionTest, DistributionListsReplaceTheUsersOfEachReport) {
  AddDistribution(1, "old");
  AddDistribution(2, "gone");
  AddDistribution(5, "kept");
  EXPECT_EQ(DistributeToUsers(u"<reportList>"
                              u"<report id=\"1\"><user id=\"U1\"/><user id=\"U1\"/>"
                              u"<group><user id=\"O'Neil\"/></group><user id=\"\"/></report>"
                              u"<report id=\"2\"/>"
                              u"<report id=\"12abc\"><user id=\"U1\"/></report>"
                              u"<report><user id=\"U7\"/></report>"
                              u"<report id=\"3\"><user id=\"first\"/></report>"
                              u"<report id=\"3\"><user id=\"later\"/></report>"
                              u"</reportList>"),
            u"");
  EXPECT_EQ(Distribution(),
            (Rows{{"1", "O'Neil"}, {"1", "U1"}, {"3", "later"}, {"5", "kept"}, {"12", "U1"}}));
  // Any root element will do; a blank list changes nothing but fails.
  EXPECT_EQ(DistributeToUsers(u"<x><report id=\"5\"><user id=\"new\"/></report></x>"), u"");
  EXPECT_EQ(Distribution()[3], (std::vector<std::string>{"5", "new"}));
  EXPECT_EQ(DistributeToUsers(u""), u"报表分发到用户过程中出现错误.");
}

// The department table is the routine's alone: its rows are keyed by DEPT_ID and listed as
// `dept` elements.
TEST_F(ReportDistributionTest, TheRoutineFillsTheDepartmentTableFromDeptElements) {
  EXPECT_TRUE(DistributeInto(
      u"<reportList><report id=\"5\"><dept id=\"0101\"/><user id=\"U1\"/><dept id=\"0101\"/>"
      u"</report></reportList>",
      u"TELV_REPORT_DISTRIBUTE_TO_DEPT"));
  EXPECT_EQ(Distribution("TELV_REPORT_DISTRIBUTE_TO_DEPT", "DEPT_ID"), (Rows{{"5", "0101"}}));
  EXPECT_EQ(Distribution(), Rows{});
  EXPECT_FALSE(DistributeInto(u"<reportList/>", u""));
}

TEST_F(ReportDistributionTest, ARefusedReportUndoesTheWholeListAfterItsEventRecord) {
  AddDistribution(1, "U1");
  datasource::testing::EventLogCapture log;
  EXPECT_EQ(DistributeToUsers(u"<reportList><report id=\"1\"><user id=\"U2\"/></report>"
                              u"<report id=\"0\"><user id=\"U3\"/></report></reportList>"),
            u"报表分发到用户过程中出现错误.");
  EXPECT_EQ(Distribution(), (Rows{{"1", "U1"}}));
  EXPECT_EQ(EventTexts(log),
            std::vector<std::u16string>{u"报表分发过程出现错误 ---- 插入或者更改数据时出错."});
}

TEST_F(ReportDistributionTest, EachFailureOfTheRoutinesIsLoggedWithItsText) {
  datasource::testing::EventLogCapture log;
  EXPECT_EQ(DistributeToUsers(u"<reportList><report id=\"1\">"), u"报表分发到用户过程中出现错误.");
  EXPECT_EQ(EventTexts(log),
            std::vector<std::u16string>{u"报表分发过程出现错误 ---- 不是正确的xml格式"});

  // Counting a report's rows fails: the table has no REPORT_NO.
  log.Clear();
  EXPECT_FALSE(
      DistributeInto(u"<r><report id=\"1\"><user id=\"U1\"/></report></r>", u"TELV_REPORT_USER"));
  std::vector<std::u16string> texts = EventTexts(log);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), u"报表分发过程出现错误 ---- 数据库错误, 请与系统管理员联系.");

  // Counting one row fails: the department table, named so that it is not recognised, has
  // REPORT_NO but no USER_ID.
  log.Clear();
  EXPECT_FALSE(DistributeInto(u"<r><report id=\"1\"><user id=\"U1\"/></report></r>",
                              u"telv_report_distribute_to_dept"));
  texts = EventTexts(log);
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(
      std::vector<std::u16string>(texts.end() - 2, texts.end()),
      (std::vector<std::u16string>{u"插入或者修改报表出现错误 ---- 数据库错误, 请与系统管理员联系.",
                                   u"报表分发过程出现错误 ---- 插入或者更改数据时出错."}));

  // Refused arguments answer false and log nothing.
  log.Clear();
  Write([](CEMRDataSource* data_source) {
    EXPECT_FALSE(CBEMRReport::SaveDistributionRow(data_source, 0, u"U1", kUserTable));
    EXPECT_FALSE(CBEMRReport::SaveDistributionRow(data_source, 1, u"", kUserTable));
    std::u16string users;
    EXPECT_FALSE(CBEMRReport::BuildDistributedUserList(data_source, 0, &users));
    EXPECT_FALSE(CBEMRReport::BuildDistributedUserList(data_source, 1, nullptr));
  });
  EXPECT_EQ(EventTexts(log), std::vector<std::u16string>{});
}

TEST_F(ReportDistributionTest, PairsAreReplacedOneByOneAndOnlyForNumbers) {
  DistributePairs(u"U9", u"<list><report id=\"8\"/></list>");
  EXPECT_EQ(
      DistributePairs(u"O'Neil", u"<list><report id=\"1\"/><x><report id=\" 2 \"/></x></list>"),
      u"");
  EXPECT_EQ(DistributePairs(u"O'Neil", u"<list><report id=\"2\"/></list>"), u"");
  const Rows pairs = {{"O'Neil", "1"}, {"O'Neil", "2"}, {"U9", "8"}};
  EXPECT_EQ(UserPairs(), pairs) << "repeating changes nothing, other reports are kept";

  for (const char16_t* id : {u"1 OR 1=1", u"12abc", u""}) {
    EXPECT_EQ(DistributePairs(u"O'Neil", u"<list><report id=\"3\"/><report id=\"" +
                                             std::u16string(id) + u"\"/></list>"),
              u"不是有效的数字: '" + std::u16string(id) + u"' (报表ID)");
  }
  EXPECT_EQ(DistributePairs(u"O'Neil", u"<list><report"), u"不是正确的xml格式");
  EXPECT_EQ(DistributePairs(u"O'Neil", u""), u"");
  EXPECT_EQ(UserPairs(), pairs);
}

TEST_F(ReportDistributionTest, TheUserListNamesEachUserWithTheirProperties) {
  AddStaff("U1", "王<芳>");
  AddDistribution(1, "U1   ");
  AddDistribution(1, "U2");
  // The component knows U2; the staff tables answer for U1.
  doubles_.Answer(IID_ISecurityService, kUserIdToProperty, u"");
  doubles_.Answer(IID_ISecurityService, kUserIdToProperty,
                  u"<root><name>李四</name><sex>男</sex><title>x</title></root>");
  const std::u16string users = DistributedUsers(1);
  EXPECT_EQ(
      ReadElements(users),
      (Elements{{"user", "王<芳>", {{"id", "U1"}, {"py", "PYU1"}, {"sex", "女"}, {"wb", "WBU1"}}},
                {"user", "李四", {{"id", "U2"}, {"py", ""}, {"sex", "男"}, {"wb", ""}}}}));
  EXPECT_NE(users.find(u"<user id=\"U1\" py=\"PYU1\" sex=\"女\" wb=\"WBU1\">"),
            std::u16string::npos)
      << "attributes in name order";
  const auto calls = doubles_.Calls(IID_ISecurityService);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args, std::vector<std::u16string>{u"U1"}) << "asked trimmed";
}

TEST_F(ReportDistributionTest, AUserTheLookupCannotFindFailsTheWholeList) {
  AddStaff("U1", "王芳");
  AddDistribution(1, "U1");
  AddDistribution(1, "U404");
  datasource::testing::EventLogCapture log;
  EXPECT_EQ(FailureOf([] { DistributedUsers(1); }), u"获取报表已分发的用户时出现错误");
  EXPECT_EQ(EventTexts(log),
            std::vector<std::u16string>{u"获取分发的用户时出现错误 ---- 获取EMR用户属性错误"});
}

}  // namespace
}  // namespace korvalis::report::testing
