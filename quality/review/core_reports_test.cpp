#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "quality/review/core_system.h"
#include "quality/review/testing/collector_test_support.h"

namespace korvalis::review::testing {
namespace {

using korvalis::testing::kUnreachableDatabase;

// One listed report: the texts of its child elements by name.
using Report = std::map<std::string, std::string>;

std::vector<Report> ReadReports(const std::u16string& xml) {
  xml::Document document;
  EXPECT_TRUE(document.LoadXml(ToUtf8(xml))) << ToUtf8(xml);
  std::vector<Report> reports;
  if (!document.HasDocumentElement()) return reports;
  for (const xml::Node& item : document.DocumentElement().Children()) {
    EXPECT_EQ(item.Name(), "item");
    Report& report = reports.emplace_back();
    for (const xml::Node& child : item.Children()) report[child.Name()] = child.Text();
  }
  return reports;
}

class CoreReportTest : public CollectorTest {
 protected:
  // Saves a report; `more` holds further keys. Answers its ID.
  std::string Save(const std::string& name, const std::string& create_time,
                   const std::string& more = "") {
    return ToUtf8(Answer(&CBCoreSystem::SetCoreReport,
                         FromUtf8("<root><name>" + name + "</name><create_time>" + create_time +
                                  "</create_time>" + more + "</root>")));
  }
  std::vector<Report> Listed(const std::u16string& condition) {
    return ReadReports(Answer(&CBCoreSystem::GetCoreReport, condition));
  }
  std::vector<std::string> ListedNames(const std::u16string& condition) {
    std::vector<std::string> names;
    for (const Report& report : Listed(condition)) names.push_back(report.at("name"));
    std::sort(names.begin(), names.end());
    return names;
  }
  // The stored bytes of a content column.
  std::string Stored(const std::string& column, const std::string& id) {
    return db_.connection()
        .ReadBlob("SELECT " + column +
                  " FROM PEV_CORESYSTEM_REPORT WHERE ID = " + schema::SqlText(id))
        .bytes;
  }
};

TEST_F(CoreReportTest, ContentsReadBackUnchanged) {
  const std::string html = "<HTML><BODY><P class=\"a\">核心制度 & 'quotes'</P></BODY></HTML>";
  const std::string id = Save(
      "核心'制度", "2026-12-01 09:00:00",
      "<creator>韩'志强</creator><mender>杨慧敏</mender><modify_time>2026-12-02 16:30:05"
      "</modify_time><note>月度</note><catalog>3</catalog><map_content>图表数据\t一</map_content>"
      "<html_content>" +
          std::string("&lt;HTML&gt;&lt;BODY&gt;&lt;P class=\"a\"&gt;核心制度 &amp; 'quotes'"
                      "&lt;/P&gt;&lt;/BODY&gt;&lt;/HTML&gt;") +
          "</html_content>");
  EXPECT_EQ(Listed(u"<root/>"), (std::vector<Report>{{{"id", id},
                                                      {"name", "核心'制度"},
                                                      {"creator", "韩'志强"},
                                                      {"create_time", "2026-12-01 09:00:00"},
                                                      {"mender", "杨慧敏"},
                                                      {"modify_time", "2026-12-02 16:30:05"},
                                                      {"note", "月度"},
                                                      {"map_content", "图表数据\t一"},
                                                      {"html_content", html}}}));
  // Stored as UTF-16LE behind a byte-order mark, without codecs.
  std::string expected_map = "\xFF\xFE";
  AppendUtf16Le(u"图表数据\t一", expected_map);
  EXPECT_EQ(Stored("MAP_CONTENT", id), expected_map);
  EXPECT_EQ(db_.QueryScalar("SELECT CATALOG FROM PEV_CORESYSTEM_REPORT"), "3");

  // Empty contents read back empty; a stored text ending in a zero character reads without it.
  const std::string empty = Save("空", "2026-12-01 09:00:00");
  std::string with_zero = "\xFF\xFE";
  AppendUtf16Le(std::u16string(u"旧文本") + u'\0', with_zero);
  db_.connection().WriteBlob(
      "SELECT HTML_CONTENT FROM PEV_CORESYSTEM_REPORT WHERE ID = " + schema::SqlText(empty),
      with_zero);
  const std::vector<Report> listed = Listed(FromUtf8("<root><id>" + empty + "</id></root>"));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed.front().at("map_content"), "");
  EXPECT_EQ(listed.front().at("html_content"), "旧文本");
  EXPECT_EQ(listed.front().at("note"), "");

