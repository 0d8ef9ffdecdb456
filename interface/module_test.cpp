#include "interface/module.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <thread>
#include <vector>

#include "interface/class_registrations.h"
#include "interface/emr_report_interface.h"
#include "interface/qc_task_interface.h"
#include "interface/quality_rule_interface.h"
#include "interface/registration_scripts.h"
#include "interface/type_library.h"
#include "platform/com/registrar.h"
#include "platform/com/sample_shapes_test.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::GuidToRegistryString;
using korvalis::com::Aggregation;
using korvalis::com::CoClassInfo;
using korvalis::com::CreateComInstance;
using korvalis::com::ObjectMapEntry;
using korvalis::com::RegistryFile;
using korvalis::com::RegistryKey;
using korvalis::com::testing::CShapes;
using korvalis::com::testing::IShapes;
using korvalis::com::testing::kIShapesInfo;

// A library of two classes served by the sample class, registered as QualityRule and QCTask.
const CoClassInfo kTestCoClasses[] = {
    {u"QualityRule", CLSID_QualityRule, u"QualityRule Class", &kIShapesInfo},
    {u"QCTask", CLSID_QCTask, u"QCTask Class", &kIShapesInfo},
};
const korvalis::com::TypeLibraryInfo kTestLibrary{
    LIBID_korvalisLib, u"korvalisLib", 1, 0, u"korvalis 1.0 Type Library", kTestCoClasses};
const ObjectMapEntry kTestMap[] = {
    {kQCTaskRegistration, kIShapesInfo, &CreateComInstance<CShapes, Aggregation::kRefused>},
    {kQualityRuleRegistration, kIShapesInfo, &CreateComInstance<CShapes, Aggregation::kRefused>},
};

constexpr char kModulePath[] = "/opt/korvalis/lib/libkorvalis.so";

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "/module_registry." + std::to_string(::getpid());
    std::remove(path_.c_str());
  }
  void TearDown() override {
    std::remove(path_.c_str());
    std::remove((path_ + ".lock").c_str());
  }
  RegistryKey Read() {
    RegistryKey root;
    EXPECT_EQ(RegistryFile(path_).Read(&root), S_OK);
    return root;
  }
  static std::u16string Default(const RegistryKey& root, std::u16string_view path) {
    const RegistryKey* key = root.Find(path);
    const std::u16string* value = key ? key->Value(u"") : nullptr;
    return value ? *value : u"<missing>";
  }

  std::string path_;
  CkorvalisModule module_{kTestMap, kTestLibrary};
};

TEST_F(ModuleTest, RegistrationWritesTheKeysOfEveryClass) {
  ASSERT_TRUE(module_.IsInitialized()) << module_.InitializationError();
  ASSERT_EQ(module_.RegisterServer(kModulePath, RegistryFile(path_)), S_OK);
  RegistryKey root = Read();
  const std::u16string clsid = u"CLSID\\{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}";
  EXPECT_EQ(Default(root, u"korvalis.QualityRule.1"), u"QualityRule Class");
  EXPECT_EQ(Default(root, u"korvalis.QualityRule.1\\CLSID"),
            u"{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}");
  EXPECT_EQ(Default(root, u"korvalis.QualityRule"), u"QualityRule Class");
  EXPECT_EQ(Default(root, u"korvalis.QualityRule\\CurVer"), u"korvalis.QualityRule.1");
  EXPECT_EQ(Default(root, clsid), u"QualityRule Class");
  EXPECT_EQ(Default(root, clsid + u"\\ProgID"), u"korvalis.QualityRule.1");
  EXPECT_EQ(Default(root, clsid + u"\\VersionIndependentProgID"), u"korvalis.QualityRule");
  EXPECT_NE(root.Find(clsid + u"\\Programmable"), nullptr);
  EXPECT_EQ(Default(root, clsid + u"\\InprocServer32"), u"/opt/korvalis/lib/libkorvalis.so");
  EXPECT_EQ(*root.Find(clsid + u"\\InprocServer32")->Value(u"ThreadingModel"), u"Neutral");
  EXPECT_EQ(*root.Find(clsid)->Value(u"AppID"), u"{F199E755-C9C0-4709-88CD-5420AE6A0213}");
  EXPECT_EQ(Default(root, clsid + u"\\TypeLib"), u"{F218A471-CFCB-4BD1-BBDE-50D0DADDB6A6}");
  EXPECT_EQ(Default(root, u"CLSID\\{1E9D9B7E-2BE1-4A1E-8A49-B65F940637DB}\\TypeLib"),
            u"{70E00E12-28B2-44CA-BEBA-CDC02A7148A6}");
  EXPECT_EQ(*root.Find(u"CLSID\\{1E9D9B7E-2BE1-4A1E-8A49-B65F940637DB}\\InprocServer32")
                 ->Value(u"ThreadingModel"),
            u"Both");
  EXPECT_EQ(Default(root, u"AppID\\{F199E755-C9C0-4709-88CD-5420AE6A0213}"), u"korvalis");
  EXPECT_EQ(*root.Find(u"AppID\\korvalis.DLL")->Value(u"AppID"),
            u"{F199E755-C9C0-4709-88CD-5420AE6A0213}");
  const std::u16string typelib = u"TypeLib\\{70E00E12-28B2-44CA-BEBA-CDC02A7148A6}\\1.0";
  EXPECT_EQ(Default(root, typelib), u"korvalis 1.0 Type Library");
  EXPECT_EQ(Default(root, typelib + u"\\0\\linux"), u"/opt/korvalis/lib/libkorvalis.so");
  EXPECT_EQ(Default(root, typelib + u"\\HELPDIR"), u"/opt/korvalis/lib");
}

