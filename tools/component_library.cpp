#include "tools/component_library.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <set>

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

std::vector<std::string> RegisteredLibraries(const com::RegistryKey& root) {
  std::set<std::string> libraries;
  if (const com::RegistryKey* clsid_key = root.Find(u"CLSID")) {
    for (const auto& [name, key] : clsid_key->subkeys()) {
      const com::RegistryKey* server = key.Find(u"InprocServer32");
      const std::u16string* path = server != nullptr ? server->Value(u"") : nullptr;
      if (path != nullptr && !path->empty()) libraries.insert(ToUtf8(*path));
    }
  }
  return {libraries.begin(), libraries.end()};
}

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

namespace {

// The names of the direct subkeys of `key` for which `matches` holds.
std::vector<std::u16string> SubkeysWhere(
    const com::RegistryKey& key, const std::function<bool(const com::RegistryKey&)>& matches) {
  std::vector<std::u16string> names;
  for (const auto& [name, subkey] : key.subkeys()) {
    if (matches(subkey)) names.push_back(name);
  }
  return names;
}

const std::u16string* DefaultValue(const com::RegistryKey& key, std::u16string_view path) {
  const com::RegistryKey* found = key.Find(path);
  return found != nullptr ? found->Value(u"") : nullptr;
}

}  // namespace

size_t RemoveRegistrationOf(com::RegistryKey& root, std::u16string_view library_path) {
  const auto is_library = [library_path](const std::u16string* value) {
    return value != nullptr && *value == library_path;
  };
  com::RegistryKey* clsid_key = root.Find(u"CLSID");
  if (clsid_key == nullptr) return 0;
  const std::vector<std::u16string> classes =
      SubkeysWhere(*clsid_key, [&](const com::RegistryKey& c) {
        return is_library(DefaultValue(c, u"InprocServer32"));
      });
  std::set<std::u16string, com::NameLess> names, appids;
  for (const std::u16string& clsid : classes) {
    const com::RegistryKey& c = *clsid_key->Find(clsid);
    for (const char16_t* progid : {u"ProgID", u"VersionIndependentProgID"}) {
      if (const std::u16string* name = DefaultValue(c, progid)) names.insert(*name);
    }
    if (const std::u16string* appid = c.Value(u"AppID")) appids.insert(*appid);
    clsid_key->RemoveSubkey(clsid);
  }
  // A ProgID goes with its class, not one that names another class by now.
  for (const std::u16string& name : names) {
    const std::u16string* clsid = DefaultValue(root, name + u"\\CLSID");
    if (clsid != nullptr && std::find_if(classes.begin(), classes.end(), [&](const auto& c) {
                              return com::NameEquals(c, *clsid);
                            }) != classes.end()) {
      root.RemoveSubkey(name);
    }
  }
  if (com::RegistryKey* typelibs = root.Find(u"TypeLib")) {
    for (const std::u16string& libid : SubkeysWhere(*typelibs, [](const auto&) { return true; })) {
      com::RegistryKey& library = *typelibs->Find(libid);
      for (const std::u16string& version : SubkeysWhere(library, [&](const com::RegistryKey& v) {
             return is_library(DefaultValue(v, u"0\\linux"));
           })) {
        library.RemoveSubkey(version);
      }
      if (library.subkeys().empty()) typelibs->RemoveSubkey(libid);
    }
  }
  // The AppID and its module's name, once no class names it.
  for (const std::u16string& appid : appids) {
    if (!SubkeysWhere(*clsid_key, [&](const com::RegistryKey& c) {
           const std::u16string* value = c.Value(u"AppID");
           return value != nullptr && com::NameEquals(*value, appid);
         }).empty()) {
      continue;
    }
    com::RegistryKey* appid_key = root.Find(u"AppID");
    if (appid_key == nullptr) continue;
    for (const std::u16string& name : SubkeysWhere(*appid_key, [&](const com::RegistryKey& a) {
           const std::u16string* value = a.Value(u"AppID");
           return value != nullptr && com::NameEquals(*value, appid);
         })) {
      appid_key->RemoveSubkey(name);
    }
    appid_key->RemoveSubkey(appid);
  }
  return classes.size();
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
