#include "classes/my_service_class.h"

namespace korvalis::worklist {

void AnswerList(BSTR* list, UniqueBstr answer) {
  if (list != nullptr) *list = answer.release();
}

}  // namespace korvalis::worklist

template class CMyServiceT<CEMRDataSource>;

HRESULT CreateMyService(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CMyService, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