TEST_F(ModuleTest, RegisteringTwiceKeepsOneCopyAndReplacesStaleClassKeys) {
  ASSERT_EQ(module_.RegisterServer(kModulePath, RegistryFile(path_)), S_OK);
  std::string once = korvalis::com::FormatRegistry(Read());
  ASSERT_EQ(RegistryFile(path_).Update([](RegistryKey& root) {
    root.Create(u"CLSID\\{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}\\Programmable\\Stale");
    root.Create(u"CLSID\\{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}\\Leftover");
    return S_OK;
  }),
            S_OK);
  ASSERT_EQ(module_.RegisterServer(kModulePath, RegistryFile(path_)), S_OK);
  EXPECT_EQ(korvalis::com::FormatRegistry(Read()), once);
}

TEST_F(ModuleTest, UnregistrationLeavesOnlyTheSharedKeys) {
  ASSERT_EQ(RegistryFile(path_).Update([](RegistryKey& root) {
    root.Create(u"CLSID\\{00000000-1111-2222-3333-444444444444}");
    root.Create(u"AppID\\{Other}");
    return S_OK;
  }),
            S_OK);
  ASSERT_EQ(module_.RegisterServer(kModulePath, RegistryFile(path_)), S_OK);
  ASSERT_EQ(module_.UnregisterServer(RegistryFile(path_)), S_OK);
  RegistryKey root = Read();
  for (const char16_t* gone :
       {u"korvalis.QualityRule.1", u"korvalis.QualityRule", u"korvalis.QCTask.1",
        u"korvalis.QCTask", u"CLSID\\{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}",
        u"CLSID\\{1E9D9B7E-2BE1-4A1E-8A49-B65F940637DB}",
        u"AppID\\{F199E755-C9C0-4709-88CD-5420AE6A0213}", u"AppID\\korvalis.DLL",
        u"TypeLib\\{70E00E12-28B2-44CA-BEBA-CDC02A7148A6}"}) {
    EXPECT_EQ(root.Find(gone), nullptr) << korvalis::ToUtf8(gone);
  }
  EXPECT_NE(root.Find(u"CLSID\\{00000000-1111-2222-3333-444444444444}"), nullptr);
  EXPECT_NE(root.Find(u"AppID\\{Other}"), nullptr);

  // On a fresh registry the shared keys themselves stay after unregistration.
  std::remove(path_.c_str());
  ASSERT_EQ(module_.RegisterServer(kModulePath, RegistryFile(path_)), S_OK);
  ASSERT_EQ(module_.UnregisterServer(RegistryFile(path_)), S_OK);
  root = Read();
  EXPECT_NE(root.Find(u"CLSID"), nullptr);
  EXPECT_NE(root.Find(u"AppID"), nullptr);
  EXPECT_TRUE(root.Find(u"CLSID")->subkeys().empty());
}

