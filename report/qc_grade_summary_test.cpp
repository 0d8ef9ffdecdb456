#include "report/qc_grade_summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/testing/list_elements.h"
#include "report/testing/grade_summary_test_util.h"

namespace korvalis::report::testing {
namespace {

using korvalis::testing::Element;
using korvalis::testing::ReadElements;
using Rows = std::vector<std::vector<std::string>>;

// The summaries a list shows, as their identifiers in list order.
std::vector<std::string> ListedIds(const std::u16string& list) {
  std::vector<std::string> ids;
  for (const Element& item : ReadElements(list)) ids.push_back(item.attributes.at("id"));
  return ids;
}

TEST_F(GradeSummaryTest, ModifyingChangesOnlyTheGivenColumnsOfTheSummaryNamedById) {
  AddSummary({.id = "S1", .title = "周总结"});
  AddSummary({.id = "S2", .title = "月总结"});
  const std::string before = "SELECT TITLE, STATUS, REPORT_STATUS FROM PEV_SUMMARY ORDER BY ID";
  const Rows unchanged = db_.Query(before);
  // Only an identifier, or no identifier, runs nothing.
  EXPECT_EQ(Do(&CBQCGradeSummary::ModifySummary, u"<root><id>S1</id></root>"), u"");
  EXPECT_EQ(Do(&CBQCGradeSummary::ModifySummary, u"<root><title>新</title></root>"), u"");
  EXPECT_EQ(db_.Query(before), unchanged);

  EXPECT_EQ(Do(&CBQCGradeSummary::ModifySummary,
               u"<root><id>S1</id><title>O'Hara总结</title><status>0</status>"
               u"<report_status> 2 </report_status><create_date>2026-12-03</create_date>"
               u"<modifior>张三</modifior><template_id>7</template_id></root>"),
            u"");
  EXPECT_EQ(db_.Query("SELECT TITLE, STATUS, REPORT_STATUS, TO_CHAR(CREATE_DATE, 'YYYY-MM-DD'), "
                      "MODIFIOR, TEMPLATE_ID FROM PEV_SUMMARY ORDER BY ID"),
            (Rows{{"O'Hara总结", "0", "2", "2026-12-03", "张三", "7"},
                  {"月总结", "1", "0", "2026-12-01", "", "1"}}));

  // A status that is no number is refused before the statement, with the title given with it.
  EXPECT_EQ(Do(&CBQCGradeSummary::ModifySummary,
               u"<root><id>S2</id><title>x</title><status>1 OR 1=1</status></root>"),
            u"不是有效的数字: '1 OR 1=1' (status)");
  EXPECT_EQ(db_.QueryScalar("SELECT TITLE FROM PEV_SUMMARY WHERE ID = 'S2'"), "月总结");
  EXPECT_EQ(Do(&CBQCGradeSummary::ModifySummary, u"<root><id>"), u"解析属性信息错误.");
}

TEST_F(GradeSummaryTest, ModifyingATemplateNeedsItsIdAndDropsItFromTheListWithAnotherStatus) {
  AddSummaryTemplate(1);
  AddSummaryTemplate(2);
  EXPECT_EQ(Do(&CBQCGradeSummary::ModifySummaryTemplate, u"<root><id>2</id></root>"), u"");
  EXPECT_EQ(Do(&CBQCGradeSummary::ModifySummaryTemplate, u"<root><name>x</name></root>"), u"");
  EXPECT_EQ(db_.Count("PEV_SUMMARY_TEMPLATE", "NAME = 'x'"), 0);

  EXPECT_EQ(Do(&CBQCGradeSummary::ModifySummaryTemplate,
               u"<root><id>2</id><name>终末'总结</name><create_date>2026-12-03 08:00:00"
               u"</create_date><sort_code>009</sort_code><type>3</type><status>0</status></root>"),
            u"");
  EXPECT_EQ(db_.Query("SELECT NAME, CREATE_DATE, SORT_CODE, TYPE, STATUS FROM "
                      "PEV_SUMMARY_TEMPLATE WHERE ID = 2"),
            (Rows{{"终末'总结", "2026-12-03 08:00:00", "009", "3", "0"}}));
  EXPECT_EQ(ListedIds(Answer(&CBQCGradeSummary::GetSummaryTemplateList, u"")),
            (std::vector<std::string>{"1"}));
}

TEST_F(GradeSummaryTest, RemovingDeletesByTheFirstKeyPresentOnly) {
  AddSummary({.id = "S1", .task_id = "T1"});
  AddSummary({.id = "S2", .task_id = "T1"});
  AddSummary({.id = "S3", .task_id = "T2", .report_status = 2});
  AddSummary({.id = "S4", .task_id = "T3", .report_status = 2});
  AddSummary({.id = "S5", .task_id = "T3"});

  EXPECT_EQ(Do(&CBQCGradeSummary::RemoveSummary, u"<root><task_id>T1</task_id><id>S1</id></root>"),
            u"");
  EXPECT_EQ(SummaryIds(), (std::vector<std::string>{"S2", "S3", "S4", "S5"}));
  EXPECT_EQ(Do(&CBQCGradeSummary::RemoveSummary, u"<root><report_status>2</report_status></root>"),
            u"");
  EXPECT_EQ(SummaryIds(), (std::vector<std::string>{"S2", "S5"}));
  // Without any of the keys nothing is deleted; a key that is no number deletes nothing either.
  EXPECT_EQ(Do(&CBQCGradeSummary::RemoveSummary, u"<root><title>总结</title></root>"), u"");
  EXPECT_EQ(Do(&CBQCGradeSummary::RemoveSummary, u""), u"");
  EXPECT_EQ(
      Do(&CBQCGradeSummary::RemoveSummary, u"<root><template_id>1 OR 1=1</template_id></root>"),
      u"不是有效的数字: '1 OR 1=1' (template_id)");
  EXPECT_EQ(SummaryIds(), (std::vector<std::string>{"S2", "S5"}));
  EXPECT_EQ(Do(&CBQCGradeSummary::RemoveSummary, u"<root><task_id>T3</task_id></root>"), u"");
  EXPECT_EQ(SummaryIds(), (std::vector<std::string>{"S2"}));
}

TEST_F(GradeSummaryTest, ANewSummaryReplacesTheOneOfTheSameTitleAndTask) {
  AddSummary({.id = "S1", .title = "周总结", .task_id = "T1"});
  AddSummary({.id = "S2", .title = "周总结", .task_id = "T2"});
  AddSummary({.id = "S3", .title = "", .task_id = "T1"});

  const std::u16string id = Answer(&CBQCGradeSummary::NewSummary,
                                   u"<root><title>周总结</title><task_id>T1</task_id><template_id>"
                                   u"3</template_id><type> 2 </type><creator>杨慧敏</creator>"
                                   u"<creator_id>9002</creator_id><notes>备注</notes>"
                                   u"<dept_id>0101</dept_id></root>");
  ASSERT_EQ(id.size(), 36u);
  EXPECT_EQ(id.find_first_of(u"ABCDEF{}"), std::u16string::npos);
  std::vector<std::string> kept = {"S2", "S3", ToUtf8(id)};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(SummaryIds(), kept);
  EXPECT_EQ(db_.Query("SELECT TITLE, TEMPLATE_ID, CREATE_DATE, CREATOR, CREATOR_ID, STATUS, "
                      "NOTES, TYPE, DEPT_ID, TASK_ID FROM PEV_SUMMARY WHERE ID = '" +
                      ToUtf8(id) + "'"),
            (Rows{{"周总结", "3", "2026-12-07 08:00:00", "杨慧敏", "9002", "1", "备注", "2", "0101",
                   "T1"}}));

  // An empty title matches no summary, the one without a title included.
  const std::u16string untitled =
      Answer(&CBQCGradeSummary::NewSummary,
             u"<root><task_id>T1</task_id><template_id>3</template_id><type>2</type></root>");
  EXPECT_EQ(db_.Count("PEV_SUMMARY"), 4);
  EXPECT_EQ(db_.Count("PEV_SUMMARY", "ID = 'S3'"), 1);

  // A template identifier that is no number is refused before anything is deleted.
  EXPECT_EQ(Answer(&CBQCGradeSummary::NewSummary,
                   u"<root><title>周总结</title><task_id>T2</task_id><template_id>abc"
                   u"</template_id><type>2</type></root>"),
            u"failed: 不是有效的数字: 'abc' (template_id)");
  EXPECT_EQ(db_.Count("PEV_SUMMARY", "ID = 'S2'"), 1);
}

TEST_F(GradeSummaryTest, ATitleWithAQuoteIsStoredAndListed) {
  const std::u16string id = Answer(&CBQCGradeSummary::NewSummary,
                                   u"<root><title>O'Hara's 总结</title><task_id>T'1</task_id>"
                                   u"<template_id>1</template_id><type>1</type></root>");
  const std::vector<Element> listed = ReadElements(
      Answer(&CBQCGradeSummary::GetSummaryList, u"<root><title>O'Hara's 总结</title></root>"));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].attributes.at("id"), ToUtf8(id));
  EXPECT_EQ(listed[0].attributes.at("task_id"), "T'1");
  EXPECT_EQ(ListedIds(Answer(&CBQCGradeSummary::GetSummaryList,
                             u"<root><task_id>T'</task_id>"
                             u"</root>")),
            (std::vector<std::string>{ToUtf8(id)}));
}

