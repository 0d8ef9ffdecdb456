#include "foundation/xml/xml_property.h"
#include "quality/rules/quality_rule.h"
#include "quality/rules/testing/rule_test_util.h"

namespace korvalis::rules::testing {
namespace {

using Row = std::vector<std::string>;
using Table = std::vector<Row>;

class RulePropertiesTest : public RuleDatabaseTest {
 protected:
  static std::u16string InitNew(const std::u16string& properties, LONG* id) {
    ScopedBstr bag(properties);
    return Run([&](CEMRDataSource* source) { CBQualityRule::InitNew(source, bag.get(), id); });
  }
  static std::u16string GetProperty(LONG rule) {
    ScopedBstr document;
    EXPECT_EQ(Run([&](CEMRDataSource* source) {
                CBQualityRule::GetProperty(source, rule, document.out());
              }),
              u"");
    return document.text();
  }
  static std::u16string SaveProperty(LONG rule, const std::u16string& properties) {
    ScopedBstr bag(properties);
    return Run(
        [&](CEMRDataSource* source) { CBQualityRule::SaveProperty(source, rule, bag.get()); });
  }
  static std::u16string SaveRelations(LONG rule, LONG relation, const std::u16string& list) {
    ScopedBstr text(list);
    return Run([&](CEMRDataSource* source) {
      CBQualityRule::SaveRelationRuleList(source, rule, relation, text.get());
    });
  }
  static std::vector<Element> Relations(LONG rule, LONG relation) {
    ScopedBstr list;
    EXPECT_EQ(Run([&](CEMRDataSource* source) {
                CBQualityRule::GetRelationRuleList(source, rule, relation, list.out());
              }),
              u"");
    return ReadElements(list.text());
  }
  static Table Links() {
    return Rows(
        "SELECT RULE_ID, EMR_TYPE, EMRTYPE FROM PEV_RULE_EMRTYPE ORDER BY RULE_ID, EMR_TYPE");
  }
};

TEST_F(RulePropertiesTest, ANewRuleOfAnEmptyCatalogueIsLiveWithItsTypesInTheLinkRowsOnly) {
  LONG id = 0;
  EXPECT_EQ(InitNew(u"<root><name>入院记录24小时内完成</name><quantity>1</quantity>"
                    u"<time_out>24</time_out><emr_type>2</emr_type><sort_code>9</sort_code>"
                    u"<id>77</id><owner_type>1</owner_type><point_id>1</point_id></root>",
                    &id),
            u"");
  EXPECT_EQ(id, 1);
  EXPECT_EQ(Rows("SELECT ID, NAME, QUANTITY, TIME_OUT, SORT_CODE, STATUS, EMR_TYPE, OWNER_TYPE, "
                 "POINT_ID FROM PEV_RULE"),
            (Table{{"1", "入院记录24小时内完成", "1", "24", "00001", "1", "", "1", "1"}}));
  EXPECT_EQ(Links(), (Table{{"1", "2", "2"}}));

  EXPECT_EQ(InitNew(u"<root><name>病程</name><emr_type>;3;7</emr_type></root>", &id), u"");
  EXPECT_EQ(id, 2);
  EXPECT_EQ(Scalar("SELECT SORT_CODE FROM PEV_RULE WHERE ID = 2"), "00002");
  EXPECT_EQ(Links(), (Table{{"1", "2", "2"}, {"2", "3", "3"}, {"2", "7", "7"}}));

  db().AddRule({.id = 123456, .name = "大号"});
  EXPECT_EQ(InitNew(u"<root><name>无类型</name></root>", &id), u"");
  EXPECT_EQ(id, 123457);
  EXPECT_EQ(Scalar("SELECT SORT_CODE FROM PEV_RULE WHERE ID = 123457"), "123457");
}

TEST_F(RulePropertiesTest, ARuleThatCannotBeWrittenWholeIsNotWrittenAtAll) {
  LONG id = 0;
  EXPECT_EQ(InitNew(u"<root><name>a</name><emr_type>3;;7</emr_type></root>", &id),
            u"不是有效的数字: '3;;7' (emr_type)");
  EXPECT_EQ(InitNew(u"<root><name>a</name><emr_type>3</emr_type><colour>red</colour></root>", &id),
            u"没有找到属性名: colour");
  EXPECT_EQ(InitNew(u"<root><name>a</name><time_out>1 OR 1=1</time_out></root>", &id),
            u"属性值不是数字: time_out");
  EXPECT_EQ(InitNew(u"<root><name>a</name>", &id), u"解析属性信息错误.");
  EXPECT_EQ(id, 0);
  EXPECT_EQ(db().Count("PEV_RULE"), 0);
  EXPECT_EQ(db().Count("PEV_RULE_EMRTYPE"), 0);

  db().AddRule({.id = 1, .name = "入院记录", .emr_types = {2}});
  EXPECT_EQ(SaveProperty(1, u"<root><name>新</name><emr_type>3;;7</emr_type></root>"),
            u"不是有效的数字: '3;;7' (emr_type)");
  EXPECT_EQ(SaveProperty(1, u"<root><colour>red</colour></root>"), u"没有找到属性名: colour");
  EXPECT_EQ(Links(), (Table{{"1", "2", "2"}}));
  EXPECT_EQ(Scalar("SELECT NAME FROM PEV_RULE WHERE ID = 1"), "入院记录");
}

TEST_F(RulePropertiesTest, ThePropertyDocumentJoinsTheRulesTypesAndIsEmptyForADeletedRule) {
  db().AddRule({.id = 1,
                .name = "病程记录",
                .emr_types = {3, 7},
                .quantity = "0",
                .time_out = 1.5,
                .point_id = 4});
  db().Execute("UPDATE PEV_RULE SET NOTES = 'a<b & \"c\"' WHERE ID = 1");
  EXPECT_EQ(ReadElements(GetProperty(1)), (std::vector<Element>{{"emr_type", ";3;7;", {}},
                                                                {"id", "1", {}},
                                                                {"name", "病程记录", {}},
                                                                {"notes", "a<b & \"c\"", {}},
                                                                {"owner_type", "1", {}},
                                                                {"point_id", "4", {}},
                                                                {"quantity", "0", {}},
                                                                {"sort_code", "00001", {}},
                                                                {"time_out", "1.5", {}}}));
  db().Execute("UPDATE PEV_RULE SET EMR_TYPE = 5 WHERE ID = 1");
  EXPECT_EQ(CXmlProperty(GetProperty(1)).GetValue(u"emr_type"), u"5;3;7;");

  db().AddRule({.id = 2, .name = "已删除", .status = 0});
  EXPECT_EQ(GetProperty(2), u"<?xml version='1.0' ?><root/>");
  EXPECT_EQ(GetProperty(3), u"<?xml version='1.0' ?><root/>");
}

TEST_F(RulePropertiesTest, SavingRewritesTheLinkRowsAndOnlyTheColumnsOfTheBag) {
  db().AddRule({.id = 1, .name = "入院记录", .emr_types = {2, 8}, .time_out = 24});
  db().AddRule({.id = 2, .name = "其它", .emr_types = {9}});
  db().Execute("UPDATE PEV_RULE SET EMR_TYPE = 5 WHERE ID = 1");
  // Saved back as read, a former EMR_TYPE becomes a link row.
  EXPECT_EQ(SaveProperty(1, GetProperty(1)), u"");
  EXPECT_EQ(Links(), (Table{{"1", "2", "2"}, {"1", "5", "5"}, {"1", "8", "8"}, {"2", "9", "9"}}));
  EXPECT_EQ(Scalar("SELECT EMR_TYPE FROM PEV_RULE WHERE ID = 1"), "");

  EXPECT_EQ(SaveProperty(1, u"<root><name>入院记录(改)</name></root>"), u"");
  EXPECT_EQ(Links(), (Table{{"2", "9", "9"}}));
  EXPECT_EQ(Rows("SELECT NAME, TIME_OUT, EMR_TYPE, STATUS FROM PEV_RULE WHERE ID = 1"),
            (Table{{"入院记录(改)", "24", "", "1"}}));
  // An explicit status is written like any property, also for a deleted rule.
  EXPECT_EQ(SaveProperty(1, u"<root><status>0</status></root>"), u"");
  EXPECT_EQ(SaveProperty(1, u"<root><status>1</status><emr_type>4</emr_type></root>"), u"");
  EXPECT_EQ(Rows("SELECT STATUS FROM PEV_RULE WHERE ID = 1"), (Table{{"1"}}));
  EXPECT_EQ(Links(), (Table{{"1", "4", "4"}, {"2", "9", "9"}}));
}

TEST_F(RulePropertiesTest, DeleteUndoesOpenInstancesEverywhereAndRemovesTheRulesLinks) {
  db().AddRule({.id = 1, .name = "入院记录", .emr_types = {2}, .open_events = {"A01"}});
  db().AddRule({.id = 2, .name = "首程", .emr_types = {8}, .open_events = {"A01"}});
  db().Execute("INSERT INTO PEV_RULE_DEPEND (RULE_ID, SUB_ID, RELATION) VALUES (1, 2, 1)");
  db().Execute("INSERT INTO PEV_RULE_DEPEND (RULE_ID, SUB_ID, RELATION) VALUES (2, 1, 2)");
  db().Execute("INSERT INTO PEV_RULE_DEPEND (RULE_ID, SUB_ID, RELATION) VALUES (2, 3, 1)");
  int serial = 0;
  for (const char* event_no : {"E1", "E2"}) {
    for (int status : {0, 1, 2, 3}) {
      db().AddRuleInstance({.patient_id = "P1",
                            .event_no = event_no,
                            .serial = ++serial,
                            .rule_id = 1,
                            .status = status});
    }
  }
  db().AddRuleInstance({.patient_id = "P1", .event_no = "E1", .serial = 9, .rule_id = 2});
  EXPECT_EQ(Run([](CEMRDataSource* source) { CBQualityRule::Delete(source, 1); }), u"");
  EXPECT_EQ(Statuses("P1", "E1"), "1:0 2:0 3:2 4:3 9:1");
  EXPECT_EQ(Statuses("P1", "E2"), "5:0 6:0 7:2 8:3");
  EXPECT_EQ(Rows("SELECT RULE_ID, SUB_ID FROM PEV_RULE_DEPEND"), (Table{{"2", "3"}}));
  EXPECT_EQ(Rows("SELECT RULE_ID FROM PEV_EVENT_RULE"), (Table{{"2"}}));
  EXPECT_EQ(Links(), (Table{{"2", "8", "8"}}));
  EXPECT_EQ(Rows("SELECT ID, STATUS FROM PEV_RULE ORDER BY ID"), (Table{{"1", "0"}, {"2", "1"}}));
  EXPECT_EQ(GetProperty(1), u"<?xml version='1.0' ?><root/>");

  // The undone instances of the deleted rule can be opened again.
  ScopedBstr p(u"P1"), e(u"E2"), r(u"1");
  EXPECT_EQ(Run([&](CEMRDataSource* source) {
              CBQualityRule::ReOpenUndo(source, p.get(), e.get(), r.get());
            }),
            u"");
  EXPECT_EQ(Statuses("P1", "E2"), "5:1 6:1 7:2 8:3");
}

TEST_F(RulePropertiesTest, RelationsOfOneTypeAreListedAndReplaced) {
  db().AddRule({.id = 1, .name = "入院记录"});
  db().AddRule({.id = 5, .name = "首次病程"});
  db().AddRule({.id = 9, .name = "查房记录"});
  EXPECT_EQ(SaveRelations(1, 1, u"<root><rule>5</rule><x><rule> 9\n</rule></x></root>"), u"");
  EXPECT_EQ(SaveRelations(1, 2, u"<rule>9</rule>"), u"");
  EXPECT_EQ(Relations(1, 1), (std::vector<Element>{{"rule", "首次病程", {{"id", "5"}}},
                                                   {"rule", "查房记录", {{"id", "9"}}}}));
  EXPECT_EQ(Relations(1, 2), (std::vector<Element>{{"rule", "查房记录", {{"id", "9"}}}}));
  EXPECT_EQ(Relations(5, 1), std::vector<Element>{});

  // A list that cannot be read, or holds an id that is no number, keeps the relations.
  EXPECT_EQ(SaveRelations(1, 1, u"<root><rule>5</rule>"), u"无效XML!");
  EXPECT_EQ(SaveRelations(1, 1, u"<root><rule>5</rule><rule>1 OR 1=1</rule></root>"),
            u"不是有效的数字: '1 OR 1=1' (rule)");
  EXPECT_EQ(Relations(1, 1).size(), 2u);
  // An empty list, like an empty text, removes the relations of its type only.
  EXPECT_EQ(SaveRelations(1, 1, u"<root/>"), u"");
  EXPECT_EQ(Relations(1, 1), std::vector<Element>{});
  EXPECT_EQ(SaveRelations(1, 2, u""), u"");
  EXPECT_EQ(Relations(1, 2), std::vector<Element>{});
}

}  // namespace
}  // namespace korvalis::rules::testing
