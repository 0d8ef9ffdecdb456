#include "com/qc_grade_summary.h"

#include "interface/type_library.h"

template class CQCGradeSummaryT<CBQCGradeSummary>;

constexpr korvalis::com::ClassRegistration kQCGradeSummaryRegistration{
    u"QCGradeSummary", CLSID_QCGradeSummary, 120, korvalis::com::ThreadingModel::kBoth,
    LIBID_korvalisLib};

HRESULT CreateQCGradeSummary(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQCGradeSummary, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
