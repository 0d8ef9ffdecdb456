// Object creation by class identifier or ProgID: the class is looked up in the registry
// (platform/com/registry.h), its library (the InprocServer32 path) is loaded with dlopen and
// asked for its class object through its exported DllGetClassObject. This is how clients,
// tests and sibling components meet the system's classes.
//
// Loaded libraries stay loaded for the life of the process.
//
// Thread-safety: all functions may be called from any thread.
#pragma once

#include <string>

#include "platform/com/type_info_table.h"
#include "platform/com/unknown.h"

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;

inline constexpr HRESULT CO_E_CLASSSTRING = korvalis::detail::MakeHresult(0x800401F3u);

// The signatures of a component library's exports.
using DllGetClassObjectFn = HRESULT (*)(REFCLSID rclsid, REFIID riid, void** ppv);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();
// The type library a component library carries (the fifth export of such a library).
using DllGetTypeLibraryFn = HRESULT (*)(const korvalis::com::TypeLibraryInfo** library);

// The class identifier registered for `lpszProgID` (its CLSID subkey); a "{...}" class
// identifier text is accepted as it is. CO_E_CLASSSTRING when neither.
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid);

// The class object of `rclsid` from its registered library. REGDB_E_CLASSNOTREG when the class
// is not registered, CO_E_DLLNOTFOUND when its library does not load, CO_E_ERRORINDLL when the
// library lacks DllGetClassObject; otherwise the library's own answer.
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved, REFIID riid,
                         void** ppv);

// A new instance of `rclsid` (inside `pUnkOuter` when not null) asked for `riid`.
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv);

namespace korvalis::com {

// Loads the component library at `path` (once per process) and finds its export `symbol`.
// nullptr (and the loader's reason in *error when given) when either fails.
void* FindLibraryExport(const std::string& path, const char* symbol, std::string* error);

// As CoGetClassObject, with the reason of a failure in *error.
HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv, std::string* error);

}  // namespace korvalis::com
