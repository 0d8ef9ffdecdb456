#include "platform/com/variant.h"

namespace {

bool KnownKind(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
      return true;
    default:
      // References of any of these kinds own nothing and copy as pointers.
      return (vt & VT_BYREF) != 0;
  }
}

// IDispatch derives from IUnknown alone, so an IDispatch pointer is also its IUnknown pointer,
// as the platform's calling convention lays out interfaces.
IUnknown* AsUnknown(const VARIANT& v) {
  return v.vt == VT_DISPATCH ? reinterpret_cast<IUnknown*>(v.pdispVal) : v.punkVal;
}

}  // namespace

void VariantInit(VARIANTARG* pvarg) {
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
  pvarg->byref = nullptr;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  if (!KnownKind(pvarg->vt)) return DISP_E_BADVARTYPE;
  if (pvarg->vt == VT_BSTR) {
    SysFreeString(pvarg->bstrVal);
  } else if (pvarg->vt == VT_DISPATCH || pvarg->vt == VT_UNKNOWN) {
    if (IUnknown* unknown = AsUnknown(*pvarg)) unknown->Release();
  }
  VariantInit(pvarg);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  if (!KnownKind(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  const HRESULT cleared = VariantClear(pvargDest);
  if (FAILED(cleared)) return cleared;
  if (pvargSrc->vt == VT_BSTR) {
    BSTR copy = nullptr;
    if (pvargSrc->bstrVal != nullptr) {
      copy = SysAllocStringByteLen(reinterpret_cast<const char*>(pvargSrc->bstrVal),
                                   SysStringByteLen(pvargSrc->bstrVal));
      if (copy == nullptr) return E_OUTOFMEMORY;
    }
    *pvargDest = *pvargSrc;
    pvargDest->bstrVal = copy;
    return S_OK;
  }
  *pvargDest = *pvargSrc;
  if (pvargSrc->vt == VT_DISPATCH || pvargSrc->vt == VT_UNKNOWN) {
    if (IUnknown* unknown = AsUnknown(*pvargDest)) unknown->AddRef();
  }
  return S_OK;
}
