#include "classes/dept_qc_patient_class.h"

template class CDeptQCPatientT<CBDeptQCPatient>;

HRESULT CreateDeptQCPatient(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CDeptQCPatient, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
