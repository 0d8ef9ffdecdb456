#include "com/emr_dict_t.h"

#include "interface/type_library.h"

template class CEMRDictTT<CBEMRDictT>;

constexpr korvalis::com::ClassRegistration kEMRDictTRegistration{
    u"EMRDictT", CLSID_EMRDictT, 122, korvalis::com::ThreadingModel::kBoth, LIBID_korvalisLib};

HRESULT CreateEMRDictT(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CEMRDictT, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
