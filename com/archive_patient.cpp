#include "com/archive_patient.h"

#include "interface/type_library.h"

template class CArchivePatientT<CBArchivePatient>;

constexpr korvalis::com::ClassRegistration kArchivePatientRegistration{
    u"ArchivePatient", CLSID_ArchivePatient, 106, korvalis::com::ThreadingModel::kApartment,
    LIBID_korvalisLib};

HRESULT CreateArchivePatient(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CArchivePatient, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
