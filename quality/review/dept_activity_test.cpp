#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "quality/review/core_system.h"
#include "quality/review/testing/collector_test_support.h"

namespace korvalis::review::testing {
namespace {

using korvalis::testing::kUnreachableDatabase;

// Every key of a saved record with a value of its own, each holding a quote; the two keys
// whose spelling differs from the list's are written as a save reads them.
const std::vector<std::pair<std::string, std::string>> kRecord = {
    {"manager", "张'主任"},
    {"participant", "张三, 李四"},
    {"recorder", "王'五"},
    {"performance_status", "良'好"},
    {"inpatient_num", "46"},
    {"leaver_num", "41"},
    {"income", "1286000"},
    {"inpatient_increase", "4"},
    {"leaver_increase", "2"},
    {"income_increase", "3.5"},
    {"work_amount", "床位使用率 96%"},
    {"ratio_emr_class_a", "92"},
    {"ratio_form_standard", "95"},
    {"ratio_presription_standard", "97"},
    {"ratio_emr_standard", "93"},
    {"ratio_other_indicators", "90"},
    {"institution_execute_status", "按时<完成>"},
    {"patient_satisfaction", "98%"},
    {"medical_tangle_num", "0"},
    {"abrupt_change", "无"},
    {"testing_content", "病历 & 查房"},
    {"quality_analysis", "2份'超时"},
    {"improve_target", "100%"},
    {"result_evalution", "待评价"},
    {"dept_id", "01'01"},
    {"dept_name", "心血管内科"},
    {"recorder_id", "10'02"},
};

std::string Escaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '<')
      escaped += "&lt;";
    else if (c == '&')
      escaped += "&amp;";
    else
      escaped += c;
  }
  return escaped;
}

std::u16string RecordXml(const std::vector<std::pair<std::string, std::string>>& values) {
  std::string xml = "<root>";
  for (const auto& [key, value] : values)
    xml += "<" + key + ">" + Escaped(value) + "</" + key + ">";
  return FromUtf8(xml + "</root>");
}

class DeptActivityTest : public CollectorTest {
 protected:
  // Saves a record of the month's day with the given keys over kRecord's; answers its ID.
  std::string Save(const std::string& create_time,
                   std::vector<std::pair<std::string, std::string>> values = kRecord) {
    values.insert(values.begin(), {"create_time", create_time});
    return ToUtf8(Answer(&CBCoreSystem::SetDeptActivity, RecordXml(values)));
  }
  std::vector<Element> Listed(const std::u16string& condition) {
    return List(&CBCoreSystem::GetDeptActivity, condition);
  }
  // The IDs of the listed records, sorted: the list keeps the database's order.
  std::vector<std::string> ListedIds(const std::u16string& condition) {
    std::vector<std::string> ids = AttributeOfEach(Listed(condition), "id");
    std::sort(ids.begin(), ids.end());
    return ids;
  }
  static std::vector<std::string> Sorted(std::vector<std::string> ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
  }
};

TEST_F(DeptActivityTest, ASavedRecordIsListedWithEveryValueAndItsDate) {
  const std::string id = Save("2026-11-30");
  EXPECT_EQ(id.size(), 36u);
  const std::vector<Element> listed = Listed(u"<root/>");
  ASSERT_EQ(listed.size(), 1u);
  std::map<std::string, std::string> expected = {{"id", id},
                                                 {"create_time", "2026-11-30 00:00:00"}};
  for (const auto& [key, value] : kRecord) {
    expected[key == "ratio_presription_standard" ? "ratio_prescription_standard"
             : key == "result_evalution"         ? "result_evaluation"
                                                 : key] = value;
  }
  EXPECT_EQ(listed.front(), (Element{"item", "", expected}));
  EXPECT_EQ(db_.QueryScalar("SELECT TO_CHAR(CREATE_TIME, 'YYYY-MM-DD HH24:MI:SS') FROM "
                            "PEV_DEPT_ACTIVITY"),
            "2026-11-30 00:00:00");
}

TEST_F(DeptActivityTest, ASaveWithAnIdReplacesItsRowAndANewOneGetsAGuid) {
  const std::string first = Save("2026-10-31");
  const std::string second = Save("2026-11-30");
  EXPECT_NE(first, second);
  std::vector<std::pair<std::string, std::string>> changed = {{"id", first}, {"manager", "新主任"}};
  EXPECT_EQ(Save("2026-10-15", changed), first);
  EXPECT_EQ(db_.Count("PEV_DEPT_ACTIVITY"), 2);
  const std::vector<Element> replaced = Listed(FromUtf8("<root><id>" + first + "</id></root>"));
  ASSERT_EQ(replaced.size(), 1u);
  EXPECT_EQ(replaced.front().attributes.at("manager"), "新主任");
  EXPECT_EQ(replaced.front().attributes.at("create_time"), "2026-10-15 00:00:00");
  EXPECT_EQ(replaced.front().attributes.at("dept_id"), "") << "the whole row is replaced";

  Call(&CBCoreSystem::DelDeptActivity, FromUtf8("<root><id>" + first + "</id></root>"));
  Call(&CBCoreSystem::DelDeptActivity, u"<root><id></id></root>");
  EXPECT_EQ(ListedIds(u"<root/>"), std::vector<std::string>{second});
}

