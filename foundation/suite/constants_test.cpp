#include "foundation/suite/constants.h"

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <memory>
#include <span>

#include "foundation/text/string_util.h"
#include "platform/text/unicode.h"

namespace korvalis::constants {
namespace {

using xercesc::DOMElement;
using xercesc::DOMNode;

// One parsed element: name, attributes that matter here, text, and children elements.
struct Element {
  std::u16string name, id, notes, text;
  std::vector<Element> children;
};

std::u16string Str(const XMLCh* text) {
  return text == nullptr ? std::u16string() : std::u16string(reinterpret_cast<const char16_t*>(text));
}

Element Convert(const DOMElement* element) {
  Element out;
  out.name = Str(element->getTagName());
  out.id = Str(element->getAttribute(reinterpret_cast<const XMLCh*>(u"id")));
  out.notes = Str(element->getAttribute(reinterpret_cast<const XMLCh*>(u"notes")));
  out.text = Str(element->getTextContent());
  for (DOMElement* child = element->getFirstElementChild(); child != nullptr;
       child = child->getNextElementSibling()) {
    out.children.push_back(Convert(child));
  }
  return out;
}

class ConstantsTest : public ::testing::Test {
 protected:
  // Initialisation is counted by the library; the test never terminates it, so parsers that
  // other tests of this executable started stay usable.
  static void SetUpTestSuite() { xercesc::XMLPlatformUtils::Initialize(); }

  // Parses `document` as real XML; fails the test when it is not well-formed.
  static Element Parse(Text document) {
    const std::string utf8 = ToUtf8(document);
    xercesc::XercesDOMParser parser;
    xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(utf8.data()), utf8.size(),
                                      "constant");
    parser.parse(source);
    EXPECT_EQ(parser.getErrorCount(), 0u);
    const xercesc::DOMDocument* doc = parser.getDocument();
    if (doc == nullptr || doc->getDocumentElement() == nullptr) return {};
    return Convert(doc->getDocumentElement());
  }

  // Checks that the code list holds exactly the "code label, code label" entries given.
  static void ExpectCodeList(Text document, std::u16string_view entries) {
    std::vector<std::u16string> expected;
    SplitString(entries, u", ", expected);
    const Element root = Parse(document);
    EXPECT_EQ(root.name, u"root");
    ASSERT_EQ(root.children.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(root.children[i].name, u"type");
      EXPECT_EQ(root.children[i].id + u" " + root.children[i].text, expected[i]);
    }
  }
};

std::u16string Join(std::span<const Text> values) {
  std::u16string joined;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) joined += u",";
    joined += values[i];
  }
  return joined;
}

TEST_F(ConstantsTest, SuiteSystemListIsExactAndSkipsIdFive) {
  EXPECT_EQ(SuiteSystemList(),
            u"<?xml version = '1.0' ?><root><system id='0' name='dovik'>医生工作站</system>"
            u"<system id='1' name='halnor'>管理工作站</system><system id='2' name='mestrova'>"
            u"病案管理系统</system><system id='3' name='pirundel'>临床质量控制系统</system>"
            u"<system id='4' name='calvet'>护士工作站</system><system id='6' name='sonderlam'>"
            u"科研检索系统</system><system id='7' name='gallimoract'>知识库系统</system></root>");
  const Element root = Parse(SuiteSystemList());
  ASSERT_EQ(root.children.size(), 7u);
  std::u16string ids;
  for (const Element& system : root.children) ids += system.id;
  EXPECT_EQ(ids, u"0123467");
}

