#include "tools/component_library.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/com/object_creation.h"
#include "platform/com/unicode.h"

namespace korvalis::tools {
namespace {

// The type library a component library carries; nullptr without one. A component library
// need not carry one (the suite's stand-ins do not): only a library that cannot be loaded, or
// whose type library fails, is a problem.
const com::TypeLibraryInfo* TypeLibraryOf(const std::string& library_path,
                                          std::vector<std::string>* problems) {
  std::string error;
  if (com::FindLibraryExport(library_path, "DllGetClassObject", &error) == nullptr) {
    problems->push_back(error);
    return nullptr;
  }
  auto get = reinterpret_cast<DllGetTypeLibraryFn>(
      com::FindLibraryExport(library_path, "DllGetTypeLibrary", nullptr));
  if (get == nullptr) return nullptr;
  const com::TypeLibraryInfo* library = nullptr;
  if (FAILED(get(&library)) || library == nullptr) {
    problems->push_back(library_path + ": its type library cannot be read");
    return nullptr;
  }
  return library;
}

}  // namespace

std::vector<RegisteredClass> RegisteredClasses(const com::RegistryKey& root,
                                               std::vector<std::string>* problems) {
  std::vector<RegisteredClass> classes;
  const com::RegistryKey* clsid_key = root.Find(u"CLSID");
  if (clsid_key == nullptr) return classes;
  std::map<std::string, const com::TypeLibraryInfo*> libraries;
  for (const auto& [name, key] : clsid_key->subkeys()) {
    GUID clsid{};
    const com::RegistryKey* server = key.Find(u"InprocServer32");
    const std::u16string* path = server != nullptr ? server->Value(u"") : nullptr;
    if (path == nullptr || !GuidFromRegistryString(name, &clsid)) continue;
    std::string library_path = ToUtf8(*path);
    auto it = libraries.find(library_path);
    if (it == libraries.end()) {
      it = libraries.emplace(library_path, TypeLibraryOf(library_path, problems)).first;
    }
    if (it->second == nullptr) continue;
    if (const com::CoClassInfo* coclass = it->second->FindCoClass(clsid)) {
      classes.push_back({coclass, library_path});
    }
  }
  std::sort(classes.begin(), classes.end(), [](const RegisteredClass& a, const RegisteredClass& b) {
    return a.coclass->name < b.coclass->name;
  });
  return classes;
}

std::string HresultText(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

}  // namespace korvalis::tools