TEST_F(GradeSummaryTest, NewTemplatesAreNumberedFromOne) {
  std::u16string first = Answer(&CBQCGradeSummary::NewSummaryTemplate,
                                u"<root><name>环节</name><creator>韩志强</creator><create_date>"
                                u"2026-12-01 09:30:00</create_date><sort_code>002</sort_code>"
                                u"<type>1</type></root>");
  EXPECT_EQ(first, u"1");
  EXPECT_EQ(Answer(&CBQCGradeSummary::NewSummaryTemplate, u"<root><type>2</type></root>"), u"2");
  EXPECT_EQ(Answer(&CBQCGradeSummary::NewSummaryTemplate, u"<root><type>2)--</type></root>"),
            u"failed: 不是有效的数字: '2)--' (type)");
  EXPECT_EQ(db_.Query("SELECT ID, NAME, CREATOR, CREATE_DATE, SORT_CODE, STATUS, TYPE FROM "
                      "PEV_SUMMARY_TEMPLATE ORDER BY ID"),
            (Rows{{"1", "环节", "韩志强", "2026-12-01 09:30:00", "002", "1", "1"},
                  {"2", "", "", "", "", "1", "2"}}));
}

TEST_F(GradeSummaryTest, TheTemplateListIsInSortOrderAndFiltersTheCreatorColumn) {
  AddSummaryTemplate(1, "韩志强", "002");
  AddSummaryTemplate(2, "杨慧敏", "001");
  AddSummaryTemplate(3, "韩志强", "003");
  EXPECT_EQ(ReadElements(Answer(&CBQCGradeSummary::GetSummaryTemplateList,
                                u"<root><creator_id>韩志强</creator_id></root>")),
            (std::vector<Element>{{"item",
                                   "模板1",
                                   {{"id", "1"},
                                    {"creator_id", "韩志强"},
                                    {"create_date", "2026-09-01"},
                                    {"sort_code", "002"},
                                    {"type", "1"}}},
                                  {"item",
                                   "模板3",
                                   {{"id", "3"},
                                    {"creator_id", "韩志强"},
                                    {"create_date", "2026-09-01"},
                                    {"sort_code", "003"},
                                    {"type", "1"}}}}));
  EXPECT_EQ(ListedIds(Answer(&CBQCGradeSummary::GetSummaryTemplateList, u"<root/>")),
            (std::vector<std::string>{"2", "1", "3"}));
  EXPECT_EQ(ListedIds(Answer(&CBQCGradeSummary::GetSummaryTemplateList,
                             u"<root><id> 3 </id><type>1</type></root>")),
            (std::vector<std::string>{"3"}));
  EXPECT_EQ(Answer(&CBQCGradeSummary::GetSummaryTemplateList, u"<root><id>1 OR 1=1</id></root>"),
            u"failed: 不是有效的数字: '1 OR 1=1' (id)");
}

