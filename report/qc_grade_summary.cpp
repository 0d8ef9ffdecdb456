#include "report/qc_grade_summary.h"

#include "foundation/not_available.h"

long CBQCGradeSummary::GetXslContent(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::GetXslContent");
}

// Does nothing by design: the method is kept for its callers and changes nothing.
long CBQCGradeSummary::GetDetailData(CEMRDataSource*, BSTR, BSTR*) { return 0; }

long CBQCGradeSummary::GenerateSummary(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::GenerateSummary");
}

long CBQCGradeSummary::SaveContent(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::SaveContent");
}

long CBQCGradeSummary::SaveXslContent(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::SaveXslContent");
}

long CBQCGradeSummary::ModifySummary(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::ModifySummary");
}

long CBQCGradeSummary::ModifySummaryTemplate(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::ModifySummaryTemplate");
}

long CBQCGradeSummary::NewSummary(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::NewSummary");
}

long CBQCGradeSummary::NewSummaryTemplate(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::NewSummaryTemplate");
}

long CBQCGradeSummary::GetHtmlContent(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::GetHtmlContent");
}

long CBQCGradeSummary::GetSummaryList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::GetSummaryList");
}

long CBQCGradeSummary::GetSummaryTemplateList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::GetSummaryTemplateList");
}

long CBQCGradeSummary::GenerateSelfGradeTable(CEMRDataSource*, BSTR, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::GenerateSelfGradeTable");
}

long CBQCGradeSummary::RemoveSummary(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCGradeSummary::RemoveSummary");
}
