#include "platform/com/object_creation.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

#include "platform/com/class_factory.h"
#include "platform/com/registry.h"
#include "platform/text/unicode.h"

namespace korvalis::com {
namespace {

std::mutex libraries_mutex;
std::map<std::string, void*>& Libraries() {
  static auto* libraries = new std::map<std::string, void*>();  // lives as long as the process
  return *libraries;
}

}  // namespace

void* FindLibraryExport(const std::string& path, const char* symbol, std::string* error) {
  void* library = nullptr;
  {
    std::lock_guard<std::mutex> lock(libraries_mutex);
    auto it = Libraries().find(path);
    if (it != Libraries().end()) {
      library = it->second;
    } else {
      library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (library == nullptr) {
        const char* reason = ::dlerror();
        if (error) *error = reason != nullptr ? reason : path + ": cannot be loaded";
        return nullptr;
      }
      Libraries().emplace(path, library);
    }
  }
  void* address = ::dlsym(library, symbol);
  if (address == nullptr && error) *error = path + " does not export " + symbol;
  return address;
}

HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv, std::string* error) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  std::shared_ptr<const RegistryKey> root;
  HRESULT hr = RegistryFile().ReadShared(&root, error);
  if (FAILED(hr)) return hr;
  std::u16string key = u"CLSID\\" + GuidToRegistryString(rclsid) + u"\\InprocServer32";
  const RegistryKey* server = root->Find(key);
  const std::u16string* path = server != nullptr ? server->Value(u"") : nullptr;
  if (path == nullptr || path->empty()) {
    if (error) *error = "class " + ToUtf8(GuidToRegistryString(rclsid)) + " is not registered";
    return REGDB_E_CLASSNOTREG;
  }
  std::string load_error;
  void* library_exists = FindLibraryExport(ToUtf8(*path), "DllGetClassObject", &load_error);
  if (library_exists == nullptr) {
    if (error) *error = load_error;
    return load_error.find("does not export") != std::string::npos ? CO_E_ERRORINDLL
                                                                   : CO_E_DLLNOTFOUND;
  }
  auto get_class_object = reinterpret_cast<DllGetClassObjectFn>(library_exists);
  hr = get_class_object(rclsid, riid, ppv);
  if (FAILED(hr) && error) *error = "the library refused the class object";
  return hr;
}

}  // namespace korvalis::com

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
  if (lpszProgID == nullptr || lpclsid == nullptr) return E_INVALIDARG;
  std::u16string_view progid(lpszProgID);
  if (korvalis::GuidFromRegistryString(progid, lpclsid)) return S_OK;
  std::shared_ptr<const korvalis::com::RegistryKey> root;
  if (FAILED(korvalis::com::RegistryFile().ReadShared(&root))) return REGDB_E_READREGDB;
  if (progid.empty() || progid.find(u'\\') != std::u16string_view::npos) return CO_E_CLASSSTRING;
  const korvalis::com::RegistryKey* key = root->Find(std::u16string(progid) + u"\\CLSID");
  const std::u16string* text = key != nullptr ? key->Value(u"") : nullptr;
  if (text == nullptr || !korvalis::GuidFromRegistryString(*text, lpclsid)) {
    return CO_E_CLASSSTRING;
  }
  return S_OK;
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void*, REFIID riid, void** ppv) {
  if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) {
    if (ppv != nullptr) *ppv = nullptr;
    return REGDB_E_CLASSNOTREG;
  }
  return korvalis::com::GetClassObject(rclsid, riid, ppv, nullptr);
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  return hr;
}
