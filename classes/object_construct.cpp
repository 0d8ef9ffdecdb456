#include "classes/object_construct.h"

namespace korvalis::com {

HRESULT ReadConstructString(IDispatch* construction_object) {
  if (construction_object == nullptr) return E_POINTER;
  IObjectConstructString* construct_string = nullptr;
  HRESULT hr = construction_object->QueryInterface(
      IID_IObjectConstructString, reinterpret_cast<void**>(&construct_string));
  if (FAILED(hr)) return hr;
  // A host that answers success without an interface has handed over nothing to read.
  if (construct_string == nullptr) return E_NOINTERFACE;
  BSTR text = nullptr;
  hr = construct_string->get_ConstructString(&text);
  SysFreeString(text);
  construct_string->Release();
  return hr;
}

}  // namespace korvalis::com
