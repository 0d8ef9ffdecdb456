#include "classes/archive_report_class.h"

template class CArchiveReportT<CBArchiveReport>;

HRESULT CreateArchiveReport(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CArchiveReport, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
