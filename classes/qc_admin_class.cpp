#include "classes/qc_admin_class.h"

template class CQCAdminT<CBQCAdmin>;

HRESULT CreateQCAdmin(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQCAdmin, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
