#include "classes/terminal_qc_patient_class.h"

template class CTerminalQCPatientT<CBTerminalQCPatient>;

HRESULT CreateTerminalQCPatient(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CTerminalQCPatient, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
