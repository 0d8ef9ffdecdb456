#include "platform/com/type_library_registration.h"

#include "platform/text/unicode.h"

namespace korvalis::com {
namespace {

std::u16string LibraryKey(const TypeLibraryInfo& library) {
  return u"TypeLib\\" + GuidToRegistryString(library.libid);
}

std::u16string VersionName(const TypeLibraryInfo& library) {
  return FromUtf8(std::to_string(library.major_version) + "." +
                  std::to_string(library.minor_version));
}

}  // namespace

void RegisterTypeLibrary(const TypeLibraryInfo& library, const std::string& module_path,
                         RegistryKey& classes_root) {
  RegistryKey& version = classes_root.Create(LibraryKey(library) + u"\\" + VersionName(library));
  version.SetValue(u"", library.help);
  version.Create(u"0\\linux").SetValue(u"", FromUtf8(module_path));
  version.Create(u"FLAGS").SetValue(u"", u"0");
  size_t slash = module_path.rfind('/');
  std::string directory = slash == std::string::npos ? "." : module_path.substr(0, slash);
  version.Create(u"HELPDIR").SetValue(u"", FromUtf8(directory));
}

void UnregisterTypeLibrary(const TypeLibraryInfo& library, RegistryKey& classes_root) {
  RegistryKey* key = classes_root.Find(LibraryKey(library));
  if (key == nullptr) return;
  key->RemoveSubkey(VersionName(library));
  if (key->subkeys().empty()) {
    classes_root.Find(u"TypeLib")->RemoveSubkey(GuidToRegistryString(library.libid));
  }
}

}  // namespace korvalis::com
