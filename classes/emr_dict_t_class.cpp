#include "classes/emr_dict_t_class.h"

template class CEMRDictTT<CBEMRDictT>;

HRESULT CreateEMRDictT(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CEMRDictT, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
