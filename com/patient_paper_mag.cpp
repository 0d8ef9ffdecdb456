#include "com/patient_paper_mag.h"

#include "interface/type_library.h"

template class CPatientPaperMagT<CBPatientPaperMag>;

constexpr korvalis::com::ClassRegistration kPatientPaperMagRegistration{
    u"PatientPaperMag", CLSID_PatientPaperMag, 121, korvalis::com::ThreadingModel::kBoth,
    LIBID_korvalisLib};

HRESULT CreatePatientPaperMag(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CPatientPaperMag, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
