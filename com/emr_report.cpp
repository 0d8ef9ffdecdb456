#include "com/emr_report.h"

#include "interface/type_library.h"

template class CEMRReportT<CBEMRReport>;

constexpr korvalis::com::ClassRegistration kEMRReportRegistration{
    u"EMRReport", CLSID_EMRReport, 107, korvalis::com::ThreadingModel::kApartment,
    LIBID_korvalisLib};

HRESULT CreateEMRReport(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CEMRReport, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
