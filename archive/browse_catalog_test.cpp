// The browse catalogue of a visit, with its special nursing charts and returned catalogues, and
// the root catalogues.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/testing/record_access_test_util.h"
#include "foundation/testing/list_elements.h"

namespace korvalis::archive::testing {
namespace {

using korvalis::testing::Element;
using korvalis::testing::ReadElements;

// A catalogue entry of a visit's browse catalogue.
Element Entry(const std::string& name, int id, const std::string& code, int sort,
              const std::string& serial = "0") {
  return {"catalog",
          name,
          {{"id", std::to_string(id)},
           {"code", code},
           {"serial", serial},
           {"sort_code", std::to_string(sort)}}};
}

class BrowseCatalogTest : public RecordAccessTest {
 protected:
  BrowseCatalogTest() {
    AddBrowseCatalog({.id = 1, .code = "001", .sort = 2, .name = "入院记录"});
    AddBrowseCatalog({.id = 2, .code = "001001", .parent = "001", .sort = 5});
    AddBrowseCatalog({.id = 3, .code = "002", .sort = 1, .name = "病程记录"});
    AddBrowseCatalog({.id = 4, .code = "003", .system_flag = 0, .sort = 3});
    AddBrowseCatalog({.id = 5, .code = "004", .sort = 4});
    AddBrowseCatalog({.id = 6, .code = "005", .sort = 6, .status = 0});
    AddBrowseCatalog({.id = 12, .code = "008", .sort = 8, .name = "体温单"});
    AddBrowseCatalog({.id = 13, .code = "009", .sort = 9, .name = "婴儿体温单"});
    AddBrowseCatalog({.id = 14, .code = "010", .sort = 10, .name = "产程图"});
    // A record below 001, one in a root catalogue that is no system catalogue, a deleted one.
    AddRecordWithContent("R2", 2, u"<P>R2</P>");
    AddRecordWithContent("R4", 4, u"<P>R4</P>");
    AddRecordWithContent("R5", 5, u"<P>R5</P>", "00001", 0);
    // The chart templates: 11 adult, 12 baby, 13 birth process.
    for (const auto& [template_id, catalog] : {std::pair{11, 12}, {12, 13}, {13, 14}}) {
      AddTemplate({.id = template_id});
      Run("UPDATE TELV_EMR_TEMPLATE SET CATALOG_ID = " + std::to_string(catalog) +
          " WHERE ID = " + std::to_string(template_id));
    }
  }

  void SetCharts(const std::string& temperature, const std::string& birth) {
    SetParameter("temperature_record_property", temperature);
    SetParameter("birth_process_property", birth);
  }
  void AddAdultWeek(int week) {
    Run("INSERT INTO TELV_TEMPERATURE_WEEK_EMR (PATIENT_ID, EVENT_NO, WEEK, EMR_ID) VALUES "
        "('P1', 'E1', " +
        std::to_string(week) + ", '###')");
  }
  void AddBabyWeek(int week, int baby) {
    Run("INSERT INTO TELV_BABYTP_WEEK_EMR (PATIENT_ID, EVENT_NO, WEEK, SERIAL_NO, EMR_ID) VALUES "
        "('P1', 'E1', " +
        std::to_string(week) + ", " + std::to_string(baby) + ", '###')");
  }
  void AddBirthProcess() {
    Run("INSERT INTO TELV_BIRTHPROCESS_EMR (PATIENT_ID, EVENT_NO, EMR_ID) VALUES "
        "('P1', 'E1', '###')");
  }

  std::u16string CatalogText(BSTR patient, BSTR event) {
    return Answer(
        [&](BSTR* out) { CBEMRLibrary::GetBrowserCatalog(&data_source_, patient, event, out); });
  }
  std::vector<Element> Catalog(const std::u16string& patient = u"P1",
                               const std::u16string& event = u"E1") {
    com::ScopedBstr patient_id(patient), event_no(event);
    return ReadElements(CatalogText(patient_id.get(), event_no.get()));
  }

