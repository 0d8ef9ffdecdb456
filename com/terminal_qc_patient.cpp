#include "com/terminal_qc_patient.h"

#include "interface/type_library.h"

template class CTerminalQCPatientT<CBTerminalQCPatient>;

constexpr korvalis::com::ClassRegistration kTerminalQCPatientRegistration{
    u"TerminalQCPatient", CLSID_TerminalQCPatient, 113, korvalis::com::ThreadingModel::kBoth,
    LIBID_korvalisLib};

HRESULT CreateTerminalQCPatient(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CTerminalQCPatient, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
