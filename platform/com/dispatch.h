// IDispatch, the late-bound calling interface of automation objects, with the structures of its
// calls (DISPPARAMS, EXCEPINFO) in the platform's layout and slot order: IUnknown's three
// slots, then GetTypeInfoCount, GetTypeInfo, GetIDsOfNames and Invoke.
//
// The system's objects implement it from their type-information tables
// (platform/com/dispatch_impl.h) and offer no ITypeInfo objects: the type library is read from
// the tables themselves (platform/com/type_library.h).
//
// Thread-safety: an interface definition; see each implementation.
#pragma once

#include "platform/com/unknown.h"
#include "platform/com/variant.h"

using DISPID = LONG;
using LCID = DWORD;

inline constexpr DISPID DISPID_UNKNOWN = -1;

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

inline constexpr IID IID_NULL = GUID_NULL;
inline constexpr IID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The arguments of one Invoke: rgvarg holds them in reverse order (the last argument first); the
// first cNamedArgs entries are the named ones, rgdispidNamedArgs[i] naming rgvarg[i]'s parameter.
struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

// What a failed member reports through Invoke's DISP_E_EXCEPTION. The BSTRs belong to the
// caller, who frees them.
struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
  HRESULT scode;
};

// Frees the texts of *excepinfo and zeroes it.
void ClearExcepInfo(EXCEPINFO* excepinfo);

// Type information objects are not offered (GetTypeInfoCount answers 0); the type is declared
// so that IDispatch keeps its slots.
struct ITypeInfo;

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                DISPID* rgDispId) = 0;
  virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                         DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                         UINT* puArgErr) = 0;

 protected:
  ~IDispatch() = default;
};
