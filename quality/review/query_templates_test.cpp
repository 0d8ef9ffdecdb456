#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "foundation/suite/factory.h"
#include "foundation/suite/suite_interfaces.h"
#include "quality/review/qc_collector.h"
#include "quality/review/testing/collector_test_support.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::review::testing {
namespace {

using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::kUnreachableDatabase;

constexpr int kUserProperty = 9;

class QueryTemplatesTest : public CollectorTest {
 protected:
  void AddTemplate(const std::string& id, const std::string& type, const std::string& title = "t") {
    db_.Execute("INSERT INTO TELV_QUERY_TEMPLATE (ID, TITLE, CONTENT, TYPE, CREATOR_ID) VALUES (" +
                schema::SqlText(id) + ", " + schema::SqlText(title) + ", 'c', " +
                schema::SqlText(type) + ", 'U1')");
  }
  Rows Templates() {
    return db_.Query(
        "SELECT ID, TITLE, CONTENT, TYPE, CREATOR_ID FROM TELV_QUERY_TEMPLATE ORDER BY TITLE, ID");
  }
  Rows Distribution() {
    return db_.Query(
        "SELECT TEMPLATE_ID, DEPT_ID FROM TELV_QUERY_TEMPLATE_DISTRIBUTE "
        "ORDER BY TEMPLATE_ID, DEPT_ID NULLS FIRST");
  }

