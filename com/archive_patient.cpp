#include "com/archive_patient.h"

template class CArchivePatientT<CBArchivePatient>;

HRESULT CreateArchivePatient(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CArchivePatient, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
