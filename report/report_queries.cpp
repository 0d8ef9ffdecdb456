#include "report/report_queries.h"

#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"

namespace korvalis::report {

ReportDataDocument::ReportDataDocument(std::u16string_view stylesheet) {
  if (!stylesheet.empty()) {
    transformation_.emplace(stylesheet, TransformFailures{kReportTransformFailed,
                                                          u"装载XML内容错误.",
                                                          kReportTransformFailed});
  }
}

void ReportDataDocument::Append(std::u16string_view text) {
  if (transformation_) transformation_->AppendSource(text);
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

std::u16string ReportDataDocument::Transform() {
  if (!transformation_) throw CEMRException(std::u16string(kReportWithoutStylesheet));
  return transformation_->Finish();
}

}  // namespace korvalis::report