TEST_F(ConstantsTest, CodeListsHoldEveryEntryInOrder) {
  ExpectCodeList(kTechnicalTitleList,
                 u"0 未知, 9 实习医生, 10 住院医师, 10.5 住院总医师, 11 主治医师, 12 副主任医师, "
                 u"13 主任医师, 20 护士, 21 护师, 22 主管护师, 23 副主任护师, 24 主任护师, "
                 u"30 病案管理员, 40 科室质控员, 41 质控科质控员, 42 病案室质控员, 43 质控科管理员, "
                 u"50 治疗师, 51 主管治疗师, 52 副主任治疗师, 53 主任治疗师");
  ExpectCodeList(kRecordTypeList,
                 u"0 一般病历, 1 首页, 2 住院病历, 3 常规病程, 4 会诊单, 5 手术记录, 6 体温单, "
                 u"8 首次病程记录, 9 产程图, 10 出院记录, 11 死亡记录, 12 主任查房, 13 副主任查房, "
                 u"14 主治查房, 15 抢救记录, 48 手术记录, 16 术后首次病程记录, 17 手术病程记录, "
                 u"18 主治医师首次查房记录, 19 术前小结, 20 护理记录, 21 危重护理记录, 22 医护记录, "
                 u"23 婴儿护理记录, 30 长期医嘱单, 31 临时医嘱单, 40 随访病历, 41 交班记录, "
                 u"42 接班记录, 43 转出记录, 44 转入记录, 45 24小时内入出院记录, "
                 u"46 24小时内入院死亡记录, 47 再次或者多次住院记录, 49 辅助检查, 50 LIS报告单, "
                 u"60 PACS报告单, 70 死亡讨论记录, 71 阶段小结, 72 麻醉记录, 73 术前讨论记录, "
                 u"80 待产产程, 81 产后记录, 91 分娩记录, 92 申请单");
  ExpectCodeList(kDataDomainTypeList,
                 u"0 基本信息, 1 住院信息, 2 HIS住院诊断, 3 HIS手术, 4 HIS费用, 5 住院病历, "
                 u"6 病案首页, 7 门诊信息, 8 首次病程, 9 系统信息, 11 手术记录, 50 外部系统");
  ExpectCodeList(kDepartmentTypeList,
                 u"1 行政科室, 2 后勤科室, 3 门诊科室, 4 住院科室, 5 药剂科室, 6 医技科室, "
                 u"7 病案室, 9 其他科室");
  ExpectCodeList(kDictionaryTypeList,
                 u"1 国家字典, 2 地区字典, 3 民族字典, 4 ICD字典, 5 手术字典, 6 药品字典, "
                 u"7 职业字典, 8 挂号字典");
  ExpectCodeList(kUserOrDepartmentList, u"1 用户ID, 2 科室ID");
  ExpectCodeList(kRuleExemptionList, u"1 科室不执行, 2 用户可作废");

  const Text blanks_head = u"<?xml version = '1.0' ?><root>";
  for (Text list : {kTechnicalTitleList, kRecordTypeList, kDataDomainTypeList, kDepartmentTypeList,
                    kDictionaryTypeList, kUserOrDepartmentList, kQCUserAndGradeTypes}) {
    EXPECT_TRUE(list.starts_with(blanks_head)) << ToUtf8(list);
    EXPECT_TRUE(list.ends_with(u"</root>"));
  }
  EXPECT_TRUE(kRuleExemptionList.starts_with(u"<?xml version='1.0' ?><root>"));
}

TEST_F(ConstantsTest, QCUserAndGradeTypesFormTwoGroups) {
  const Element root = Parse(kQCUserAndGradeTypes);
  ASSERT_EQ(root.children.size(), 2u);
  const Element& users = root.children[0];
  const Element& grades = root.children[1];
  EXPECT_EQ(users.name + u"|" + users.notes, u"user_type|用户类型");
  EXPECT_EQ(grades.name + u"|" + grades.notes, u"grade_type|评分类型");
  std::u16string seen;
  for (const Element& e : users.children) seen += e.name + e.id + e.text + u";";
  EXPECT_EQ(seen, u"ut1科室质控员;ut2病案室质控;ut3质控科质控;");
  seen.clear();
  for (const Element& e : grades.children) seen += e.name + e.id + e.text + u";";
  EXPECT_EQ(seen, u"gt1普通扣分项;gt2乙级单项否决;gt3丙级单项否决;gt4主观扣分项;");
}

