#include "foundation/xml/empty_list_document.h"

// Made on first use and never freed: a host's threads may still answer with it while the host
// exits, and the module is never unloaded.
BSTR EmptyListDocument() {
  static const BSTR document =
      SysAllocString(u"<?xml version=\"1.0\" encoding=\"UTF-16\"  ?><root/>");
  return document;
}

namespace korvalis {

void AnswerEmptyList(BSTR* list) {
  if (list == nullptr) return;
  BSTR empty = EmptyListDocument();
  *list = SysAllocStringByteLen(reinterpret_cast<const char*>(empty), SysStringByteLen(empty));
}

}  // namespace korvalis
