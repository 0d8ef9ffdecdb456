#include "classes/archive_patient_class.h"

template class CArchivePatientT<CBArchivePatient>;

HRESULT CreateArchivePatient(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CArchivePatient, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
