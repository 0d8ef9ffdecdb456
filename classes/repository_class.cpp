#include "classes/repository_class.h"

template class CRepositoryT<CBRepository>;

HRESULT CreateRepository(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CRepository, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