TEST_F(GradeSummaryTest, TheSummaryListMatchesAnyPieceOfTheTaskIdsAndWholeLastDays) {
  AddSummary({.id = "S1", .task_id = "A-T1-x"});
  AddSummary({.id = "S2", .task_id = "T2"});
  AddSummary({.id = "S3", .task_id = "T3"});
  AddSummary({.id = "S4", .status = 0, .task_id = "T1"});
  db_.Execute(
      "UPDATE PEV_SUMMARY SET CREATE_DATE = TO_DATE('2026-12-05 23:30:00', "
      "'YYYY-MM-DD HH24:MI:SS') WHERE ID = 'S2'");

  const auto listed = [&](const std::u16string& condition) {
    std::vector<std::string> ids = ListedIds(Answer(&CBQCGradeSummary::GetSummaryList, condition));
    std::sort(ids.begin(), ids.end());
    return ids;
  };
  EXPECT_EQ(listed(u"<root><task_id>T1;T3</task_id></root>"),
            (std::vector<std::string>{"S1", "S3"}));
  EXPECT_EQ(listed(u""), (std::vector<std::string>{"S1", "S2", "S3"}));
  EXPECT_EQ(listed(u"<root><create_date_beign>2026-12-02</create_date_beign>"
                   u"<create_date_end>2026-12-05</create_date_end></root>"),
            (std::vector<std::string>{"S2"}));
  EXPECT_EQ(listed(u"<root><create_date_end>2026-12-04</create_date_end><type>1</type>"
                   u"<template_id>1</template_id><dept_id>0101</dept_id></root>"),
            (std::vector<std::string>{"S1", "S3"}));
  EXPECT_EQ(Answer(&CBQCGradeSummary::GetSummaryList,
                   u"<root><report_status>0) OR (1=1</report_status></root>"),
            u"failed: 不是有效的数字: '0) OR (1=1' (report_status)");
}

