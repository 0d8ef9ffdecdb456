#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "quality/review/qc_collector.h"
#include "quality/review/testing/collector_test_support.h"

namespace korvalis::review::testing {
namespace {

using korvalis::testing::kUnreachableDatabase;
using Texts = std::vector<std::string>;
using TypeAndComment = std::pair<std::string, std::string>;

class ConditionCatalogueTest : public CollectorTest {
 protected:
  void AddGroup(const std::u16string& code, const std::u16string& notes) {
    Call(&CBQCCollector::AddConditionGroup, u"<root><code>" + code + u"</code><notes>" + notes +
                                                u"</notes><tab>T</tab><type>x</type></root>");
  }
  void SetGroup(const std::u16string& from, const std::u16string& to, const std::u16string& more) {
    Call(&CBQCCollector::SetConditionGroupContent, u"<root><original_code>" + from +
                                                       u"</original_code><new_code>" + to +
                                                       u"</new_code>" + more + u"</root>");
  }
  void AddItem(const std::u16string& group, const std::u16string& code,
               const std::u16string& sort = u"1") {
    Call(&CBQCCollector::AddConditionItem,
         u"<root><group_code>" + group + u"</group_code><column_name>NAME</column_name><code>" +
             code + u"</code><name>姓名</name><type>STRING</type><sort_code>" + sort +
             u"</sort_code></root>");
  }
  std::vector<Element> Groups() {
    return ReadElements(Answer(&CBQCCollector::GetConditionGroupList));
  }
  std::vector<Element> Items() { return List(&CBQCCollector::GetConditionList, u"ignored"); }
};

TEST_F(ConditionCatalogueTest, AGroupWithAnExistingCodeIsReplaced) {
  AddGroup(u"G'1", u"旧'组");
  AddGroup(u"G'1", u"新'组");
  EXPECT_EQ(Groups(), (std::vector<Element>{{"group_notes",
                                             "新'组",
                                             {{"group_code", "G'1"},
                                              {"group_master_flag", ""},
                                              {"group_retrieve_flag", ""},
                                              {"group_sort_code", ""},
                                              {"group_tab", "T"},
                                              {"group_type", ""}}}}));
  Call(&CBQCCollector::DeleteConditionGroupByCode, u"G'1");
  EXPECT_TRUE(Groups().empty());
}

TEST_F(ConditionCatalogueTest, ARecodedGroupsItemsDropOutUntilTheyAreRecodedToo) {
  AddGroup(u"G1", u"组");
  AddItem(u"G1", u"I1");
  SetGroup(u"G1", u"G2", u"");  // without notes the group is not touched
  ASSERT_EQ(Items().size(), 1u);
  SetGroup(u"G1", u"G2",
           u"<notes>新'组</notes><master_flag>1</master_flag><retrieve_flag>0</retrieve_flag>"
           u"<sort_code>5</sort_code><tab>T2</tab><type>2</type>");
  EXPECT_TRUE(Items().empty());

  Call(&CBQCCollector::SetConditionItemContent,
       u"<root><original_code>I1</original_code><group_code>G2</group_code>"
       u"<column_name>SEX</column_name><code>I'1</code><name>性别</name><type>DICT</type>"
       u"<notes>n'1</notes><disp_width>40</disp_width><dict_code>SEX</dict_code>"
       u"<sort_code>3</sort_code></root>");
  EXPECT_EQ(Items(), (std::vector<Element>{{"name",
                                            "性别",
                                            {{"code", "I'1"},
                                             {"column_name", "SEX"},
                                             {"dict_code", "SEX"},
                                             {"disp_width", "40"},
                                             {"group_code", "G2"},
                                             {"group_master_flag", "1"},
                                             {"group_notes", "新'组"},
                                             {"group_retrieve_flag", "0"},
                                             {"group_sort_code", "5"},
                                             {"group_tab", "T2"},
                                             {"group_type", "2"},
                                             {"notes", "n'1"},
                                             {"sort_code", "3"},
                                             {"type", "DICT"}}}}));
}

TEST_F(ConditionCatalogueTest, WritesWithoutTheirKeysChangeNothing) {
  AddGroup(u"G1", u"组");
  AddItem(u"G1", u"I1");
  const Rows before = db_.Query("SELECT * FROM TELV_CONDITION_POOL");
  // Without `type` (it would otherwise replace I1), and with an empty `original_code`.
  Call(&CBQCCollector::AddConditionItem,
       u"<root><group_code>G1</group_code><column_name>X</column_name><code>I1</code>"
       u"<name>n</name></root>");
  Call(&CBQCCollector::SetConditionItemContent,
       u"<root><group_code>G1</group_code><column_name>X</column_name><code>I2</code>"
       u"<name>n</name><type>t</type></root>");
  EXPECT_EQ(db_.Query("SELECT * FROM TELV_CONDITION_POOL"), before);
  for (auto body : {&CBQCCollector::AddConditionItem, &CBQCCollector::SetConditionItemContent,
                    &CBQCCollector::SetConditionGroupContent}) {
    EXPECT_EQ(Failure(body, u"<root/>", kUnreachableDatabase), u"");
  }
  EXPECT_EQ(Failure(&CBQCCollector::AddConditionGroup, u"<root>"), u"解析属性信息错误.");
}

TEST_F(ConditionCatalogueTest, ItemsAreListedInGroupAndItemOrderAndDeletedByCodeOrGroup) {
  AddGroup(u"GB", u"b");
  AddGroup(u"GA", u"a");
  SetGroup(u"GB", u"GB", u"<notes>b</notes><sort_code>1</sort_code>");
  SetGroup(u"GA", u"GA", u"<notes>a</notes><sort_code>2</sort_code>");
  AddItem(u"GA", u"A1", u"2");
  AddItem(u"GA", u"A2", u"1");
  AddItem(u"GB", u"B2");
  AddItem(u"GB", u"B1");
  AddItem(u"GB", u"B1");  // replaced, not doubled
  AddItem(u"GX", u"X1");  // no such group
  EXPECT_EQ(AttributeOfEach(Items(), "code"), (Texts{"B1", "B2", "A2", "A1"}));

  Call(&CBQCCollector::DelConditionItem, u"A2");
  Call(&CBQCCollector::DelConditionItemByGroupCode, u"GB");
  EXPECT_EQ(AttributeOfEach(Items(), "code"), Texts{"A1"});
  Call(&CBQCCollector::DeleteConditionGroupByCode, u"GA");  // its items stay
  EXPECT_TRUE(Items().empty());
  EXPECT_EQ(db_.Count("TELV_CONDITION_POOL"), 2);
}

TEST_F(ConditionCatalogueTest, ColumnsComeFromTheDictionaryViews) {
  EXPECT_EQ(Answer(&CBQCCollector::GetColumnData, u""), u"");
  EXPECT_TRUE(List(&CBQCCollector::GetColumnByTabName, u"").empty());
  EXPECT_TRUE(List(&CBQCCollector::GetColumnByTabName, u"telv_query_template").empty());
  EXPECT_TRUE(List(&CBQCCollector::GetColumnData, u"X' OR '1'='1").empty());
  EXPECT_EQ(TextOfEach(List(&CBQCCollector::GetColumnByTabName, u"TELV_QUERY_TEMPLATE")),
            (Texts{"ID", "TITLE", "CONTENT", "TYPE", "CREATOR_ID"}));

  std::map<std::string, TypeAndComment> columns;
  for (const Element& e : List(&CBQCCollector::GetColumnData, u"TELV_EMR_CONTENT")) {
    columns[e.attributes.at("column_name")] = {e.attributes.at("xx"), e.text};
  }
  EXPECT_EQ(columns.size(), 24u);
  EXPECT_EQ(columns["TITLE"], TypeAndComment("VARCHAR2()", "病历标题"));
  EXPECT_EQ(columns["TEMPLATE_ID"], TypeAndComment("NUMBER(10)", "模板ID"));
  EXPECT_EQ(columns["CREATE_DATE"], TypeAndComment("DATE(7)", "创建时间"));
}

}  // namespace
}  // namespace korvalis::review::testing