  const Element kAdmission = Entry("入院记录", 1, "001", 2);
};

TEST_F(BrowseCatalogTest, RootSystemCatalogsHoldingLiveRecordsOfTheVisit) {
  EXPECT_EQ(Catalog(), std::vector<Element>{kAdmission});
  AddRecordWithContent("R3", 3, u"<P>R3</P>");
  AddRecordWithContent("R3b", 3, u"<P>R3b</P>", "00002");
  EXPECT_EQ(Catalog(), (std::vector<Element>{Entry("病程记录", 3, "002", 1), kAdmission}));
  // Charts are not listed without their parameters, nor with templates that do not exist or
  // parameters that are no property documents.
  AddAdultWeek(1);
  AddBirthProcess();
  const std::vector<Element> without_charts = Catalog();
  for (const auto& [temperature, birth] :
       {std::pair<std::string, std::string>{"", ""},
        {"<root><template>91</template><babytp>12</babytp></root>",
         "<root><template>13</template>"
         "</root>"},
        {"<root><template>", "<root><template>92</template></root>"}}) {
    SetCharts(temperature, birth);
    EXPECT_EQ(Catalog(), without_charts) << temperature;
  }
}

TEST_F(BrowseCatalogTest, TheNursingChartsJoinTheListOnceTheirFirstWeekExists) {
  SetCharts("<root><template>11</template><babytp>12</babytp></root>",
            "<root><template>13</template></root>");
  AddAdultWeek(2);
  AddBabyWeek(2, 1);
  AddBabyWeek(1, 2);
  EXPECT_EQ(Catalog(), std::vector<Element>{kAdmission});

  // The baby chart stands under the adult catalogue's name, with serial 1 and its own sort.
  AddBabyWeek(1, 1);
  const Element adult = Entry("体温单", 12, "008", 8);
  const Element baby = Entry("体温单", 12, "008", 9, "1");
  const Element birth = Entry("产程图", 14, "010", 10);
  EXPECT_EQ(Catalog(), (std::vector<Element>{kAdmission, baby}));
  AddAdultWeek(1);
  AddBirthProcess();
  EXPECT_EQ(Catalog(), (std::vector<Element>{kAdmission, adult, baby, birth}));

  // Without an adult template the baby chart has no row to stand under.
  SetCharts("<root><babytp>12</babytp></root>", "<root><template>13</template></root>");
  EXPECT_EQ(Catalog(), (std::vector<Element>{kAdmission, birth}));
  // Of two templates sharing a catalogue the later kind holds it.
  Run("UPDATE TELV_EMR_TEMPLATE SET CATALOG_ID = 12 WHERE ID = 13");
  SetCharts("<root><template>11</template></root>", "<root><template>13</template></root>");
  EXPECT_EQ(Catalog(), (std::vector<Element>{kAdmission, Entry("体温单", 12, "008", 8)}));
  Run("DELETE FROM TELV_BIRTHPROCESS_EMR");
  EXPECT_EQ(Catalog(), std::vector<Element>{kAdmission});
}

TEST_F(BrowseCatalogTest, AReturnedRecordListsItsReturnedSystemCatalogsAlone) {
  SetCharts("<root><template>11</template></root>", "");
  AddAdultWeek(1);
  const auto add_returned = [&](int catalog) {
    Run("INSERT INTO TELV_PATIENT_ROLLBACK_DETAIL (PATIENT_ID, EVENT_NO, CATALOG_ID) VALUES "
        "('P1', 'E1', " +
        std::to_string(catalog) + ")");
  };
  for (int catalog : {5, 2, 4, 2, 6}) add_returned(catalog);
  // Only a visit whose record status is 2 counts as returned.
  const std::vector<Element> live = {kAdmission, Entry("体温单", 12, "008", 8)};
  EXPECT_EQ(Catalog(), live);
  Run("UPDATE TELV_VISIT_RECORD SET EMR_STATUS = 2");
  EXPECT_EQ(Catalog(),
            (std::vector<Element>{Entry("类别5", 5, "004", 4), Entry("类别2", 2, "001001", 5),
                                  Entry("类别6", 6, "005", 6)}));
  Run("DELETE FROM TELV_PATIENT_ROLLBACK_DETAIL");
  EXPECT_EQ(Catalog(), live);
}

TEST_F(BrowseCatalogTest, SealedAndMissingVisits) {
  SetSealFlag("1");
  com::ScopedBstr patient(u"P1"), event(u"E1");
  EXPECT_EQ(CatalogText(patient.get(), event.get()), u"<?xml version='1.0'?><root></root>");
  com::ScopedBstr other(u"E9"), empty(u"");
  EXPECT_EQ(CatalogText(patient.get(), other.get()), u"!找不到指定的病人，病人住院号：E9");
  // Empty strings, and one null argument, name a visit.
  EXPECT_EQ(CatalogText(empty.get(), empty.get()), u"!找不到指定的病人，病人住院号：");
  EXPECT_EQ(CatalogText(nullptr, event.get()), u"!找不到指定的病人，病人住院号：E1");
}

TEST_F(BrowseCatalogTest, NullArgumentsListTheLiveRootCatalogs) {
  const auto root = [](const std::string& name, int id, const std::string& code, int children,
                       int system, int sort) {
    return Element{"catalog",
                   name,
                   {{"id", std::to_string(id)},
                    {"code", code},
                    {"children", std::to_string(children)},
                    {"system", std::to_string(system)},
                    {"sort_code", std::to_string(sort)}}};
  };
  AddBrowseCatalog({.id = 7, .code = "001002", .parent = "001", .sort = 7, .status = 0});
  EXPECT_EQ(ReadElements(CatalogText(nullptr, nullptr)),
            (std::vector<Element>{
                root("病程记录", 3, "002", 0, 1, 1), root("入院记录", 1, "001", 1, 1, 2),
                root("类别4", 4, "003", 0, 0, 3), root("类别5", 5, "004", 0, 1, 4),
                root("体温单", 12, "008", 0, 1, 8), root("婴儿体温单", 13, "009", 0, 1, 9),
                root("产程图", 14, "010", 0, 1, 10)}));
}

}  // namespace
}  // namespace korvalis::archive::testing
