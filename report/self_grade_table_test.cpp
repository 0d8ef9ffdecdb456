#include "report/self_grade_table.h"

#include <gtest/gtest.h>

#include <string>

#include "emrdoc/testing/template_fixture.h"
#include "platform/text/unicode.h"
#include "platform/xml/testing/entity_bombs.h"
#include "report/qc_grade_summary.h"

namespace korvalis::emrdoc::testing {
namespace {

// A form with the marked cells of "total", the catalogue nodes a and b, and the header values.
constexpr char16_t kForm[] =
    u"<HTML><BODY>"
    u"<SPAN name=total value=deduct>-</SPAN><SPAN name=total value=score>100</SPAN>"
    u"<DIV name=total value=detail>old</DIV><SPAN name=total_main_grade value=deduct>-</SPAN>"
    u"<SPAN name=a value=deduct>-</SPAN><SPAN name=a value=score>20</SPAN>"
    u"<DIV name=a value=detail></DIV><SPAN name=a value=Deduct>kept</SPAN>"
    u"<SPAN name=a>no value</SPAN><SPAN name=b value=deduct>-</SPAN>"
    u"<SPAN name=b value=score></SPAN><SPAN name=\"\" value=deduct>unnamed</SPAN>"
    u"<SPAN id=class>-</SPAN><SPAN id=b_veto_count>-</SPAN><SPAN id=c_veto_count>-</SPAN>"
    u"<DIV id=veto_detail>-</DIV></BODY></HTML>";

class SelfGradeTableTest : public TemplateTest {
 protected:
  SelfGradeTableTest() {
    AddTemplate({.id = 7, .emr_type = 0});
    SetTemplateContent(7, 1, kForm);
  }

  // The filled form of the visit P1/E1 for `items` (the condition's item elements) and class,
  // loaded again so that cells can be read by name and id.
  void Fill(const std::u16string& items, const std::u16string& grade_class = u"1") {
    com::ScopedBstr condition(u"<root><patient_id>P1</patient_id><event_no>E1</event_no><class>" +
                              grade_class + u"</class>" + items + u"</root>"),
        html;
    CBQCGradeSummary::GenerateSelfGradeTable(&data_source_, condition.get(), 7, html.out());
    form_.Load(std::u16string(BstrView(html.get())));
  }
  // The inner HTML of the index-th element named `name`, and of the element of id `id`.
  std::u16string Named(const char16_t* name, size_t index = 0) {
    return form_.GetElementsByName(name).at(index)->InnerHtml();
  }
  std::u16string ById(const char16_t* id) { return form_.GetElementById(id)->InnerHtml(); }

