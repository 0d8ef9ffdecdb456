// `korvalis regsvr [-u] <library>`: registers a component library in the registry file (or
// removes its registration with -u) by calling the library's own entry point. The library is
// registered by its path as given, made absolute: one reached through a symbolic link stays
// reached through it. A library whose file is gone (an installation moved or removed) cannot
// unregister itself: -u then removes what the registry holds for that path.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "platform/com/object_creation.h"
#include "platform/com/registry.h"
#include "platform/sys/installed_file.h"
#include "platform/text/unicode.h"
#include "tools/command.h"
#include "tools/command_line.h"
#include "tools/component_library.h"
#include "tools/temporary_files.h"

namespace korvalis::tools {
namespace {

constexpr char kUsage[] =
    "usage: korvalis regsvr [-u] LIBRARY\n"
    "Registers the component library LIBRARY (a .so file) in the registry file that\n"
    "KORVALIS_REGISTRY names (default ~/.korvalis/registry), so that `korvalis call` and the\n"
    "suite's components can create its classes.\n"
    "  -u, --unregister  remove the library's registration instead (also of a library whose\n"
    "                    file is gone: what the registry holds for that path)\n"
    "The path is kept as given (made absolute), symbolic links and all.\n";

// Prints what the registry now holds, noted as the work done should the line be lost.
void SayDone(const std::string& done) {
  NoteWorkDone(done);
  std::printf("%s\n", done.c_str());
}

// Removes from the registry what it holds for the library at `path`, whose file is gone.
int UnregisterGoneLibrary(const std::string& given, const std::string& path) {
  const com::RegistryFile registry;
  std::string error;
  size_t removed = 0;
  SignalsHeld held;  // as for a registration: no copy of the registry is left at a signal
  const HRESULT hr = registry.Update(
      [&](com::RegistryKey& root) {
        removed = RemoveRegistrationOf(root, FromUtf8(path));
        return S_OK;
      },
      &error);
  if (FAILED(hr)) {
    PrintError("cannot write the registry: " + error);
    return 1;
  }
  if (removed == 0) {
    PrintError(given + ": no such library, and " + registry.path() + " registers none there");
    return 1;
  }
  SayDone("unregistered " + path + " (its file is gone: " + std::to_string(removed) +
          " classes removed) in " + registry.path());
  return 0;
}

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
  const std::string path = sys::AbsolutePathAsGiven(library);
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (unregister) return UnregisterGoneLibrary(library, path);
    PrintError(library + ": no such library");
    return 1;
  }
  const char* resolved = path.c_str();
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
  HRESULT hr = S_OK;
  {
    // The registry is written beside itself and then renamed: a signal meanwhile would leave
    // the copy behind, so it ends the run once the registry is written.
    SignalsHeld held;
    if (FAILED(registry.Update([](com::RegistryKey&) { return S_OK; }, &error))) {
      PrintError("cannot write the registry: " + error);
      return 1;
    }
    hr = reinterpret_cast<DllRegisterServerFn>(address)();
  }
  if (FAILED(hr)) {
    PrintError(std::string(entry) + " of " + resolved + " failed in " + registry.path() +
               ": HRESULT " + HresultText(hr));
    return 1;
  }
  SayDone(std::string(unregister ? "unregistered " : "registered ") + resolved + " in " +
          registry.path());
  return 0;
}

}  // namespace korvalis::tools
