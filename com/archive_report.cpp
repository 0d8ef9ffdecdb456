#include "com/archive_report.h"

template class CArchiveReportT<CBArchiveReport>;

HRESULT CreateArchiveReport(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CArchiveReport, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
