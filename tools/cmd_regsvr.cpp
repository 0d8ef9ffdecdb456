// `korvalis regsvr [-u] <library>`: registers a component library in the registry file (or
// removes its registration with -u) by calling the library's own entry point.
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/com/object_creation.h"
#include "platform/com/registry.h"
#include "tools/command.h"
#include "tools/command_line.h"
#include "tools/component_library.h"

namespace korvalis::tools {
namespace {

constexpr char kUsage[] =
    "usage: korvalis regsvr [-u] LIBRARY\n"
    "Registers the component library LIBRARY (a .so file) in the registry file that\n"
    "KORVALIS_REGISTRY names (default ~/.korvalis/registry), so that `korvalis call` and the\n"
    "suite's components can create its classes.\n"
    "  -u, --unregister  remove the library's registration instead\n";

}  // namespace

int RunRegsvr(const std::vector<std::string>& args) {
  ParsedOptions options;
  switch (ParseOptions("regsvr", args, {{"unregister", 'u', false}}, kUsage, &options)) {
    case OptionsOutcome::kRun: break;
    case OptionsOutcome::kHelpShown: return 0;
    case OptionsOutcome::kRefused: return 2;
  }
  if (options.operands.size() != 1) {
    PrintError("regsvr takes one library", "usage: korvalis regsvr [-u] LIBRARY");
    return 2;
  }
  const bool unregister = options.Has("unregister");
  const std::string& library = options.operands[0];
  char resolved[PATH_MAX];
  if (::realpath(library.c_str(), resolved) == nullptr) {
    PrintError(library + ": no such library");
    return 1;
  }
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  std::string error;
  void* address = com::FindLibraryExport(resolved, entry, &error);
  if (address == nullptr) {
    PrintError(error);
    return 1;
  }
  // The library's entry point answers only a code: a registry that cannot be written is found
  // here first, with the system's reason.
  const com::RegistryFile registry;
  if (FAILED(registry.Update([](com::RegistryKey&) { return S_OK; }, &error))) {
    PrintError("cannot write the registry: " + error);
    return 1;
  }
  HRESULT hr = reinterpret_cast<DllRegisterServerFn>(address)();
  if (FAILED(hr)) {
    PrintError(std::string(entry) + " of " + resolved + " failed in " + registry.path() +
               ": HRESULT " + HresultText(hr));
    return 1;
  }
  std::printf("%s %s in %s\n", unregister ? "unregistered" : "registered", resolved,
              registry.path().c_str());
  return 0;
}

}  // namespace korvalis::tools
