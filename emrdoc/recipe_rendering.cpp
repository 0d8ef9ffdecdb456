#include "emrdoc/recipe_rendering.h"

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string_view>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/emr_template.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_text.h"
#include "foundation/xml/xsl_transform.h"
#include "lookups/sys_param.h"
#include "platform/com/scoped_bstr.h"

using korvalis::com::ScopedBstr;
using xercesc::DOMElement;

namespace {

// The headings of the wide tables and of the short table (which has no row around its
// heading cells), and the start of the summary.
constexpr char16_t kWideHeading[] =
    u"<table border='0' cellpadding='0' cellspacing='0'><tr>"
    u"<th class='underline' width='90px' style='font-size:12px;'>项目名称</th>"
    u"<th class='underline' width='40px' style='font-size:12px;'>规格</th>"
    u"<th class='underline' width='60px' align='center' style='font-size:12px;'>次剂量</th>"
    u"<th class='underline' width='40px' style='font-size:12px;'>单位</th>"
    u"<th class='underline' width='80px' style='font-size:12px;'>用药方法</th>"
    u"<th class='underline' width='60px' style='font-size:12px;'>频次</th>"
    u"<th class='underline' width='40px' style='font-size:12px;'>天数</th>"
    u"<th class='underline' width='40px' style='font-size:12px;'>数量</th>"
    u"<th class='underline' width='40px' style='font-size:12px;'>单位</th>"
    u"<th class='underline' width='80px' style='font-size:12px;'>单价</th>"
    u"<th class='underline' width='90px' style='font-size:12px;'>实付/元</th></tr>";
constexpr char16_t kShortHeading[] =
    u"<table><th class='underline' width='100px' style='font-size:12px;'>项目名称</th>"
    u"<th align='center' class='underline' width='100px' style='font-size:12px;'>数量</th>"
    u"<th class='underline' width='100px' style='font-size:12px;'>单位</th>"
    u"<th class='underline' width='80px' style='font-size:12px;'>单价</th>"
    u"<th class='underline' width='90px' style='font-size:12px;'>实付/元</th>";
constexpr char16_t kSummaryStart[] =
    u"<TABLE style='BORDER-COLLAPSE: collapse' borderColor='#000000' cellSpacing='0' "
    u"cellPadding='5' border='1' EDIT='1'><TH>项目名称</TH><TH>用药方法</TH><TBODY>";
constexpr char16_t kSummaryEnd[] = u"<tbody></table>";
constexpr char16_t kTableEnd[] = u"</table>";

// The cell pieces: each closes the previous cell and opens the next one.
constexpr char16_t kRowStart[] = u"<tr><td width='90px' style='font-size:12px;'>";
constexpr char16_t kC40[] = u"</td><td width='40px' style='font-size:12px;'>";
constexpr char16_t kC60m[] = u"</td><td width='60px' align='center' style='font-size:12px;'>";
constexpr char16_t kC50m[] = u"</td><td width='50px' align='center' style='font-size:12px;'>";
constexpr char16_t kC80m[] = u"</td><td width='80px' style='font-size:12px;' align='center'>";
constexpr char16_t kC60[] = u"</td><td width='60px' style='font-size:12px;'>";
constexpr char16_t kC40m[] = u"</td><td width='40px' style='font-size:12px;' align='center'>";
constexpr char16_t kC80[] = u"</td><td width='80px' style='font-size:12px;'>";
constexpr char16_t kC90[] = u"</td><td width='90px' style='font-size:12px;'>";
constexpr char16_t kRowEnd[] = u"</td></tr>";
constexpr char16_t kH40Dose[] = u"</td><td width='40px' style='font-size:12px;'>帖";
constexpr char16_t kH60[] = u"</td><td  width='60px' style='font-size:12px;'>";
constexpr char16_t kH40m[] = u"</td><td  width='40px' style='font-size:12px;' align='center'>";
constexpr char16_t kH40[] = u"</td><td  width='40px' style='font-size:12px;'>";
constexpr char16_t kH40Day[] = u"</td><td width='40px' style='font-size:12px;'>天";
constexpr char16_t kShortStart[] = u"<tr><td style='font-size:12px;'>";
constexpr char16_t kShortMid[] = u"</td><td align='center' style='font-size:12px;'>";
constexpr char16_t kShortCell[] = u"</td><td style='font-size:12px;'>";

// The values of an item; kNone stands for a cell left empty.
enum Field : std::size_t {
  kName,
  kSepc,
  kDose,
  kDoseUnit,
  kMethod,
  kFreq,
  kDaycount,
  kTotal,
  kTotalUnit,
  kPrice,
  kCharge,
  kNone,
  kFieldCount
};

// The attribute of each field after the name.
constexpr const char16_t* kItemAttributes[] = {u"sepc",  u"dose",     u"dose_unit", u"method",
                                               u"freq",  u"daycount", u"total",     u"total_unit",
                                               u"price", u"charge"};

// An item's values, escaped as HTML text.
using Item = std::array<std::u16string, kFieldCount>;

Item ReadItem(const DOMElement* element) {
  Item item;
  item[kName] = korvalis::XmlEscaped(TextContent(element));
  for (std::size_t i = 0; i < std::size(kItemAttributes); ++i) {
    item[kSepc + i] = korvalis::XmlEscaped(ElementAttribute(element, kItemAttributes[i]));
  }
  return item;
}

// A row: each piece followed by the value of its field, then the row's end.
struct Cell {
  const char16_t* piece;
  Field field;
};
using RowKind = std::initializer_list<Cell>;

constexpr RowKind kFullRow = {{kRowStart, kName}, {kC40, kSepc},    {kC60m, kDose},
                              {kC40, kDoseUnit},  {kC80m, kMethod}, {kC60, kFreq},
                              {kC40m, kDaycount}, {kC40m, kTotal},  {kC40, kTotalUnit},
                              {kC80, kPrice},     {kC90, kCharge}};
// The full row without the dose, the unit of the quantity taken from the dose's unit.
constexpr RowKind kDoselessRow = {{kRowStart, kName}, {kC40, kSepc},    {kC60m, kNone},
                                  {kC40, kNone},      {kC80m, kMethod}, {kC60, kFreq},
                                  {kC40m, kDaycount}, {kC40m, kTotal},  {kC40, kDoseUnit},
                                  {kC80, kPrice},     {kC90, kCharge}};
// The full row with a narrower dose cell.
constexpr RowKind kClassABRow = {{kRowStart, kName}, {kC40, kSepc},    {kC50m, kDose},
                                 {kC40, kDoseUnit},  {kC80m, kMethod}, {kC60, kFreq},
                                 {kC40m, kDaycount}, {kC40m, kTotal},  {kC40, kTotalUnit},
                                 {kC80, kPrice},     {kC90, kCharge}};
// Herbal prescriptions: the dose counted in 帖, the quantity in 天.
constexpr RowKind kC01Row = {{kRowStart, kName}, {kC40, kSepc},    {kC50m, kDose},
                             {kH40Dose, kNone},  {kC80m, kMethod}, {kH60, kFreq},
                             {kH40m, kDaycount}, {kH40, kTotal},   {kH40Day, kNone},
                             {kC80, kPrice},     {kC90, kCharge}};
constexpr RowKind kShortRow = {{kShortStart, kName},
                               {kShortMid, kDose},
                               {kShortCell, kDoseUnit},
                               {kShortCell, kPrice},
                               {kShortCell, kCharge}};

void AppendRow(std::u16string& table, RowKind kind, const Item& item) {
  for (const Cell& cell : kind) {
    table += cell.piece;
    table += item[cell.field];
  }
  table += kRowEnd;
}

bool IsOneOf(std::u16string_view value, std::initializer_list<std::u16string_view> choices) {
  for (std::u16string_view choice : choices) {
    if (value == choice) return true;
  }
  return false;
}

// A table that received no row since its heading is empty; any other is closed.
void CloseTable(std::u16string& table, std::u16string_view heading) {
  if (table == heading) {
    table.clear();
  } else {
    table += kTableEnd;
  }
}

}  // namespace

