#include "quality/rules/sys_event.h"

#include <algorithm>

#include "quality/rules/testing/rule_test_util.h"

namespace korvalis::rules::testing {
namespace {

using Elements = std::vector<Element>;

Element Rule(const std::string& id, const std::string& name) {
  return {"id", id, {{"name", name}}};
}

class SysEventTest : public RuleDatabaseTest {
 protected:
  void SetUp() override {
    RuleDatabaseTest::SetUp();
    db().AddRule({.id = 1, .name = "入院记录", .open_events = {"A01"}});
    db().AddRule({.id = 2, .name = "首次病程", .open_events = {"A01"}});
    db().AddRule({.id = 3, .name = "已删除", .status = 0, .open_events = {"A01"}});
    db().AddRule({.id = 4, .name = "出院记录", .open_events = {"A03"}});
  }
  static Elements List(const std::u16string& code, LONG relation) {
    ScopedBstr event(code), list;
    EXPECT_EQ(Run([&](CEMRDataSource* source) {
                CBSysEvent::GetEventRuleList(source, event.get(), relation, list.out());
              }),
              u"");
    return ReadElements(list.text());
  }
  static std::u16string SetList(const std::u16string& code, LONG relation,
                                const std::u16string& list) {
    ScopedBstr event(code), ids(list);
    return Run([&](CEMRDataSource* source) {
      CBSysEvent::SetEventRuleList(source, event.get(), relation, ids.get());
    });
  }
  static void Bind(const std::u16string& code, LONG rule, LONG relation, bool add = true) {
    ScopedBstr event(code);
    EXPECT_EQ(Run([&](CEMRDataSource* source) {
                if (add) {
                  CBSysEvent::AddEventRule(source, event.get(), rule, relation);
                } else {
                  CBSysEvent::DeleteEventRule(source, event.get(), rule, relation);
                }
              }),
              u"");
  }
  static std::u16string Opposing(const std::u16string& code) {
    ScopedBstr event(code), opposing;
    EXPECT_EQ(Run([&](CEMRDataSource* source) {
                CBSysEvent::GetOpposeEvent(source, event.get(), opposing.out());
              }),
              u"");
    return opposing.text();
  }
};

TEST_F(SysEventTest, TheLiveRulesOfAnEventAndARelationAreListed) {
  EXPECT_EQ(List(u"A01", 1), (Elements{Rule("1", "入院记录"), Rule("2", "首次病程")}));
  EXPECT_EQ(List(u"A01", 3), Elements{});
  EXPECT_EQ(List(u"Z99", 1), Elements{});
  EXPECT_EQ(List(u"A01' OR '1'='1", 1), Elements{});
}

TEST_F(SysEventTest, SettingAListAddsBindingsAndCanDoubleThem) {
  const std::u16string list = u"<root><id name='x'>4</id><group><id>\n2\n</id></group></root>";
  EXPECT_EQ(SetList(u"B'01", 3, list), u"");
  EXPECT_EQ(SetList(u"B'01", 3, list), u"");
  Elements doubled = List(u"B'01", 3);
  std::sort(doubled.begin(), doubled.end(),
            [](const Element& a, const Element& b) { return a.text < b.text; });
  EXPECT_EQ(doubled, (Elements{Rule("2", "首次病程"), Rule("2", "首次病程"), Rule("4", "出院记录"),
                               Rule("4", "出院记录")}));
  EXPECT_EQ(SetList(u"B02", 1, u""), u"");
  EXPECT_EQ(List(u"B02", 1), Elements{});

  // A list that cannot be read, or holds an id that is no number, binds nothing.
  EXPECT_EQ(SetList(u"B03", 1, u"<root><id>1</id>"), u"无效XML!");
  EXPECT_EQ(SetList(u"B03", 1, u"<root><id>1</id><id>1, 1), ('x', 2</id></root>"),
            u"不是有效的数字: '1, 1), ('x', 2' (id)");
  EXPECT_EQ(db().Count("PEV_EVENT_RULE", "EVENT_CODE = 'B03'"), 0);
}

TEST_F(SysEventTest, AddingBindsARuleInOneRelationOnlyAndDeletingTakesOneRelation) {
  Bind(u"A01", 1, 3);
  EXPECT_EQ(List(u"A01", 1), (Elements{Rule("2", "首次病程")}));
  EXPECT_EQ(List(u"A01", 3), (Elements{Rule("1", "入院记录")}));
  Bind(u"A01", 2, 3, false);
  EXPECT_EQ(List(u"A01", 1), (Elements{Rule("2", "首次病程")}));
  Bind(u"A01", 2, 1, false);
  EXPECT_EQ(List(u"A01", 1), Elements{});
  EXPECT_EQ(db().Count("PEV_EVENT_RULE", "EVENT_CODE = 'A01'"), 2);  // rules 1 and 3
}

TEST_F(SysEventTest, TheOpposingEventIsFoundFromEitherColumn) {
  db().Execute(
      "INSERT INTO TELV_EVENT_OPPOSE (EVENT_CODE, OPPOSE_EVENT_CODE) VALUES ('A02', "
      "'A05')");
  EXPECT_EQ(Opposing(u"A02"), u"A05");
  EXPECT_EQ(Opposing(u"A05"), u"A02");
  EXPECT_EQ(Opposing(u"A01"), u"");
}

}  // namespace
}  // namespace korvalis::rules::testing
