#include "com/function_admin.h"

#include "interface/type_library.h"

template class CFunctionAdminT<CBFunctionAdmin>;

constexpr korvalis::com::ClassRegistration kFunctionAdminRegistration{
    u"FunctionAdmin", CLSID_FunctionAdmin, 125, korvalis::com::ThreadingModel::kBoth,
    LIBID_korvalisLib};

HRESULT CreateFunctionAdmin(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CFunctionAdmin, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
