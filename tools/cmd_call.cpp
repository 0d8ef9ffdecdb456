// `korvalis call <class> <method> [args...] [-- <method> [args...]]...`: creates the class by
// its ProgID ("korvalis." and the class name, unless a full ProgID is given) and calls the
// method through IDispatch by name, passing the arguments as BSTRs in order (the object
// converts them to the declared types). Methods separated by "--" are called in turn on the
// one object, for classes that keep state between calls (MyService binds a login with Init).
// An argument is a text, the text of a file or the bytes of a file, and a method's answer may go
// to a file (tools/call_chain.h); every file is read and opened before the first call.
// Prints each result, then each [in,out] argument as "name=value", as UTF-8 (an XML answer's
// declaration names that encoding); an answer file receives a text answer as it would be printed
// and other answers byte for byte. Compressed text is shown as its text when asked for
// (tools/answer_text.h); a BSTR whose bytes are not UTF-16 text is shown as a notice with its
// length, never as replacement characters. Names and argument counts are checked
// against the type library before the first call (a near name is suggested, a wrong count
// shows the signature), and so is the suite's configuration (one the stand-ins refuse fails
// the command). On failure prints the error description and HRESULT, the event-log records the
// call wrote (the cause behind the system's generic message) and any malformed configuration
// file, and exits with 1 without calling further methods. A call that cannot be made as written
// (an unknown class or method, a wrong number of arguments) exits with 2, as a mistyped option
// does.
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "platform/com/class_factory.h"
#include "platform/com/dispatch.h"
#include "platform/com/object_creation.h"
#include "platform/com/registry.h"
#include "platform/text/unicode.h"
#include "tools/answer_file.h"
#include "tools/answer_text.h"
#include "tools/call_chain.h"
#include "tools/call_event_log.h"
#include "tools/command.h"
#include "tools/command_line.h"
#include "tools/component_library.h"
#include "tools/config_files.h"
#include "tools/temporary_files.h"
#include "tools/whole_database_file.h"
#include "tools/xml_declaration.h"

