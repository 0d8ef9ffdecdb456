#include "com/archive_report.h"

#include "interface/type_library.h"

template class CArchiveReportT<CBArchiveReport>;

constexpr korvalis::com::ClassRegistration kArchiveReportRegistration{
    u"ArchiveReport", CLSID_ArchiveReport, 105, korvalis::com::ThreadingModel::kApartment,
    LIBID_korvalisLib};

HRESULT CreateArchiveReport(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CArchiveReport, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
