#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "interface/qc_task_interface.h"
#include "interface/quality_rule_interface.h"
#include "platform/com/class_factory.h"
#include "platform/com/dispatch.h"
#include "platform/com/object_creation.h"
#include "platform/com/registry.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::com::FindLibraryExport;
using korvalis::com::RegistryFile;
using korvalis::com::RegistryKey;

template <class Fn>
Fn Export(const char* name) {
  std::string error;
  void* address = FindLibraryExport(KORVALIS_LIBRARY, name, &error);
  EXPECT_NE(address, nullptr) << error;
  return reinterpret_cast<Fn>(address);
}

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_ = ::testing::TempDir() + "/library_registry." + std::to_string(::getpid());
    std::remove(registry_.c_str());
    ::setenv("KORVALIS_REGISTRY", registry_.c_str(), 1);
  }
  void TearDown() override {
    std::remove(registry_.c_str());
    std::remove((registry_ + ".lock").c_str());
    ::unsetenv("KORVALIS_REGISTRY");
  }
  std::string registry_;
};

TEST_F(LibraryTest, RegistersItselfAndCreatesClassesByProgID) {
  ASSERT_EQ(Export<DllRegisterServerFn>("DllRegisterServer")(), S_OK);
  RegistryKey root;
  ASSERT_EQ(RegistryFile().Read(&root), S_OK);
  const RegistryKey* server =
      root.Find(u"CLSID\\{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}\\InprocServer32");
  ASSERT_NE(server, nullptr);
  char resolved[4096];
  ASSERT_NE(::realpath(KORVALIS_LIBRARY, resolved), nullptr);
  EXPECT_EQ(korvalis::ToUtf8(*server->Value(u"")), resolved);

  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"korvalis.QualityRule", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_QualityRule);
  ASSERT_EQ(CLSIDFromProgID(u"korvalis.QualityRule.1", &clsid), S_OK);
  EXPECT_EQ(CLSIDFromProgID(u"korvalis.NoSuchClass", &clsid), CO_E_CLASSSTRING);

  IDispatch* dispatch = nullptr;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(&dispatch)),
            S_OK);
  EXPECT_EQ(Export<DllCanUnloadNowFn>("DllCanUnloadNow")(), S_FALSE);  // an object lives
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"DeleteOpenRule")};
  DISPID id = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 12);
  VARIANT args[3]{};
  for (VARIANT& a : args) {
    a.vt = VT_BSTR;
    a.bstrVal = korvalis::AllocBstr(u"x");
  }
  DISPPARAMS params{args, nullptr, 3, 0};
  EXPECT_EQ(dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            S_OK);  // an empty method: no database needed
  for (VARIANT& a : args) VariantClear(&a);
  dispatch->Release();
  EXPECT_EQ(Export<DllCanUnloadNowFn>("DllCanUnloadNow")(), S_OK);
}

TEST_F(LibraryTest, UnknownClassesAndUnregisteredLibraries) {
  IUnknown* unknown = reinterpret_cast<IUnknown*>(&unknown);
  EXPECT_EQ(CoCreateInstance(CLSID_QCTask, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&unknown)),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(unknown, nullptr);

  auto get_class_object = Export<DllGetClassObjectFn>("DllGetClassObject");
  void* result = &result;
  EXPECT_EQ(get_class_object(IID_IQCTask, IID_IClassFactory, &result), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(result, nullptr);

  ASSERT_EQ(Export<DllRegisterServerFn>("DllRegisterServer")(), S_OK);
  ASSERT_EQ(Export<DllUnregisterServerFn>("DllUnregisterServer")(), S_OK);
  RegistryKey root;
  ASSERT_EQ(RegistryFile().Read(&root), S_OK);
  EXPECT_TRUE(root.Find(u"CLSID")->subkeys().empty());
  EXPECT_TRUE(root.Find(u"AppID")->subkeys().empty());
  EXPECT_EQ(root.Find(u"korvalis.QCTask"), nullptr);
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"korvalis.QCTask", &clsid), CO_E_CLASSSTRING);
}

// Each registered class identifier must create an object of that very class: its ProgIDs lead
// to it, it answers its own interface, and its dispatch part knows its own methods.
TEST_F(LibraryTest, EveryRegisteredClassCreatesItsOwnClass) {
  ASSERT_EQ(Export<DllRegisterServerFn>("DllRegisterServer")(), S_OK);
  const korvalis::com::TypeLibraryInfo* library = nullptr;
  ASSERT_EQ(Export<DllGetTypeLibraryFn>("DllGetTypeLibrary")(&library), S_OK);
  ASSERT_NE(library, nullptr);
  for (const korvalis::com::CoClassInfo& coclass : library->coclasses) {
    const std::u16string name(coclass.name);
    SCOPED_TRACE(korvalis::ToUtf8(name));
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID((u"korvalis." + name + u".1").c_str(), &clsid), S_OK);
    EXPECT_EQ(clsid, coclass.clsid);
    ASSERT_EQ(CLSIDFromProgID((u"korvalis." + name).c_str(), &clsid), S_OK);
    EXPECT_EQ(clsid, coclass.clsid);

    IUnknown* own = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, coclass.interface->iid,
                               reinterpret_cast<void**>(&own)),
              S_OK);
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(own->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    for (const korvalis::com::MethodInfo& method : coclass.interface->methods) {
      std::u16string method_name(method.name);
      LPOLESTR names[] = {method_name.data()};
      DISPID id = DISPID_UNKNOWN;
      EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK)
          << korvalis::ToUtf8(method_name);
      EXPECT_EQ(id, method.dispid);
    }
    dispatch->Release();
    own->Release();
  }
  EXPECT_EQ(Export<DllCanUnloadNowFn>("DllCanUnloadNow")(), S_OK);
}

TEST_F(LibraryTest, CarriesItsTypeLibrary) {
  const korvalis::com::TypeLibraryInfo* library = nullptr;
  ASSERT_EQ(Export<DllGetTypeLibraryFn>("DllGetTypeLibrary")(&library), S_OK);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->name, u"korvalisLib");
  EXPECT_EQ(library->coclasses.size(), 24u);
}

}  // namespace
