#include "classes/qc_grade_summary_class.h"

template class CQCGradeSummaryT<CBQCGradeSummary>;

HRESULT CreateQCGradeSummary(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQCGradeSummary, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
