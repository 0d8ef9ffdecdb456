// The statements of a report run and the data document they fill: each statement must be a
// query (foundation/data/query_statements.h), and the rows of one run are held to the system's
// content bound as they are read, so that a statement that writes changes nothing and one that
// reads without end (a join without its condition) stops at the bound. The rows go straight into
// the document the style sheet reads, so that a run within the bound holds its rows once, as that
// document.
//
// Thread-safety: stateless functions; a ReportDataDocument belongs to one run.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/codec/emr_compression.h"
#include "platform/xml/dom.h"

class CSingleDataSource;

namespace korvalis::report {

// The refusal of a run whose rows would be larger than the content bound.
inline constexpr char16_t kReportRowsTooLarge[] = u"报表查询结果超过64MB的上限, 已拒绝";

// The most UTF-16 units that the rows of one run take as XML: the content bound.
inline constexpr std::size_t kMaxReportRowUnits = kMaxExpandedBytes / sizeof(char16_t);

// The refusal of a report statement that is not a query (CheckQueryStatement), before the
// statement it quotes.
inline constexpr char16_t kReportStatementNotAQuery[] = u"报表SQL语句不是查询语句,无法生成报表: ";

// The data document of a run, loaded as it is written: the markup the run writes and the rows
// of its statements are parsed piece by piece into the libxml2 document that the style sheet
// reads (xml::DocumentLoader), so that no text of the rows is held whole, nor any copy of them.
// The rows of all statements are held together to kMaxReportRowUnits, each statement's
// measured as CSingleDataSource::QueryElements writes its document.
class ReportDataDocument {
 public:
  // Throws std::bad_alloc when no parser can be made.
  ReportDataDocument() = default;

  // Markup that the run writes itself.
  void Append(std::u16string_view text);
  // The rows of `sql` as CSingleDataSource::QueryElements shapes them, inside an element `root`
  // (without the XML declaration). Throws kReportRowsTooLarge, having read no row beyond the
  // bound, when the rows of the run would be longer than it.
  void AppendRows(CSingleDataSource& data_source, const std::u16string& sql,
                  const std::vector<std::u16string>& names, std::u16string_view root);
  // The document; throws CEMRException "装载XML内容错误." when the text does not load, and
  // "构造MSXML解析器错误." when no document can be made. Precondition: called once.
  xml::Document Finish();

 private:
  xml::DocumentLoader loader_;
  std::string utf8_;  // the piece being parsed, its storage kept
  std::size_t row_units_ = 0;
};

}  // namespace korvalis::report
