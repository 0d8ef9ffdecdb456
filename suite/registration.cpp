#include "suite/registration.h"

#include "platform/com/class_factory.h"
#include "platform/com/registrar.h"
#include "platform/com/registry.h"
#include "suite/components.h"

namespace korvalis::suite {

HRESULT GetStandInClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  for (const StandInClass& c : StandInClasses()) {
    if (c.clsid != rclsid) continue;
    com::ClassFactory* factory = com::ClassFactory::Create(c.create_instance);
    if (factory == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

std::u16string RegistrationScript() {
  std::u16string script = u"HKCR\n{\n  NoRemove CLSID\n  {\n";
  for (const StandInClass& c : StandInClasses()) {
    script += u"    ForceRemove " + GuidToRegistryString(c.clsid) + u" = s 'korvalis suite " +
              std::u16string(c.name) +
              u"'\n    {\n      InprocServer32 = s '%MODULE%'\n      {\n"
              u"        val ThreadingModel = s 'Both'\n      }\n    }\n";
  }
  return script + u"  }\n}\n";
}

HRESULT RegisterStandIns(bool do_register, std::u16string_view module_path) {
  if (module_path.empty()) return SELFREG_E_CLASS;
  com::Registrar registrar;
  registrar.AddReplacement(u"MODULE", module_path);
  const std::u16string script = RegistrationScript();
  HRESULT hr = com::RegistryFile().Update([&](com::RegistryKey& root) {
    return do_register ? registrar.Register(script, root) : registrar.Unregister(script, root);
  });
  return SUCCEEDED(hr) ? S_OK : SELFREG_E_CLASS;
}

}  // namespace korvalis::suite