  SiblingDoubles doubles_;
};

TEST_F(QueryTemplatesTest, NewTemplatesGetIdsOfTheirOwnAndTheirDepartments) {
  const std::u16string condition =
      u"<root><title>本科'室</title><type>3</type><creator_id>U1</creator_id>"
      u"<dept>a;;b</dept></root>";
  Call(&CBQCCollector::SaveQueryTplList, condition, u"<q v='1'/>");
  Call(&CBQCCollector::SaveQueryTplList, condition, u"second");
  const Rows templates = Templates();
  ASSERT_EQ(templates.size(), 2u);
  const std::regex guid("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");
  EXPECT_TRUE(std::regex_match(templates[0][0], guid)) << templates[0][0];
  EXPECT_TRUE(std::regex_match(templates[1][0], guid)) << templates[1][0];
  EXPECT_NE(templates[0][0], templates[1][0]);
  EXPECT_EQ(templates[0][1], "本科'室");
  EXPECT_EQ(db_.Count("TELV_QUERY_TEMPLATE", "CONTENT = '<q v=''1''/>' AND TYPE = '3'"), 1);
  // "a;;b": an empty department between the two; the type-3 rule does not apply on saving.
  const std::string id =
      db_.QueryScalar("SELECT ID FROM TELV_QUERY_TEMPLATE WHERE CONTENT = 'second'");
  EXPECT_EQ(db_.Query("SELECT DEPT_ID FROM TELV_QUERY_TEMPLATE_DISTRIBUTE WHERE TEMPLATE_ID = " +
                      schema::SqlText(id) + " ORDER BY DEPT_ID NULLS FIRST"),
            (Rows{{""}, {"a"}, {"b"}}));
  EXPECT_EQ(db_.Count("TELV_QUERY_TEMPLATE_DISTRIBUTE"), 6);
}

TEST_F(QueryTemplatesTest, AnUpdateChangesOnlyContentAndCreator) {
  AddTemplate("T1", "1", "old");
  Call(&CBQCCollector::SaveQueryTplList,
       u"<root><id>T1</id><title>new</title><type>3</type><creator_id>U'2</creator_id>"
       u"<dept>d1</dept></root>",
       u"new 'content'");
  EXPECT_EQ(Templates(), (Rows{{"T1", "old", "new 'content'", "1", "U'2"}}));
  EXPECT_TRUE(Distribution().empty());
}

TEST_F(QueryTemplatesTest, TypeThreeTakesTheDepartmentsOtherTypeThreeTemplatesAway) {
  AddTemplate("X3", "3");
  AddTemplate("Y3", "3");
  AddTemplate("Z1", "1");
  Call(&CBQCCollector::DistributeTpList,
       u"<root><template_id>X3</template_id><dept>d1;d3</dept></root>");
  Call(&CBQCCollector::DistributeTpList,
       u"<root><template_id>Z1</template_id><dept>d1</dept></root>");
  // Without the type, X3 keeps d1 beside Y3.
  Call(&CBQCCollector::DistributeTpList,
       u"<root><template_id>Y3</template_id><dept>d9</dept></root>");
  Call(&CBQCCollector::DistributeTpList,
       u"<root><template_id>Y3</template_id><dept>d1;d2</dept><type>3</type></root>");
  EXPECT_EQ(Distribution(), (Rows{{"X3", "d3"}, {"Y3", "d1"}, {"Y3", "d2"}, {"Z1", "d1"}}));
  // Nothing without a template or departments.
  for (const char16_t* info : {u"<root><template_id>Y3</template_id></root>",
                               u"<root><dept>d1</dept><type>3</type></root>"}) {
    EXPECT_EQ(Failure(&CBQCCollector::DistributeTpList, info, kUnreachableDatabase), u"");
  }

  EXPECT_EQ(TextOfEach(List(&CBQCCollector::GetDistributeInfo,
                            u"<root><template_id>Y3</template_id></root>")),
            (std::vector<std::string>{"d1", "d2"}));
  EXPECT_EQ(List(&CBQCCollector::GetDistributeInfo,
                 u"<root><template_id>Z1</template_id><dept_id>d1</dept_id></root>")
                .size(),
            1u);
  EXPECT_EQ(List(&CBQCCollector::GetDistributeInfo, u"<root/>").size(), 4u);
}

TEST_F(QueryTemplatesTest, TemplatesAreListedByTheirKeysAndDepartment) {
  AddTemplate("A", "3", "甲'乙");
  AddTemplate("B", "1");
  AddTemplate("C", "3");
  db_.Execute("INSERT INTO TELV_QUERY_TEMPLATE_DISTRIBUTE VALUES ('A', 'd1')");
  db_.Execute("INSERT INTO TELV_QUERY_TEMPLATE_DISTRIBUTE VALUES ('B', 'd2')");
  EXPECT_EQ(List(&CBQCCollector::GetQueryTplList, u"<root><title>甲'乙</title></root>"),
            (std::vector<Element>{
                {"content",
                 "c",
                 {{"creator_id", "U1"}, {"id", "A"}, {"title", "甲'乙"}, {"type", "3"}}}}));
  const auto ids = [&](const std::u16string& condition) {
    std::vector<std::string> found =
        AttributeOfEach(List(&CBQCCollector::GetQueryTplList, condition), "id");
    std::sort(found.begin(), found.end());
    return found;
  };
  EXPECT_EQ(ids(u"<root/>"), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(ids(u"<root><type>3</type></root>"), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(ids(u"<root><dept_id>d1</dept_id></root>"), std::vector<std::string>{"A"});
  EXPECT_EQ(ids(u"<root><dept_id>d1</dept_id><type>1</type></root>"), std::vector<std::string>{});
  EXPECT_EQ(ids(u"<root><creator_id>U1</creator_id><id>B</id></root>"),
            std::vector<std::string>{"B"});
}

TEST_F(QueryTemplatesTest, ADeleteNeedsTheIdAndLeavesTheDepartments) {
  AddTemplate("A", "1", "a");
  AddTemplate("B", "1", "b");
  db_.Execute("INSERT INTO TELV_QUERY_TEMPLATE_DISTRIBUTE VALUES ('A', 'd1')");
  EXPECT_EQ(
      Failure(&CBQCCollector::DeleteQueryTplList,
              u"<root><title>a</title><creator_id>U1</creator_id></root>", kUnreachableDatabase),
      u"");
  Call(&CBQCCollector::DeleteQueryTplList, u"<root><id>A</id><title>not a</title></root>");
  EXPECT_EQ(db_.Count("TELV_QUERY_TEMPLATE"), 2);
  Call(&CBQCCollector::DeleteQueryTplList,
       u"<root><id>A</id><title>a</title><creator_id>U1</creator_id></root>");
  EXPECT_EQ(Templates(), (Rows{{"B", "b", "c", "1", "U1"}}));
  EXPECT_EQ(Distribution(), (Rows{{"A", "d1"}}));
}

TEST_F(QueryTemplatesTest, TheQcUserListShowsTheThreeQcIdentitiesWithTheirLabels) {
  for (const auto& [id, identity] : std::vector<std::pair<std::string, std::string>>{
           {"U1", "43"}, {"U2", "42"}, {"U3", "40"}, {"U4", "41"}, {"U5", "10"}}) {
    db_.Execute("INSERT INTO TELV_USER (ID, IDENTITY) VALUES ('" + id + "', '" + identity + "')");
  }
  // One call per user, in the order of the ids; a failing call gives an empty name.
  doubles_.Answer(IID_ISecurityService, kUserProperty, u"<root><name>A&amp;B</name></root>");
  doubles_.Answer(IID_ISecurityService, kUserProperty, u"<root><name>二</name></root>");
  doubles_.Fail(IID_ISecurityService, kUserProperty, E_FAIL, u"不可用");
  doubles_.Answer(IID_ISecurityService, kUserProperty, u"<root><name>'四'</name></root>");
  doubles_.Answer(IID_ISecurityService, kUserProperty, u"");
  const std::u16string list = Answer(&CBQCCollector::GetQCUserList);
  EXPECT_EQ(list.substr(0, 28), u"<?xml version='1.0' ?><root>");
  EXPECT_EQ(ReadElements(list),
            (std::vector<Element>{
                {"user", "", {{"id", "U1"}, {"identity", "质控科管理员"}, {"name", "A&B"}}},
                {"user", "", {{"id", "U3"}, {"identity", "科室质控员"}, {"name", ""}}},
                {"user", "", {{"id", "U4"}, {"identity", "质控科质控员"}, {"name", "'四'"}}}}));
  EXPECT_EQ(doubles_.Calls(IID_ISecurityService).size(), 5u);

  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_ISecurityService));
  TestDataSource unreachable(kUnreachableDatabase);
  BSTR untouched = nullptr;
  EXPECT_EQ(
      korvalis::testing::FailureOf([&] { CBQCCollector::GetQCUserList(&unreachable, &untouched); }),
      kCreateComponentError);
  doubles_.Register(SiblingDoubles::DoubleClass(IID_ISecurityService));
}

}  // namespace
}  // namespace korvalis::review::testing
