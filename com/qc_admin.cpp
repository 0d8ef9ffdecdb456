#include "com/qc_admin.h"

#include "interface/type_library.h"

template class CQCAdminT<CBQCAdmin>;

constexpr korvalis::com::ClassRegistration kQCAdminRegistration{
    u"QCAdmin", CLSID_QCAdmin, 111, korvalis::com::ThreadingModel::kApartment, LIBID_korvalisLib};

HRESULT CreateQCAdmin(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQCAdmin, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
