#include "com/dept_qc_patient.h"

#include "interface/type_library.h"

template class CDeptQCPatientT<CBDeptQCPatient>;

constexpr korvalis::com::ClassRegistration kDeptQCPatientRegistration{
    u"DeptQCPatient", CLSID_DeptQCPatient, 115, korvalis::com::ThreadingModel::kBoth,
    LIBID_korvalisLib};

HRESULT CreateDeptQCPatient(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CDeptQCPatient, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
