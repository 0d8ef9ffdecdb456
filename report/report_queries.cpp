#include "report/report_queries.h"

#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "foundation/xml/xsl_transform.h"
#include "platform/text/unicode.h"

namespace korvalis::report {

void ReportDataDocument::Append(std::u16string_view text) {
  AssignUtf8(text, utf8_);
  loader_.Append(utf8_);
}

void ReportDataDocument::AppendRows(CSingleDataSource& data_source, const std::u16string& sql,
                                    const std::vector<std::u16string>& names,
                                    std::u16string_view root) {
  const std::function<void(std::u16string_view)> sink = [this](std::u16string_view piece) {
    Append(piece);
  };
  const std::optional<std::size_t> units = data_source.StreamElementsWithin(
      sql, names, kMaxReportRowUnits - row_units_, root, sink);
  if (!units) throw CEMRException(std::u16string(kReportRowsTooLarge));
  row_units_ += *units;
}

xml::Document ReportDataDocument::Finish() {
  xml::Document document = NewTransformDocument();
  if (!loader_.Finish(document)) throw CEMRException(std::u16string(u"装载XML内容错误."));
  return document;
}

}  // namespace korvalis::report
