#include "classes/qc_patient_class.h"

template class CQCPatientT<CBQCPatient>;

HRESULT CreateQCPatient(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQCPatient, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
