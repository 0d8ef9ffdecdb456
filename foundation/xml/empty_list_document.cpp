#include "foundation/xml/empty_list_document.h"

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

namespace korvalis {

void AnswerEmptyList(BSTR* list) {
  if (list == nullptr) return;
  BSTR empty = EmptyListDocument();
  *list = SysAllocStringByteLen(reinterpret_cast<const char*>(empty), SysStringByteLen(empty));
}

}  // namespace korvalis
