#include "interface/module.h"

#include "interface/registration_scripts.h"
#include "platform/com/module_lock.h"
#include "platform/com/registrar.h"
#include "platform/com/type_library_registration.h"
#include "platform/text/unicode.h"

using korvalis::com::ClassFactory;
using korvalis::com::ObjectMapEntry;
using korvalis::com::Registrar;
using korvalis::com::RegistryFile;
using korvalis::com::RegistryKey;

namespace {

// Why `entry` cannot serve, or empty.
std::string CheckEntry(const ObjectMapEntry& entry,
                       const korvalis::com::TypeLibraryInfo& type_library) {
  std::string name = korvalis::ToUtf8(entry.registration.name);
  if (entry.create_instance == nullptr) return name + ": no instance creator";
  const korvalis::com::CoClassInfo* coclass = type_library.FindCoClass(entry.registration.clsid);
  if (coclass == nullptr) return name + ": the type library does not name the class";
  if (coclass->interface != &entry.interface) {
    return name + ": the type library names another interface";
  }
  std::string problem = korvalis::com::CheckInterfaceInfo(entry.interface);
  return problem.empty() ? std::string() : name + ": " + problem;
}

}  // namespace

CkorvalisModule::CkorvalisModule(std::span<const ObjectMapEntry> object_map,
                                 const korvalis::com::TypeLibraryInfo& type_library)
    : object_map_(object_map),
      type_library_(type_library),
      class_objects_(new std::atomic<ClassFactory*>[object_map.size()]) {
  for (size_t i = 0; i < object_map_.size(); ++i) {
    class_objects_[i].store(nullptr);
    if (initialization_error_.empty()) {
      initialization_error_ = CheckEntry(object_map_[i], type_library_);
    }
  }
  initialized_ = initialization_error_.empty();
}

CkorvalisModule::~CkorvalisModule() {
  for (size_t i = 0; i < object_map_.size(); ++i) {
    if (ClassFactory* factory = class_objects_[i].load()) factory->Release();
  }
}

LONG CkorvalisModule::Lock() { return korvalis::com::LockModule(); }
LONG CkorvalisModule::Unlock() { return korvalis::com::UnlockModule(); }
LONG CkorvalisModule::GetLockCount() const { return korvalis::com::ModuleLockCount(); }

HRESULT CkorvalisModule::RegisterServer(const std::string& module_path,
                                        const RegistryFile& registry, std::string* error) {
  Registrar registrar;
  registrar.AddReplacement(u"APPID", korvalis::GuidToRegistryString(kAppId));
  registrar.AddReplacement(u"MODULE", korvalis::FromUtf8(module_path));
  return registry.Update(
      [&](RegistryKey& root) {
        HRESULT hr = registrar.Register(AppIdScript(), root, error);
        for (size_t i = 0; i < object_map_.size() && SUCCEEDED(hr); ++i) {
          hr = registrar.Register(ClassScript(object_map_[i].registration), root, error);
        }
        if (SUCCEEDED(hr)) korvalis::com::RegisterTypeLibrary(type_library_, module_path, root);
        return hr;
      },
      error);
}

HRESULT CkorvalisModule::UnregisterServer(const RegistryFile& registry, std::string* error) {
  Registrar registrar;
  registrar.AddReplacement(u"APPID", korvalis::GuidToRegistryString(kAppId));
  registrar.AddReplacement(u"MODULE", u"");
  return registry.Update(
      [&](RegistryKey& root) {
        HRESULT hr = S_OK;
        for (size_t i = 0; i < object_map_.size() && SUCCEEDED(hr); ++i) {
          hr = registrar.Unregister(ClassScript(object_map_[i].registration), root, error);
        }
        if (SUCCEEDED(hr)) {
          korvalis::com::UnregisterTypeLibrary(type_library_, root);
          hr = registrar.Unregister(AppIdScript(), root, error);
        }
        return hr;
      },
      error);
}

HRESULT CkorvalisModule::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (!initialized_) return E_UNEXPECTED;
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  for (size_t i = 0; i < object_map_.size(); ++i) {
    if (object_map_[i].registration.clsid != rclsid) continue;
    ClassFactory* factory = class_objects_[i].load(std::memory_order_acquire);
    if (factory == nullptr) {
      std::lock_guard<std::mutex> lock(class_objects_mutex_);
      factory = class_objects_[i].load(std::memory_order_acquire);
      if (factory == nullptr) {
        factory = ClassFactory::Create(object_map_[i].create_instance);
        if (factory == nullptr) return E_OUTOFMEMORY;
        class_objects_[i].store(factory, std::memory_order_release);
      }
    }
    HRESULT hr = factory->QueryInterface(riid, ppv);
    if (SUCCEEDED(hr) && *ppv == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CkorvalisModule::CanUnloadNow() const { return GetLockCount() == 0 ? S_OK : S_FALSE; }
