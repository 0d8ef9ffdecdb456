// `korvalis call <class> <method> [args...] [-- <method> [args...]]...`: creates the class by
// its ProgID ("korvalis." and the class name, unless a full ProgID is given) and calls the
// method through IDispatch by name, passing the arguments as BSTRs in order (the object
// converts them to the declared types). Methods separated by "--" are called in turn on the
// one object, for classes that keep state between calls (MyService binds a login with Init).
// An argument is a text or the bytes of a file, and a method's answer may go to a file byte for
// byte (tools/call_chain.h); every file is read and opened before the first call.
// Prints each result, then each [in,out] argument as "name=value", as UTF-8 (an XML answer's
// declaration names that encoding); a BSTR whose bytes are not UTF-16 text is shown as a notice
// with its length, never as replacement characters. On failure prints the error description
// and HRESULT and exits with 1 without calling further methods.
#include <cstdio>
#include <string_view>

#include "platform/com/class_factory.h"
#include "platform/com/dispatch.h"
#include "platform/com/object_creation.h"
#include "platform/com/registry.h"
#include "platform/com/unicode.h"
#include "tools/answer_file.h"
#include "tools/call_chain.h"
#include "tools/command.h"
#include "tools/component_library.h"
#include "tools/xml_declaration.h"

namespace korvalis::tools {
namespace {

// Whether the BSTR's bytes are UTF-16 text that a line can show: whole units, every surrogate
// in a pair, and no zero character (which would cut the printed line short).
bool IsPrintableText(BSTR value) {
  const std::u16string_view text = BstrView(value);
  return SysStringByteLen(value) % 2 == 0 && text.find(u'\0') == std::u16string_view::npos &&
         IsWellFormedUtf16(text);
}

// The BSTR as a line of text, or a notice of its length when its bytes are no text.
std::string BstrText(BSTR value) {
  if (IsPrintableText(value)) return WithUtf8Declaration(ToUtf8(BstrView(value)));
  return "(" + std::to_string(SysStringByteLen(value)) +
         " bytes that are not UTF-16 text; add --out FILE after the method's arguments to write "
         "them to a file)";
}

std::string VariantText(const VARIANT& value) {
  switch (value.vt) {
    case VT_BSTR:
      return BstrText(value.bstrVal);
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

// Whether the [out,retval] value of `info` is a BSTR, which --out can write.
bool AnswersText(const com::MethodInfo& info) {
  return !info.params.empty() && info.params.back().direction == com::ParamDirection::kOutRetval &&
         info.params.back().type == VT_BSTR;
}

// Writes the answer `result` of a method called with --out to `file`; false with *error when
// the answer is no BSTR or cannot be written.
bool WriteAnswer(const VARIANT& result, const std::string& path, AnswerFile* file,
                 std::string* error) {
  if (result.vt != VT_BSTR) {
    *error = "the answer is no text; nothing was written to " + path;
    return false;
  }
  const std::string_view bytes(reinterpret_cast<const char*>(result.bstrVal),
                               SysStringByteLen(result.bstrVal));
  return file->Write(bytes, error);
}

// The BSTRs of one call's arguments, freed when the call is over. An [in,out] argument's
// BSTR may have been replaced by the method by then.
struct ArgumentBstrs {
  explicit ArgumentBstrs(size_t count) : items(count, nullptr) {}
  ~ArgumentBstrs() {
    for (BSTR item : items) SysFreeString(item);
  }
  std::vector<BSTR> items;
};

// Calls `call` on `dispatch`, its answer written to `answer_file` when the call has --out;
// 0 on success, else 1.
int CallMethod(IDispatch* dispatch, const CLSID& clsid, const std::u16string& progid,
               const MethodCall& call, AnswerFile* answer_file) {
  const char* method_name = call.method.c_str();
  std::u16string method = FromUtf8(call.method);
  LPOLESTR names[] = {method.data()};
  DISPID dispid = DISPID_UNKNOWN;
  if (FAILED(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid))) {
    std::fprintf(stderr, "korvalis: %s has no method %s\n", ToUtf8(progid).c_str(), method_name);
    return 1;
  }
  const com::MethodInfo* info = FindMethodInfo(clsid, method);

  // Arguments in call order; [in,out] and [out] ones are passed by reference.
  size_t count = call.arguments.size();
  ArgumentBstrs texts(count);
  std::vector<VARIANT> reversed(count);
  std::vector<bool> by_reference(count, false);
  for (size_t i = 0; i < count; ++i) {
    const std::string& bytes = call.arguments[i];
    texts.items[i] = SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
    if (texts.items[i] == nullptr) {
      std::fprintf(stderr, "korvalis: no memory for argument %zu of %s\n", i + 1, method_name);
      return 1;
    }
    by_reference[i] = info != nullptr && i < info->params.size() &&
                      (info->params[i].direction == com::ParamDirection::kInOut ||
                       info->params[i].direction == com::ParamDirection::kOut);
    VARIANT& v = reversed[count - 1 - i];
    VariantInit(&v);
    if (by_reference[i]) {
      v.vt = VT_BYREF | VT_BSTR;
      v.pbstrVal = &texts.items[i];
    } else {
      v.vt = VT_BSTR;
      v.bstrVal = texts.items[i];
    }
  }
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(count), 0};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO excep{};
  UINT arg_err = 0;
  HRESULT hr =
      dispatch->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &excep, &arg_err);