RecipeTables RenderRecipeTables(const DOMElement* root,
                                const std::optional<std::u16string>& stylesheet_result) {
  const bool stylesheet_applied = stylesheet_result.has_value();
  RecipeTables tables{.wide = kWideHeading,
                      .summary = kSummaryStart,
                      .a = kWideHeading,
                      .b = kWideHeading,
                      .c = kWideHeading,
                      .short_table = kShortHeading};
  const std::vector<const DOMElement*> groups = ElementChildren(root);
  for (const DOMElement* group : groups) {
    const std::u16string recipe_class = ElementAttribute(group, u"class");
    const std::u16string print = ElementAttribute(group, u"print");
    tables.summary += u"<TR><TD height=23>";
    Item last;
    const std::vector<const DOMElement*> elements = ElementChildren(group);
    for (const DOMElement* element : elements) {
      Item item = ReadItem(element);
      tables.summary +=
          item[kSepc] + u"  " + item[kName] + u"  " + item[kDose] + item[kDoseUnit] + u"、";
      if (IsOneOf(recipe_class, {u"E", u"I", u"D", u"F"})) {
        AppendRow(tables.short_table, kShortRow, item);
        if (!stylesheet_applied) AppendRow(tables.wide, kDoselessRow, item);
      } else if (!stylesheet_applied) {
        AppendRow(tables.wide, kFullRow, item);
      }
      if (recipe_class == u"C01") {
        AppendRow(tables.b, kC01Row, item);
      } else if (IsOneOf(recipe_class, {u"A", u"C02", u"B"})) {
        AppendRow(print == u"01" ? tables.c : tables.a, kClassABRow, item);
      }
      last = std::move(item);
    }
    if (!elements.empty()) tables.summary.pop_back();  // the last entry's "、"
    tables.summary += u"</TD><TD height=23>" + last[kMethod] + u"  " + last[kFreq] + u"</TD></TR>";
  }
  tables.summary += kSummaryEnd;

  for (std::u16string* table : {&tables.wide, &tables.a, &tables.b, &tables.c}) {
    CloseTable(*table, kWideHeading);
  }
  CloseTable(tables.short_table, kShortHeading);
  if (stylesheet_applied) tables.wide = *stylesheet_result;
  if (groups.empty()) tables.wide.clear();
  return tables;
}

std::optional<std::u16string> TransformRecipe(CSingleDataSource& data_source, BSTR recipe) {
  const std::u16string parameter = GetSysParam(data_source, u"emr_recipe_text_xsl");
  if (parameter.empty() || parameter == u"NULL") return std::nullopt;

  CXmlDocument configuration(parameter, false, false);
  const LONG template_id =
      StringToInt(configuration.GetRootNode().GetChild(u"templateid").GetText());
  ScopedBstr stylesheet;
  GetTemplateXsl(&data_source, template_id, stylesheet.out());
  try {
    ScopedBstr result;
    XslTransform(recipe, stylesheet.get(), result.out());
    return result.text();
  } catch (const CEMRException&) {
    // A stylesheet that does not load or apply leaves the tables as they are.
    return std::nullopt;
  }
}
