// The temperature domain over the embedded database, asked through the domain registry.
#include <gtest/gtest.h>

#include <string>

#include "emrdoc/domain_manager.h"
#include "emrdoc/testing/domain_lookup.h"
#include "emrdoc/testing/patient_visit_fixture.h"
#include "foundation/calls/emr_exception.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::emrdoc::testing::PatientVisitTest;

constexpr int kTemperatureDomainCode = 12;

class TemperatureDomainTest : public PatientVisitTest {
 protected:
  TemperatureDomainTest() { AddVisit({}); }

  void AddDay(int day) {
    database_.Execute(
        "INSERT INTO TELV_TEMPERATURE_DAY_RECORD (PATIENT_ID, EVENT_NO, WEEK, IN_DAY, "
        "BLOOD_PRESSURE1, HEIGHT, WEIGHT) VALUES ('P1', 'E1', 1, " +
        std::to_string(day) + ", '120/80', '172', '65.5')");
  }
  void AddPoint(int day, int point, const std::string& temperature) {
    database_.Execute(
        "INSERT INTO TELV_TEMPERATURE_POINT_RECORD (PATIENT_ID, EVENT_NO, WEEK, IN_DAY, "
        "TIME_POINT, TEMPERATURE, PLUSE, BREATHE) VALUES ('P1', 'E1', 1, " +
        std::to_string(day) + ", " + std::to_string(point) + ", " + temperature + ", 72, 18)");
  }
  static std::u16string Ask(CBDomainManager& registry, const std::u16string& key) {
    return korvalis::emrdoc::testing::AskRegistry(registry, kTemperatureDomainCode, key);
  }
};

TEST_F(TemperatureDomainTest, SixKeysOfTheFirstChartPoint) {
  AddDay(1);
  AddPoint(1, 2, "37.2");
  AddPoint(1, 1, "36.8");
  auto source = Source();
  CBDomainManager registry(&source);
  EXPECT_EQ(Ask(registry, u"emr.temperature.tp"), u"36.8");
  EXPECT_EQ(Ask(registry, u"emr.temperature.pl"), u"72");
  EXPECT_EQ(Ask(registry, u"emr.temperature.br"), u"18");
  EXPECT_EQ(Ask(registry, u"emr.temperature.bp"), u"120/80");
  EXPECT_EQ(Ask(registry, u"emr.temperature.weight"), u"65.5");
  EXPECT_EQ(Ask(registry, u"emr.temperature.height"), u"172");
  EXPECT_EQ(Ask(registry, u"emr.temperature.other"), u"");
}

TEST_F(TemperatureDomainTest, WithoutAChartPointSixEmptyKeysReadOnce) {
  AddDay(2);
  AddPoint(2, 1, "39.5");
  auto source = Source();
  CBDomainManager registry(&source);
  for (const char16_t* key :
       {u"emr.temperature.tp", u"emr.temperature.pl", u"emr.temperature.br", u"emr.temperature.bp",
        u"emr.temperature.weight", u"emr.temperature.height"}) {
    EXPECT_EQ(Ask(registry, key), u"") << korvalis::ToUtf8(key);
  }
  // Stored once: a point added later is not seen by the same registry.
  AddDay(1);
  AddPoint(1, 1, "36.5");
  EXPECT_EQ(Ask(registry, u"emr.temperature.tp"), u"");
}

TEST_F(TemperatureDomainTest, AFailingLookupReachesTheCaller) {
  database_.Execute("DROP TABLE TELV_TEMPERATURE_POINT_RECORD");
  auto source = Source();
  CBDomainManager registry(&source);
  ScopedBstr patient_id(u"P1"), event_no(u"E1"), key(u"emr.temperature.tp"), value;
  EXPECT_THROW(registry.GetValue(patient_id.get(), event_no.get(), kTemperatureDomainCode,
                                 key.get(), value.out()),
               CEMRException);
}

}  // namespace