TEST_F(ModuleTest, ClassObjectsForKnownClassesOnly) {
  void* result = &result;
  EXPECT_EQ(module_.GetClassObject(CLSID_EMRReport, IID_IClassFactory, &result),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(module_.GetClassObject(CLSID_QCTask, IID_IClassFactory, nullptr), E_POINTER);
  result = &result;
  EXPECT_EQ(module_.GetClassObject(CLSID_QCTask, kIShapesInfo.iid, &result), E_NOINTERFACE);
  EXPECT_EQ(result, nullptr);

  IClassFactory* first = nullptr;
  IClassFactory* second = nullptr;
  ASSERT_EQ(
      module_.GetClassObject(CLSID_QCTask, IID_IClassFactory, reinterpret_cast<void**>(&first)),
      S_OK);
  ASSERT_EQ(module_.GetClassObject(CLSID_QCTask, IID_IUnknown, reinterpret_cast<void**>(&second)),
            S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(first), static_cast<IUnknown*>(second));
  second->Release();
  first->Release();
}

TEST_F(ModuleTest, ConcurrentFirstRequestsShareOneClassObject) {
  std::vector<IClassFactory*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([this, &seen, i] {
      module_.GetClassObject(CLSID_QualityRule, IID_IClassFactory,
                             reinterpret_cast<void**>(&seen[i]));
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(std::set<IClassFactory*>(seen.begin(), seen.end()).size(), 1u);
  for (IClassFactory* f : seen) f->Release();
}

TEST_F(ModuleTest, CannotUnloadWhileAnObjectLives) {
  EXPECT_EQ(module_.CanUnloadNow(), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(module_.GetClassObject(CLSID_QualityRule, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(module_.CanUnloadNow(), S_FALSE);  // a client holds the class object
  IShapes* shapes = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, kIShapesInfo.iid, reinterpret_cast<void**>(&shapes)),
            S_OK);
  factory->Release();
  EXPECT_EQ(module_.CanUnloadNow(), S_FALSE);
  EXPECT_EQ(module_.GetLockCount(), 1);
  shapes->Release();
  EXPECT_EQ(module_.CanUnloadNow(), S_OK);
  EXPECT_EQ(module_.Lock(), 1);
  EXPECT_EQ(module_.CanUnloadNow(), S_FALSE);
  EXPECT_EQ(module_.Unlock(), 0);
}

TEST(Module, NotInitialisedRefusesClassObjects) {
  const ObjectMapEntry wrong_interface[] = {
      {kQCTaskRegistration, kIShapesInfo, &CreateComInstance<CShapes, Aggregation::kRefused>}};
  CkorvalisModule module(wrong_interface, kKorvalisTypeLibrary);  // the library names IQCTask
  EXPECT_FALSE(module.IsInitialized());
  EXPECT_NE(module.InitializationError().find("another interface"), std::string::npos);
  void* result = nullptr;
  EXPECT_EQ(module.GetClassObject(CLSID_QCTask, IID_IClassFactory, &result), E_UNEXPECTED);

  const ObjectMapEntry no_creator[] = {{kQCTaskRegistration, kIShapesInfo, nullptr}};
  EXPECT_FALSE(CkorvalisModule(no_creator, kTestLibrary).IsInitialized());
}

TEST(ClassRegistrations, MatchTheTypeLibraryAndRegisterAsTheScriptsSay) {
  auto registrations = ClassRegistrations();
  ASSERT_EQ(registrations.size(), kKorvalisTypeLibrary.coclasses.size());
  korvalis::com::Registrar registrar;
  registrar.AddReplacement(u"MODULE", u"/lib/libkorvalis.so");
  registrar.AddReplacement(u"APPID", GuidToRegistryString(CkorvalisModule::kAppId));
  RegistryKey root;
  std::set<int> scripts;
  for (size_t i = 0; i < registrations.size(); ++i) {
    const korvalis::com::ClassRegistration& r = *registrations[i];
    const CoClassInfo& coclass = kKorvalisTypeLibrary.coclasses[i];
    EXPECT_EQ(r.name, coclass.name);
    EXPECT_EQ(r.clsid, coclass.clsid);
    scripts.insert(r.script_resource);
    std::string error;
    ASSERT_EQ(registrar.Register(ClassScript(r), root, &error), S_OK) << error;
  }
  EXPECT_EQ(scripts.size(), 24u);
  EXPECT_EQ(*scripts.begin(), 102);
  EXPECT_EQ(*scripts.rbegin(), 126);
  EXPECT_FALSE(scripts.count(103));

  struct Expected {
    const char16_t* progid;
    const char16_t* threading;
    const char16_t* typelib;
  } expected[] = {
      {u"korvalis.SysEvent", u"Both", u"{F218A471-CFCB-4BD1-BBDE-50D0DADDB6A6}"},
      {u"korvalis.QualityTrigger", u"Neutral", u"{F218A471-CFCB-4BD1-BBDE-50D0DADDB6A6}"},
      {u"korvalis.ArchivePatient", u"Apartment", u"{70E00E12-28B2-44CA-BEBA-CDC02A7148A6}"},
      {u"korvalis.PatientPaperMag", u"Both", u"{70E00E12-28B2-44CA-BEBA-CDC02A7148A6}"},
      {u"korvalis.ConfigTask", u"Apartment", u"{70E00E12-28B2-44CA-BEBA-CDC02A7148A6}"},
  };
  for (const Expected& e : expected) {
    const std::u16string* clsid = root.Find(std::u16string(e.progid) + u"\\CLSID")->Value(u"");
    const RegistryKey* key = root.Find(u"CLSID\\" + *clsid);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(*key->Find(u"InprocServer32")->Value(u"ThreadingModel"), e.threading);
    EXPECT_EQ(*key->Find(u"TypeLib")->Value(u""), e.typelib);
  }
  size_t apartment = 0;
  size_t neutral = 0;
  for (const auto* r : registrations) {
    apartment += r->threading == korvalis::com::ThreadingModel::kApartment;
    neutral += r->threading == korvalis::com::ThreadingModel::kNeutral;
  }
  EXPECT_EQ(apartment, 8u);
  EXPECT_EQ(neutral, 2u);
}

}  // namespace
