// The diagnosis configuration, its tests and the diagnoses of a visit.
#include "emrdoc/diagnosis_tree.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "emrdoc/std_diagnosis_config.h"
#include "emrdoc/std_doc_types.h"
#include "emrdoc/testing/std_data_set_fixture.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/xml/xml_list.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::emrdoc::DiagnosisConfig;
using korvalis::emrdoc::testing::kDiagnosisConfig;
using korvalis::emrdoc::testing::StdDataSetTest;
using korvalis::testing::FailureOf;

class DiagnosisTreeTest : public StdDataSetTest {
 protected:
  DiagnosisTreeTest() {
    AddDiagnoses();
    AddDataElement("STD_DE_DIAG_UNLISTED", "DS_DIAG");
    const auto node = [&](const char* id, const char* key_type_de) {
      AddNode({.id = id, .ds_id = "DS_DIAG", .key_type_de = key_type_de});
    };
    node("STD_DE_DIAG_NAME|2|2", "STD_DE_DIAG_CLASS|STD_DE_DIAG_SERIAL");
    node("STD_DE_DIAG_OUTCOME|2|治愈", "STD_DE_DIAG_CLASS|STD_DE_OUTCOME_TYPE");
    node("STD_DE_DIAG_OUTCOME|2|死亡", "STD_DE_DIAG_CLASS|STD_DE_OUTCOME_TYPE");
    node("STD_DE_DIAG_NAME|7", "STD_DE_DIAG_CLASS|STD_DE_DIAG_TYPE");       // too few values
    node("STD_DE_DIAG_NAME|2|3|4", "STD_DE_DIAG_CLASS|STD_DE_DIAG_TYPE|");  // too many
    node("STD_DE_DIAG_NAME|8|1", "STD_DE_DIAG_CLASS|");                     // one too many
    node("STD_DE_DIAG_NAME", "");                                           // none listed
    node("STD_DE_DIAG_NAME|9", "STD_DE_DIAG_UNLISTED");
  }

  // The answer of GetDiagnosisTree; "(nothing)" when it writes nothing.
  std::u16string Tree(const std::u16string& node) {
    ScopedBstr id(node), patient(u"P1"), event(u"E1"), answer;
    GetDiagnosisTree(&data_source_, patient.get(), event.get(), id.get(), answer.out());
    return answer.get() == nullptr ? u"(nothing)" : answer.text();
  }

  static bool PartId(const char16_t* id) { return IsDiagnosisPartId(ScopedBstr(id).get()); }
  static bool NameId(const char16_t* id) { return IsDiagnosisNameId(ScopedBstr(id).get()); }
  static bool SerialNode(const char16_t* id) { return IsDiagnosisSerialNode(ScopedBstr(id).get()); }
};

TEST_F(DiagnosisTreeTest, TheTreeOfTheVisitsLiveDiagnosesOfOneClass) {
  const std::u16string tree = Tree(u"STD_DE_DIAG_NAME|2");
  std::vector<std::vector<std::u16string>> diagnoses;
  for (const auto& diag :
       korvalis::ReadListElements(ScopedBstr(tree).get(), u"diag", {u"id", u"parent"})) {
    diagnoses.push_back({diag.text, diag.attributes[0], diag.attributes[1]});
  }
  EXPECT_EQ(diagnoses, (std::vector<std::vector<std::u16string>>{{u"右侧股骨骨折", u"D1", u""},
                                                                 {u"高血压病<3级>", u"D2", u""},
                                                                 {u"骨折术后", u"D3", u"D1"}}));
  // The same through the value of a diagnosis element; a plain element gets a value document.
  EXPECT_EQ(NodeValue(u"STD_DE_DIAG_NAME|2", 0, 1), tree);
  EXPECT_NE(NodeValue(u"STD_DE_DIAG_NAME|2", 0, 0).find(u"<value/>"), std::u16string::npos);
}

TEST_F(DiagnosisTreeTest, ASerialQualifierSelectsOneDiagnosisAsText) {
  EXPECT_EQ(Tree(u"STD_DE_DIAG_NAME|2|1"), u"右侧股骨骨折");
  EXPECT_EQ(Tree(u"STD_DE_DIAG_NAME|2|2"), u"高血压病<3级>");
  EXPECT_TRUE(SerialNode(u"STD_DE_DIAG_NAME|2|1"));
  EXPECT_FALSE(SerialNode(u"STD_DE_DIAG_NAME|2"));
}

TEST_F(DiagnosisTreeTest, AnOutcomeQualifierAnswersTheConfiguredFlag) {
  EXPECT_EQ(Tree(u"STD_DE_DIAG_OUTCOME|2|治愈"), u"√");
  EXPECT_EQ(Tree(u"STD_DE_DIAG_OUTCOME|2|死亡"), u"");
}

