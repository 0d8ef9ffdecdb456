#include "classes/function_admin_class.h"

template class CFunctionAdminT<CBFunctionAdmin>;

HRESULT CreateFunctionAdmin(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CFunctionAdmin, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
