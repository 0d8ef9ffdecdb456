// `korvalis call <class> <method> [args...] [-- <method> [args...]]...`: creates the class by
// its ProgID ("korvalis." and the class name, unless a full ProgID is given) and calls the
// method through IDispatch by name, passing the arguments as texts in order (the object
// converts them to the declared types). Methods separated by "--" are called in turn on the
// one object, for classes that keep state between calls (MyService binds a login with Init).
// Prints each result, then each [in,out] argument as "name=value"; on failure prints the error
// description and HRESULT and exits with 1 without calling further methods.
#include <cstdio>

#include "platform/com/class_factory.h"
#include "platform/com/dispatch.h"
#include "platform/com/object_creation.h"
#include "platform/com/registry.h"
#include "platform/com/unicode.h"
#include "tools/command.h"
#include "tools/component_library.h"

namespace korvalis::tools {
namespace {

std::string VariantText(const VARIANT& value) {
  switch (value.vt) {
    case VT_BSTR:
      return ToUtf8(BstrView(value.bstrVal));
    case VT_I4:
      return std::to_string(value.lVal);
    case VT_I2:
      return std::to_string(value.iVal);
    case VT_BOOL:
      return value.boolVal != 0 ? "true" : "false";
    default:
      return "";
  }
}

// The method's row in the type library of the class's library, or nullptr.
const com::MethodInfo* FindMethodInfo(const CLSID& clsid, std::u16string_view method) {
  com::RegistryKey root;
  if (FAILED(com::RegistryFile().Read(&root))) return nullptr;
  std::vector<std::string> problems;
  for (const RegisteredClass& c : RegisteredClasses(root, &problems)) {
    if (c.coclass->clsid == clsid) return c.coclass->interface->FindMethod(method);
  }
  return nullptr;
}

std::string DescribeInvokeFailure(HRESULT hr, const EXCEPINFO& excep, UINT arg_err,
                                  size_t arguments, size_t expected) {
  if (hr == DISP_E_EXCEPTION) {
    std::string description = ToUtf8(BstrView(excep.bstrDescription));
    return (description.empty() ? std::string("the method failed") : description) + " (HRESULT " +
           HresultText(excep.scode) + ")";
  }
  std::string what;
  if (hr == DISP_E_BADPARAMCOUNT) {
    what = "the method takes " + std::to_string(expected) + " arguments, not " +
           std::to_string(arguments);
  } else if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW) {
    what = "argument " + std::to_string(arguments - arg_err) + " does not fit its parameter";
  } else {
    what = "the call was refused";
  }
  return what + " (HRESULT " + HresultText(hr) + ")";
}

// Calls call[0] with the texts call[1...] on `dispatch`; 0 on success, else 1.
int CallMethod(IDispatch* dispatch, const CLSID& clsid, const std::u16string& progid,
               const std::vector<std::string>& call) {
  std::u16string method = FromUtf8(call[0]);
  LPOLESTR names[] = {method.data()};
  DISPID dispid = DISPID_UNKNOWN;
  if (FAILED(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid))) {
    std::fprintf(stderr, "korvalis: %s has no method %s\n", ToUtf8(progid).c_str(),
                 call[0].c_str());
    return 1;
  }
  const com::MethodInfo* info = FindMethodInfo(clsid, method);

  // Arguments in call order; [in,out] and [out] ones are passed by reference.
  size_t count = call.size() - 1;
  std::vector<BSTR> texts(count, nullptr);
  std::vector<VARIANT> reversed(count);
  std::vector<bool> by_reference(count, false);
  for (size_t i = 0; i < count; ++i) {
    texts[i] = AllocBstr(FromUtf8(call[i + 1]));
    by_reference[i] = info != nullptr && i < info->params.size() &&
                      (info->params[i].direction == com::ParamDirection::kInOut ||
                       info->params[i].direction == com::ParamDirection::kOut);
    VARIANT& v = reversed[count - 1 - i];
    VariantInit(&v);
    if (by_reference[i]) {
      v.vt = VT_BYREF | VT_BSTR;
      v.pbstrVal = &texts[i];
    } else {
      v.vt = VT_BSTR;
      v.bstrVal = texts[i];
    }
  }
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(count), 0};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO excep{};
  UINT arg_err = 0;
  HRESULT hr = dispatch->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &excep, &arg_err);

  int status = 0;
  if (FAILED(hr)) {
    size_t expected = 0;
    if (info != nullptr) {
      for (const com::ParamInfo& p : info->params) {
        expected += p.direction != com::ParamDirection::kOutRetval;
      }
    }
    std::fprintf(stderr, "korvalis: %s.%s failed: %s\n", ToUtf8(progid).c_str(), call[0].c_str(),
                 DescribeInvokeFailure(hr, excep, arg_err, count, expected).c_str());
    status = 1;
  } else {
    if (result.vt != VT_EMPTY) std::printf("%s\n", VariantText(result).c_str());
    for (size_t i = 0; i < count; ++i) {
      if (by_reference[i]) {
        std::printf("%s=%s\n", ToUtf8(info->params[i].name).c_str(),
                    ToUtf8(BstrView(texts[i])).c_str());
      }
    }
  }
  VariantClear(&result);
  ClearExcepInfo(&excep);
  for (BSTR text : texts) SysFreeString(text);
  return status;
}

}  // namespace

int RunCall(const std::vector<std::string>& args) {
  if (args.size() < 2 || args[0].empty()) {
    std::fprintf(stderr, "usage: korvalis call <class> <method> [args...] [-- <method> [args...]]...\n");
    return 2;
  }
  std::u16string progid = FromUtf8(args[0]);
  if (progid.find(u'.') == std::u16string::npos && progid.front() != u'{') {
    progid = u"korvalis." + progid;
  }
  CLSID clsid{};
  HRESULT hr = CLSIDFromProgID(progid.c_str(), &clsid);
  if (FAILED(hr)) {
    std::fprintf(stderr, "korvalis: %s is not a registered class (korvalis regsvr <library>)\n",
                 ToUtf8(progid).c_str());
    return 1;
  }
  IClassFactory* factory = nullptr;
  std::string error;
  hr = com::GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory), &error);
  IDispatch* dispatch = nullptr;
  if (SUCCEEDED(hr)) {
    hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    factory->Release();
  }
  if (FAILED(hr)) {
    std::fprintf(stderr, "korvalis: cannot create %s: %s (HRESULT %s)\n", ToUtf8(progid).c_str(),
                 error.empty() ? "the class refused" : error.c_str(), HresultText(hr).c_str());
    return 1;
  }

  // The calls, split at "--".
  int status = 0;
  std::vector<std::string> call;
  for (size_t i = 1; i <= args.size() && status == 0; ++i) {
    if (i < args.size() && args[i] != "--") {
      call.push_back(args[i]);
      continue;
    }
    if (call.empty()) {
      std::fprintf(stderr, "korvalis: a method name is missing before or after \"--\"\n");
      status = 2;
      break;
    }
    status = CallMethod(dispatch, clsid, progid, call);
    call.clear();
  }
  dispatch->Release();
  return status;
}

}  // namespace korvalis::tools
