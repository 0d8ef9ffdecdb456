// The statements of a report run and the data document they fill: each statement must be a
// query (foundation/data/query_statements.h), and the rows of one run are held to the system's
// content bound as they are read, so that a statement that writes changes nothing and one that
// reads without end (a join without its condition) stops at the bound. The rows go straight to
// the transformation that the style sheet makes of them, in the transformation's worker.
//
// Thread-safety: stateless functions; a ReportDataDocument belongs to one run.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/codec/emr_compression.h"
#include "foundation/xml/xsl_transform.h"

class CSingleDataSource;

namespace korvalis::report {

// The refusal of a run whose rows would be larger than the content bound.
inline constexpr char16_t kReportRowsTooLarge[] = u"报表查询结果超过64MB的上限, 已拒绝";

// The refusal of a report that has no style sheet.
inline constexpr char16_t kReportWithoutStylesheet[] = u"报表未配置XSLT内容,请与系统管理员联系..";

// The failure of a report whose style sheet does not load or whose transformation fails.
inline constexpr char16_t kReportTransformFailed[] = u"转换报表内容错误.";

// The most UTF-16 units that the rows of one run take as XML: the content bound.
inline constexpr std::size_t kMaxReportRowUnits = kMaxExpandedBytes / sizeof(char16_t);

// The refusal of a report statement that is not a query (CheckQueryStatement), before the
// statement it quotes.
inline constexpr char16_t kReportStatementNotAQuery[] = u"报表SQL语句不是查询语句,无法生成报表: ";

// The data document of a run, transformed as it is written: the markup the run writes and the
// rows of its statements go piece by piece to the report's transformation (ContentTransformation,
// foundation/xml/xsl_transform.h), which holds the first pieces and then streams them to the
// transformation's worker, where they are parsed, so that the calling process never holds the
// rows whole, nor any document of them. A report without a style sheet still runs its
// statements, whose failures come first, and is refused at the end; its rows are passed over.
// The rows of all statements are held together to kMaxReportRowUnits, each statement's measured
// as CSingleDataSource::QueryElements writes its document.
class ReportDataDocument {
 public:
  // `stylesheet`: the report's style sheet, empty when it has none.
  explicit ReportDataDocument(std::u16string_view stylesheet);

  // Markup that the run writes itself.
  void Append(std::u16string_view text);
  // The rows of `sql` as CSingleDataSource::QueryElements shapes them, inside an element `root`
  // (without the XML declaration). Throws kReportRowsTooLarge, having read no row beyond the
  // bound, when the rows of the run would be longer than it.
  void AppendRows(CSingleDataSource& data_source, const std::u16string& sql,
                  const std::vector<std::u16string>& names, std::u16string_view root);
  // The page: the document transformed by the style sheet. Throws CEMRException
  // kReportWithoutStylesheet when the report has none, "装载XML内容错误." when the text does not
  // load, "转换报表内容错误." when the style sheet does not load or the transformation fails, and
  // as ContentTransformation::Finish when it is stopped. Precondition: called once.
  std::u16string Transform();

 private:
  std::optional<ContentTransformation> transformation_;  // none without a style sheet
  std::size_t row_units_ = 0;
};

}  // namespace korvalis::report
