#include "tools/component_library.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/com/object_creation.h"
#include "platform/text/unicode.h"

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

const com::CoClassInfo* RegisteredCoClass(const com::RegistryKey& root, const CLSID& clsid) {
  const com::RegistryKey* server =
      root.Find(u"CLSID\\" + GuidToRegistryString(clsid) + u"\\InprocServer32");
  const std::u16string* path = server != nullptr ? server->Value(u"") : nullptr;
  if (path == nullptr) return nullptr;
  std::vector<std::string> problems;
  const com::TypeLibraryInfo* library = TypeLibraryOf(ToUtf8(*path), &problems);
  return library != nullptr ? library->FindCoClass(clsid) : nullptr;
}

std::string MethodSignature(const com::MethodInfo& method) {
  std::string text = ToUtf8(method.name) + "(";
  for (size_t i = 0; i < method.params.size(); ++i) {
    const com::ParamInfo& param = method.params[i];
    const char* direction = "[in] ";
    switch (param.direction) {
      case com::ParamDirection::kIn: break;
      case com::ParamDirection::kOut: direction = "[out] "; break;
      case com::ParamDirection::kInOut: direction = "[in, out] "; break;
      case com::ParamDirection::kOutRetval: direction = "[out, retval] "; break;
    }
    const char* type = "VARIANT";
    switch (param.type) {
      case VT_BSTR: type = "BSTR"; break;
      case VT_I4: type = "long"; break;
      case VT_I2: type = "short"; break;
      case VT_BOOL: type = "VARIANT_BOOL"; break;
      default: break;
    }
    if (i > 0) text += ", ";
    text += direction;
    text += type;
    if (param.direction != com::ParamDirection::kIn) text += "*";
    text += " " + ToUtf8(param.name);
  }
  return text + ")";
}

size_t ArgumentCount(const com::MethodInfo& method) {
  size_t count = 0;
  for (const com::ParamInfo& p : method.params) count += p.direction != com::ParamDirection::kOutRetval;
  return count;
}

std::string HresultText(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

}  // namespace korvalis::tools