TEST_F(DiagnosisTreeTest, QualifierValuesMustMatchTheListedDataElements) {
  for (const char16_t* node : {u"STD_DE_DIAG_NAME|7", u"STD_DE_DIAG_NAME|2|3|4",
                               u"STD_DE_DIAG_NAME|8|1", u"STD_DE_DIAG_NAME"}) {
    EXPECT_EQ(Tree(node), u"(nothing)") << korvalis::ToUtf8(node);
  }
}

TEST_F(DiagnosisTreeTest, ANumberedIdWithoutADefinitionIsNoFailure) {
  // The id a new record's element carries: the data element and the record's serial.
  EXPECT_EQ(Tree(u"STD_DE_DIAG_NAME|3"), u"(nothing)");
  EXPECT_FALSE(SerialNode(u"STD_DE_DIAG_NAME|3"));
  EXPECT_TRUE(PartId(u"STD_DE_DIAG_NAME|3"));
  EXPECT_TRUE(NameId(u"STD_DE_DIAG_NAME|3"));
}

TEST_F(DiagnosisTreeTest, AQualifierMissingFromTheConfigurationFailsAsTheDatabaseReportsIt) {
  korvalis::datasource::testing::EventLogCapture events;
  EXPECT_EQ(FailureOf([&] { Tree(u"STD_DE_DIAG_NAME|9"); }), kDatabaseErrorMessage);
  const auto records = events.Records();
  ASSERT_FALSE(records.empty());
  EXPECT_NE(records.back().text.find(u"AND  = '9'"), std::u16string::npos);
}

TEST_F(DiagnosisTreeTest, TheTestsLookAtTheDataElementOfTheId) {
  EXPECT_TRUE(PartId(u"STD_DE_DIAG_ICD"));
  EXPECT_TRUE(PartId(u"|STD_DE_DIAG_OUTCOME|2"));
  EXPECT_FALSE(PartId(u"STD_DE_DIAG_CLASS"));  // an attribute, not a part
  EXPECT_FALSE(PartId(u"std_de_diag_name"));
  EXPECT_FALSE(PartId(u""));
  EXPECT_FALSE(PartId(u"|"));
  EXPECT_FALSE(IsDiagnosisPartId(nullptr));
  EXPECT_TRUE(NameId(u"STD_DE_DIAG_NAME"));
  EXPECT_FALSE(NameId(u"STD_DE_DIAG_ICD|2"));
  EXPECT_FALSE(NameId(u""));
  EXPECT_FALSE(IsDiagnosisSerialNode(nullptr));
  EXPECT_FALSE(SerialNode(u""));
}

TEST_F(DiagnosisTreeTest, AnUnconfiguredParameterIsReadAgainAtTheNextTest) {
  korvalis::emrdoc::ProcessDiagnosisConfig().Clear();
  SetParameter("system_std_diagnosis", std::nullopt);
  EXPECT_FALSE(PartId(u"STD_DE_DIAG_NAME"));
  EXPECT_FALSE(NameId(u"STD_DE_DIAG_NAME"));
  EXPECT_FALSE(SerialNode(u"STD_DE_DIAG_NAME|2|1"));
  SetParameter("system_std_diagnosis", kDiagnosisConfig);
  EXPECT_TRUE(PartId(u"STD_DE_DIAG_NAME"));
  EXPECT_TRUE(SerialNode(u"STD_DE_DIAG_NAME|2|1"));
  // Once configured, a change of the parameter is not seen.
  SetParameter("system_std_diagnosis", std::nullopt);
  EXPECT_TRUE(PartId(u"STD_DE_DIAG_NAME"));
}

