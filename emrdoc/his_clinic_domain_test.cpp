// The HIS clinic domain, asked through the system's domain registry with the HIS clinic
// component scripted, and its prescription stylesheet read from the system parameters and the
// record templates of the database.
#include "emrdoc/his_clinic_domain.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "emrdoc/domain_manager.h"
#include "emrdoc/domain_table.h"
#include "emrdoc/testing/domain_lookup.h"
#include "emrdoc/testing/template_fixture.h"
#include "foundation/calls/emr_error.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/xml/xsl_transform.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::ToUtf8;
using korvalis::com::ScopedBstr;
using korvalis::emrdoc::testing::AskKeys;
using korvalis::emrdoc::testing::AskRegistry;
using korvalis::emrdoc::testing::CallSlots;
using korvalis::emrdoc::testing::Indented;
using korvalis::emrdoc::testing::TemplateTest;
using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::FailureOf;
using Keys = std::map<std::u16string, std::u16string>;

constexpr int kGetRegInfo = 9;
constexpr int kGetRecipeInfo = 11;
constexpr int kGetDiagInfo = 12;
constexpr int kGetExamineInfo = 13;

const std::vector<std::u16string> kRecipeKeys = {
    u"his.clinic.recipeinfo.char", u"his.clinic.recipeinfo.table", u"his.clinic.recipeinfo.a",
    u"his.clinic.recipeinfo.b",    u"his.clinic.recipeinfo.c",     u"his.clinic.recipeinfo.d"};

// One prescription of one item, of class E (so that it also fills the short table).
constexpr char16_t kRecipe[] =
    u"<root><recipe class=\"E\"><item sepc=\"250ml\" dose=\"250\" dose_unit=\"ml\" method=\"静滴\" "
    u"freq=\"qd\" daycount=\"3\" total=\"3\" total_unit=\"袋\" price=\"4.2\" charge=\"12.6\">"
    u"0.9%氯化钠注射液</item></recipe></root>";

// A stylesheet that lists the items' names.
constexpr char16_t kStylesheet[] =
    u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    u"<xsl:output method=\"html\"/><xsl:template match=\"/\"><p>处方笺:<xsl:for-each "
    u"select=\"//item\"><xsl:value-of select=\".\"/>;</xsl:for-each></p></xsl:template>"
    u"</xsl:stylesheet>";

class HISClinicDomainTest : public TemplateTest {
 protected:
  HISClinicDomainTest() {
    // Reading the thread's error information clears it: each case starts without any.
    CEMRRemoteError().GetError();
  }

  // Scripts the four answers.
  void AnswerClinic(const std::u16string& registration, const std::u16string& examination,
                    const std::u16string& diagnosis, const std::u16string& recipe) {
    doubles_.Answer(IID_IHISClinicInfo, kGetRegInfo, registration);
    doubles_.Answer(IID_IHISClinicInfo, kGetExamineInfo, examination);
    doubles_.Answer(IID_IHISClinicInfo, kGetDiagInfo, diagnosis);
    doubles_.Answer(IID_IHISClinicInfo, kGetRecipeInfo, recipe);
  }

  // The values of `keys` asked of a new registry.
  Keys AskAll(const std::vector<std::u16string>& keys) {
    CBDomainManager registry(&data_source_);
    return AskKeys(registry, kHisClinicDomainCode, keys);
  }
  std::u16string AskOne(const std::u16string& key) { return AskAll({key})[key]; }

  std::vector<int> ClinicSlots() const { return CallSlots(doubles_, IID_IHISClinicInfo); }

