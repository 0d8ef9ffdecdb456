#include "suite/stand_in.h"

#include "foundation/emr_error.h"

namespace korvalis::suite {

HRESULT ReportFailure(const std::u16string& description) {
  CEMRRemoteError().SetError(description);
  return E_FAIL;
}

HRESULT Answer(BSTR* out, std::u16string_view text) {
  if (out == nullptr) return E_POINTER;
  *out = AllocBstr(text);
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

std::u16string XmlEscaped(std::u16string_view text) {
  std::u16string escaped;
  escaped.reserve(text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'&': escaped += u"&amp;"; break;
      case u'<': escaped += u"&lt;"; break;
      case u'>': escaped += u"&gt;"; break;
      case u'"': escaped += u"&quot;"; break;
      case u'\'': escaped += u"&apos;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

}  // namespace korvalis::suite
