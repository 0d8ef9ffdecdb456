// `korvalis regsvr [-u] <library>`: registers a component library in the registry file (or
// removes its registration with -u) by calling the library's own entry point.
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/com/object_creation.h"
#include "platform/com/registry.h"
#include "tools/command.h"
#include "tools/component_library.h"

namespace korvalis::tools {

int RunRegsvr(const std::vector<std::string>& args) {
  bool unregister = !args.empty() && args[0] == "-u";
  if (args.size() != (unregister ? 2u : 1u)) {
    std::fprintf(stderr, "usage: korvalis regsvr [-u] <library>\n");
    return 2;
  }
  char resolved[PATH_MAX];
  if (::realpath(args.back().c_str(), resolved) == nullptr) {
    std::fprintf(stderr, "korvalis: %s: no such library\n", args.back().c_str());
    return 1;
  }
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  std::string error;
  void* address = com::FindLibraryExport(resolved, entry, &error);
  if (address == nullptr) {
    std::fprintf(stderr, "korvalis: %s\n", error.c_str());
    return 1;
  }
  HRESULT hr = reinterpret_cast<DllRegisterServerFn>(address)();
  std::string registry = com::RegistryFile().path();
  if (FAILED(hr)) {
    std::fprintf(stderr, "korvalis: %s of %s failed in %s: HRESULT %s\n", entry, resolved,
                 registry.c_str(), HresultText(hr).c_str());
    return 1;
  }
  std::printf("%s %s in %s\n", unregister ? "unregistered" : "registered", resolved,
              registry.c_str());
  return 0;
}

}  // namespace korvalis::tools