  // Scripts the four answers but for `failing_slot`, which fails with `description`, and
  // expects every key empty, no exception, the calls `slots` and the thread's error `error`.
  void ExpectFailureLeftAsError(int failing_slot, const std::optional<std::u16string>& description,
                                const std::u16string& error, const std::vector<int>& slots) {
    const std::pair<int, std::u16string> answers[] = {
        {kGetRegInfo, u"<reg><caseno>MZ0001</caseno></reg>"},
        {kGetExamineInfo, u"<exam><pulse>76</pulse></exam>"},
        {kGetDiagInfo, u"<diag><d>高血压病</d></diag>"},
        {kGetRecipeInfo, kRecipe}};
    for (const auto& [slot, answer] : answers) {
      if (slot == failing_slot) {
        doubles_.Fail(IID_IHISClinicInfo, slot, E_FAIL, description);
      } else {
        doubles_.Answer(IID_IHISClinicInfo, slot, answer);
      }
    }
    CBDomainManager registry(&data_source_);
    for (const std::u16string key : {u"his.clinic.patient.caseon", u"his.clinic.examine.pulse",
                                     u"his.clinic.diag.name", u"his.clinic.recipeinfo.table"}) {
      EXPECT_EQ(
          FailureOf([&] { EXPECT_EQ(AskRegistry(registry, kHisClinicDomainCode, key), u""); }),
          u"");
    }
    EXPECT_EQ(ClinicSlots(), slots);
    EXPECT_EQ(CEMRRemoteError().GetError(), error);
  }

  // Template 5 carries kStylesheet; the parameter names it.
  void ConfigureStylesheet() {
    AddTemplate({.id = 5});
    SetTemplateContent(5, 4, kStylesheet);
    SetParameter("emr_recipe_text_xsl", "<root><templateid>5</templateid></root>");
  }
};

TEST_F(HISClinicDomainTest, KeysOfTheRegistrationTheExaminationAndTheDiagnoses) {
  const std::u16string registration =
      u"<reg><name>张三</name><caseno>MZ0001</caseno><caseno>MZ0002</caseno></reg>";
  const std::u16string examination =
      u"<exam><temperature>36.8</temperature><pulse>76</pulse><BP>120/80</BP>"
      u"<pulse>78</pulse><weight/></exam>";
  const std::u16string diagnosis = u"<diag><d>高血压病</d><d>2型&lt;糖尿病&gt;</d></diag>";
  const Keys expected = {{u"his.clinic.patient.caseon", u"MZ0001"},
                         {u"his.clinic.patient.caseno", u""},
                         {u"his.clinic.examine.temperature", u"36.8"},
                         {u"his.clinic.examine.pulse", u"78"},  // the later of two
                         {u"his.clinic.examine.Pulse", u""},
                         {u"his.clinic.examine.BP", u"120/80"},
                         {u"his.clinic.examine.bp", u""},
                         {u"his.clinic.examine.weight", u""},
                         // The HIS's text is kept as markup.
                         {u"his.clinic.diag.name", u"高血压病</p>2型<糖尿病></p>"}};
  for (bool indented : {false, true}) {
    auto written = [indented](const std::u16string& text) {
      return indented ? Indented(text) : text;
    };
    AnswerClinic(written(registration), written(examination), written(diagnosis), written(kRecipe));
    std::vector<std::u16string> keys;
    for (const auto& [key, value] : expected) keys.push_back(key);
    EXPECT_EQ(AskAll(keys), expected) << indented;
  }
}

