// VARIANT, the tagged value of late-bound calls, for the kinds the system passes: empty, null,
// 16- and 32-bit integers, booleans, strings, interface pointers and strings by reference.
// A VARIANT owns its BSTR and holds a reference on its interface pointer; one marked VT_BYREF
// owns nothing.
//
// Thread-safety: none; a VARIANT belongs to one thread at a time.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/hresult.h"
#include "platform/com/types.h"
#include "platform/com/unknown.h"

struct IDispatch;

using VARTYPE = std::uint16_t;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_BYREF = 0x4000,
};

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONG lVal;             // VT_I4
    SHORT iVal;            // VT_I2
    VARIANT_BOOL boolVal;  // VT_BOOL
    HRESULT scode;         // VT_ERROR
    BSTR bstrVal;          // VT_BSTR
    IUnknown* punkVal;     // VT_UNKNOWN
    IDispatch* pdispVal;   // VT_DISPATCH
    BSTR* pbstrVal;        // VT_BYREF | VT_BSTR
    LONG* plVal;           // VT_BYREF | VT_I4
    VARIANT* pvarVal;      // VT_BYREF | VT_VARIANT
    void* byref;           // any VT_BYREF
  };
};

using VARIANTARG = VARIANT;

// Makes *pvarg empty without reading what it held.
void VariantInit(VARIANTARG* pvarg);
// Frees what *pvarg owns (its BSTR, its interface reference) and makes it empty.
// E_INVALIDARG for null, DISP_E_BADVARTYPE for a kind the system does not pass (then *pvarg
// is left as it was).
HRESULT VariantClear(VARIANTARG* pvarg);
// Clears *pvargDest and makes it a deep copy of *pvargSrc (a new BSTR, an added reference).
// Copying a variant to itself does nothing. E_OUTOFMEMORY when a string cannot be copied
// (*pvargDest is then empty).
HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