  int status = 0;
  std::string error;
  if (FAILED(hr)) {
    size_t expected = 0;
    if (info != nullptr) {
      for (const com::ParamInfo& p : info->params) {
        expected += p.direction != com::ParamDirection::kOutRetval;
      }
    }
    std::fprintf(stderr, "korvalis: %s.%s failed: %s\n", ToUtf8(progid).c_str(), method_name,
                 DescribeInvokeFailure(hr, excep, arg_err, count, expected).c_str());
    status = 1;
  } else if (answer_file != nullptr && !WriteAnswer(result, call.out_path, answer_file, &error)) {
    std::fprintf(stderr, "korvalis: %s.%s: %s\n", ToUtf8(progid).c_str(), method_name,
                 error.c_str());
    status = 1;
  } else {
    if (answer_file == nullptr && result.vt != VT_EMPTY) {
      std::printf("%s\n", VariantText(result).c_str());
    }
    for (size_t i = 0; i < count; ++i) {
      if (by_reference[i]) {
        std::printf("%s=%s\n", ToUtf8(info->params[i].name).c_str(),
                    BstrText(texts.items[i]).c_str());
      }
    }
  }
  VariantClear(&result);
  ClearExcepInfo(&excep);
  return status;
}

}  // namespace

int RunCall(const std::vector<std::string>& args) {
  if (args.size() < 2 || args[0].empty()) {
    std::fprintf(stderr,
                 "usage: korvalis call <class> <method> [args...] [--out FILE] "
                 "[-- <method> [args...] [--out FILE]]...\n"
                 "  an argument @FILE passes the file's bytes (@- standard input, @@TEXT the "
                 "text @TEXT)\n");
    return 2;
  }
  const CallChain chain = ReadCallChain(std::vector<std::string>(args.begin() + 1, args.end()));
  if (chain.status != 0) {
    std::fprintf(stderr, "korvalis: %s\n", chain.error.c_str());
    return chain.status;
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

  // Every answer file is checked and opened before the first call.
  std::vector<AnswerFile> answer_files(chain.calls.size());
  for (size_t i = 0; i < chain.calls.size(); ++i) {
    const MethodCall& call = chain.calls[i];
    if (call.out_path.empty()) continue;
    const com::MethodInfo* info = FindMethodInfo(clsid, FromUtf8(call.method));
    if (info != nullptr && !AnswersText(*info)) {
      std::fprintf(stderr, "korvalis: %s.%s answers no text for --out to write\n",
                   ToUtf8(progid).c_str(), call.method.c_str());
      return 2;
    }
    std::string error;
    if (!answer_files[i].Open(call.out_path, &error)) {
      std::fprintf(stderr, "korvalis: %s\n", error.c_str());
      return 1;
    }
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

  int status = 0;
  for (size_t i = 0; i < chain.calls.size() && status == 0; ++i) {
    AnswerFile* answer_file = chain.calls[i].out_path.empty() ? nullptr : &answer_files[i];
    status = CallMethod(dispatch, clsid, progid, chain.calls[i], answer_file);
  }
  dispatch->Release();
  return status;
}

}  // namespace korvalis::tools
