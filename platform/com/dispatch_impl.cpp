#include "platform/com/dispatch_impl.h"

#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <string>

#include "platform/text/ascii.h"
#include "platform/com/error_info.h"

namespace korvalis::com {
namespace {

constexpr int kUnassigned = -1;

// The value of an [in] argument once references are followed; false for kinds not coerced.
bool Dereference(const VARIANT& source, VARIANT* value) {
  if ((source.vt & VT_BYREF) == 0) {
    *value = source;
    return true;
  }
  if (source.byref == nullptr) return false;
  *value = VARIANT{};
  switch (source.vt & ~VT_BYREF) {
    case VT_BSTR:
      value->vt = VT_BSTR;
      value->bstrVal = *source.pbstrVal;
      return true;
    case VT_I4:
      value->vt = VT_I4;
      value->lVal = *source.plVal;
      return true;
    case VT_I2:
    case VT_BOOL:
      value->vt = source.vt & ~VT_BYREF;
      value->iVal = *static_cast<SHORT*>(source.byref);
      return true;
    case VT_VARIANT:
      if ((source.pvarVal->vt & VT_BYREF) != 0) return false;
      *value = *source.pvarVal;
      return true;
    default:
      return false;
  }
}

// Parses a decimal integer with optional sign and surrounding blanks.
HRESULT ParseInteger(std::u16string_view text, int64_t* value) {
  text = TrimAsciiBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  if (text.empty()) return DISP_E_TYPEMISMATCH;
  int64_t result = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return DISP_E_TYPEMISMATCH;
    result = result * 10 + (c - u'0');
    if (result > (int64_t{1} << 40)) return DISP_E_OVERFLOW;
  }
  *value = negative ? -result : result;
  return S_OK;
}

HRESULT ToInteger(const VARIANT& value, int64_t* result) {
  switch (value.vt) {
    case VT_EMPTY:
      *result = 0;
      return S_OK;
    case VT_I2:
      *result = value.iVal;
      return S_OK;
    case VT_I4:
      *result = value.lVal;
      return S_OK;
    case VT_BOOL:
      *result = value.boolVal != 0 ? -1 : 0;
      return S_OK;
    case VT_BSTR:
      return ParseInteger(BstrView(value.bstrVal), result);
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT ToBoolean(const VARIANT& value, int16_t* result) {
  if (value.vt == VT_BSTR) {
    const std::u16string_view text = TrimAsciiBlanks(BstrView(value.bstrVal));
    if (NameEquals(text, u"true") || NameEquals(text, u"#TRUE#")) {
      *result = VARIANT_TRUE;
      return S_OK;
    }
    if (NameEquals(text, u"false") || NameEquals(text, u"#FALSE#")) {
      *result = VARIANT_FALSE;
      return S_OK;
    }
  }
  int64_t number = 0;
  HRESULT hr = ToInteger(value, &number);
  if (hr == DISP_E_OVERFLOW) {  // a number too large for any integer is still not zero
    *result = VARIANT_TRUE;
    return S_OK;
  }
  if (FAILED(hr)) return hr;
  *result = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

// Coerces an [in] value to `type`. A new BSTR made here is recorded in *owned.
HRESULT Coerce(const VARIANT& value, VARTYPE type, DispatchArgument* arg, BSTR* owned) {
  switch (type) {
    case VT_BSTR: {
      if (value.vt == VT_BSTR) {
        arg->bstr = value.bstrVal;
        return S_OK;
      }
      std::u16string text;
      if (value.vt == VT_EMPTY) {
        text.clear();
      } else if (value.vt == VT_I2 || value.vt == VT_I4 || value.vt == VT_BOOL) {
        int64_t number = 0;
        ToInteger(value, &number);
        for (char c : std::to_string(number)) text.push_back(static_cast<char16_t>(c));
      } else {
        return DISP_E_TYPEMISMATCH;
      }
      *owned = AllocBstr(text);
      if (*owned == nullptr) return E_OUTOFMEMORY;
      arg->bstr = *owned;
      return S_OK;
    }
    case VT_I4: {
      int64_t number = 0;
      HRESULT hr = ToInteger(value, &number);
      if (FAILED(hr)) return hr;
      if (number < std::numeric_limits<int32_t>::min() ||
          number > std::numeric_limits<int32_t>::max()) {
        return DISP_E_OVERFLOW;
      }
      arg->i4 = static_cast<int32_t>(number);
      return S_OK;
    }
    case VT_I2: {
      int64_t number = 0;
      HRESULT hr = ToInteger(value, &number);
      if (FAILED(hr)) return hr;
      if (number < std::numeric_limits<int16_t>::min() ||
          number > std::numeric_limits<int16_t>::max()) {
        return DISP_E_OVERFLOW;
      }
      arg->i2 = static_cast<int16_t>(number);
      return S_OK;
    }
    case VT_BOOL:
      return ToBoolean(value, &arg->i2);
    default:
      return DISP_E_BADVARTYPE;
  }
}

// Frees the BSTRs made by coercion when the call is over.
struct OwnedStrings {
  std::array<BSTR, kMaxDispatchParams> strings{};
  ~OwnedStrings() {
    for (BSTR s : strings) SysFreeString(s);
  }
};

// Storage for the [out,retval] value while the method runs.
struct RetvalSlot {
  BSTR bstr = nullptr;
  int32_t i4 = 0;
  int16_t i2 = 0;
};

void StoreRetval(VARTYPE type, RetvalSlot* slot, VARIANT* result) {
  if (result == nullptr) {
    SysFreeString(slot->bstr);
    return;
  }
  VariantInit(result);
  result->vt = type;
  switch (type) {
    case VT_BSTR:
      result->bstrVal = slot->bstr;
      break;
    case VT_I4:
      result->lVal = slot->i4;
      break;
    default:
      result->iVal = slot->i2;
      break;
  }
}

void FillExcepInfo(HRESULT hr, EXCEPINFO* excepinfo) {
  *excepinfo = EXCEPINFO{};
  excepinfo->scode = hr;
  IErrorInfo* error = nullptr;
  if (GetErrorInfo(0, &error) == S_OK && error != nullptr) {
    error->GetDescription(&excepinfo->bstrDescription);
    error->GetSource(&excepinfo->bstrSource);
    error->Release();
  }
}

// Finds the argument of each parameter: positional ones in reverse order, then the named
// ones by their DISPID; a name given twice or out of range is DISP_E_PARAMNOTFOUND.
HRESULT MatchArguments(const DISPPARAMS& dp, size_t argument_count,
                       std::array<int, kMaxDispatchParams>* source, UINT* puArgErr) {
  source->fill(kUnassigned);
  UINT positional = dp.cArgs - dp.cNamedArgs;
  for (UINT j = 0; j < positional; ++j) (*source)[j] = static_cast<int>(dp.cArgs - 1 - j);
  for (UINT i = 0; i < dp.cNamedArgs; ++i) {
    DISPID k = dp.rgdispidNamedArgs[i];
    if (k < 0 || static_cast<size_t>(k) >= argument_count || (*source)[k] != kUnassigned) {
      if (puArgErr != nullptr) *puArgErr = i;
      return DISP_E_PARAMNOTFOUND;
    }
    (*source)[k] = static_cast<int>(i);
  }
  return S_OK;
}

// The [out, retval] parameter writes into the slot of its type.
void PointAtRetval(VARTYPE type, RetvalSlot* retval, DispatchArgument* arg) {
  if (type == VT_BSTR) {
    arg->pbstr = &retval->bstr;
  } else if (type == VT_I4) {
    arg->pi4 = &retval->i4;
  } else {
    arg->pi2 = &retval->i2;
  }
}

// An [in] argument is coerced to the parameter's type (a coerced text is kept in *owned); an
// [in, out] one must be a reference of exactly that type.
HRESULT BindArgument(const ParamInfo& p, const VARIANT& given, DispatchArgument* arg, BSTR* owned) {
  if (p.direction == ParamDirection::kIn) {
    VARIANT value;
    return Dereference(given, &value) ? Coerce(value, p.type, arg, owned) : DISP_E_TYPEMISMATCH;
  }
  if (given.vt != (VT_BYREF | p.type) || given.byref == nullptr) return DISP_E_TYPEMISMATCH;
  if (p.type == VT_BSTR) {
    arg->pbstr = given.pbstrVal;
  } else if (p.type == VT_I4) {
    arg->pi4 = given.plVal;
  } else {
    arg->pi2 = static_cast<SHORT*>(given.byref);
  }
  return S_OK;
}

}  // namespace

HRESULT DispatchGetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo == nullptr) return E_INVALIDARG;
  *pctinfo = 0;
  return S_OK;
}

HRESULT DispatchGetTypeInfo(UINT, ITypeInfo** ppTInfo) {
  if (ppTInfo == nullptr) return E_INVALIDARG;
  *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT DispatchGetIDsOfNames(const InterfaceInfo& info, REFIID riid, LPOLESTR* rgszNames,
                              UINT cNames, DISPID* rgDispId) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (cNames == 0) return S_OK;
  if (rgszNames == nullptr || rgDispId == nullptr) return E_INVALIDARG;
  const MethodInfo* method = rgszNames[0] == nullptr
                                 ? nullptr
                                 : info.FindMethod(std::u16string_view(rgszNames[0]));
  if (method == nullptr) {
    for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  rgDispId[0] = method->dispid;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < cNames; ++i) {
    rgDispId[i] = DISPID_UNKNOWN;
    if (rgszNames[i] == nullptr) {
      hr = DISP_E_UNKNOWNNAME;
      continue;
    }
    std::u16string_view name(rgszNames[i]);
    for (size_t k = 0; k < method->params.size(); ++k) {
      if (NameEquals(method->params[k].name, name)) {
        rgDispId[i] = static_cast<DISPID>(k);
        break;
      }
    }
    if (rgDispId[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT DispatchInvoke(const InterfaceInfo& info, IDispatch* object, DISPID dispIdMember,
                       REFIID riid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                       EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  const MethodInfo* method = info.FindMethod(dispIdMember);
  if (method == nullptr || (wFlags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
  if (pDispParams == nullptr) return E_INVALIDARG;
  const DISPPARAMS& dp = *pDispParams;
  if ((dp.cArgs > 0 && dp.rgvarg == nullptr) || dp.cNamedArgs > dp.cArgs ||
      (dp.cNamedArgs > 0 && dp.rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }

  const auto& params = method->params;
  bool has_retval =
      !params.empty() && params.back().direction == ParamDirection::kOutRetval;
  size_t argument_count = params.size() - (has_retval ? 1 : 0);
  if (dp.cArgs != argument_count) return DISP_E_BADPARAMCOUNT;

  // source[k]: the index in rgvarg of the argument of parameter k.
  std::array<int, kMaxDispatchParams> source;
  HRESULT hr = MatchArguments(dp, argument_count, &source, puArgErr);
  if (FAILED(hr)) return hr;

  std::array<DispatchArgument, kMaxDispatchParams> args{};
  OwnedStrings owned;
  RetvalSlot retval;
  for (size_t k = 0; k < params.size(); ++k) {
    const ParamInfo& p = params[k];
    if (p.direction == ParamDirection::kOutRetval) {
      PointAtRetval(p.type, &retval, &args[k]);
      continue;
    }
    hr = BindArgument(p, dp.rgvarg[source[k]], &args[k], &owned.strings[k]);
    if (FAILED(hr)) {
      if (puArgErr != nullptr) *puArgErr = static_cast<UINT>(source[k]);
      return hr;
    }
  }

  hr = method->invoker.invoke(object, args.data());
  if (has_retval) {
    StoreRetval(params.back().type, &retval, pVarResult);
  } else if (pVarResult != nullptr) {
    VariantInit(pVarResult);
  }
  if (FAILED(hr)) {
    if (pExcepInfo != nullptr) FillExcepInfo(hr, pExcepInfo);
    return DISP_E_EXCEPTION;
  }
  return S_OK;
}

}  // namespace korvalis::com
