// The prescription tables, compared byte for byte with the fixed pieces that records keep.
#include "emrdoc/recipe_rendering.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "emrdoc/his_answer.h"
#include "foundation/xml/xml_text.h"

namespace {

using korvalis::XmlEscapedWithQuotes;

// The headings, the summary's frame and the cell pieces as records hold them.
const std::u16string kW =
    u"<table border='0' cellpadding='0' cellspacing='0'><tr><th class='underline' width='90px' "
    u"style='font-size:12px;'>项目名称</th><th class='underline' width='40px' "
    u"style='font-size:12px;'>规格</th><th class='underline' width='60px' align='center' "
    u"style='font-size:12px;'>次剂量</th><th class='underline' width='40px' "
    u"style='font-size:12px;'>单位</th><th class='underline' width='80px' "
    u"style='font-size:12px;'>用药方法</th><th class='underline' width='60px' "
    u"style='font-size:12px;'>频次</th><th class='underline' width='40px' "
    u"style='font-size:12px;'>天数</th><th class='underline' width='40px' "
    u"style='font-size:12px;'>数量</th><th class='underline' width='40px' "
    u"style='font-size:12px;'>单位</th><th class='underline' width='80px' "
    u"style='font-size:12px;'>单价</th><th class='underline' width='90px' "
    u"style='font-size:12px;'>实付/元</th></tr>";
const std::u16string kS =
    u"<table><th class='underline' width='100px' style='font-size:12px;'>项目名称</th><th "
    u"align='center' class='underline' width='100px' style='font-size:12px;'>数量</th><th "
    u"class='underline' width='100px' style='font-size:12px;'>单位</th><th class='underline' "
    u"width='80px' style='font-size:12px;'>单价</th><th class='underline' width='90px' "
    u"style='font-size:12px;'>实付/元</th>";
const std::u16string kSummaryStart =
    u"<TABLE style='BORDER-COLLAPSE: collapse' borderColor='#000000' cellSpacing='0' "
    u"cellPadding='5' border='1' EDIT='1'><TH>项目名称</TH><TH>用药方法</TH><TBODY>";
const std::u16string kSummaryEnd = u"<tbody></table>";

// An item of the HIS answer; every value is written into the answer escaped.
struct Item {
  std::u16string name, sepc, dose, dose_unit, method, freq, daycount, total, total_unit, price,
      charge;
};

const Item kAmoxicillin = {u"阿莫西林胶囊", u"0.25g*24", u"0.5", u"g", u"口服", u"tid", u"3", u"1",
                           u"盒",           u"12.5",     u"12.5"};
const Item kIbuprofen = {
    u"布洛芬缓释胶囊", u"0.3g*20", u"0.3", u"g", u"口服", u"bid", u"5", u"2", u"盒",
    u"18.6",           u"37.2"};
const Item kLiquorice = {u"甘草", u"10g", u"6", u"g",   u"水煎服", u"bid",
                         u"7",    u"42",  u"g", u"0.5", u"21"};
const Item kInfusion = {u"0.9%氯化钠注射液",
                        u"250ml",
                        u"250",
                        u"ml",
                        u"静滴",
                        u"qd",
                        u"3",
                        u"3",
                        u"袋",
                        u"4.2",
                        u"12.6"};

std::u16string ItemXml(const Item& i) {
  auto attribute = [](const char16_t* name, const std::u16string& value) {
    return std::u16string(u" ") + name + u"=\"" + XmlEscapedWithQuotes(value) + u"\"";
  };
  return u"<item" + attribute(u"sepc", i.sepc) + attribute(u"dose", i.dose) +
         attribute(u"dose_unit", i.dose_unit) + attribute(u"method", i.method) +
         attribute(u"freq", i.freq) + attribute(u"daycount", i.daycount) +
         attribute(u"total", i.total) + attribute(u"total_unit", i.total_unit) +
         attribute(u"price", i.price) + attribute(u"charge", i.charge) + u">" +
         korvalis::XmlEscaped(i.name) + u"</item>";
}

// A group with its attributes written as given (e.g. u" class=\"E\"").
std::u16string GroupXml(const std::u16string& attributes, const std::vector<Item>& items) {
  std::u16string xml = u"<recipe" + attributes + u">";
  for (const Item& item : items) xml += ItemXml(item);
  return xml + u"</recipe>";
}

// The rows, from the pieces as records hold them; the values as they must show.
std::u16string FullRow(const Item& i, const std::u16string& dose_cell =
                                          u"</td><td width='60px' align='center' "
                                          u"style='font-size:12px;'>") {
  return u"<tr><td width='90px' style='font-size:12px;'>" + i.name +
         u"</td><td width='40px' style='font-size:12px;'>" + i.sepc + dose_cell + i.dose +
         u"</td><td width='40px' style='font-size:12px;'>" + i.dose_unit +
         u"</td><td width='80px' style='font-size:12px;' align='center'>" + i.method +
         u"</td><td width='60px' style='font-size:12px;'>" + i.freq +
         u"</td><td width='40px' style='font-size:12px;' align='center'>" + i.daycount +
         u"</td><td width='40px' style='font-size:12px;' align='center'>" + i.total +
         u"</td><td width='40px' style='font-size:12px;'>" + i.total_unit +
         u"</td><td width='80px' style='font-size:12px;'>" + i.price +
         u"</td><td width='90px' style='font-size:12px;'>" + i.charge + u"</td></tr>";
}
std::u16string ClassABRow(const Item& i) {
  return FullRow(i, u"</td><td width='50px' align='center' style='font-size:12px;'>");
}
std::u16string DoselessRow(Item i) {
  i.total_unit = i.dose_unit;
  i.dose.clear();
  i.dose_unit.clear();
  return FullRow(i);
}
std::u16string C01Row(const Item& i) {
  return u"<tr><td width='90px' style='font-size:12px;'>" + i.name +
         u"</td><td width='40px' style='font-size:12px;'>" + i.sepc +
         u"</td><td width='50px' align='center' style='font-size:12px;'>" + i.dose +
         u"</td><td width='40px' style='font-size:12px;'>帖"
         u"</td><td width='80px' style='font-size:12px;' align='center'>" +
         i.method + u"</td><td  width='60px' style='font-size:12px;'>" + i.freq +
         u"</td><td  width='40px' style='font-size:12px;' align='center'>" + i.daycount +
         u"</td><td  width='40px' style='font-size:12px;'>" + i.total +
         u"</td><td width='40px' style='font-size:12px;'>天"
         u"</td><td width='80px' style='font-size:12px;'>" +
         i.price + u"</td><td width='90px' style='font-size:12px;'>" + i.charge + u"</td></tr>";
}
std::u16string ShortRow(const Item& i) {
  return u"<tr><td style='font-size:12px;'>" + i.name +
         u"</td><td align='center' style='font-size:12px;'>" + i.dose +
         u"</td><td style='font-size:12px;'>" + i.dose_unit + u"</td><td style='font-size:12px;'>" +
         i.price + u"</td><td style='font-size:12px;'>" + i.charge + u"</td></tr>";
}
std::u16string SummaryRow(const std::vector<Item>& items) {
  std::u16string row = u"<TR><TD height=23>";
  for (std::size_t n = 0; n < items.size(); ++n) {
    const Item& i = items[n];
    row += i.sepc + u"  " + i.name + u"  " + i.dose + i.dose_unit;
    if (n + 1 < items.size()) row += u"、";
  }
  const Item last = items.empty() ? Item{} : items.back();
  return row + u"</TD><TD height=23>" + last.method + u"  " + last.freq + u"</TD></TR>";
}

RecipeTables Render(const std::u16string& groups,
                    const std::optional<std::u16string>& stylesheet_result = std::nullopt) {
  const CHISAnswer answer(u"<root>" + groups + u"</root>");
  return RenderRecipeTables(answer.GetRoot(), stylesheet_result);
}

void ExpectTables(const RecipeTables& actual, const RecipeTables& expected) {
  EXPECT_EQ(actual.wide, expected.wide);
  EXPECT_EQ(actual.summary, expected.summary);
  EXPECT_EQ(actual.a, expected.a);
  EXPECT_EQ(actual.b, expected.b);
  EXPECT_EQ(actual.c, expected.c);
  EXPECT_EQ(actual.short_table, expected.short_table);
}

TEST(RecipeRendering, AnAnswerWithoutGroupsGivesTheEmptySummaryAndNoTables) {
  const RecipeTables empty = {.summary = kSummaryStart + kSummaryEnd};
  EXPECT_EQ(empty.summary,
            u"<TABLE style='BORDER-COLLAPSE: collapse' borderColor='#000000' cellSpacing='0' "
            u"cellPadding='5' border='1' EDIT='1'><TH>项目名称</TH><TH>用药方法</TH><TBODY><tbody>"
            u"</table>");
  ExpectTables(Render(u""), empty);
  // The wide table is empty also when a stylesheet was applied.
  ExpectTables(Render(u"", u"<p>处方</p>"), empty);
  ExpectTables(RenderRecipeTables(nullptr, std::nullopt), empty);
}

TEST(RecipeRendering, OneC01GroupOfTwoItems) {
  ExpectTables(Render(GroupXml(u" class=\"C01\"", {kLiquorice, kAmoxicillin})),
               {.wide = kW + FullRow(kLiquorice) + FullRow(kAmoxicillin) + u"</table>",
                .summary = kSummaryStart + SummaryRow({kLiquorice, kAmoxicillin}) + kSummaryEnd,
                .b = kW + C01Row(kLiquorice) + C01Row(kAmoxicillin) + u"</table>"});
}

TEST(RecipeRendering, OneEGroupOfOneItem) {
  ExpectTables(Render(GroupXml(u" class=\"E\" print=\"01\"", {kInfusion})),
               {.wide = kW + DoselessRow(kInfusion) + u"</table>",
                .summary = kSummaryStart + SummaryRow({kInfusion}) + kSummaryEnd,
                .short_table = kS + ShortRow(kInfusion) + u"</table>"});
  // The dose-less row, written out: two empty cells and the dose's unit as the quantity's.
  EXPECT_EQ(DoselessRow(kInfusion),
            u"<tr><td width='90px' style='font-size:12px;'>0.9%氯化钠注射液</td><td width='40px' "
            u"style='font-size:12px;'>250ml</td><td width='60px' align='center' "
            u"style='font-size:12px;'></td><td width='40px' style='font-size:12px;'></td><td "
            u"width='80px' style='font-size:12px;' align='center'>静滴</td><td width='60px' "
            u"style='font-size:12px;'>qd</td><td width='40px' style='font-size:12px;' "
            u"align='center'>3</td><td width='40px' style='font-size:12px;' align='center'>3</td>"
            u"<td width='40px' style='font-size:12px;'>ml</td><td width='80px' "
            u"style='font-size:12px;'>4.2</td><td width='90px' style='font-size:12px;'>12.6</td>"
            u"</tr>");
  for (const char16_t* recipe_class : {u"I", u"D", u"F"}) {
    const RecipeTables tables =
        Render(GroupXml(std::u16string(u" class=\"") + recipe_class + u"\"", {kInfusion}));
    EXPECT_EQ(tables.short_table, kS + ShortRow(kInfusion) + u"</table>");
    EXPECT_EQ(tables.wide, kW + DoselessRow(kInfusion) + u"</table>");
  }
}

TEST(RecipeRendering, ClassesABAndC02GoToTableCWithPrintMark01AndToTableAOtherwise) {
  for (const char16_t* recipe_class : {u"A", u"B", u"C02"}) {
    const std::u16string group_class = std::u16string(u" class=\"") + recipe_class + u"\"";
    const std::u16string rows = ClassABRow(kAmoxicillin) + ClassABRow(kIbuprofen);
    const RecipeTables printed =
        Render(GroupXml(group_class + u" print=\"01\"", {kAmoxicillin, kIbuprofen}));
    EXPECT_EQ(printed.c, kW + rows + u"</table>");
    EXPECT_EQ(printed.a, u"");
    EXPECT_EQ(printed.wide, kW + FullRow(kAmoxicillin) + FullRow(kIbuprofen) + u"</table>");
    for (const char16_t* print : {u" print=\"02\"", u"", u" print=\"1\"", u" print=\"01 \""}) {
      const RecipeTables other = Render(GroupXml(group_class + print, {kAmoxicillin, kIbuprofen}));
      EXPECT_EQ(other.a, kW + rows + u"</table>");
      EXPECT_EQ(other.c, u"");
      EXPECT_EQ(other.b, u"");
      EXPECT_EQ(other.short_table, u"");
    }
  }
}

TEST(RecipeRendering, OtherClassesReachOnlyTheWideTableAndTheSummary) {
  for (const char16_t* group : {u" class=\"X\"", u"", u" class=\"c01\"", u" class=\"e\"",
                                u" class=\"A \"", u" class=\"\""}) {
    ExpectTables(Render(GroupXml(group, {kAmoxicillin})),
                 {.wide = kW + FullRow(kAmoxicillin) + u"</table>",
                  .summary = kSummaryStart + SummaryRow({kAmoxicillin}) + kSummaryEnd});
  }
}

TEST(RecipeRendering, TheSummaryRowOfTwoItemsAndOfAGroupWithout) {
  const Item first = {u"name1", u"spec1", u"dose1", u"unit1", u"method1", u"freq1",
                      u"",      u"",      u"",      u"",      u""};
  const Item second = {u"name2", u"spec2", u"dose2", u"unit2", u"method2", u"freq2",
                       u"",      u"",      u"",      u"",      u""};
  EXPECT_EQ(Render(GroupXml(u" class=\"X\"", {first, second})).summary,
            kSummaryStart +
                u"<TR><TD height=23>spec1  name1  dose1unit1、spec2  name2  dose2unit2"
                u"</TD><TD height=23>method2  freq2</TD></TR>" +
                kSummaryEnd);
  const RecipeTables without_items = Render(GroupXml(u" class=\"C01\"", {}));
  ExpectTables(without_items,
               {.summary = kSummaryStart + u"<TR><TD height=23></TD><TD height=23>  </TD></TR>" +
                           kSummaryEnd});
  // Groups follow each other in the summary; each table gathers the rows of its classes.
  ExpectTables(
      Render(GroupXml(u" class=\"C01\"", {kLiquorice}) + GroupXml(u" class=\"E\"", {kInfusion}) +
             GroupXml(u" class=\"A\"", {kAmoxicillin}) +
             GroupXml(u" class=\"B\" print=\"01\"", {kIbuprofen})),
      {.wide = kW + FullRow(kLiquorice) + DoselessRow(kInfusion) + FullRow(kAmoxicillin) +
               FullRow(kIbuprofen) + u"</table>",
       .summary = kSummaryStart + SummaryRow({kLiquorice}) + SummaryRow({kInfusion}) +
                  SummaryRow({kAmoxicillin}) + SummaryRow({kIbuprofen}) + kSummaryEnd,
       .a = kW + ClassABRow(kAmoxicillin) + u"</table>",
       .b = kW + C01Row(kLiquorice) + u"</table>",
       .c = kW + ClassABRow(kIbuprofen) + u"</table>",
       .short_table = kS + ShortRow(kInfusion) + u"</table>"});
}

TEST(RecipeRendering, AStylesheetResultReplacesTheWideTableWhileTheOthersStillFill) {
  ExpectTables(
      Render(GroupXml(u" class=\"E\"", {kInfusion}) + GroupXml(u" class=\"A\"", {kAmoxicillin}),
             u"<p>处方笺</p>"),
      {.wide = u"<p>处方笺</p>",
       .summary =
           kSummaryStart + SummaryRow({kInfusion}) + SummaryRow({kAmoxicillin}) + kSummaryEnd,
       .a = kW + ClassABRow(kAmoxicillin) + u"</table>",
       .short_table = kS + ShortRow(kInfusion) + u"</table>"});
  // An empty result is still the result.
  EXPECT_EQ(Render(GroupXml(u" class=\"X\"", {kAmoxicillin}), u"").wide, u"");
}

TEST(RecipeRendering, HISValuesShowAsWrittenAndCannotBreakATable) {
  const Item shown = {u"复方<甘草>片 & 糖浆",
                      u"<5ml",
                      u"5",
                      u"ml&",
                      u"口服</td>",
                      u"tid",
                      u"3",
                      u"1",
                      u"瓶",
                      u"8.5",
                      u"8.5"};
  Item escaped = {u"复方&lt;甘草&gt;片 &amp; 糖浆",
                  u"&lt;5ml",
                  u"5",
                  u"ml&amp;",
                  u"口服&lt;/td&gt;",
                  u"tid",
                  u"3",
                  u"1",
                  u"瓶",
                  u"8.5",
                  u"8.5"};
  ExpectTables(
      Render(GroupXml(u" class=\"C01\"", {shown}) + GroupXml(u" class=\"E\"", {shown})),
      {.wide = kW + FullRow(escaped) + DoselessRow(escaped) + u"</table>",
       .summary = kSummaryStart + SummaryRow({escaped}) + SummaryRow({escaped}) + kSummaryEnd,
       .b = kW + C01Row(escaped) + u"</table>",
       .short_table = kS + ShortRow(escaped) + u"</table>"});
}

TEST(RecipeRendering, IndentedAnswersCountElementsOnly) {
  const CHISAnswer answer(u"<root>\n  <!-- 处方 -->\n  <recipe class=\"C01\">\n    " +
                          ItemXml(kLiquorice) + u"\n    <?his?>\n  </recipe>\n  text\n</root>\n");
  ExpectTables(RenderRecipeTables(answer.GetRoot(), std::nullopt),
               {.wide = kW + FullRow(kLiquorice) + u"</table>",
                .summary = kSummaryStart + SummaryRow({kLiquorice}) + kSummaryEnd,
                .b = kW + C01Row(kLiquorice) + u"</table>"});
}

}  // namespace
