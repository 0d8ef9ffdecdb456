#include "com/qc_patient.h"

#include "interface/type_library.h"

template class CQCPatientT<CBQCPatient>;

constexpr korvalis::com::ClassRegistration kQCPatientRegistration{
    u"QCPatient", CLSID_QCPatient, 110, korvalis::com::ThreadingModel::kApartment,
    LIBID_korvalisLib};

HRESULT CreateQCPatient(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQCPatient, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