  // A character XML cannot carry is listed as U+FFFD.
  db_.Execute("UPDATE PEV_CORESYSTEM_REPORT SET NOTE = 'a' || CHR(2) || 'b' WHERE ID = " +
              schema::SqlText(empty));
  EXPECT_EQ(Listed(FromUtf8("<root><id>" + empty + "</id></root>")).at(0).at("note"), "a\uFFFDb");
}

TEST_F(CoreReportTest, DaysOfTheFilterCompareWithTheirMidnight) {
  Save("前一天", "2026-11-30 23:59:59", "<modify_time>2026-12-05 00:00:00</modify_time>");
  Save("零点", "2026-12-01 00:00:00", "<modify_time>2026-12-05 00:00:01</modify_time>");
  Save("上午", "2026-12-01 09:00:00");
  EXPECT_EQ(ListedNames(u"<root><create_time_end>2026-12-01</create_time_end></root>"),
            (std::vector<std::string>{"前一天", "零点"}));
  EXPECT_EQ(ListedNames(u"<root><create_time_begin>2026-12-01</create_time_begin></root>"),
            (std::vector<std::string>{"上午", "零点"}));
  EXPECT_EQ(ListedNames(u"<root><modify_time_begin>2026-12-05</modify_time_begin>"
                        u"<modify_time_end>2026-12-05</modify_time_end></root>"),
            std::vector<std::string>{"前一天"});
}

TEST_F(CoreReportTest, FiltersTakeQuotesAndTheCatalogueOnlyAsANumber) {
  Save("甲'报告", "2026-12-01 09:00:00",
       "<creator>韩'志强</creator><mender>杨'慧敏</mender><catalog>3</catalog>");
  Save("乙", "2026-12-01 09:00:00", "<catalog>31</catalog>");
  Save("丙", "2026-12-01 09:00:00");
  for (const char16_t* condition :
       {u"<root><catalog>3</catalog></root>", u"<root><creator>韩'志强</creator></root>",
        u"<root><mender>杨'慧敏</mender></root>", u"<root><name>甲'报告</name></root>"}) {
    EXPECT_EQ(ListedNames(condition), std::vector<std::string>{"甲'报告"}) << ToUtf8(condition);
  }
  EXPECT_TRUE(ListedNames(u"<root><id>x' OR '1'='1</id></root>").empty());
  EXPECT_EQ(ListedNames(u"<root/>").size(), 3u);
  for (const char16_t* catalog : {u"3 OR 1=1", u"3)", u"abc"}) {
    const std::u16string message = Failure(
        &CBCoreSystem::GetCoreReport,
        u"<root><catalog>" + std::u16string(catalog) + u"</catalog></root>", kUnreachableDatabase);
    EXPECT_NE(message.find(u"catalog"), std::u16string::npos) << ToUtf8(message);
    EXPECT_NE(message.find(catalog), std::u16string::npos) << ToUtf8(message);
  }
}

TEST_F(CoreReportTest, ASaveReplacesTheWholeReportOrFailsWithoutTouchingIt) {
  const std::string id = Save("原", "2026-12-01 09:00:00",
                              "<map_content>旧图</map_content><html_content>旧</html_content>");
  EXPECT_EQ(Save("新", "2026-12-02 09:00:00", "<id>" + id + "</id><map_content>新图</map_content>"),
            id);
  std::vector<Report> listed = Listed(u"<root/>");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed.front().at("name"), "新");
  EXPECT_EQ(listed.front().at("map_content"), "新图");
  EXPECT_EQ(listed.front().at("html_content"), "");

  for (const char* more : {"<create_time>2026-12-32 00:00:00</create_time>",
                           "<catalog>3 OR 1=1</catalog>", "<modify_time>明天</modify_time>"}) {
    EXPECT_EQ(Failure(&CBCoreSystem::SetCoreReport,
                      FromUtf8("<root><id>" + id + "</id><name>坏</name>" + more +
                               "<map_content>坏图</map_content></root>")),
              kDatabaseErrorMessage)
        << more;
  }
  EXPECT_EQ(Failure(&CBCoreSystem::SetCoreReport, u"<root><name>", kUnreachableDatabase),
            u"解析属性信息错误.");
  listed = Listed(u"<root/>");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed.front().at("name"), "新");
  EXPECT_EQ(listed.front().at("map_content"), "新图");
}

TEST_F(CoreReportTest, ADeleteNeedsAnId) {
  const std::string id = Save("甲", "2026-12-01 09:00:00");
  Save("乙", "2026-12-01 09:00:00");
  EXPECT_EQ(Failure(&CBCoreSystem::DelCoreReport, u"<root><id></id></root>", kUnreachableDatabase),
            u"");
  Call(&CBCoreSystem::DelCoreReport, FromUtf8("<root><id>" + id + "</id></root>"));
  EXPECT_EQ(ListedNames(u"<root/>"), std::vector<std::string>{"乙"});
  EXPECT_EQ(Failure(&CBCoreSystem::DelCoreReport, u"<root>", kUnreachableDatabase),
            u"解析属性信息错误.");
}

}  // namespace
}  // namespace korvalis::review::testing