TEST_F(ConstantsTest, OrderTimeConditionsKeepTheirTabsAndBlanks) {
  const std::u16string tabs(11, u'\t');
  auto condition = [&](std::u16string column, std::u16string bound, std::size_t blanks,
                       std::u16string tail) {
    const std::u16string gap = tabs + std::u16string(blanks, u' ');
    return u" AND A." + column + u" BETWEEN " + gap + u"TO_DATE('{$MO_" + bound +
           u"_TIME_LB$}', 'YYYY-MM-DD HH24:MI:SS') AND " + gap + u"TO_DATE('{$MO_" + bound +
           u"_TIME_UB$}', 'YYYY-MM-DD HH24:MI:SS')" + tail;
  };
  ASSERT_EQ(std::size(kOrderTimeConditions), 4u);
  EXPECT_EQ(kOrderTimeConditions[0], condition(u"PRESCRIBE_TIME", u"OPEN", 2, u" "));
  EXPECT_EQ(kOrderTimeConditions[1], condition(u"CHECK_TIME", u"CHECK", 3, u""));
  EXPECT_EQ(kOrderTimeConditions[2], condition(u"START_TIME", u"EXEC", 2, u" "));
  EXPECT_EQ(kOrderTimeConditions[3], condition(u"STOP_TIME", u"STOP", 2, u" "));
  EXPECT_EQ(std::u16string(kToDatePrefix) + u"2009-01-01 00:00:00" + std::u16string(kToDateSuffix),
            u"TO_DATE('2009-01-01 00:00:00', 'YYYY-MM-DD HH24:MI:SS')");
}