TEST_F(HISClinicDomainTest, AbsentOrEmptyPartsAnswerEmpty) {
  // No `caseno` child of the document element (one deeper does not count); a diagnosis
  // document without children.
  AnswerClinic(u"<reg><visit><caseno>MZ0001</caseno></visit><CaseNo>x</CaseNo></reg>", u"<exam/>",
               u"<diag/>", kRecipe);
  EXPECT_EQ(AskAll({u"his.clinic.patient.caseon", u"his.clinic.diag.name",
                    u"his.clinic.examine.visit", u"his.clinic.recipeinfo.d"}),
            (Keys{{u"his.clinic.patient.caseon", u""},
                  {u"his.clinic.diag.name", u""},
                  {u"his.clinic.examine.visit", u""},
                  {u"his.clinic.recipeinfo.d",
                   u"<table><th class='underline' width='100px' style='font-size:12px;'>项目名称"
                   u"</th><th align='center' class='underline' width='100px' "
                   u"style='font-size:12px;'>数量</th><th class='underline' width='100px' "
                   u"style='font-size:12px;'>单位</th><th class='underline' width='80px' "
                   u"style='font-size:12px;'>单价</th><th class='underline' width='90px' "
                   u"style='font-size:12px;'>实付/元</th><tr><td style='font-size:12px;'>"
                   u"0.9%氯化钠注射液</td><td align='center' style='font-size:12px;'>250</td><td "
                   u"style='font-size:12px;'>ml</td><td style='font-size:12px;'>4.2</td><td "
                   u"style='font-size:12px;'>12.6</td></tr></table>"}}));
}

TEST_F(HISClinicDomainTest, AnswersThatDoNotParse) {
  const std::u16string broken = u"<root><caseno>MZ0001</caseno>";
  // Registration and examination give no keys of their own; the rest is read.
  AnswerClinic(broken, broken, u"<diag><d>高血压病</d></diag>", kRecipe);
  Keys keys = AskAll({u"his.clinic.patient.caseon", u"his.clinic.examine.caseno",
                      u"his.clinic.diag.name", u"his.clinic.recipeinfo.table"});
  EXPECT_EQ(keys[u"his.clinic.patient.caseon"], u"");
  EXPECT_EQ(keys[u"his.clinic.examine.caseno"], u"");
  EXPECT_EQ(keys[u"his.clinic.diag.name"], u"高血压病</p>");
  EXPECT_NE(keys[u"his.clinic.recipeinfo.table"], u"");

  // A diagnosis answer that does not parse ends the reading before the prescriptions.
  AnswerClinic(u"<reg><caseno>MZ0001</caseno></reg>", u"<exam><pulse>76</pulse></exam>", broken,
               kRecipe);
  std::vector<std::u16string> asked = kRecipeKeys;
  asked.insert(asked.end(), {u"his.clinic.patient.caseon", u"his.clinic.examine.pulse",
                             u"his.clinic.diag.name"});
  keys = AskAll(asked);
  EXPECT_EQ(keys[u"his.clinic.patient.caseon"], u"MZ0001");
  EXPECT_EQ(keys[u"his.clinic.examine.pulse"], u"76");
  for (const std::u16string& key : kRecipeKeys) EXPECT_EQ(keys[key], u"") << ToUtf8(key);

  // A prescription answer that does not parse gives no prescription keys.
  AnswerClinic(u"<reg><caseno>MZ0001</caseno></reg>", u"<exam/>", u"<diag/>", broken);
  keys = AskAll(asked);
  EXPECT_EQ(keys[u"his.clinic.patient.caseon"], u"MZ0001");
  for (const std::u16string& key : kRecipeKeys) EXPECT_EQ(keys[key], u"") << ToUtf8(key);
}

TEST_F(HISClinicDomainTest, AllFourCallsAreMadeOnceBeforeAnyAnswerIsRead) {
  AnswerClinic(u"<reg><caseno>MZ0001</caseno></reg>", u"<exam/>", u"<diag/>", kRecipe);
  CBDomainManager registry(&data_source_);
  EXPECT_EQ(AskRegistry(registry, kHisClinicDomainCode, u"his.clinic.nothing"), u"");
  for (const std::u16string& key : kRecipeKeys) {
    AskRegistry(registry, kHisClinicDomainCode, key);
  }
  EXPECT_EQ(AskRegistry(registry, kHisClinicDomainCode, u"his.clinic.patient.caseon"), u"MZ0001");
  EXPECT_EQ(ClinicSlots(),
            (std::vector<int>{kGetDiagInfo, kGetRecipeInfo, kGetExamineInfo, kGetRegInfo}));
  for (const auto& call : doubles_.Calls(IID_IHISClinicInfo)) {
    EXPECT_EQ(call.args, (std::vector<std::u16string>{u"P1", u"E1"}));
  }
  // Another registry asks again.
  EXPECT_EQ(AskOne(u"his.clinic.patient.caseon"), u"MZ0001");
  EXPECT_EQ(ClinicSlots().size(), 8u);
}