  html::Document form_;
};

TEST(TrimDecimalZerosTest, DropsTheFractionsTrailingZerosAndABarePoint) {
  for (const auto& [text, trimmed] :
       std::vector<std::pair<std::u16string, std::u16string>>{{u"2.500000", u"2.5"},
                                                              {u"10.000000", u"10"},
                                                              {u"0.000000", u"0"},
                                                              {u"1.050000", u"1.05"},
                                                              {u"100", u"100"},
                                                              {u"1.000001", u"1.000001"},
                                                              {u"-3.250000", u"-3.25"},
                                                              {u"0", u"0"},
                                                              {u"", u""}}) {
    std::u16string shortened = text;
    TrimDecimalZeros(shortened);
    EXPECT_EQ(shortened, trimmed) << ToUtf8(text);
  }
}

TEST_F(SelfGradeTableTest, WithoutItemsOnlyTheHeaderCellsAreSet) {
  Fill(u"", u"3");
  EXPECT_EQ(Named(u"total"), u"-");
  EXPECT_EQ(Named(u"total", 2), u"old");
  EXPECT_EQ(ById(u"class"), u"丙级");
  EXPECT_EQ(ById(u"b_veto_count"), u"0");
  EXPECT_EQ(ById(u"c_veto_count"), u"0");
  EXPECT_EQ(ById(u"veto_detail"), u"");
}

TEST_F(SelfGradeTableTest, DeductionsAddUpAlongTheirPathsAndIntoTheTotals) {
  Fill(
      u"<item parents_id='a/b' deduct=' 2.5' veto='2' main_grade_flag='1'>写<B>晚</B>了</item>"
      u"<list><item parents_id='a/b' deduct='1' veto='3'>缺签名</item></list>",
      u"2");
  EXPECT_EQ(Named(u"total"), u"3.5");
  EXPECT_EQ(Named(u"total", 1), u"96.5");
  EXPECT_EQ(Named(u"total", 2), u"");  // "total" has no paragraphs
  EXPECT_EQ(Named(u"total_main_grade"), u"2.5");
  EXPECT_EQ(Named(u"a"), u"3.5");
  EXPECT_EQ(Named(u"a", 1), u"16.5");
  EXPECT_EQ(Named(u"a", 2), u"<P>写晚了</P><P>缺签名</P>");
  EXPECT_EQ(Named(u"a", 3), u"kept");  // "Deduct" is not "deduct"
  EXPECT_EQ(Named(u"a", 4), u"no value");
  EXPECT_EQ(Named(u"b"), u"3.5");
  EXPECT_EQ(Named(u"b", 1), u"");  // an empty score stays empty
  EXPECT_EQ(ById(u"class"), u"乙级");
  EXPECT_EQ(ById(u"b_veto_count"), u"1");
  EXPECT_EQ(ById(u"c_veto_count"), u"1");
  EXPECT_EQ(ById(u"veto_detail"), u"<P>写晚了</P><P>缺签名</P>");
}

TEST_F(SelfGradeTableTest, PathsSkipALeadingSeparatorAndAnEmptyKeyNamesNothing) {
  Fill(
      u"<item parents_id='/a' deduct='2' veto='1'>x</item>"
      u"<item parents_id='b//a' deduct='abc' veto=''>y</item>");
  EXPECT_EQ(Named(u"a"), u"2");
  EXPECT_EQ(Named(u"a", 2), u"<P>x</P><P>y</P>");
  EXPECT_EQ(Named(u"b"), u"0");
  EXPECT_EQ(Named(u""), u"unnamed");
  EXPECT_EQ(ById(u"class"), u"1");
  EXPECT_EQ(ById(u"b_veto_count"), u"0");
  EXPECT_EQ(ById(u"veto_detail"), u"");
}

TEST_F(SelfGradeTableTest, ScoresKeepTheirDecimalsInDoublePrecision) {
  Fill(u"<item parents_id='a' deduct='0.2'/>");
  EXPECT_EQ(Named(u"total", 1), u"99.8");
  EXPECT_EQ(Named(u"a", 1), u"19.8");
  Fill(u"<item parents_id='a' deduct='3.3'/>");
  EXPECT_EQ(Named(u"a", 1), u"16.7");
  Fill(u"<item parents_id='a' deduct='1.05'/>");
  EXPECT_EQ(Named(u"a"), u"1.05");
}

TEST_F(SelfGradeTableTest, AConditionThatIsNoXmlAndAMissingTemplateFail) {
  const auto failure = [&](const std::u16string& condition, LONG template_id) {
    com::ScopedBstr text(condition), html;
    return korvalis::testing::FailureOf([&] {
      CBQCGradeSummary::GenerateSelfGradeTable(&data_source_, text.get(), template_id, html.out());
    });
  };
  EXPECT_EQ(failure(u"<root><item>", 7), u"无效XML!");
  for (const auto& bomb : xml::testing::EntityBombs("root", "<class>1</class>")) {
    EXPECT_EQ(failure(FromUtf8(bomb.text), 7),
              u"无效XML! its entities expand past the bound of 16 MB")
        << bomb.shape;
  }
  EXPECT_EQ(failure(u"<root/>", 99), u"获取模板属性出错:99");
}

}  // namespace
}  // namespace korvalis::emrdoc::testing
