#include "platform/text/unicode.h"
#include "platform/xml/testing/entity_bombs.h"
#include "quality/rules/quality_rule.h"
#include "quality/rules/sys_event.h"
#include "quality/rules/testing/qc_admin_test_util.h"

namespace korvalis::rules::testing {
namespace {

using Table = std::vector<std::vector<std::string>>;

class QcRuleAdminTest : public QcAdminTest {
 protected:
  static LONG NewRule(const std::u16string& properties) {
    LONG id = -1;
    EXPECT_EQ(
        Call([&](CEMRDataSource* s) { CBQCAdmin::InitNewRule(s, Arg(properties).get(), &id); }),
        u"");
    return id;
  }
  static std::u16string RuleProperty(LONG rule) {
    return Answer([&](CEMRDataSource* s, BSTR* out) { CBQCAdmin::GetRuleProperty(s, rule, out); });
  }
  static std::u16string SaveTypes(LONG rule, const std::u16string& list) {
    return Call([&](CEMRDataSource* s) { CBQCAdmin::SaveEmrTypeList(s, rule, Arg(list).get()); });
  }
  static std::u16string SaveEvent(const std::u16string& code, LONG rule) {
    return Call([&](CEMRDataSource* s) { CBQCAdmin::SaveEventRule(s, Arg(code).get(), rule); });
  }
  static std::u16string SaveException(const std::u16string& rule, const std::u16string& property) {
    return Run([&](CEMRDataSource* s) {
      CBQCAdmin::SaveRuleException(s, Arg(rule).get(), Arg(property).get());
    });
  }
  static std::u16string RuleException(const std::u16string& rule) {
    return Answer([&](CEMRDataSource* s, BSTR* out) {
      CBQCAdmin::GetRuleException(s, Arg(rule).get(), out);
    });
  }
  static Table Bindings() {
    return Rows(
        "SELECT EVENT_CODE, RULE_ID, RELATION_TYPE, RULE_CODE FROM PEV_EVENT_RULE ORDER BY "
        "EVENT_CODE, RULE_ID");
  }
};

TEST_F(QcRuleAdminTest, ANewRuleTakesTheNextIdItsFiveDigitSortCodeAndIsLive) {
  EXPECT_EQ(NewRule(u"<root><name>入院记录24小时</name><time_out>24</time_out>"
                    u"<quantity>1</quantity><point_id>3</point_id><id>9</id>"
                    u"<sort_code>x</sort_code><status>0</status><preevent>A01</preevent></root>"),
            1);
  const CXmlProperty::Map rule = CXmlProperty(RuleProperty(1)).GetMap();
  EXPECT_EQ(rule.size(), 12u);
  EXPECT_EQ(rule.at(u"sort_code") + rule.at(u"status") + rule.at(u"preevent"), u"000011A01");
  EXPECT_EQ(NewRule(u"<root><name>b</name></root>"), 2);
  EXPECT_EQ(Call([](CEMRDataSource* s) {
              CBQCAdmin::SaveRuleProperty(s, 2, Arg(u"<root><name>b'2</name></root>").get());
            }),
            u"");
  EXPECT_EQ(Scalar("SELECT NAME || SORT_CODE FROM PEV_RULE WHERE ID = 2"), "b'200002");
  EXPECT_EQ(
      Call([](CEMRDataSource* s) { CBQCAdmin::SaveRuleProperty(s, 2, Arg(u"<root/>").get()); }),
      u"没有属性列表, 无法生成Update SQL.");

  // A deleted rule still reads; a rule that never was reads as the empty document.
  EXPECT_EQ(Call([](CEMRDataSource* s) { CBQCAdmin::DeleteRule(s, 2); }), u"");
  EXPECT_EQ(CXmlProperty(RuleProperty(2)).GetValue(u"status"), u"0");
  EXPECT_EQ(RuleProperty(3), u"<?xml version='1.0' ?><root/>");
  EXPECT_EQ(List([](CEMRDataSource* s, BSTR* out) { CBQCAdmin::GetRuleList(s, out); }),
            (std::vector<Element>{{"rule", "1", {{"name", "入院记录24小时"}}}}));
}

TEST_F(QcRuleAdminTest, DeletingARuleUndoesItsOpenInstancesAndSignaturesAndDropsItsOwnBindings) {
  db().AddRule({.id = 1, .name = "a", .emr_types = {2}, .open_events = {"A01"}});
  db().AddRule({.id = 2, .name = "b"});
  db().Execute(
      "INSERT INTO PEV_EVENT_RULE (EVENT_CODE, RULE_ID, RELATION_TYPE) VALUES ('A03', 1, 3)");
  db().Execute("INSERT INTO PEV_RULE_DEPEND (RULE_ID, SUB_ID, RELATION) VALUES (1, 2, 1)");
  db().Execute("INSERT INTO PEV_RULE_DEPEND (RULE_ID, SUB_ID, RELATION) VALUES (2, 1, 2)");
  for (int status : {1, 2, 3}) {
    db().AddRuleInstance({.patient_id = "P1",
                          .event_no = "E1",
                          .serial = status,
                          .rule_id = 1,
                          .start_time = "2026-12-01 08:00:00",
                          .over_time = "2026-12-02 08:00:00",
                          .status = status});
    db().Execute(
        "INSERT INTO PEV_SUPERIOR_SIGN_REC (PATIENT_ID, EVENT_NO, RULE_ID, EMR_ID, STATUS) "
        "VALUES ('P1', 'E1', 1, 'R" +
        std::to_string(status) + "', " + std::to_string(status) + ")");
  }
  EXPECT_EQ(Call([](CEMRDataSource* s) { CBQCAdmin::DeleteRule(s, 1); }), u"");
  EXPECT_EQ(Statuses("P1", "E1"), "1:0 2:2 3:3");
  EXPECT_EQ(Rows("SELECT EMR_ID, STATUS FROM PEV_SUPERIOR_SIGN_REC ORDER BY EMR_ID"),
            (Table{{"R1", "0"}, {"R2", "2"}, {"R3", "3"}}));
  // The binding written by the system events has no RULE_CODE and stays.
  EXPECT_EQ(Bindings(), (Table{{"A03", "1", "3", ""}}));
  EXPECT_EQ(Rows("SELECT RULE_ID, SUB_ID FROM PEV_RULE_DEPEND"), (Table{{"2", "1"}}));
  EXPECT_EQ(db().Count("PEV_RULE_EMRTYPE", "RULE_ID = 1"), 1);
  EXPECT_EQ(Scalar("SELECT STATUS FROM PEV_RULE WHERE ID = 1"), "0");
}

TEST_F(QcRuleAdminTest, EmrTypesAreReplacedWholeInBothTypeColumnsAndCheckedFirst) {
  db().AddRule({.id = 1, .name = "a", .emr_types = {8}});
  EXPECT_EQ(SaveTypes(1,
                      u"<list><emrtype name=\"住院'病历\">2</emrtype><g><emrtype name=\"出院"
                      u"记录\"> 10 </emrtype></g></list>"),
            u"");
  EXPECT_EQ(Rows("SELECT EMR_TYPE, EMRTYPE, EMRTYPE_NAME FROM PEV_RULE_EMRTYPE ORDER BY EMRTYPE"),
            (Table{{"2", "2", "住院'病历"}, {"10", "10", "出院记录"}}));
  EXPECT_EQ(List([](CEMRDataSource* s, BSTR* out) { CBQCAdmin::GetEmrTypeList(s, 1, out); }),
            (std::vector<Element>{{"emrtype", "2", {{"name", "住院'病历"}}},
                                  {"emrtype", "10", {{"name", "出院记录"}}}}));

  // Refused lists leave the old one, even in a call that commits what it did.
  for (const auto& [list, failure] : std::vector<std::pair<std::u16string, std::u16string>>{
           {u"<list><emrtype>3", u"无效XML!"},
           {u"<list><emrtype>3</emrtype><emrtype>4) OR (1=1</emrtype></list>",
            u"不是有效的数字: '4) OR (1=1' (emrtype)"}}) {
    EXPECT_EQ(Run([&](CEMRDataSource* s) { CBQCAdmin::SaveEmrTypeList(s, 1, Arg(list).get()); }),
              failure);
    EXPECT_EQ(db().Count("PEV_RULE_EMRTYPE"), 2);
  }
  // A type the column cannot hold fails the call, which leaves the old list whole.
  EXPECT_EQ(SaveTypes(1, u"<list><emrtype>3</emrtype><emrtype>99999</emrtype></list>"),
            kDatabaseErrorMessage);
  EXPECT_EQ(db().Count("PEV_RULE_EMRTYPE"), 2);
  EXPECT_EQ(SaveTypes(1, u"<list/>"), u"");
  EXPECT_EQ(db().Count("PEV_RULE_EMRTYPE"), 0);
}

TEST_F(QcRuleAdminTest, ReplaceAndOpposeListsLeaveEachOtherAlone) {
  for (int id : {1, 2, 3, 4}) db().AddRule({.id = id, .name = "r" + std::to_string(id)});
  db().Execute("UPDATE PEV_RULE SET STATUS = 0 WHERE ID = 4");
  const auto save = [](long (*body)(CEMRDataSource*, LONG, BSTR), const std::u16string& list) {
    EXPECT_EQ(Call([&](CEMRDataSource* s) { body(s, 1, Arg(list).get()); }), u"");
  };
  save(CBQCAdmin::SaveReplaceRuleList, u"<root><rule>2</rule><rule>4</rule></root>");
  save(CBQCAdmin::SaveOpposeRuleList, u"<root><rule>3</rule></root>");
  save(CBQCAdmin::SaveReplaceRuleList, u"<root><rule>2</rule></root>");
  EXPECT_EQ(List([](CEMRDataSource* s, BSTR* out) { CBQCAdmin::GetReplaceRuleList(s, 1, out); }),
            (std::vector<Element>{{"rule", "r2", {{"id", "2"}}}}));
  save(CBQCAdmin::SaveOpposeRuleList, u"<root><rule>4</rule></root>");
  // A deleted rule is listed as well.
  EXPECT_EQ(List([](CEMRDataSource* s, BSTR* out) { CBQCAdmin::GetOpposeRuleList(s, 1, out); }),
            (std::vector<Element>{{"rule", "r4", {{"id", "4"}}}}));
  EXPECT_EQ(Rows("SELECT SUB_ID, RELATION FROM PEV_RULE_DEPEND ORDER BY SUB_ID"),
            (Table{{"2", "2"}, {"4", "1"}}));
}

TEST_F(QcRuleAdminTest, SavingARulesEventReplacesItsOwnBindingAndKeepsThoseOfTheSystemEvents) {
  db().AddRule({.id = 1, .name = "a"});
  db().AddRule({.id = 2, .name = "b"});
  db().Execute(
      "INSERT INTO PEV_EVENT_RULE (EVENT_CODE, RULE_ID, RELATION_TYPE) VALUES ('O73', 1, 1)");
  EXPECT_EQ(SaveEvent(u"A01", 1), u"");
  EXPECT_EQ(SaveEvent(u"A'03", 1), u"");
  EXPECT_EQ(SaveEvent(u"A01", 2), u"");
  EXPECT_EQ(Bindings(),
            (Table{{"A'03", "1", "1", "1"}, {"A01", "2", "1", "2"}, {"O73", "1", "1", ""}}));
  const auto rules_of = [](const std::u16string& code) {
    return List([&](CEMRDataSource* s, BSTR* out) {
      CBQCAdmin::GetEventRuleList(s, Arg(code).get(), out);
    });
  };
  EXPECT_EQ(rules_of(u"A'03"), (std::vector<Element>{{"id", "1", {{"name", "a"}}}}));
  EXPECT_EQ(rules_of(u"O73"), std::vector<Element>{});
  EXPECT_EQ(List([](CEMRDataSource* s, BSTR* out) { CBQCAdmin::GetAllEventRule(s, out); }).size(),
            3u);
}

TEST_F(QcRuleAdminTest, AnExceptionIsInsertedUpdatedAndReadWithoutRowsOfNoType) {
  EXPECT_EQ(RuleException(u"1"), RuleException(u"99"));
  EXPECT_EQ(ReadElements(RuleException(u"1")), std::vector<Element>{});

  EXPECT_EQ(SaveException(u"1",
                          u"<root><type>1</type><property>&lt;dept id='0101'/&gt;</property>"
                          u"</root>"),
            u"");
  EXPECT_EQ(SaveException(u"2", u"<root><type>2</type></root>"), u"");
  EXPECT_EQ(SaveException(u"1", u"<x><type>2</type><property>a'b</property></x>"), u"");
  EXPECT_EQ(Rows("SELECT RULE_CODE, TYPE, EXCEPTION_PROPERTY FROM PEV_RULE_EXCEPTION ORDER BY "
                 "RULE_CODE"),
            (Table{{"1", "2", "a'b"}, {"2", "2", ""}}));
  EXPECT_EQ(ReadElements(RuleException(u"1")),
            (std::vector<Element>{{"type", "2", {}}, {"property", "a'b", {}}}));

  EXPECT_EQ(SaveException(u"1", u"<root><type>3"), u"无效XML!");
  EXPECT_EQ(SaveException(u"3", u"not xml"), u"无效XML!");
  for (const auto& bomb : xml::testing::EntityBombs("root", "<type>3</type>")) {
    EXPECT_EQ(SaveException(u"3", FromUtf8(bomb.text)),
              u"无效XML! its entities expand past the bound of 16 MB")
        << bomb.shape;
  }
  EXPECT_EQ(db().Count("PEV_RULE_EXCEPTION"), 2);

  // A row without a type adds nothing.
  db().Execute(
      "INSERT INTO PEV_RULE_EXCEPTION (RULE_CODE, TYPE, EXCEPTION_PROPERTY) VALUES ('3', NULL, "
      "'x')");
  EXPECT_EQ(ReadElements(RuleException(u"3")), std::vector<Element>{});
}

// A rule whose types and opening event were saved here runs in the engine.
TEST_F(QcRuleAdminTest, ARuleAdministeredHereIsOpenedByItsEventAndClosedByRecordsOfItsTypes) {
  const LONG rule = NewRule(
      u"<root><name>首次病程</name><time_out>8</time_out>"
      u"<quantity>1</quantity></root>");
  EXPECT_EQ(SaveTypes(rule, u"<root><emrtype name=\"首次病程记录\">8</emrtype></root>"), u"");
  EXPECT_EQ(SaveEvent(u"A01", rule), u"");
  EXPECT_EQ(List([](CEMRDataSource* s, BSTR* out) {
              CBSysEvent::GetEventRuleList(s, Arg(u"A01").get(), 1, out);
            }),
            (std::vector<Element>{{"id", "1", {{"name", "首次病程"}}}}));

  db().AddPatient({.id = "P1"});
  db().AddVisit({.patient_id = "P1", .event_no = "E1"});
  db().AddRecord({.id = "R1",
                  .patient_id = "P1",
                  .event_no = "E1",
                  .emr_type = 8,
                  .create_date = "2026-12-07 09:00:00"});
  db().AddRuleInstance({.patient_id = "P1",
                        .event_no = "E1",
                        .serial = 1,
                        .rule_id = rule,
                        .start_time = "2026-12-07 08:00:00",
                        .over_time = "2026-12-07 16:00:00"});
  bool closed = false;
  EXPECT_EQ(
      Run([&](CEMRDataSource* s) { closed = AutoCloseByExistingEmr(s, u"P1", u"E1", 1, u"A01"); }),
      u"");
  EXPECT_TRUE(closed);
  EXPECT_EQ(Rows("SELECT STATUS, EMR_ID FROM PEV_TIME_RULE_RECORD"), (Table{{"2", "R1"}}));
}

}  // namespace
}  // namespace korvalis::rules::testing
