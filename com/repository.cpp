#include "com/repository.h"

#include "interface/type_library.h"

template class CRepositoryT<CBRepository>;

constexpr korvalis::com::ClassRegistration kRepositoryRegistration{
    u"Repository", CLSID_Repository, 124, korvalis::com::ThreadingModel::kBoth, LIBID_korvalisLib};

HRESULT CreateRepository(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CRepository, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