TEST_F(DeptActivityTest, TheTwoKeysAreReadUnderEitherSpelling) {
  const auto saved = [&](const std::vector<std::pair<std::string, std::string>>& values) {
    const std::string id = Save("2026-11-30", values);
    const Element item = Listed(FromUtf8("<root><id>" + id + "</id></root>")).at(0);
    return std::pair(item.attributes.at("ratio_prescription_standard"),
                     item.attributes.at("result_evaluation"));
  };
  EXPECT_EQ(saved({{"ratio_presription_standard", "97"}, {"result_evalution", "好"}}),
            std::pair(std::string("97"), std::string("好")));
  // A listed record sent back.
  EXPECT_EQ(saved({{"ratio_prescription_standard", "96"}, {"result_evaluation", "中"}}),
            std::pair(std::string("96"), std::string("中")));
  // The save's own spelling wins, also when it is empty.
  EXPECT_EQ(saved({{"ratio_presription_standard", "95"},
                   {"ratio_prescription_standard", "1"},
                   {"result_evalution", ""},
                   {"result_evaluation", "差"}}),
            std::pair(std::string("95"), std::string("")));
}

TEST_F(DeptActivityTest, MonthsCoverTheirWholeLastDay) {
  const std::string before = Save("2012-01-31");
  const std::string first_day = Save("2012-02-01");
  const std::string leap_day = Save("2012-02-29");
  const std::string march = Save("2012-03-01");
  db_.Execute("UPDATE PEV_DEPT_ACTIVITY SET CREATE_TIME = CREATE_TIME + 86399/86400 WHERE ID = " +
              schema::SqlText(leap_day));
  EXPECT_EQ(ListedIds(u"<root><create_end_time>2012-02</create_end_time></root>"),
            Sorted({before, first_day, leap_day}));
  EXPECT_EQ(ListedIds(u"<root><create_begin_time>2012-02</create_begin_time>"
                      u"<create_end_time>2012-02</create_end_time></root>"),
            Sorted({first_day, leap_day}));
  EXPECT_EQ(ListedIds(u"<root><create_begin_time>2012-03</create_begin_time></root>"),
            std::vector<std::string>{march});
}

TEST_F(DeptActivityTest, FiltersTakeValuesHoldingQuotes) {
  const std::string id = Save("2026-11-30");
  Save("2026-11-30", {{"manager", "别人"}, {"dept_id", "0102"}});
  for (const char16_t* condition : {
           u"<root><manager>张'主任</manager></root>",
           u"<root><participant>张三, 李四</participant></root>",
           u"<root><recorder>王'五</recorder></root>",
           u"<root><performance_status>良'好</performance_status></root>",
           u"<root><dept_id>01'01</dept_id></root>",
           u"<root><recorder_id>10'02</recorder_id></root>",
       }) {
    EXPECT_EQ(ListedIds(condition), std::vector<std::string>{id}) << ToUtf8(condition);
  }
  EXPECT_TRUE(ListedIds(u"<root><id>x' OR '1'='1</id></root>").empty());
  EXPECT_EQ(ListedIds(u"<root/>").size(), 2u);
}

TEST_F(DeptActivityTest, ABadSaveWritesNothingAndKeepsTheOldRecord) {
  const std::string id = Save("2026-11-30");
  // A date that is not a day, and the list's date form, which the save does not take.
  for (const char* date : {"2026-11-31", "2026-11-30 00:00:00", "11/30/2026"}) {
    EXPECT_EQ(Failure(&CBCoreSystem::SetDeptActivity,
                      FromUtf8("<root><id>" + id + "</id><create_time>" + date +
                               "</create_time><manager>新</manager></root>")),
              kDatabaseErrorMessage)
        << date;
  }
  EXPECT_EQ(
      Failure(&CBCoreSystem::SetDeptActivity, u"<root><manager>新</manager>", kUnreachableDatabase),
      u"解析属性信息错误.");
  EXPECT_EQ(Failure(&CBCoreSystem::DelDeptActivity, u"<root><id>", kUnreachableDatabase),
            u"解析属性信息错误.");
  EXPECT_EQ(Failure(&CBCoreSystem::DelDeptActivity, u"<root/>", kUnreachableDatabase), u"");
  const std::vector<Element> listed = Listed(u"<root/>");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed.front().attributes.at("manager"), "张'主任");
  EXPECT_EQ(listed.front().attributes.at("id"), id);
}

TEST_F(DeptActivityTest, AConditionThatIsNotXmlIsRefused) {
  EXPECT_EQ(Failure(&CBCoreSystem::GetDeptActivity, u"<root><id>1</root>", kUnreachableDatabase),
            u"解析属性信息错误.");
}

}  // namespace
}  // namespace korvalis::review::testing
