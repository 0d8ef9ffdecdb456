#include "report/report_queries.h"

#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "platform/text/unicode.h"

namespace korvalis::report {

ContentTransformation& ReportDataDocument::Transformation() {
  if (!transformation_) {
    transformation_.emplace(stylesheet_, TransformFailures{kReportTransformFailed,
                                                           u"装载XML内容错误.",
                                                           kReportTransformFailed});
    std::u16string().swap(stylesheet_);
    transformation_->AppendSource(held_);
    std::string().swap(held_);
  }
  return *transformation_;
}

void ReportDataDocument::Append(std::u16string_view text) {
  if (!transformation_ && stylesheet_.empty()) return;
  AssignUtf8(text, utf8_);
  if (!transformation_ && held_.size() + utf8_.size() <= xml::kHeldSourceBytes) {
    held_.append(utf8_);
    return;
  }
  Transformation().AppendSource(utf8_);
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
  if (!transformation_ && stylesheet_.empty()) {
    throw CEMRException(std::u16string(kReportWithoutStylesheet));
  }
  return Transformation().Finish();
}

}  // namespace korvalis::report
