#include "classes/emr_library_class.h"

template class CEMRLibraryT<CBEMRLibrary>;

HRESULT CreateEMRLibrary(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CEMRLibrary, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