TEST(DiagnosisConfigTest, ParsedColumnsAndIds) {
  const DiagnosisConfig config =
      korvalis::emrdoc::ParseDiagnosisConfig(korvalis::FromUtf8(kDiagnosisConfig));
  EXPECT_EQ(config.PartColumn(u"STD_DE_DIAG_NAME"), u"DIAGNOSIS_NAME");
  EXPECT_EQ(config.PartColumn(u"STD_DE_DIAG_ICD"), u"ICD_CODE");
  EXPECT_EQ(config.PartColumn(u"STD_DE_DIAG_OUTCOME"), u"OUTCOME");
  EXPECT_EQ(config.PartColumn(u"STD_DE_DIAG_TIME"), u"DIAG_TIME");
  EXPECT_EQ(config.AttributeColumn(u"STD_DE_DIAG_CLASS"), u"DIAG_CLASS");
  EXPECT_EQ(config.AttributeColumn(u"STD_DE_DIAG_TYPE"), u"DIAG_TYPE");
  EXPECT_EQ(config.AttributeColumn(u"STD_DE_DIAG_SERIAL"), u"SUB_ID");
  EXPECT_EQ(config.AttributeColumn(u"STD_DE_OUTCOME_TYPE"), u"OUTCOME_TYPE");
  EXPECT_EQ(config.PartColumn(u"STD_DE_DIAG_CLASS"), u"");
  EXPECT_EQ(config.outcome_flag, u"√");
  EXPECT_EQ(config.serial_id, u"STD_DE_DIAG_SERIAL");

  // Missing elements name nothing; an id listed twice keeps the later column.
  const DiagnosisConfig partial = korvalis::emrdoc::ParseDiagnosisConfig(
      u"<root><part><diag_name>X</diag_name><diag_icd>X</diag_icd></part></root>");
  EXPECT_EQ(partial.PartColumn(u"X"), u"ICD_CODE");
  EXPECT_EQ(partial.part_columns.size(), 1u);
  EXPECT_TRUE(partial.attribute_columns.empty());
  EXPECT_FALSE(DiagnosisConfig::Names(partial.serial_id, u""));
  EXPECT_EQ(FailureOf([] { korvalis::emrdoc::ParseDiagnosisConfig(u"<root><part>"); }),
            u"无效XML!");
}

// Eight threads load the process-wide tables at once; all of them use one table.
TEST(StdDataSetStateTest, EightFirstCallsAgreeOnOneTable) {
  korvalis::datasource::testing::ScratchDatabase database;
  database.Run("INSERT INTO TELV_STD_DS (ID, DOC_TYPE, STATUS) VALUES ('DS_R', '1', 1)");
  database.Run(
      "INSERT INTO TELV_STD_PATIENT_INFO_NODE (PATIENT_INFO_NODE_ID, DS_ID) VALUES "
      "('STD_DE_SIGN', 'DS_R')");
  // Committed for the threads' connections, and taken back at the end.
  struct ConfiguredDiagnosis {
    ConfiguredDiagnosis() { Set(std::string("'") + kDiagnosisConfig + "'"); }
    ~ConfiguredDiagnosis() { Set("NULL"); }
    static void Set(const std::string& value) {
      korvalis::datasource::testing::EMRDatabase().Execute(
          "UPDATE TELV_SYS_PARAM SET VALUE = " + value + " WHERE NAME = 'system_std_diagnosis'");
    }
  } configured;

  korvalis::emrdoc::StdDocTypeTable doc_types;
  korvalis::emrdoc::StdDiagnosisConfig diagnosis;
  constexpr int kThreads = 8;
  std::vector<std::shared_ptr<const korvalis::emrdoc::DocTypeMap>> tables(kThreads);
  std::vector<std::shared_ptr<const DiagnosisConfig>> configs(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      korvalis::testing::TestDataSource source(database.init_string());
      tables[i] = doc_types.Load(source);
      configs[i] = diagnosis.Load();
    });
  }
  for (std::thread& thread : threads) thread.join();

  ASSERT_NE(tables[0], nullptr);
  EXPECT_EQ(*tables[0], (korvalis::emrdoc::DocTypeMap{{u"DS_R", u"1"}, {u"STD_DE_SIGN", u"1"}}));
  ASSERT_NE(configs[0], nullptr);
  EXPECT_EQ(configs[0]->name_id, u"STD_DE_DIAG_NAME");
  for (int i = 1; i < kThreads; ++i) {
    EXPECT_EQ(tables[i], tables[0]);
    EXPECT_EQ(configs[i], configs[0]);
  }
}

TEST(StdDataSetStateTest, AnEmptyCatalogueIsReadAgain) {
  korvalis::datasource::testing::ScratchDatabase database;
  korvalis::emrdoc::StdDocTypeTable doc_types;
  korvalis::testing::TestDataSource source(database.init_string());
  EXPECT_FALSE(doc_types.IsDocTypeOne(source, u"DS_R"));
  database.Run("INSERT INTO TELV_STD_DS (ID, DOC_TYPE, STATUS) VALUES ('DS_R', '1', 1)");
  korvalis::testing::TestDataSource later(database.init_string());
  EXPECT_TRUE(doc_types.IsDocTypeOne(later, u"DS_R"));
  // Filled, the table is kept.
  database.Run("UPDATE TELV_STD_DS SET DOC_TYPE = '0'");
  korvalis::testing::TestDataSource last(database.init_string());
  EXPECT_TRUE(doc_types.IsDocTypeOne(last, u"DS_R"));
}

}  // namespace
