#include "com/emr_library.h"

#include "interface/type_library.h"

template class CEMRLibraryT<CBEMRLibrary>;

constexpr korvalis::com::ClassRegistration kEMRLibraryRegistration{
    u"EMRLibrary", CLSID_EMRLibrary, 102, korvalis::com::ThreadingModel::kBoth, LIBID_korvalisLib};

HRESULT CreateEMRLibrary(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CEMRLibrary, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
