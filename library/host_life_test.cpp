// The library through the end of its host's life, in processes of their own (each case runs in a
// fresh copy of this program): a host that calls exit() while its threads are inside calls never
// crashes, and a host that unloads the library after its last object while the library's own
// threads still wait (for the transformation worker's end) keeps it mapped.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "interface/emr_report_interface.h"
#include "platform/com/class_factory.h"
#include "platform/com/dispatch.h"
#include "platform/com/object_creation.h"
#include "platform/text/unicode.h"
#include "platform/xml/testing/worker_processes.h"

namespace {

namespace fs = std::filesystem;

constexpr char16_t kClient[] =
    u"<root><user id='1002'>刘静怡</user><dept id='0101'>心血管内科</dept></root>";

// A directory with the sample hospital's database and its configuration, the library
// registered there; the process works in it.
class HostLifeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }

  // A case's processes share the directory its first process made (they inherit its name).
  void SetUp() override {
    previous_ = fs::current_path();
    if (const char* made = std::getenv(kDirectoryVariable); made != nullptr) {
      fs::current_path(made);
      return;
    }
    directory_ = fs::path(::testing::TempDir()) / ("host_life." + std::to_string(::getpid()));
    fs::remove_all(directory_);
    fs::create_directories(directory_);
    fs::current_path(directory_);
    ::setenv(kDirectoryVariable, directory_.c_str(), 1);
    ::setenv("KORVALIS_REGISTRY", (directory_ / "registry").c_str(), 1);
    ASSERT_EQ(std::system(KORVALIS_COMMAND " initdb --sample emr.db >/dev/null"), 0);
    ASSERT_EQ(std::system(KORVALIS_COMMAND " regsvr " KORVALIS_LIBRARY " >/dev/null"), 0);
  }
  void TearDown() override {
    fs::current_path(previous_);
    if (directory_.empty()) return;
    fs::remove_all(directory_);
    ::unsetenv(kDirectoryVariable);
    ::unsetenv("KORVALIS_REGISTRY");
  }

  static constexpr char kDirectoryVariable[] = "KORVALIS_HOST_LIFE_DIRECTORY";

  fs::path directory_;
  fs::path previous_;
};

// Calls EMRReport's methods by name through IDispatch: one that parses its XML arguments and reads
// a report's rows, one that also transforms them in the worker.
class ReportCaller {
 public:
  ReportCaller() {
    CLSID clsid{};
    if (CLSIDFromProgID(u"korvalis.EMRReport", &clsid) == S_OK) {
      CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                       reinterpret_cast<void**>(&report_));
    }
  }
  ~ReportCaller() {
    if (report_ != nullptr) report_->Release();
  }
  bool Ready() const { return report_ != nullptr; }

  HRESULT Call(const char16_t* method, LONG report_id) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(method)};
    DISPID id = 0;
    if (HRESULT hr = report_->GetIDsOfNames(IID_NULL, names, 1, 0, &id); hr != S_OK) return hr;
    VARIANT arguments[3]{};  // reversed, as DISPPARAMS holds them
    arguments[0].vt = arguments[1].vt = VT_BSTR;
    arguments[0].bstrVal = korvalis::AllocBstr(kClient);
    arguments[1].bstrVal = korvalis::AllocBstr(u"");
    arguments[2].vt = VT_I4;
    arguments[2].lVal = report_id;
    DISPPARAMS parameters{arguments, nullptr, 3, 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr =
        report_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters, &result, nullptr, nullptr);
    VariantClear(&result);
    for (VARIANT& argument : arguments) VariantClear(&argument);
    return hr;
  }

 private:
  IDispatch* report_ = nullptr;
};

// Threads that call without end, then exit() from the main thread `delay` after they started:
// the process ends with status 0 whatever the threads were doing.
[[noreturn]] void ExitWhileCalling(std::chrono::milliseconds delay) {
  for (int i = 0; i < 6; ++i) {
    std::thread([i] {
      ReportCaller caller;
      if (!caller.Ready()) std::_Exit(3);
      for (;;) caller.Call(i % 2 == 0 ? u"GetReportContent" : u"GetResultXML", 3);
    }).detach();
  }
  std::this_thread::sleep_for(delay);
  std::exit(0);
}

TEST_F(HostLifeTest, AHostThatExitsWhileCallsAreInFlightEndsCleanly) {
  ReportCaller caller;
  ASSERT_TRUE(caller.Ready());
  ASSERT_EQ(caller.Call(u"GetReportContent", 3), S_OK);
  // Twelve exits, each at another moment of the calls: their start, the parsing of their
  // arguments, the statement, the transformation.
  for (int exit = 0; exit < 12; ++exit) {
    SCOPED_TRACE(exit);
    EXPECT_EXIT(ExitWhileCalling(std::chrono::milliseconds(1 + 7 * exit)),
                ::testing::ExitedWithCode(0), "");
  }
}

// Whether the library at `path` is mapped into this process.
bool Mapped(const std::string& path) {
  std::ifstream maps("/proc/self/maps");
  const std::string resolved = fs::canonical(path).string();
  for (std::string line; std::getline(maps, line);) {
    if (line.find(resolved) != std::string::npos) return true;
  }
  return false;
}

// A host that loads the library itself, transforms, releases every object and unloads the
// library once DllCanUnloadNow allows it; the worker then ends and the library's thread that
// waited for it wakes up in code that must still be there.
[[noreturn]] void UnloadWhileTheWorkerLives() {
  void* library = ::dlopen(KORVALIS_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) std::_Exit(3);
  auto get_class_object =
      reinterpret_cast<DllGetClassObjectFn>(::dlsym(library, "DllGetClassObject"));
  auto can_unload_now = reinterpret_cast<DllCanUnloadNowFn>(::dlsym(library, "DllCanUnloadNow"));
  IClassFactory* factory = nullptr;
  if (get_class_object(CLSID_EMRReport, IID_IClassFactory, reinterpret_cast<void**>(&factory)) !=
      S_OK) {
    std::_Exit(4);
  }
  IEMRReport* report = nullptr;
  factory->CreateInstance(nullptr, IID_IEMRReport, reinterpret_cast<void**>(&report));
  factory->Release();
  if (report == nullptr) std::_Exit(5);
  BSTR page = nullptr;
  BSTR none = korvalis::AllocBstr(u"");
  BSTR client = korvalis::AllocBstr(kClient);
  const HRESULT transformed = report->GetReportContent(3, none, client, &page);
  SysFreeString(page);
  SysFreeString(none);
  SysFreeString(client);
  report->Release();
  const pid_t worker = korvalis::xml::testing::Worker();
  if (transformed != S_OK || worker == 0) std::_Exit(6);
  if (can_unload_now() != S_OK) std::_Exit(7);
  ::dlclose(library);
  if (!Mapped(KORVALIS_LIBRARY)) std::_Exit(8);
  ::kill(worker, SIGKILL);
  // The library's thread reaps the worker; then nothing of ours runs any more.
  for (int wait = 0; wait < 500 && ::kill(worker, 0) == 0; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::_Exit(0);
}

TEST_F(HostLifeTest, TheLibraryStaysMappedWhenItsHostUnloadsIt) {
  EXPECT_EXIT(UnloadWhileTheWorkerLives(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
