#include "suite/stand_in.h"

#include "foundation/calls/emr_error.h"

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

}  // namespace korvalis::suite
