#include "quality/rules/rule_instances.h"

#include "foundation/xml/xml_property.h"
#include "quality/rules/testing/rule_test_util.h"

namespace korvalis::rules::testing {
namespace {

using schema::RuleInstanceRow;

class RuleInstancesTest : public RuleDatabaseTest {
 protected:
  // Instances 1..n of rule 1 in visit P1/E1, closed by the records "R<serial>".
  static void AddFinished(int count, int first_serial = 1) {
    for (int serial = first_serial; serial < first_serial + count; ++serial) {
      db().AddRuleInstance({.patient_id = "P1",
                            .event_no = "E1",
                            .serial = serial,
                            .rule_id = 1,
                            .start_time = "2026-12-01 08:00:00",
                            .over_time = "2026-12-02 08:00:00",
                            .status = 2,
                            .emr_id = "R" + std::to_string(serial),
                            .finish_time = "2026-12-01 10:00:00",
                            .over_hour = 0});
    }
  }
  static void AddInstance(int serial, int status, int rule_id = 1,
                          std::optional<std::string> emr_id = std::nullopt) {
    db().AddRuleInstance({.patient_id = "P1",
                          .event_no = "E1",
                          .serial = serial,
                          .rule_id = rule_id,
                          .start_time = "2026-12-01 08:00:00",
                          .over_time = "2026-12-02 08:00:00",
                          .status = status,
                          .emr_id = emr_id});
  }
  static bool QuantityReached(const std::u16string& quantity, const std::u16string& event) {
    bool reached = false;
    const CXmlProperty rule(CXmlProperty::Map{{u"id", u"1"}, {u"quantity", quantity}});
    EXPECT_EQ(Run([&](CEMRDataSource* source) {
                reached = IsRuleQuantityReached(source, u"P1", u"E1", rule, event);
              }),
              u"");
    return reached;
  }
};

TEST_F(RuleInstancesTest, SerialsCountEveryRuleOfTheVisitAndRuleIdsTheCatalogue) {
  long serial = 0;
  std::u16string rule_id;
  Run([&](CEMRDataSource* source) {
    serial = NextRuleSerial(source, u"P1", u"E1");
    rule_id = NextRuleId(source);
  });
  EXPECT_EQ(serial, 1);
  EXPECT_EQ(rule_id, u"1");

  AddInstance(1, 2, 1);
  AddInstance(7, 0, 2);
  db().AddRuleInstance({.patient_id = "P1", .event_no = "E2", .serial = 20, .rule_id = 1});
  db().AddRule({.id = 5, .name = "a"});
  db().AddRule({.id = 2, .name = "b", .status = 0});
  Run([&](CEMRDataSource* source) {
    serial = NextRuleSerial(source, u"P1", u"E1");
    rule_id = NextRuleId(source);
  });
  EXPECT_EQ(serial, 8);
  EXPECT_EQ(rule_id, u"6");
}

TEST_F(RuleInstancesTest, FinishedInstancesOfAV03EventAreThoseOfItsOwnRecord) {
  AddFinished(3);
  AddInstance(4, 1);
  AddInstance(5, 0, 1, "R1");
  db().AddRuleInstance({.patient_id = "P1",
                        .event_no = "E1",
                        .serial = 6,
                        .rule_id = 1,
                        .status = 2,
                        .emr_id = "R1"});  // closed without a finish time: not finished
  long any = 0, own = 0, other_rule = 0;
  Run([&](CEMRDataSource* source) {
    any = CountFinishedRuleRecords(source, u"P1", u"E1", 1,
                                   CloseEvent(u"2026-12-01 09:00:00", u"R2", u"2", u"1", u"V01"));
    own = CountFinishedRuleRecords(source, u"P1", u"E1", 1,
                                   CloseEvent(u"2026-12-01 09:00:00", u"R2", u"2", u"1", u"V03"));
    other_rule = CountFinishedRuleRecords(source, u"P1", u"E1", 2, OpenEvent(u"2026-12-01"));
  });
  EXPECT_EQ(any, 3);
  EXPECT_EQ(own, 1);
  EXPECT_EQ(other_rule, 0);
}

TEST_F(RuleInstancesTest, TheQuantityIsReachedAtEachPositiveMultiple) {
  const std::u16string event = OpenEvent(u"2026-12-01 08:00:00");
  std::vector<bool> quantity_two;
  for (int finished = 0; finished <= 4; ++finished) {
    if (finished > 0) AddFinished(1, finished);
    quantity_two.push_back(QuantityReached(u"2", event));
  }
  EXPECT_EQ(quantity_two, (std::vector<bool>{false, false, true, false, true}));
  EXPECT_TRUE(QuantityReached(u"1", event));
  EXPECT_FALSE(QuantityReached(u"0", event));
  EXPECT_FALSE(QuantityReached(u"many", event));
  // A V03 event counts only what its own record finished: one instance, a multiple of 1.
  EXPECT_TRUE(QuantityReached(u"1", CloseEvent(u"2026-12-01 09:00:00", u"R4", u"2", u"1", u"V03")));
  EXPECT_FALSE(
      QuantityReached(u"1", CloseEvent(u"2026-12-01 09:00:00", u"R9", u"2", u"1", u"V03")));
}

TEST_F(RuleInstancesTest, ClosedByEmrReadsTheRecordOfTheDocumentElementNotOfExtend) {
  AddFinished(1);  // closed by R1
  const std::u16string by_element = EventDocument{{{u"emr_id", u"R1"}}, {{u"emr_id", u"R9"}}}.Xml();
  const std::u16string by_extend = EventDocument{{{u"emr_id", u"R9"}}, {{u"emr_id", u"R1"}}}.Xml();
  bool element = false, extend = true, other_rule = true;
  EXPECT_EQ(Run([&](CEMRDataSource* source) {
              element = IsRuleClosedByEmr(source, u"P1", u"E1", u"1", by_element);
              extend = IsRuleClosedByEmr(source, u"P1", u"E1", u"1", by_extend);
              other_rule = IsRuleClosedByEmr(source, u"P1", u"E1", u"2", by_element);
            }),
            u"");
  EXPECT_TRUE(element);
  EXPECT_FALSE(extend);
  EXPECT_FALSE(other_rule);
}

TEST_F(RuleInstancesTest, SuspendedInstancesAreResumedOneAtATime) {
  AddInstance(1, 1);
  AddInstance(2, 1);
  AddInstance(3, 1, 2);
  Run([](CEMRDataSource* source) { ResumeSuspendedRuleRecord(source, u"P1", u"E1", u"1"); });
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:1 3:1");

  Run([](CEMRDataSource* source) {
    SuspendRuleRecord(source, u"P1", u"E1", u"1", u"1");
    SuspendRuleRecord(source, u"P1", u"E1", u"1", u"2");
    SuspendRuleRecord(source, u"P1", u"E1", u"1", u"3");  // serial 3 is of rule 2
  });
  EXPECT_EQ(Statuses("P1", "E1"), "1:3 2:3 3:1");
  Run([](CEMRDataSource* source) { ResumeSuspendedRuleRecord(source, u"P1", u"E1", u"1"); });
  const std::string statuses = Statuses("P1", "E1");
  EXPECT_TRUE(statuses == "1:1 2:3 3:1" || statuses == "1:3 2:1 3:1") << statuses;
}

TEST_F(RuleInstancesTest, DeletionsTakeTheActiveOrEveryInstanceOfTheRuleOrOfTheRecord) {
  AddInstance(1, 0);
  AddInstance(2, 1);
  AddInstance(3, 2);
  AddInstance(4, 3);
  AddInstance(5, 1, 2);
  const std::u16string any_record = OpenEvent(u"2026-12-01 08:00:00", u"X01");
  Run([&](CEMRDataSource* source) {
    DeleteActiveRuleRecords(source, u"P1", u"E1", u"1", any_record);
  });
  EXPECT_EQ(Statuses("P1", "E1"), "1:0 3:2 5:1");
  Run([&](CEMRDataSource* source) { DeleteRuleRecords(source, u"P1", u"E1", u"1", any_record); });
  EXPECT_EQ(Statuses("P1", "E1"), "5:1");

  // With a record under `extend`, only the instances of that record.
  AddInstance(6, 2, 1, "R6");
  AddInstance(7, 3, 1, "R7");
  AddInstance(8, 1, 1, "R6");
  Run([&](CEMRDataSource* source) {
    DeleteActiveRuleRecords(source, u"P1", u"E1", u"1",
                            CloseEvent(u"2026-12-01 08:00:00", u"R6", u"2"));
  });
  EXPECT_EQ(Statuses("P1", "E1"), "5:1 6:2 7:3");
  Run([&](CEMRDataSource* source) {
    DeleteRuleRecords(source, u"P1", u"E1", u"1", CloseEvent(u"2026-12-01 08:00:00", u"R6", u"2"));
  });
  EXPECT_EQ(Statuses("P1", "E1"), "5:1 7:3");
}

TEST_F(RuleInstancesTest, ARuleIdOrSerialThatIsNoNumberIsRefusedBeforeAnyStatement) {
  AddInstance(1, 1);
  AddInstance(2, 3);
  const std::u16string event = OpenEvent(u"2026-12-01 08:00:00");
  EXPECT_EQ(Run([&](CEMRDataSource* source) {
              DeleteRuleRecords(source, u"P1", u"E1", u"1 OR 1=1", event);
            }),
            u"不是有效的数字: '1 OR 1=1' (rule_id)");
  EXPECT_EQ(Run([](CEMRDataSource* source) {
              SuspendRuleRecord(source, u"P1", u"E1", u"1", u"1 OR SERIAL > 0");
            }),
            u"不是有效的数字: '1 OR SERIAL > 0' (serial)");
  EXPECT_EQ(Run([](CEMRDataSource* source) {
              ResumeSuspendedRuleRecord(source, u"P1", u"E1", u"0) OR (1=1");
            }),
            u"不是有效的数字: '0) OR (1=1' (rule_id)");
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:3");
  // Quotes in the visit's texts are values, not SQL.
  Run([&](CEMRDataSource* source) {
    DeleteRuleRecords(source, u"P1' OR '1'='1", u"E1", u"1", event);
  });
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:3");
}

}  // namespace
}  // namespace korvalis::rules::testing
