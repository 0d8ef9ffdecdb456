#include "classes/patient_paper_mag_class.h"

template class CPatientPaperMagT<CBPatientPaperMag>;

HRESULT CreatePatientPaperMag(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CPatientPaperMag, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
