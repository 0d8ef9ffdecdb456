#include "lookups/record_library.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"

namespace {

using korvalis::FromUtf8;
using korvalis::com::ScopedBstr;
using korvalis::schema::RecordRow;
using korvalis::schema::TestDatabase;
using korvalis::testing::FailureOf;
using korvalis::testing::kUnreachableDatabase;
using korvalis::testing::TestDataSource;

// The children of a result's `root` as (name, text), in document order.
std::vector<std::pair<std::string, std::string>> RootChildren(const std::u16string& text) {
  korvalis::xml::Document document;
  EXPECT_TRUE(document.LoadXml(korvalis::ToUtf8(text))) << korvalis::ToUtf8(text);
  std::vector<std::pair<std::string, std::string>> children;
  if (!document.HasDocumentElement()) return children;
  EXPECT_EQ(document.DocumentElement().Name(), "root");
  for (const korvalis::xml::Node& child : document.DocumentElement().Children()) {
    children.emplace_back(child.Name(), child.Text());
  }
  return children;
}

class RecordLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.AddPatient({.id = "P1"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1"});
  }

  std::string AddRecord(int emr_type, const std::string& create_date, int status = 1,
                        const std::string& patient_id = "P1") {
    return db_.AddRecord({.patient_id = patient_id,
                          .event_no = "E1",
                          .emr_type = emr_type,
                          .create_date = create_date,
                          .status = status});
  }

  TestDatabase db_;
  TestDataSource data_source_{db_.init_string()};
  ScopedBstr patient_{u"P1"};
  ScopedBstr event_{u"E1"};
};

TEST_F(RecordLibraryTest, TypedLookupsFindALiveRecordOfTheirType) {
  const std::string header = AddRecord(1, "2026-01-05 10:00:00");
  const std::string residence = AddRecord(2, "2026-01-05 11:00:00");
  const std::string first_course = AddRecord(8, "2026-01-05 12:00:00");
  AddRecord(8, "2026-01-06 12:00:00", /*status=*/0);  // deleted
  AddRecord(9, "2026-01-06 12:00:00", /*status=*/0);  // deleted, the only one of its type
  AddRecord(5, "2026-01-07 12:00:00", 1, "P2");       // another patient, same visit number

  using Lookup = long (*)(CSingleDataSource*, BSTR, BSTR, BSTR*);
  const std::pair<Lookup, std::string> cases[] = {{GetHeaderEmrId, header},
                                                  {GetResidenceEmrId, residence},
                                                  {GetFirstRecordEmrId, first_course}};
  for (const auto& [lookup, expected] : cases) {
    ScopedBstr id;
    EXPECT_EQ(lookup(&data_source_, patient_.get(), event_.get(), id.out()), 0);
    EXPECT_EQ(id.text(), FromUtf8(expected));
  }
  // No live record of the type: an empty text, not a null one.
  for (int emr_type : {5, 9}) {
    ScopedBstr none;
    EXPECT_EQ(GetEmrIdOfType(&data_source_, patient_.get(), event_.get(), emr_type, none.out()), 0);
    ASSERT_NE(none.get(), nullptr);
    EXPECT_EQ(none.text(), u"");
  }
  // A null result pointer receives nothing and does not fail.
  EXPECT_EQ(GetHeaderEmrId(&data_source_, patient_.get(), event_.get(), nullptr), 0);
}

TEST_F(RecordLibraryTest, TwoLiveHeadersGiveOneOfThemAndTheLatestByCreationDate) {
  const std::string older = AddRecord(1, "2026-01-05 10:00:00");
  const std::string newer = AddRecord(1, "2026-01-08 09:00:00");
  AddRecord(1, "2026-01-09 09:00:00", /*status=*/2);  // a newer one that is not live

  ScopedBstr header;
  GetHeaderEmrId(&data_source_, patient_.get(), event_.get(), header.out());
  EXPECT_TRUE(header.text() == FromUtf8(older) || header.text() == FromUtf8(newer));

  std::u16string latest = u"x";
  EXPECT_EQ(GetLatestEmrIdOfType(&data_source_, patient_.get(), event_.get(), 1, latest), 0);
  EXPECT_EQ(latest, FromUtf8(newer));
}

TEST_F(RecordLibraryTest, LatestOfTypeLeavesTheTargetWhenThereIsNothingToFind) {
  AddRecord(2, "2026-01-05 10:00:00", /*status=*/0);
  std::u16string target = u"x";
  GetLatestEmrIdOfType(&data_source_, patient_.get(), event_.get(), 2, target);
  EXPECT_EQ(target, u"x");

  // A null identifier runs no statement: an unreachable database does not fail the call.
  TestDataSource unreachable(kUnreachableDatabase);
  EXPECT_EQ(FailureOf([&] {
              GetLatestEmrIdOfType(&unreachable, patient_.get(), nullptr, 2, target);
              GetLatestEmrIdOfType(&unreachable, nullptr, event_.get(), 2, target);
            }),
            u"");
  EXPECT_EQ(target, u"x");
  // A zero-length identifier is looked up.
  ScopedBstr empty(u"");
  EXPECT_NE(FailureOf([&] {
              GetLatestEmrIdOfType(&unreachable, patient_.get(), empty.get(), 2, target);
            }),
            u"");
}

TEST_F(RecordLibraryTest, QuotesInIdentifiersAreLookedUpAsThemselves) {
  db_.AddPatient({.id = "O'Neil"});
  const std::string record = AddRecord(1, "2026-01-05 10:00:00", 1, "O'Neil");
  ScopedBstr patient(u"O'Neil");
  ScopedBstr id;
  GetHeaderEmrId(&data_source_, patient.get(), event_.get(), id.out());
  EXPECT_EQ(id.text(), FromUtf8(record));

  ScopedBstr injected(u"x' OR '1'='1");
  ScopedBstr none;
  GetHeaderEmrId(&data_source_, injected.get(), event_.get(), none.out());
  EXPECT_EQ(none.text(), u"");
}

TEST_F(RecordLibraryTest, OnlyAForbidFlagOfExactlyZeroIsAnOpenRecord) {
  const std::pair<std::string, VARIANT_BOOL> cases[] = {
      {"NULL", 1}, {"''", 1}, {"'0'", 0}, {"'2'", 1}, {"' '", 1}};
  for (const auto& [flag, sealed] : cases) {
    SCOPED_TRACE(flag);
    db_.Execute("UPDATE TELV_VISIT_RECORD SET FORBID_FLAG = " + flag + " WHERE EVENT_NO = 'E1'");
    TestDataSource data_source(db_.init_string());  // reads after the update
    VARIANT_BOOL answer = -7;
    EXPECT_EQ(IsRecordSealed(&data_source, patient_.get(), event_.get(), &answer), 0);
    EXPECT_EQ(answer, sealed);
  }
}

TEST_F(RecordLibraryTest, SealOfAVisitWithoutARowFailsNamingTheVisitNumber) {
  ScopedBstr event(u"E404");
  VARIANT_BOOL answer = -7;
  EXPECT_EQ(FailureOf([&] { IsRecordSealed(&data_source_, patient_.get(), event.get(), &answer); }),
            u"找不到指定的病人，病人住院号：E404");
  EXPECT_EQ(answer, -7);
}

class VitalSignsTest : public RecordLibraryTest {
 protected:
  void AddDay(int week, int day, const std::string& pressure) {
    db_.Execute(
        "INSERT INTO TELV_TEMPERATURE_DAY_RECORD (PATIENT_ID, EVENT_NO, WEEK, IN_DAY, "
        "BLOOD_PRESSURE1, HEIGHT, WEIGHT) VALUES ('P1', 'E1', " +
        std::to_string(week) + ", " + std::to_string(day) + ", '" + pressure + "', '172', '65.5')");
  }
  void AddPoint(int week, int day, int point, const std::string& temperature) {
    db_.Execute(
        "INSERT INTO TELV_TEMPERATURE_POINT_RECORD (PATIENT_ID, EVENT_NO, WEEK, IN_DAY, "
        "TIME_POINT, TEMPERATURE, PLUSE, BREATHE) VALUES ('P1', 'E1', " +
        std::to_string(week) + ", " + std::to_string(day) + ", " + std::to_string(point) + ", " +
        temperature + ", " + std::to_string(70 + point) + ", 18)");
  }
  std::u16string VitalSigns() {
    ScopedBstr xml;
    EXPECT_EQ(GetAdmissionVitalSigns(&data_source_, patient_.get(), event_.get(), xml.out()), 0);
    return xml.text();
  }
};

TEST_F(VitalSignsTest, TheFirstPointOfDayOneOfWeekOne) {
  AddDay(1, 1, "120/80");
  AddDay(1, 2, "130/85");
  AddPoint(1, 2, 1, "39.5");
  AddPoint(1, 1, 3, "37.2");
  AddPoint(1, 1, 2, "36.8");
  korvalis::xml::Document document;
  ASSERT_TRUE(document.LoadXml(korvalis::ToUtf8(VitalSigns())));
  const korvalis::xml::Node root = document.DocumentElement();
  ASSERT_EQ(root.ChildCount(), 1u);
  const korvalis::xml::Node tp = root.ChildAt(0);
  EXPECT_EQ(tp.Name(), "tp");
  EXPECT_EQ(tp.Text(), "36.8");
  EXPECT_EQ(
      tp.Attributes(),
      (std::vector<std::pair<std::string, std::string>>{
          {"bp", "120/80"}, {"br", "18"}, {"height", "172"}, {"pl", "72"}, {"weight", "65.5"}}));
}

TEST_F(VitalSignsTest, OnlyLaterDaysGiveAnEmptyRoot) {
  AddDay(1, 2, "130/85");
  AddPoint(1, 2, 1, "39.5");
  AddDay(2, 1, "110/70");
  AddPoint(2, 1, 1, "38.0");
  AddDay(1, 1, "120/80");  // day 1 without a point
  EXPECT_TRUE(RootChildren(VitalSigns()).empty());
}

class CatalogPropertyTest : public RecordLibraryTest {};

TEST_F(CatalogPropertyTest, TwelveKeysInNameOrderWithNullAsEmpty) {
  db_.Execute(
      "INSERT INTO TELV_EMR_CATALOG (ID, CODE, NAME, PARENT_CODE, SYSTEM_FLAG, STATUS, SORT_CODE, "
      "LIMIT_HIGH, LIMIT_LOW, LIMIT_TIME, TIME_REF, NEW_TIP, OWNER_TYPE, BLANKTEMP_FLAG, "
      "MULTIEMR_FLAG) VALUES (70, 'C70', '病程<记录>', '###', 1, 1, 7, 24, 8, 48, 'A01', NULL, "
      "'doctor', '0', '1')");
  ScopedBstr property;
  EXPECT_EQ(GetEmrCatalogProperty(&data_source_, 70, property.out()), 0);
  EXPECT_EQ(RootChildren(property.text()),
            (std::vector<std::pair<std::string, std::string>>{{"blank", "0"},
                                                              {"code", "C70"},
                                                              {"high", "24"},
                                                              {"limit", "48"},
                                                              {"low", "8"},
                                                              {"multiemr", "1"},
                                                              {"name", "病程<记录>"},
                                                              {"owner", "doctor"},
                                                              {"ref", "A01"},
                                                              {"sort", "7"},
                                                              {"system", "1"},
                                                              {"tips", ""}}));
}

TEST_F(CatalogPropertyTest, AMissingCatalogueFailsWithItsStatement) {
  BSTR untouched = nullptr;
  const std::u16string failure =
      FailureOf([&] { GetEmrCatalogProperty(&data_source_, 404, &untouched); });
  EXPECT_EQ(failure.rfind(u"没有找到数据: SELECT CODE, NAME,", 0), 0u) << korvalis::ToUtf8(failure);
  EXPECT_NE(failure.find(u"WHERE ID = 404"), std::u16string::npos);
  EXPECT_EQ(untouched, nullptr);
}

}  // namespace