TEST_F(ConstantsTest, RunsOfCodesAndLabels) {
  struct Run {
    std::span<const Text> values;
    const char16_t* expected;
  };
  const Run runs[] = {
      {kLeadingCodes, u"0,1,99"},
      {kRecordWorkflowLabels, u"书写,提交,退回,归档,签收,退院,冻结,解封,不限,未知"},
      {kRecordWorkflowCodes, u"-1,0,1,2,3,4,9,10,11,99"},
      {kRecordStatusLabels, u"未知,书写,提交,回退,签收"},
      {kRecordStatusCodes, u"-1,0,1,2,3"},
      {kRecordStatusFollowingCodes, u"0,1,2,4"},
      {kRecordStatusFollowingFlags, u"0,1"},
      {kRollbackKinds, u"主动回退,申请回退"},
      {kRecordCategoryLabels, u"医生,护士,通用"},
      {kRecordCategoryCodes, u"0,1,2"},
      {kUpdateKeys, u"dovik.update,halnor.update,mestrova.update,pirundel.update,calvet.update,"
                    u"fennowick.update,sonderlam.update,gallimoract.update"},
      {kComponentNames, u"pravena,rudh,kesh,wibrol,korvalis,commhis,ombrelhis,tohm"},
      {kComponentFollowingCodes, u"1,2,3,4"},
      {kSystemLabels, u"护士工作站,管理工作站,临床质量控制系统,医生工作站,病案管理系统,科研检索系统,知识库系统"},
      {kSystemIds, u"0,1,2,3,4,5,6,7"},
      {kSystemCodes, u"dovik,calvet,halnor,mestrova,pirundel,fennowick,sonderlam,gallimoract"},
      {kEventCategories, u"A00,C00,N00,R00,O00,E00,V00"},
      {kEventCodes, u"A01,A11,A03,A04,A73,A02,A021,A72,A74,A54,A08,C01,C02,C03,C04,E03,E07,E06,"
                    u"N01,N02,N03,N09,O72,O75,O73,O71,O74,O90,O41,O42,R01,R02,R03,R04,V03,V04,"
                    u"V05,D00"},
      {kEventFollowingCodes1, u"0,1,2,3,4"},
      {kEventFollowingCodes2, u"0,1,2,3"},
      {kEventFollowingCodes3, u"1,2,3"},
      {kEventFollowingCodes4, u"1,2,3"},
      {kGradeLabels, u"甲级,乙级,丙级"},
      {kGradeCodes, u"1,2,3"},
      {kQCScopeLabels, u"全院质控,科室质控,系统扣分"},
      {kQCTaskKindLabels, u"普通,专题,单病种"},
      {kQCStageLabels, u"运行病历质控,终末质控"},
      {kQCRegisterFormLabels, u"运行病历登记表,终末病历登记表"},
      {kGradingStateCodes, u"0,1,2,3"},
      {kGradingStateLabels, u"未评分,进行中,已提交,已完成,完成"},
      {kQCLevelCodes, u"0,1"},
      {kQCLevelLabels, u"全院质控,科室质控"},
      {kPatientStateCodes, u"1,2"},
      {kPatientStateLabels, u"在院,出院"},
      {kStandardCatalogueCodes, u"0,1,2,3,4,5,6"},
      {kStandardCatalogueLabels,
       u"通用标准,运行时病历评分标准,终末病历评分标准,输血病历评分标准,手术预防用药,单病种,护士"},
      {kRectifyNoticeStateCodes, u"0,1,2,3,4"},
      {kRectifyNoticeStateLabels, u"作废,保存未发送,正反馈,负反馈,已确认"},
      {kQueryTemplateKindCodes, u"1,2,3,4,5"},
      {kQueryTemplateKindLabels,
       u"个人查询模板,公用查询模板,运行质控查询模板,核心制度查询模板,我关注病人查询模板"},
      {kSelfGradeFollowingCodes1, u"0,2,3,4"},
      {kSelfGradeFollowingCodes2, u"1,8,9"},
      {kSelfGradeFollowingCodes3, u"1,2"},
      {kOrderClassCodes, u"0,1,2,3,4"},
      {kOrderClassLabels, u"药品类,其他类（饮食）"},
      {kOrderClassFlags, u"0,1"},
      {kEmptyTexts, u",,,,,,,,,"},
      {kEmptyTextFollowingCodes, u"0,1,0000"},
      {kSqlPlaceholders, u"{$PATIENT_ID$},{$EVENT_NO$},{$VISIT_NUMBER$},{$DEPT_ID$},"
                         u"{$MO_QUERY_TIME$},{$MO_QUERY_PAGE$},{$MO_CUSTOM_CONDITION$},"
                         u"{$DEPT_ID$},{$SR_START_TIME$},{$SR_END_TIME$}"},
      {kOrderTimeBounds, u"{$MO_OPEN_TIME_UB$},{$MO_OPEN_TIME_LB$},{$MO_CHECK_TIME_UB$},"
                         u"{$MO_CHECK_TIME_LB$},{$MO_EXEC_TIME_UB$},{$MO_EXEC_TIME_LB$},"
                         u"{$MO_STOP_TIME_UB$},{$MO_STOP_TIME_LB$}"},
      {kIntakeOutputKeys, u"input_name,input_name,input_quantity,inputquantity,input_way,"
                          u"output_name,output_name,output_quantity,outquantity"},
      {kCodesE001ToE016, u"E001,E002,E003,E004,E005,E006,E007,E008,E009,E010,E011,E012,E013,"
                         u"E014,E015,E016"},
      {kTreatmentOutcomeCodes, u"1,2,3,4,5"},
      {kTreatmentOutcomeKeys, u"cure,better,uncure,dead,other"},
      {kFollowUpPeriodKeys, u"follow_week,follow_month,follow_year"},
      {kFollowUpPeriodLabels, u"周,月,年"},
      {kFollowUpFollowingCodes, u"0,1,2,3"},
      {kWatchedItemKindLabels, u"服务,应用程序"},
      {kWatchedItemKindCodes, u"0,1"},
      {kMenuItemKindLabels, u"固定菜单,动态查询模板,报表模板"},
      {kMenuItemKindCodes, u"0,1,2"},
      {kClosingCodes, u"0,1"},
  };
  for (const Run& run : runs) EXPECT_EQ(Join(run.values), run.expected);
  EXPECT_EQ(std::size(kEmptyTexts), 10u);

  EXPECT_EQ(kAccountName, u"TELV_USER");
  EXPECT_EQ(kSpecialCode, u"-10000");
  EXPECT_EQ(kAllGradingStatesCode, u"-1");
  EXPECT_EQ(kAllGradingStatesLabel, u"全部");
  EXPECT_EQ(kSelfGradeLeadingCode, u"0");
  EXPECT_EQ(kSelfGradeTaskId, u"0000-self-grade-0000");
  EXPECT_EQ(kSingleQuoteToken, u"{SINGLE_QUOTES-46f5-82F0-71227B4F1C21}");
  EXPECT_EQ(kDoubleQuoteToken, u"{DOUBLE_QUOTES-46f5-82F0-71227B4F1C21}");
  EXPECT_EQ(kBeginLinePlaceholder, u"{$MO_BEGIN_LINE$}");
  EXPECT_EQ(kEndLinePlaceholder, u"{$MO_END_LINE$}");
  EXPECT_EQ(kRowLimitCondition, u" AND ROWNUM <= {$MO_END_LINE$} ");
  EXPECT_EQ(kFollowUpFollowingCode, u"1");
  EXPECT_EQ(kListSeparator, u";");
  EXPECT_FALSE(kWebAddress.empty());
}

}  // namespace
}  // namespace korvalis::constants
