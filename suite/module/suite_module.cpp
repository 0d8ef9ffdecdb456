// The exported entry points of the stand-in library.
#include <dlfcn.h>

#include <string>

#include "platform/com/module_lock.h"
#include "platform/sys/installed_file.h"
#include "platform/text/unicode.h"
#include "suite/registration.h"

namespace {

// The path of this library, as it was loaded (through a symbolic link, if so). The address is of an object with internal linkage, which no
// other loaded copy of the suite's code can stand in for.
std::u16string ModulePath() {
  static const int anchor = 0;
  Dl_info info{};
  if (::dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr) return u"";
  return korvalis::FromUtf8(korvalis::sys::AbsolutePathAsGiven(info.dli_fname));
}

}  // namespace

extern "C" {

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return korvalis::suite::GetStandInClassObject(rclsid, riid, ppv);
}

HRESULT DllCanUnloadNow() { return korvalis::com::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT DllRegisterServer() { return korvalis::suite::RegisterStandIns(true, ModulePath()); }

HRESULT DllUnregisterServer() { return korvalis::suite::RegisterStandIns(false, ModulePath()); }

}  // extern "C"
