// The suite's shared vocabulary: code lists, status codes with their labels, the keys and
// names of the sibling applications and components, clinical event codes, quality-control
// labels and the placeholders of SQL templates, and the list of the suite's systems as an XML
// document. Runs of codes and labels keep the order in which the suite defines them.
//
// Code lists are small XML documents: a `root` holding one `type` element per entry, whose
// `id` attribute is the code (a text: "10.5" is a valid code) and whose text is the label.
//
// Thread-safety: every constant is immutable; SuiteSystemList is built once, safely.
#pragma once

#include <string>
#include <string_view>

namespace korvalis::constants {

using Text = std::u16string_view;

// Three codes that open the vocabulary.
inline constexpr Text kLeadingCodes[] = {u"0", u"1", u"99"};

// Technical titles (21 entries); also the identity codes of users.
inline constexpr Text kTechnicalTitleList =
    u"<?xml version = '1.0' ?><root><type id='0'>未知</type>"
    u"<type id='9'>实习医生</type>"
    u"<type id='10'>住院医师</type>"
    u"<type id='10.5'>住院总医师</type>"
    u"<type id='11'>主治医师</type>"
    u"<type id='12'>副主任医师</type>"
    u"<type id='13'>主任医师</type>"
    u"<type id='20'>护士</type>"
    u"<type id='21'>护师</type>"
    u"<type id='22'>主管护师</type>"
    u"<type id='23'>副主任护师</type>"
    u"<type id='24'>主任护师</type>"
    u"<type id='30'>病案管理员</type>"
    u"<type id='40'>科室质控员</type>"
    u"<type id='41'>质控科质控员</type>"
    u"<type id='42'>病案室质控员</type>"
    u"<type id='43'>质控科管理员</type>"
    u"<type id='50'>治疗师</type>"
    u"<type id='51'>主管治疗师</type>"
    u"<type id='52'>副主任治疗师</type>"
    u"<type id='53'>主任治疗师</type>"
    u"</root>";

// Record workflow states: labels, then their codes in the same order.
inline constexpr Text kRecordWorkflowLabels[] = {
    u"书写", u"提交", u"退回", u"归档", u"签收", u"退院", u"冻结", u"解封", u"不限", u"未知"
};

inline constexpr Text kRecordWorkflowCodes[] = {
    u"-1", u"0", u"1", u"2", u"3", u"4", u"9", u"10", u"11", u"99"
};

// Record states: labels, then their codes in the same order.
inline constexpr Text kRecordStatusLabels[] = {u"未知", u"书写", u"提交", u"回退", u"签收"};

inline constexpr Text kRecordStatusCodes[] = {u"-1", u"0", u"1", u"2", u"3"};

// Two runs of codes that follow the record states.
inline constexpr Text kRecordStatusFollowingCodes[] = {u"0", u"1", u"2", u"4"};

inline constexpr Text kRecordStatusFollowingFlags[] = {u"0", u"1"};

// How a record was rolled back: by its writer, or on request.
inline constexpr Text kRollbackKinds[] = {u"主动回退", u"申请回退"};

// Record types (45 entries); 48 stands between 15 and 16 and repeats the label of 5.
inline constexpr Text kRecordTypeList =
    u"<?xml version = '1.0' ?><root><type id='0'>一般病历</type>"
    u"<type id='1'>首页</type>"
    u"<type id='2'>住院病历</type>"
    u"<type id='3'>常规病程</type>"
    u"<type id='4'>会诊单</type>"
    u"<type id='5'>手术记录</type>"
    u"<type id='6'>体温单</type>"
    u"<type id='8'>首次病程记录</type>"
    u"<type id='9'>产程图</type>"
    u"<type id='10'>出院记录</type>"
    u"<type id='11'>死亡记录</type>"
    u"<type id='12'>主任查房</type>"
    u"<type id='13'>副主任查房</type>"
    u"<type id='14'>主治查房</type>"
    u"<type id='15'>抢救记录</type>"
    u"<type id='48'>手术记录</type>"
    u"<type id='16'>术后首次病程记录</type>"
    u"<type id='17'>手术病程记录</type>"
    u"<type id='18'>主治医师首次查房记录</type>"
    u"<type id='19'>术前小结</type>"
    u"<type id='20'>护理记录</type>"
    u"<type id='21'>危重护理记录</type>"
    u"<type id='22'>医护记录</type>"
    u"<type id='23'>婴儿护理记录</type>"
    u"<type id='30'>长期医嘱单</type>"
    u"<type id='31'>临时医嘱单</type>"
    u"<type id='40'>随访病历</type>"
    u"<type id='41'>交班记录</type>"
    u"<type id='42'>接班记录</type>"
    u"<type id='43'>转出记录</type>"
    u"<type id='44'>转入记录</type>"
    u"<type id='45'>24小时内入出院记录</type>"
    u"<type id='46'>24小时内入院死亡记录</type>"
    u"<type id='47'>再次或者多次住院记录</type>"
    u"<type id='49'>辅助检查</type>"
    u"<type id='50'>LIS报告单</type>"
    u"<type id='60'>PACS报告单</type>"
    u"<type id='70'>死亡讨论记录</type>"
    u"<type id='71'>阶段小结</type>"
    u"<type id='72'>麻醉记录</type>"
    u"<type id='73'>术前讨论记录</type>"
    u"<type id='80'>待产产程</type>"
    u"<type id='81'>产后记录</type>"
    u"<type id='91'>分娩记录</type>"
    u"<type id='92'>申请单</type>"
    u"</root>";

// Record categories: doctor, nurse, common; labels, then codes.
inline constexpr Text kRecordCategoryLabels[] = {u"医生", u"护士", u"通用"};

inline constexpr Text kRecordCategoryCodes[] = {u"0", u"1", u"2"};

// Update keys of the suite's applications.
inline constexpr Text kUpdateKeys[] = {
    u"dovik.update", u"halnor.update", u"mestrova.update", u"pirundel.update", u"calvet.update",
    u"fennowick.update", u"sonderlam.update", u"gallimoract.update"
};

// The database account of the system.
inline constexpr Text kAccountName = u"TELV_USER";

// The maker's web address.
inline constexpr Text kWebAddress = u"http://www.korvalis.example/";

// Data-domain types (12 entries).
inline constexpr Text kDataDomainTypeList =
    u"<?xml version = '1.0' ?><root><type id='0'>基本信息</type>"
    u"<type id='1'>住院信息</type>"
    u"<type id='2'>HIS住院诊断</type>"
    u"<type id='3'>HIS手术</type>"
    u"<type id='4'>HIS费用</type>"
    u"<type id='5'>住院病历</type>"
    u"<type id='6'>病案首页</type>"
    u"<type id='7'>门诊信息</type>"
    u"<type id='8'>首次病程</type>"
    u"<type id='9'>系统信息</type>"
    u"<type id='11'>手术记录</type>"
    u"<type id='50'>外部系统</type>"
    u"</root>";

// Department types (8 entries).
inline constexpr Text kDepartmentTypeList =
    u"<?xml version = '1.0' ?><root><type id='1'>行政科室</type>"
    u"<type id='2'>后勤科室</type>"
    u"<type id='3'>门诊科室</type>"
    u"<type id='4'>住院科室</type>"
    u"<type id='5'>药剂科室</type>"
    u"<type id='6'>医技科室</type>"
    u"<type id='7'>病案室</type>"
    u"<type id='9'>其他科室</type>"
    u"</root>";

// Dictionary types (8 entries).
inline constexpr Text kDictionaryTypeList =
    u"<?xml version = '1.0' ?><root><type id='1'>国家字典</type>"
    u"<type id='2'>地区字典</type>"
    u"<type id='3'>民族字典</type>"
    u"<type id='4'>ICD字典</type>"
    u"<type id='5'>手术字典</type>"
    u"<type id='6'>药品字典</type>"
    u"<type id='7'>职业字典</type>"
    u"<type id='8'>挂号字典</type>"
    u"</root>";

// A special code.
inline constexpr Text kSpecialCode = u"-10000";

// Quality-control user types and grade (deduction) types, as two groups of one document.
inline constexpr Text kQCUserAndGradeTypes =
    u"<?xml version = '1.0' ?><root>"
    u"<user_type notes='用户类型'><ut id='1'>科室质控员</ut><ut id='2'>病案室质控</ut>"
    u"<ut id='3'>质控科质控</ut></user_type>"
    u"<grade_type notes='评分类型'><gt id='1'>普通扣分项</gt><gt id='2'>乙级单项否决</gt>"
    u"<gt id='3'>丙级单项否决</gt><gt id='4'>主观扣分项</gt></grade_type></root>";

// Names of the suite's components.
inline constexpr Text kComponentNames[] = {
    u"pravena", u"rudh", u"kesh", u"wibrol", u"korvalis", u"commhis", u"ombrelhis", u"tohm"
};

// Whether an identifier names a user or a department.
inline constexpr Text kUserOrDepartmentList =
    u"<?xml version = '1.0' ?><root><type id='1'>用户ID</type>"
    u"<type id='2'>科室ID</type>"
    u"</root>";

// Codes that follow the component names.
inline constexpr Text kComponentFollowingCodes[] = {u"1", u"2", u"3", u"4"};

// Labels, ids and codes of the suite's systems.
inline constexpr Text kSystemLabels[] = {
    u"护士工作站", u"管理工作站", u"临床质量控制系统", u"医生工作站", u"病案管理系统", u"科研检索系统", u"知识库系统"
};

inline constexpr Text kSystemIds[] = {u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7"};

inline constexpr Text kSystemCodes[] = {
    u"dovik", u"calvet", u"halnor", u"mestrova", u"pirundel", u"fennowick", u"sonderlam",
    u"gallimoract"
};

// Clinical event categories and event codes.
inline constexpr Text kEventCategories[] = {u"A00", u"C00", u"N00", u"R00", u"O00", u"E00", u"V00"};

inline constexpr Text kEventCodes[] = {
    u"A01", u"A11", u"A03", u"A04", u"A73", u"A02", u"A021", u"A72", u"A74", u"A54", u"A08", u"C01",
    u"C02", u"C03", u"C04", u"E03", u"E07", u"E06", u"N01", u"N02", u"N03", u"N09", u"O72", u"O75",
    u"O73", u"O71", u"O74", u"O90", u"O41", u"O42", u"R01", u"R02", u"R03", u"R04", u"V03", u"V04",
    u"V05", u"D00"
};

// Four runs of codes that follow the event codes.
inline constexpr Text kEventFollowingCodes1[] = {u"0", u"1", u"2", u"3", u"4"};

inline constexpr Text kEventFollowingCodes2[] = {u"0", u"1", u"2", u"3"};

inline constexpr Text kEventFollowingCodes3[] = {u"1", u"2", u"3"};

inline constexpr Text kEventFollowingCodes4[] = {u"1", u"2", u"3"};

// Record grades: labels, then codes.
inline constexpr Text kGradeLabels[] = {u"甲级", u"乙级", u"丙级"};

inline constexpr Text kGradeCodes[] = {u"1", u"2", u"3"};

// Quality-control scopes, task kinds, record stages and registration forms.
inline constexpr Text kQCScopeLabels[] = {u"全院质控", u"科室质控", u"系统扣分"};

inline constexpr Text kQCTaskKindLabels[] = {u"普通", u"专题", u"单病种"};

inline constexpr Text kQCStageLabels[] = {u"运行病历质控", u"终末质控"};

inline constexpr Text kQCRegisterFormLabels[] = {u"运行病历登记表", u"终末病历登记表"};

// Grading states: codes, labels, and the code and label that mean every state.
inline constexpr Text kGradingStateCodes[] = {u"0", u"1", u"2", u"3"};

inline constexpr Text kGradingStateLabels[] = {u"未评分", u"进行中", u"已提交", u"已完成", u"完成"};

inline constexpr Text kAllGradingStatesCode = u"-1";
inline constexpr Text kAllGradingStatesLabel = u"全部";

// Quality-control level: codes, then labels.
inline constexpr Text kQCLevelCodes[] = {u"0", u"1"};

inline constexpr Text kQCLevelLabels[] = {u"全院质控", u"科室质控"};

// Patient state: in hospital, discharged.
inline constexpr Text kPatientStateCodes[] = {u"1", u"2"};

inline constexpr Text kPatientStateLabels[] = {u"在院", u"出院"};

// Catalogues of QC standards.
inline constexpr Text kStandardCatalogueCodes[] = {u"0", u"1", u"2", u"3", u"4", u"5", u"6"};

inline constexpr Text kStandardCatalogueLabels[] = {
    u"通用标准", u"运行时病历评分标准", u"终末病历评分标准", u"输血病历评分标准", u"手术预防用药", u"单病种", u"护士"
};

// States of rectification notices.
inline constexpr Text kRectifyNoticeStateCodes[] = {u"0", u"1", u"2", u"3", u"4"};

inline constexpr Text kRectifyNoticeStateLabels[] = {u"作废", u"保存未发送", u"正反馈", u"负反馈", u"已确认"};

// Kinds of query templates.
inline constexpr Text kQueryTemplateKindCodes[] = {u"1", u"2", u"3", u"4", u"5"};

inline constexpr Text kQueryTemplateKindLabels[] = {
    u"个人查询模板", u"公用查询模板", u"运行质控查询模板", u"核心制度查询模板", u"我关注病人查询模板"
};

// A code, the reserved task identifier of self-grades, and three runs of codes.
inline constexpr Text kSelfGradeLeadingCode = u"0";
inline constexpr Text kSelfGradeTaskId = u"0000-self-grade-0000";

inline constexpr Text kSelfGradeFollowingCodes1[] = {u"0", u"2", u"3", u"4"};

inline constexpr Text kSelfGradeFollowingCodes2[] = {u"1", u"8", u"9"};

inline constexpr Text kSelfGradeFollowingCodes3[] = {u"1", u"2"};

// Rule exemptions: the department does not apply the rule, the user may void it.
inline constexpr Text kRuleExemptionList =
    u"<?xml version='1.0' ?><root><type id='1'>科室不执行</type>"
    u"<type id='2'>用户可作废</type>"
    u"</root>";

// Tokens standing for a single and a double quotation mark inside stored or transported text.
inline constexpr Text kSingleQuoteToken = u"{SINGLE_QUOTES-46f5-82F0-71227B4F1C21}";
inline constexpr Text kDoubleQuoteToken = u"{DOUBLE_QUOTES-46f5-82F0-71227B4F1C21}";

// Doctor's-order classes: codes, labels (drugs; other, diet), and two flag codes.
inline constexpr Text kOrderClassCodes[] = {u"0", u"1", u"2", u"3", u"4"};

inline constexpr Text kOrderClassLabels[] = {u"药品类", u"其他类（饮食）"};

inline constexpr Text kOrderClassFlags[] = {u"0", u"1"};

// Ten empty texts, then three codes.
inline constexpr Text kEmptyTexts[] = {u"", u"", u"", u"", u"", u"", u"", u"", u"", u""};

inline constexpr Text kEmptyTextFollowingCodes[] = {u"0", u"1", u"0000"};

// Placeholders of SQL templates: an upper-case name between "{$" and "$}", replaced by a value
// before the text runs. The department placeholder stands twice, as the suite defines it.
inline constexpr Text kSqlPlaceholders[] = {
    u"{$PATIENT_ID$}", u"{$EVENT_NO$}", u"{$VISIT_NUMBER$}", u"{$DEPT_ID$}", u"{$MO_QUERY_TIME$}",
    u"{$MO_QUERY_PAGE$}", u"{$MO_CUSTOM_CONDITION$}", u"{$DEPT_ID$}", u"{$SR_START_TIME$}",
    u"{$SR_END_TIME$}"
};

// The two pieces that turn a text between them into an Oracle date.
inline constexpr Text kToDatePrefix = u"TO_DATE('";
inline constexpr Text kToDateSuffix = u"', 'YYYY-MM-DD HH24:MI:SS')";

// Upper and lower bounds of the doctor's-order times: opened, checked, executed, stopped.
inline constexpr Text kOrderTimeBounds[] = {
    u"{$MO_OPEN_TIME_UB$}", u"{$MO_OPEN_TIME_LB$}", u"{$MO_CHECK_TIME_UB$}",
    u"{$MO_CHECK_TIME_LB$}", u"{$MO_EXEC_TIME_UB$}", u"{$MO_EXEC_TIME_LB$}", u"{$MO_STOP_TIME_UB$}",
    u"{$MO_STOP_TIME_LB$}"
};

// Conditions on the order table (alias A): one time column between its lower and upper bound.
// The runs of tabs and blanks are part of the texts.
inline constexpr Text kOrderTimeConditions[] = {
    u" AND A.PRESCRIBE_TIME BETWEEN "
    u"\t\t\t\t\t\t\t\t\t\t\t"
    u"  TO_DATE('{$MO_OPEN_TIME_LB$}', 'YYYY-MM-DD HH24:MI:SS') AND "
    u"\t\t\t\t\t\t\t\t\t\t\t"
    u"  TO_DATE('{$MO_OPEN_TIME_UB$}', 'YYYY-MM-DD HH24:MI:SS') ",
    u" AND A.CHECK_TIME BETWEEN "
    u"\t\t\t\t\t\t\t\t\t\t\t"
    u"   TO_DATE('{$MO_CHECK_TIME_LB$}', 'YYYY-MM-DD HH24:MI:SS') AND "
    u"\t\t\t\t\t\t\t\t\t\t\t"
    u"   TO_DATE('{$MO_CHECK_TIME_UB$}', 'YYYY-MM-DD HH24:MI:SS')",
    u" AND A.START_TIME BETWEEN "
    u"\t\t\t\t\t\t\t\t\t\t\t"
    u"  TO_DATE('{$MO_EXEC_TIME_LB$}', 'YYYY-MM-DD HH24:MI:SS') AND "
    u"\t\t\t\t\t\t\t\t\t\t\t"
    u"  TO_DATE('{$MO_EXEC_TIME_UB$}', 'YYYY-MM-DD HH24:MI:SS') ",
    u" AND A.STOP_TIME BETWEEN "
    u"\t\t\t\t\t\t\t\t\t\t\t"
    u"  TO_DATE('{$MO_STOP_TIME_LB$}', 'YYYY-MM-DD HH24:MI:SS') AND "
    u"\t\t\t\t\t\t\t\t\t\t\t"
    u"  TO_DATE('{$MO_STOP_TIME_UB$}', 'YYYY-MM-DD HH24:MI:SS') "};

// Paging of doctor's-order queries.
inline constexpr Text kBeginLinePlaceholder = u"{$MO_BEGIN_LINE$}";
inline constexpr Text kEndLinePlaceholder = u"{$MO_END_LINE$}";
inline constexpr Text kRowLimitCondition = u" AND ROWNUM <= {$MO_END_LINE$} ";

// Keys of intake and output records.
inline constexpr Text kIntakeOutputKeys[] = {
    u"input_name", u"input_name", u"input_quantity", u"inputquantity", u"input_way", u"output_name",
    u"output_name", u"output_quantity", u"outquantity"
};

// Codes E001 to E016.
inline constexpr Text kCodesE001ToE016[] = {
    u"E001", u"E002", u"E003", u"E004", u"E005", u"E006", u"E007", u"E008", u"E009", u"E010",
    u"E011", u"E012", u"E013", u"E014", u"E015", u"E016"
};

// Treatment outcomes: codes, then keys.
inline constexpr Text kTreatmentOutcomeCodes[] = {u"1", u"2", u"3", u"4", u"5"};

inline constexpr Text kTreatmentOutcomeKeys[] = {u"cure", u"better", u"uncure", u"dead", u"other"};

// Follow-up periods: keys, then labels (week, month, year).
inline constexpr Text kFollowUpPeriodKeys[] = {u"follow_week", u"follow_month", u"follow_year"};

inline constexpr Text kFollowUpPeriodLabels[] = {u"周", u"月", u"年"};

// A code, then a run of codes.
inline constexpr Text kFollowUpFollowingCode = u"1";

inline constexpr Text kFollowUpFollowingCodes[] = {u"0", u"1", u"2", u"3"};

// Kinds of items the service monitor watches: services and programs; labels, then codes.
inline constexpr Text kWatchedItemKindLabels[] = {u"服务", u"应用程序"};

inline constexpr Text kWatchedItemKindCodes[] = {u"0", u"1"};

// Kinds of menu items: labels, then codes.
inline constexpr Text kMenuItemKindLabels[] = {u"固定菜单", u"动态查询模板", u"报表模板"};

inline constexpr Text kMenuItemKindCodes[] = {u"0", u"1", u"2"};

// Two closing codes.
inline constexpr Text kClosingCodes[] = {u"0", u"1"};

// The separator of lists.
inline constexpr Text kListSeparator = u";";

// One system of the suite: its id, its code and its label.
struct SuiteSystem {
  Text id;
  Text code;
  Text label;
};

// The systems in the list, in its order (id 5 is not listed).
inline constexpr SuiteSystem kSuiteSystems[] = {
    {u"0", u"dovik", u"医生工作站"},       {u"1", u"halnor", u"管理工作站"},
    {u"2", u"mestrova", u"病案管理系统"},  {u"3", u"pirundel", u"临床质量控制系统"},
    {u"4", u"calvet", u"护士工作站"},      {u"6", u"sonderlam", u"科研检索系统"},
    {u"7", u"gallimoract", u"知识库系统"},
};

// The list of suite systems as an XML document: a `root` of `system` elements, each with the
// attributes `id` and `name` (the code) and the label as text. Built once, on first use.
const std::u16string& SuiteSystemList();

}  // namespace korvalis::constants
