#include "com/my_service.h"

namespace {

// A BSTR that lives as long as the module.
class ModuleBstr {
 public:
  explicit ModuleBstr(const char16_t* text) : text_(SysAllocString(text)) {}
  ~ModuleBstr() { SysFreeString(text_); }
  ModuleBstr(const ModuleBstr&) = delete;
  ModuleBstr& operator=(const ModuleBstr&) = delete;

  BSTR get() const { return text_; }

 private:
  BSTR text_;
};

const ModuleBstr kEmptyListDocument(u"<?xml version=\"1.0\" encoding=\"UTF-16\"  ?><root/>");

}  // namespace

BSTR EmptyListDocument() { return kEmptyListDocument.get(); }

namespace korvalis::worklist {

void AnswerEmptyList(BSTR* list) {
  if (list == nullptr) return;
  BSTR empty = EmptyListDocument();
  *list = SysAllocStringByteLen(reinterpret_cast<const char*>(empty), SysStringByteLen(empty));
}

void AnswerList(BSTR* list, UniqueBstr answer) {
  if (list != nullptr) *list = answer.release();
}

}  // namespace korvalis::worklist

template class CMyServiceT<CEMRDataSource>;

HRESULT CreateMyService(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CMyService, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