TEST_F(GradeSummaryTest, ContentsAreStoredAsTextAndEmptyOnesGiveNoResult) {
  AddSummary({.id = "S1"});
  AddSummaryTemplate(2);
  // Nothing was ever saved: no result string at all.
  EXPECT_EQ(Answer(&CBQCGradeSummary::GetHtmlContent, u"S1"), u"");
  EXPECT_EQ(Answer(&CBQCGradeSummary::GetXslContent, u"2"), u"");

  const std::u16string html = u"<HTML><BODY><P>总结 \"O'Hara\"</P></BODY></HTML>";
  EXPECT_EQ(Do(&CBQCGradeSummary::SaveContent, u"S1", html), u"");
  EXPECT_EQ(Answer(&CBQCGradeSummary::GetHtmlContent, u"S1"), html);
  SetXsl(2, u"<xsl:stylesheet/>");
  EXPECT_EQ(Answer(&CBQCGradeSummary::GetXslContent, u" 2 "), u"<xsl:stylesheet/>");
  // The BLOB holds the text behind a byte-order mark, without codecs.
  EXPECT_EQ(db_.connection()
                .ReadBlob("SELECT CONTENT2 FROM PEV_SUMMARY_TEMPLATE WHERE ID = 2")
                .bytes.substr(0, 6),
            std::string("\xFF\xFE<\0x\0", 6));

  // An empty identifier touches nothing; an unknown one fails in the BLOB statement.
  EXPECT_EQ(Do(&CBQCGradeSummary::SaveContent, u"", u"<HTML/>"), u"");
  EXPECT_EQ(Do(&CBQCGradeSummary::SaveXslContent, u"", u"<x/>"), u"");
  EXPECT_EQ(Do(&CBQCGradeSummary::SaveContent, u"S9", u"<HTML/>"), kDatabaseErrorMessage);
  EXPECT_EQ(Answer(&CBQCGradeSummary::GetXslContent, u"9"),
            u"failed: " + std::u16string(kDatabaseErrorMessage));
  EXPECT_EQ(Answer(&CBQCGradeSummary::GetXslContent, u"1 OR 1=1"),
            u"failed: 不是有效的数字: '1 OR 1=1' (ID)");
  EXPECT_EQ(Do(&CBQCGradeSummary::SaveXslContent, u"2 OR 1=1", u"<x/>"),
            u"不是有效的数字: '2 OR 1=1' (ID)");
  EXPECT_EQ(Answer(&CBQCGradeSummary::GetHtmlContent, u"S1"), html);
}

TEST_F(GradeSummaryTest, DetailDataSucceedsWithoutAResult) {
  EXPECT_EQ(Answer(&CBQCGradeSummary::GetDetailData, u"<root/>"), u"");
}

}  // namespace
}  // namespace korvalis::report::testing
