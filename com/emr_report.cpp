#include "com/emr_report.h"

template class CEMRReportT<CBEMRReport>;

HRESULT CreateEMRReport(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CEMRReport, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
