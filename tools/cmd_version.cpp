// `korvalis version` and `korvalis selfcheck`.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "interface/library_checks.h"
#include "platform/com/object_creation.h"
#include "platform/com/registry.h"
#include "platform/text/control_escape.h"
#include "tools/command.h"
#include "tools/command_line.h"
#include "tools/component_library.h"

namespace korvalis::tools {
namespace {

constexpr char kVersionUsage[] = "usage: korvalis version\nPrints the version of the command.\n";
constexpr char kSelfCheckUsage[] =
    "usage: korvalis selfcheck\n"
    "Starts each library the system loads and runs one small operation through it, one line\n"
    "each: \"ok\", or \"FAILED\" with the reason when one is known (for a file that cannot be\n"
    "found, every place it was looked for). First those the command loads itself (sqlite,\n"
    "libpq, libxml2, xerces, zlib, ICU, libcurl, PCRE2), then, for each component library\n"
    "registered in the registry (KORVALIS_REGISTRY), those its calls load, found as the\n"
    "library finds them: the same, and libxslt in the transformation worker and Crypto++ in\n"
    "the cipher module that the library looks for beside itself. Any failure makes the status\n"
    "non-zero. libpq is checked without a server.\n";

// The path of the running command.
std::string CommandPath() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string("korvalis") : path.string();
}

// Prints one check as a line under its holder; true when it works.
bool PrintCheck(const char* name, bool works, const std::string& failure) {
  std::printf("  %-8s %s\n", name,
              works ? "ok" : ("FAILED" + (failure.empty() ? "" : ": " + EscapeControls(failure)))
                                 .c_str());
  return works;
}

// The libraries every registered component library's calls load, checked by the library's own
// code (one that carries no such check is checked by its loading alone); the number of failures.
int CheckRegisteredLibraries() {
  const com::RegistryFile registry;
  com::RegistryKey root;
  std::string error;
  if (FAILED(registry.Read(&root, &error))) {
    std::printf("registry %s\n  %-8s FAILED: %s\n", registry.path().c_str(), "reading",
                EscapeControls(error).c_str());
    return 1;
  }
  const std::vector<std::string> libraries = RegisteredLibraries(root);
  if (libraries.empty()) {
    std::printf("registry %s: no library is registered, so no call can be made (korvalis regsvr "
                "LIBRARY registers one)\n",
                registry.path().c_str());
    return 0;
  }
  int failures = 0;
  for (const std::string& library : libraries) {
    std::printf("library %s\n", library.c_str());
    std::string load_error;
    if (com::FindLibraryExport(library, "DllGetClassObject", &load_error) == nullptr) {
      failures += !PrintCheck("loading", false, load_error);
      continue;
    }
    auto check = reinterpret_cast<frame::DllCheckLibrariesFn>(
        com::FindLibraryExport(library, frame::kCheckLibrariesExport, nullptr));
    if (check == nullptr) {
      PrintCheck("loading", true, "");
      continue;
    }
    check(
        [](void* context, const char* name, const char* failure) {
          *static_cast<int*>(context) +=
              !PrintCheck(name, failure == nullptr, failure != nullptr ? failure : "");
        },
        &failures);
  }
  return failures;
}

}  // namespace

int RunVersion(const std::vector<std::string>& args) {
  ParsedOptions options;
  switch (ParseOptions("version", args, {}, kVersionUsage, &options)) {
    case OptionsOutcome::kRun: break;
    case OptionsOutcome::kHelpShown: return 0;
    case OptionsOutcome::kRefused: return 2;
  }
  if (!options.operands.empty()) {
    PrintError("version takes no arguments: '" + options.operands[0] + "' is one too many",
               "usage: korvalis version");
    return 2;
  }
  std::printf("korvalis %s\n", KORVALIS_VERSION);
  return 0;
}

int RunSelfCheck(const std::vector<std::string>& args) {
  ParsedOptions options;
  switch (ParseOptions("selfcheck", args, {}, kSelfCheckUsage, &options)) {
    case OptionsOutcome::kRun: break;
    case OptionsOutcome::kHelpShown: return 0;
    case OptionsOutcome::kRefused: return 2;
  }
  if (!options.operands.empty()) {
    PrintError("selfcheck takes no arguments: '" + options.operands[0] + "' is one too many",
               "usage: korvalis selfcheck");
    return 2;
  }
  std::printf("command %s\n", CommandPath().c_str());
  int failures = 0;
  for (const frame::LibraryCheck& check : frame::CheckLibraries(frame::LibrariesOf::kCommand)) {
    failures += !PrintCheck(check.name, check.works, check.failure);
  }
  failures += CheckRegisteredLibraries();
  return failures == 0 ? 0 : 1;
}

}  // namespace korvalis::tools