TEST_F(HISClinicDomainTest, TheThirdCallFailingIsLeftAsTheThreadsErrorAndNothingIsStored) {
  ExpectFailureLeftAsError(kGetExamineInfo, u"门诊接口超时", u"门诊接口超时",
                           {kGetDiagInfo, kGetRecipeInfo, kGetExamineInfo});
}

TEST_F(HISClinicDomainTest, AFailingCallWithoutErrorInformationLeavesTheUnknownError) {
  ExpectFailureLeftAsError(kGetDiagInfo, std::nullopt, kUnknownSystemError, {kGetDiagInfo});
}

TEST_F(HISClinicDomainTest, TheLastCallFailingDiscardsTheEarlierAnswers) {
  ExpectFailureLeftAsError(kGetRegInfo, u"无挂号", u"无挂号",
                           {kGetDiagInfo, kGetRecipeInfo, kGetExamineInfo, kGetRegInfo});
}

TEST_F(HISClinicDomainTest, AComponentThatCannotBeCreatedIsLeftAsTheThreadsError) {
  AnswerClinic(u"<reg><caseno>MZ0001</caseno></reg>", u"<exam/>", u"<diag/>", kRecipe);
  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_IHISClinicInfo));
  CBDomainManager registry(&data_source_);
  EXPECT_EQ(AskRegistry(registry, kHisClinicDomainCode, u"his.clinic.patient.caseon"), u"");
  EXPECT_EQ(CEMRRemoteError().GetError(), kCreateComponentError);
  // The domain is not read again, also once the component can be created.
  doubles_.Register(SiblingDoubles::DoubleClass(IID_IHISClinicInfo));
  EXPECT_EQ(AskRegistry(registry, kHisClinicDomainCode, u"his.clinic.patient.caseon"), u"");
  EXPECT_TRUE(ClinicSlots().empty());
}

TEST_F(HISClinicDomainTest, NoStylesheetWithoutAParameterOrWithAnEmptyOrNullOne) {
  AnswerClinic(u"<reg/>", u"<exam/>", u"<diag/>", kRecipe);
  const std::u16string tables = AskOne(u"his.clinic.recipeinfo.char");
  EXPECT_TRUE(tables.starts_with(u"<table border='0'")) << ToUtf8(tables);
  EXPECT_TRUE(tables.ends_with(u"12.6</td></tr></table>")) << ToUtf8(tables);
  AddTemplate({.id = 5});
  SetTemplateContent(5, 4, kStylesheet);
  for (const char* value : {"", "NULL"}) {
    SetParameter("emr_recipe_text_xsl", std::string(value));
    EXPECT_EQ(AskOne(u"his.clinic.recipeinfo.char"), tables) << value;
  }
  SetParameter("emr_recipe_text_xsl", std::nullopt);
  EXPECT_EQ(AskOne(u"his.clinic.recipeinfo.char"), tables);
}

