#include "classes/emr_report_class.h"

template class CEMRReportT<CBEMRReport>;

HRESULT CreateEMRReport(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CEMRReport, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
