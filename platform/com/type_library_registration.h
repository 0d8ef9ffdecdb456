// Registration of a type library in the class registry: the key
// TypeLib\{LIBID}\<major>.<minor> with the library's help string, the library file under
// "0\linux", FLAGS 0 and the help directory (the library file's directory).
//
// Thread-safety: works on the tree it is given.
#pragma once

#include <string>

#include "platform/com/registry.h"
#include "platform/com/type_info_table.h"

namespace korvalis::com {

void RegisterTypeLibrary(const TypeLibraryInfo& library, const std::string& module_path,
                         RegistryKey& classes_root);
// Removes the version's key, and the library's key when no other version remains.
void UnregisterTypeLibrary(const TypeLibraryInfo& library, RegistryKey& classes_root);

}  // namespace korvalis::com
