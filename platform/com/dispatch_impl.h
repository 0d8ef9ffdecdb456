// IDispatch implemented from an interface's type-information table: GetIDsOfNames answers
// method and parameter names, Invoke calls the method through its vtable after coercing the
// arguments to the declared types.
//
// Invoke, for DISPATCH_METHOD:
//   - arguments arrive reversed (rgvarg[cArgs-1] is the first); the first cNamedArgs entries are
//     named by rgdispidNamedArgs (the parameter's position, as GetIDsOfNames gives it);
//   - [in] values of kind VT_I2, VT_I4, VT_BOOL, VT_BSTR and VT_EMPTY, also by reference, are
//     coerced to the declared VT_BSTR, VT_I4, VT_I2 or VT_BOOL; [in,out] and [out] parameters
//     take a VT_BYREF variant of exactly the declared type with a pointer, passed on unchanged;
//   - the [out,retval] value becomes *pVarResult (freed when pVarResult is null); it is handed
//     over even when the method fails, since the method may have written it before failing;
//   - a failing method gives DISP_E_EXCEPTION with its HRESULT in EXCEPINFO::scode and the
//     thread's error description, which is moved into EXCEPINFO when one is supplied.
// Caller errors: DISP_E_UNKNOWNINTERFACE (riid not IID_NULL), DISP_E_MEMBERNOTFOUND (no such
// dispatch identifier, or not called as a method), DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTFOUND
// (a named argument that names no parameter, or one already given), DISP_E_TYPEMISMATCH and
// DISP_E_OVERFLOW (with *puArgErr the index of the argument in rgvarg), E_INVALIDARG for
// malformed DISPPARAMS. The method is not called after a caller error.
//
// Thread-safety: as the object's own methods; the tables are read-only.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

namespace korvalis::com {

HRESULT DispatchGetTypeInfoCount(UINT* pctinfo);
HRESULT DispatchGetTypeInfo(UINT iTInfo, ITypeInfo** ppTInfo);
HRESULT DispatchGetIDsOfNames(const InterfaceInfo& info, REFIID riid, LPOLESTR* rgszNames,
                              UINT cNames, DISPID* rgDispId);
HRESULT DispatchInvoke(const InterfaceInfo& info, IDispatch* object, DISPID dispIdMember,
                       REFIID riid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                       EXCEPINFO* pExcepInfo, UINT* puArgErr);

// The IDispatch part of a class whose dual interface is `Interface`, described by `kInfo`.
template <class Interface, const InterfaceInfo& kInfo>
class DispatchImpl : public Interface {
 public:
  HRESULT GetTypeInfoCount(UINT* pctinfo) override { return DispatchGetTypeInfoCount(pctinfo); }
  HRESULT GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override {
    return DispatchGetTypeInfo(iTInfo, ppTInfo);
  }
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                        DISPID* rgDispId) override {
    return DispatchGetIDsOfNames(kInfo, riid, rgszNames, cNames, rgDispId);
  }
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
    return DispatchInvoke(kInfo, this, dispIdMember, riid, wFlags, pDispParams, pVarResult,
                          pExcepInfo, puArgErr);
  }

 protected:
  ~DispatchImpl() = default;
};

}  // namespace korvalis::com
