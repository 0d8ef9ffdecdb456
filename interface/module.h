// CkorvalisModule: the module of the component library. It registers and unregisters the
// library's classes (their scripts, the application identifier and the type library), hands out
// the class object of each class of its object map, and tells whether the library may be
// unloaded (no live object and no server lock).
//
// The module is initialised when every entry of its object map has an instance creator and a
// sound interface table that the type library names as the class's interface; a module that is
// not initialised refuses class objects with E_UNEXPECTED.
//
// Registration is one update of the registry file: the application-identifier script, the
// class scripts in object-map order and the type library are applied together, and a failure
// writes nothing. Unregistration removes the classes, the type library, then the application
// identifier, likewise at once.
//
// Thread-safety: all operations may be called from any thread; a class object is created once
// even under concurrent first requests.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "platform/com/object_map.h"
#include "platform/com/registry.h"
#include "platform/com/type_info_table.h"

class CkorvalisModule {
 public:
  static constexpr GUID kAppId = korvalis::com::MakeGuid("F199E755-C9C0-4709-88CD-5420AE6A0213");

  // `object_map` and `type_library` must outlive the module.
  CkorvalisModule(std::span<const korvalis::com::ObjectMapEntry> object_map,
                  const korvalis::com::TypeLibraryInfo& type_library);
  ~CkorvalisModule();
  CkorvalisModule(const CkorvalisModule&) = delete;
  CkorvalisModule& operator=(const CkorvalisModule&) = delete;

  // The count of live objects and server locks; each returns the new count.
  LONG Lock();
  LONG Unlock();
  LONG GetLockCount() const;

  bool IsInitialized() const { return initialized_; }
  // Why the module is not initialised (empty when it is).
  const std::string& InitializationError() const { return initialization_error_; }

  // Registers the library found at `module_path` in `registry`. The first failure is returned
  // (with its reason in *error) and nothing is written.
  HRESULT RegisterServer(const std::string& module_path,
                         const korvalis::com::RegistryFile& registry, std::string* error = nullptr);
  HRESULT UnregisterServer(const korvalis::com::RegistryFile& registry,
                           std::string* error = nullptr);

  // E_UNEXPECTED when not initialised, E_POINTER for a null ppv, otherwise *ppv is nulled and
  // CLASS_E_CLASSNOTAVAILABLE answers a class the map lacks; else the class object's answer for
  // `riid`.
  HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);

  // S_OK when nothing holds the library, S_FALSE otherwise.
  HRESULT CanUnloadNow() const;

  const korvalis::com::TypeLibraryInfo& type_library() const { return type_library_; }

 private:
  std::span<const korvalis::com::ObjectMapEntry> object_map_;
  const korvalis::com::TypeLibraryInfo& type_library_;
  bool initialized_ = false;
  std::string initialization_error_;
  std::mutex class_objects_mutex_;
  std::unique_ptr<std::atomic<korvalis::com::ClassFactory*>[]> class_objects_;
};
