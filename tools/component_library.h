// What the `korvalis` subcommands that work with registered component libraries share: the
// classes registered in the registry, the type library their library carries, and HRESULT
// texts for messages.
//
// Thread-safety: main thread only.
#pragma once

#include <string>
#include <vector>

#include "platform/com/registry.h"
#include "platform/com/type_info_table.h"

namespace korvalis::tools {

struct RegisteredClass {
  const com::CoClassInfo* coclass;  // in its library's type library
  std::string library_path;
};

// The paths of the in-process libraries that registered classes name, each once, in order.
std::vector<std::string> RegisteredLibraries(const com::RegistryKey& root);

// The classes registered with an in-process library whose type library names them, sorted by
// class name. A library without a type library is passed over quietly; libraries that cannot
// be loaded, or whose type library fails, are reported in *problems.
std::vector<RegisteredClass> RegisteredClasses(const com::RegistryKey& root,
                                               std::vector<std::string>* problems);

// The class `clsid` in the type library of the library registered for it, loading that library
// alone; nullptr when the class is not registered, its library cannot be loaded or carries no
// type library that names it.
const com::CoClassInfo* RegisteredCoClass(const com::RegistryKey& root, const CLSID& clsid);

// The method as the type library declares it, each parameter with its direction and type:
// "GetInPatientList([in] BSTR bstrDeptID, ..., [out, retval] BSTR* pbstrResult)".
std::string MethodSignature(const com::MethodInfo& method);

// The number of arguments a caller passes to `method`: its parameters but the [out,retval].
size_t ArgumentCount(const com::MethodInfo& method);

// Removes from `root` what registering the library at `library_path` wrote there, for a library
// that cannot unregister itself (its file is gone): its classes, their ProgIDs, its type library
// and its AppID once no class names it. Answers the number of classes removed.
size_t RemoveRegistrationOf(com::RegistryKey& root, std::u16string_view library_path);

// "0x80004005".
std::string HresultText(HRESULT hr);

}  // namespace korvalis::tools