TEST_F(HISClinicDomainTest, AStylesheetGivesTheWideTableWhileTheShortTableStillFills) {
  ConfigureStylesheet();
  // The answer as the component wrote it, indented, is what the stylesheet reads.
  const std::u16string recipe = Indented(kRecipe);
  AnswerClinic(u"<reg/>", u"<exam/>", u"<diag/>", recipe);
  ScopedBstr xml(recipe), xsl(kStylesheet), transformed;
  ASSERT_TRUE(XslTransform(xml.get(), xsl.get(), transformed.out()));
  ASSERT_NE(transformed.text().find(u"<p>处方笺:0.9%氯化钠注射液;</p>"), std::u16string::npos)
      << ToUtf8(transformed.text());

  const Keys keys = AskAll(kRecipeKeys);
  EXPECT_EQ(keys.at(u"his.clinic.recipeinfo.char"), transformed.text());
  EXPECT_NE(keys.at(u"his.clinic.recipeinfo.d"), u"");
  EXPECT_NE(keys.at(u"his.clinic.recipeinfo.table"), u"");

  // A template id read as a number: blanks before it, a sign and text after it.
  SetParameter("emr_recipe_text_xsl", "<root><templateid> +5页</templateid><x/></root>");
  EXPECT_EQ(AskOne(u"his.clinic.recipeinfo.char"), transformed.text());
  // Without prescriptions the wide table is empty, the stylesheet's result included.
  AnswerClinic(u"<reg/>", u"<exam/>", u"<diag/>", u"<root/>");
  EXPECT_EQ(AskOne(u"his.clinic.recipeinfo.char"), u"");
}

TEST_F(HISClinicDomainTest, AStylesheetThatCannotBeAppliedLeavesTheTables) {
  AnswerClinic(u"<reg/>", u"<exam/>", u"<diag/>", kRecipe);
  const std::u16string tables = AskOne(u"his.clinic.recipeinfo.char");
  AddTemplate({.id = 5});
  AddTemplate({.id = 6});
  SetTemplateContent(5, 4, u"<xsl:stylesheet version=\"1.0\">");  // does not load
  SetTemplateContent(6, 4, u"");                                  // empty
  for (const char* parameter :
       {"<root><templateid>5</templateid></root>", "<root><templateid>6</templateid></root>",
        "<root><templateid>0</templateid></root>", "<root><templateid>x</templateid></root>",
        "<root/>"}) {
    SetParameter("emr_recipe_text_xsl", std::string(parameter));
    EXPECT_EQ(AskOne(u"his.clinic.recipeinfo.char"), tables) << parameter;
    EXPECT_EQ(CEMRRemoteError().GetError(), kUnknownSystemError) << parameter;
  }
}

TEST_F(HISClinicDomainTest, ABadStylesheetParameterFailsTheLookupAfterTheOtherKeysAreStored) {
  AnswerClinic(u"<reg><caseno>MZ0001</caseno></reg>", u"<exam><pulse>76</pulse></exam>",
               u"<diag><d>高血压病</d></diag>", kRecipe);
  const std::vector<std::pair<std::string, std::u16string>> parameters = {
      {"<root><templateid>5</templateid>", u"无效XML!"},
      {"templateid=5", u"无效XML!"},
      {"<root><templateid>99</templateid></root>", u"获取模版内容压缩参数错误:ID=99"}};
  for (const auto& [parameter, failure] : parameters) {
    SetParameter("emr_recipe_text_xsl", parameter);
    doubles_.ClearCalls();
    CBDomainManager registry(&data_source_);
    EXPECT_EQ(FailureOf([&] { AskRegistry(registry, kHisClinicDomainCode, u"his.clinic.x"); }),
              failure);
    // The keys stored before stay; the domain is not read again.
    EXPECT_EQ(AskRegistry(registry, kHisClinicDomainCode, u"his.clinic.patient.caseon"), u"MZ0001");
    EXPECT_EQ(AskRegistry(registry, kHisClinicDomainCode, u"his.clinic.examine.pulse"), u"76");
    EXPECT_EQ(AskRegistry(registry, kHisClinicDomainCode, u"his.clinic.diag.name"),
              u"高血压病</p>");
    EXPECT_EQ(AskRegistry(registry, kHisClinicDomainCode, u"his.clinic.recipeinfo.table"), u"");
    EXPECT_EQ(ClinicSlots().size(), 4u);
  }
}

}  // namespace