namespace korvalis::tools {
namespace {

std::string_view BstrBytes(BSTR value) {
  return std::string_view(reinterpret_cast<const char*>(value), SysStringByteLen(value));
}

// A text as it is printed and saved: UTF-8, an XML declaration naming that encoding.
std::string PrintedText(std::u16string_view text) { return WithUtf8Declaration(ToUtf8(text)); }

// The answer's bytes as a line of text, or a notice of their length when they are no text.
std::string AnswerLine(std::string_view bytes) {
  const AnswerText answer = ReadAnswer(bytes);
  switch (answer.form) {
    case AnswerText::Form::kText:
      return PrintedText(answer.text);
    case AnswerText::Form::kCompressedText:
      return "(" + std::to_string(bytes.size()) +
             " bytes of compressed text; add --expand after the method's arguments to print the "
             "text, --out FILE to write the bytes to a file)";
    case AnswerText::Form::kBytes:
      break;
  }
  return "(" + std::to_string(bytes.size()) +
         " bytes that are not UTF-16 text; add --out FILE after the method's arguments to write "
         "them to a file)";
}

std::string BstrText(BSTR value) { return AnswerLine(BstrBytes(value)); }

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

constexpr char kUsage[] =
    "usage: korvalis call CLASS METHOD [ARGUMENT | --out FILE]... [-- METHOD ...]...\n"
    "Creates one object of the registered class CLASS (\"korvalis.CLASS\", or a full ProgID) and\n"
    "calls METHOD with the arguments, in the order `korvalis classes CLASS` lists the [in] and\n"
    "[in, out] parameters; methods after \"--\" are called in turn on the same object. Prints\n"
    "each answer as UTF-8, then each [in, out] argument as name=value. A call that fails prints\n"
    "the system's message and the event-log records the call wrote, and ends the command with 1;\n"
    "one that cannot be made as written (an unknown class or method, a wrong number of\n"
    "arguments) ends it with 2.\n"
    "  TEXT          a text argument (@@TEXT: the text @TEXT)\n"
    "  @FILE         the text of the UTF-8 file FILE as the argument (@-: standard input)\n"
    "  --bytes FILE  the bytes of FILE as the argument, as they are (--bytes -: standard input)\n"
    "  --out FILE    writes the method's answer to FILE instead of printing it (--out -: to\n"
    "                standard output): a text as UTF-8, as it would be printed, other bytes as\n"
    "                they are, so that @FILE or --bytes FILE passes it back unchanged\n"
    "  --expand      the answer is compressed text (a report page, a QC report, a table\n"
    "                export, record content): prints it, or writes it with --out, as its text\n";

// Whether the [out,retval] value of `info` is a BSTR, which --out can write.
bool AnswersText(const com::MethodInfo& info) {
  return !info.params.empty() && info.params.back().direction == com::ParamDirection::kOutRetval &&
         info.params.back().type == VT_BSTR;
}

// The interface of the class in the type library of its library, or nullptr (a library
// without a type library). Only the class's own library is loaded.
const com::InterfaceInfo* FindInterfaceInfo(const CLSID& clsid) {
  std::shared_ptr<const com::RegistryKey> root;
  if (FAILED(com::RegistryFile().ReadShared(&root))) return nullptr;
  const com::CoClassInfo* coclass = RegisteredCoClass(*root, clsid);
  return coclass != nullptr ? coclass->interface : nullptr;
}

// The names of every registered class, to suggest one for a name that is none of them.
std::vector<std::string> RegisteredClassNames() {
  std::vector<std::string> names;
  com::RegistryKey root;
  if (FAILED(com::RegistryFile().Read(&root))) return names;
  std::vector<std::string> problems;
  for (const RegisteredClass& c : RegisteredClasses(root, &problems)) {
    names.push_back(ToUtf8(c.coclass->name));
  }
  return names;
}

// Checks the method and argument count of `call` against the type library; "" when they fit.
std::string CheckCall(const com::InterfaceInfo& iface, const std::string& progid,
                      const MethodCall& call) {
  const com::MethodInfo* info = iface.FindMethod(FromUtf8(call.method));
  if (info == nullptr) {
    std::vector<std::string> names;
    for (const com::MethodInfo& m : iface.methods) names.push_back(ToUtf8(m.name));
    return progid + " has no method " + call.method + DidYouMean(call.method, names) +
           " (korvalis classes lists them)";
  }
  const size_t expected = ArgumentCount(*info);
  if (call.arguments.size() != expected) {
    return progid + "." + ToUtf8(info->name) + " takes " + std::to_string(expected) +
           (expected == 1 ? " argument" : " arguments") + ", not " +
           std::to_string(call.arguments.size()) + ": " + MethodSignature(*info);
  }
  if ((!call.out_path.empty() || call.expand) && !AnswersText(*info)) {
    return progid + "." + call.method + " answers no text for " +
           (call.out_path.empty() ? "--expand" : "--out") + " to show";
  }
  return "";
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

// Prints the answer `result` of `call`, or writes it to `answer_file` when the call has --out;
// false with *error when the answer cannot be shown as the call asks.
bool ShowAnswer(const VARIANT& result, const MethodCall& call, AnswerFile* answer_file,
                std::string* error) {
  if (answer_file == nullptr && !call.expand) {
    if (result.vt != VT_EMPTY) std::printf("%s\n", VariantText(result).c_str());
    return true;
  }
  if (result.vt != VT_BSTR) {
    *error = "the answer is no text; nothing was shown";
    return false;
  }
  const std::string_view bytes = BstrBytes(result.bstrVal);
  const AnswerText answer = ReadAnswer(bytes);
  std::string shown;
  if (call.expand) {
    if (answer.form != AnswerText::Form::kCompressedText) {
      *error = "the answer (" + std::to_string(bytes.size()) +
               " bytes) is no compressed text to expand; nothing was shown";
      return false;
    }
    shown = PrintedText(answer.text);
  } else {
    shown = answer.form == AnswerText::Form::kText ? PrintedText(answer.text) : std::string(bytes);
  }
  if (answer_file != nullptr) return answer_file->Write(shown, error);
  std::printf("%s\n", shown.c_str());
  return true;
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

// The methods of the chain that answered so far: each did its work, whatever becomes of its
// answer, and the command says so when its output is lost (NoteWorkDone).
class AnsweredCalls {
 public:
  explicit AnsweredCalls(std::string progid) : progid_(std::move(progid)) {}

  // Notes that `method` answered; answers what the chain's calls did, as it is told.
  const std::string& Answered(const std::string& method) {
    methods_ += (count_ == 0 ? "" : ", ") + method;
    ++count_;
    done_ = progid_ + "." + methods_ + (count_ == 1 ? " was" : " were") + " called and answered";
    NoteWorkDone(done_);
    return done_;
  }

 private:
  std::string progid_;
  std::string methods_;
  int count_ = 0;
  std::string done_;
};

// Calls `call` on `dispatch`, its answer written to `answer_file` when the call has --out;
// 0 on success, 2 for a method or argument count the class does not know, else 1.
int CallMethod(IDispatch* dispatch, const com::InterfaceInfo* iface, const std::u16string& progid,
               const MethodCall& call, AnswerFile* answer_file, AnsweredCalls* answered) {
  const char* method_name = call.method.c_str();
  std::u16string method = FromUtf8(call.method);
  LPOLESTR names[] = {method.data()};
  DISPID dispid = DISPID_UNKNOWN;
  if (FAILED(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid))) {
    PrintError(ToUtf8(progid) + " has no method " + call.method);
    return 2;
  }
  const com::MethodInfo* info = iface != nullptr ? iface->FindMethod(method) : nullptr;

  // Arguments in call order; [in,out] and [out] ones are passed by reference.
  size_t count = call.arguments.size();
  ArgumentBstrs texts(count);
  std::vector<VARIANT> reversed(count);
  std::vector<bool> by_reference(count, false);
  for (size_t i = 0; i < count; ++i) {
    const std::string& bytes = call.arguments[i];
    texts.items[i] = SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
    if (texts.items[i] == nullptr) {
      PrintError("no memory for argument " + std::to_string(i + 1) + " of " + call.method);
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
    const size_t expected = info != nullptr ? ArgumentCount(*info) : 0;
    PrintError(ToUtf8(progid) + "." + method_name + " failed: " +
               DescribeInvokeFailure(hr, excep, arg_err, count, expected));
    status = hr == DISP_E_BADPARAMCOUNT ? 2 : 1;
  } else if (const std::string& done = answered->Answered(call.method);
             !ShowAnswer(result, call, answer_file, &error)) {
    PrintError(done + ", but " + error);
    status = 1;
  } else {
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

// Checks every name and argument count of the chain against the class's type information
// and opens every answer file, before the first call. Answers the command's status: 0 when
// the chain may run.
int CheckChain(const CallChain& chain, const com::InterfaceInfo* iface,
               const std::string& progid_text, std::vector<AnswerFile>* answer_files) {
  for (size_t i = 0; i < chain.calls.size(); ++i) {
    const MethodCall& call = chain.calls[i];
    if (iface != nullptr) {
      if (std::string problem = CheckCall(*iface, progid_text, call); !problem.empty()) {
        PrintError(problem);
        return 2;
      }
    }
    std::string error;
    if (!call.out_path.empty() && !(*answer_files)[i].Open(call.out_path, &error)) {
      PrintError(error);
      return 1;
    }
  }
  return 0;
}

// The ProgID that the class name `word` stands for ("korvalis." and the name, unless a full
// ProgID or a CLSID is given) and the class it names. 0 when it is registered; else says why and
// answers the command's status: 2 for a class that is not registered, 1 for a registry that
// cannot be read.
int FindClass(const std::string& word, std::u16string* progid, CLSID* clsid) {
  *progid = FromUtf8(word);
  if (progid->find(u'.') == std::u16string::npos && progid->front() != u'{') {
    *progid = u"korvalis." + *progid;
  }
  const HRESULT hr = CLSIDFromProgID(progid->c_str(), clsid);
  if (SUCCEEDED(hr)) return 0;
  // A registry that cannot be read is named with its reason, not taken for one without the
  // class.
  std::string unreadable;
  com::RegistryKey root;
  const com::RegistryFile registry;
  if (hr == REGDB_E_READREGDB && FAILED(registry.Read(&root, &unreadable))) {
    PrintError(unreadable);
    return 1;
  }
  // The registry is named: one in another place than meant (a folder missing, a mistyped
  // KORVALIS_REGISTRY) holds no class.
  PrintError(ToUtf8(*progid) + " is not a registered class in " + registry.path() +
             DidYouMean(word, RegisteredClassNames()) +
             " (korvalis classes lists them; korvalis regsvr <library> registers more)");
  return 2;
}

// Creates an object of the class through its class factory; prints why and answers null when
// it cannot.
IDispatch* CreateObject(const CLSID& clsid, const std::string& progid_text) {
  IClassFactory* factory = nullptr;
  std::string error;
  HRESULT hr =
      com::GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory), &error);
  IDispatch* dispatch = nullptr;
  if (SUCCEEDED(hr)) {
    hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    factory->Release();
  }
  if (FAILED(hr)) {
    PrintError("cannot create " + progid_text + ": " +
               (error.empty() ? std::string("the class refused") : error) + " (HRESULT " +
               HresultText(hr) + ")");
    return nullptr;
  }
  return dispatch;
}

}  // namespace

int RunCall(const std::vector<std::string>& args) {
  ParsedOptions options;
  switch (ParseOptions("call", args, {}, kUsage, &options, /*options_first=*/true)) {
    case OptionsOutcome::kRun: break;
    case OptionsOutcome::kHelpShown: return 0;
    case OptionsOutcome::kRefused: return 2;
  }
  const std::vector<std::string>& words = options.operands;
  if (words.size() < 2 || words[0].empty()) {
    PrintError("call needs a class and a method",
               "usage: korvalis call CLASS METHOD [ARGUMENT]... (korvalis call --help tells more)");
    return 2;
  }
  SayAtSignal("korvalis call: interrupted before the first call: nothing was called");
  const CallChain chain = ReadCallChain(std::vector<std::string>(words.begin() + 1, words.end()));
  if (chain.status != 0) {
    PrintError(chain.error);
    return chain.status;
  }
  std::u16string progid;
  CLSID clsid{};
  if (const int status = FindClass(words[0], &progid, &clsid); status != 0) return status;
  const std::string progid_text = ToUtf8(progid);
  const com::InterfaceInfo* iface = FindInterfaceInfo(clsid);

  std::vector<AnswerFile> answer_files(chain.calls.size());
  if (int status = CheckChain(chain, iface, progid_text, &answer_files); status != 0) {
    return status;
  }

  // A suite configuration that every stand-in refuses fails the command before the first call:
  // a method that answers a failure as an empty list would hide it.
  if (!SuiteConfigurationRefusal().empty()) {
    for (const std::string& problem : ConfigurationProblems()) PrintError(problem);
    return 1;
  }

  // The records of a failed call are its cause; those of a call that succeeded were handled
  // by the system (a statement tried and answered for) and are left to the log.
  CallEventLog events;
  auto show_events = [&events](bool failed) {
    const std::vector<sys::EventRecord> records = events.TakeNew();
    for (size_t i = 0; failed && i < records.size(); ++i) {
      if (i > 0 && CallEventLog::Repeats(records[i], records[i - 1])) continue;
      PrintError(CallEventLog::Describe(records[i]));
    }
  };
  IDispatch* dispatch = CreateObject(clsid, progid_text);
  if (dispatch == nullptr) {
    show_events(true);
    return 1;
  }

  int status = 0;
  AnsweredCalls answered(progid_text);
  for (size_t i = 0; i < chain.calls.size() && status == 0; ++i) {
    // A call is one transaction: one ended by a signal is undone, those before it stay done.
    SayAtSignal("korvalis call: interrupted during " + progid_text + "." + chain.calls[i].method +
                ": its changes to the database are undone" +
                (WorkDone().empty() ? "" : "; " + WorkDone()));
    AnswerFile* answer_file = chain.calls[i].out_path.empty() ? nullptr : &answer_files[i];
    status = CallMethod(dispatch, iface, progid, chain.calls[i], answer_file, &answered);
    SayAtSignal(WorkDone().empty() ? "" : "korvalis call: interrupted after " + WorkDone());
    show_events(status != 0);
  }
  dispatch->Release();
  LeaveConfiguredDatabaseFileWhole();
  if (status != 0) {
    for (const std::string& problem : ConfigurationProblems()) PrintError(problem);
  }
  return status;
}

}  // namespace korvalis::tools
