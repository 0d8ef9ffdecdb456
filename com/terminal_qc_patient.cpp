#include "com/terminal_qc_patient.h"

template class CTerminalQCPatientT<CBTerminalQCPatient>;

HRESULT CreateTerminalQCPatient(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CTerminalQCPatient, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
