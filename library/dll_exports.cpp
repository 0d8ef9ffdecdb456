// The entry points of the component library libkorvalis.so: the four of every in-process server,
// the type library it carries and the check of the libraries its calls load.
#include <dlfcn.h>

#include <string>

#include "emrdoc/quality_bodies.h"
#include "interface/emr_call_scope.h"
#include "interface/library_checks.h"
#include "interface/module.h"
#include "interface/type_library.h"
#include "library/library_object_map.h"
#include "platform/sys/installed_file.h"
#include "quality/review/qc_patient.h"
#include "quality/rules/quality_trigger.h"

extern "C" {
HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
HRESULT DllCanUnloadNow();
HRESULT DllRegisterServer();
HRESULT DllUnregisterServer();
HRESULT DllGetTypeLibrary(const korvalis::com::TypeLibraryInfo** library);
HRESULT DllCheckLibraries(korvalis::frame::LibraryCheckReport report, void* context);
}

namespace {

CkorvalisModule& Module() {
  // Method calls work through the database from the moment the module exists.
  static const bool data_layer_installed = (korvalis::frame::InstallEMRCallScope(), true);
  (void)data_layer_installed;
  // The record store reaches the quality bodies it notifies through its binding.
  static const bool quality_bodies_bound =
      (korvalis::emrdoc::BindQualityBodies(
           {&CBQualityTrigger::FireClose, &CBQCPatient::SaveContentQCInfo}),
       true);
  (void)quality_bodies_bound;
  static CkorvalisModule& module = *new CkorvalisModule(ObjectMap(), kKorvalisTypeLibrary);
  return module;
}

// The absolute path of the file this code was loaded from, as it was loaded: a library loaded
// through a symbolic link is registered through the link.
std::string ModulePath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&DllGetClassObject), &info) == 0 ||
      info.dli_fname == nullptr) {
    return {};
  }
  return korvalis::sys::AbsolutePathAsGiven(info.dli_fname);
}

}  // namespace

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return Module().GetClassObject(rclsid, riid, ppv);
}

HRESULT DllCanUnloadNow() { return Module().CanUnloadNow(); }

HRESULT DllRegisterServer() {
  std::string path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  return Module().RegisterServer(path, korvalis::com::RegistryFile());
}

HRESULT DllUnregisterServer() { return Module().UnregisterServer(korvalis::com::RegistryFile()); }

HRESULT DllGetTypeLibrary(const korvalis::com::TypeLibraryInfo** library) {
  if (library == nullptr) return E_POINTER;
  *library = &Module().type_library();
  return S_OK;
}

// The libraries this library's calls load, each found as the calls find it.
HRESULT DllCheckLibraries(korvalis::frame::LibraryCheckReport report, void* context) {
  if (report == nullptr) return E_POINTER;
  for (const korvalis::frame::LibraryCheck& check :
       korvalis::frame::CheckLibraries(korvalis::frame::LibrariesOf::kCalls)) {
    report(context, check.name, check.works ? nullptr : check.failure.c_str());
  }
  return S_OK;
}
