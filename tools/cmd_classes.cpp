// `korvalis classes [CLASS]`: one line per method of every registered class (or of the one
// named), from the type library its library carries: the class name, a tab, the dispatch
// identifier, a tab, and the method with each parameter's direction, type and name.
#include <cstdio>

#include "platform/com/registry.h"
#include "platform/text/unicode.h"
#include "tools/command.h"
#include "tools/command_line.h"
#include "tools/component_library.h"

namespace korvalis::tools {
namespace {

constexpr char kUsage[] =
    "usage: korvalis classes [CLASS]\n"
    "Lists every method of the registered classes (or of the class CLASS), one line each: the\n"
    "class, a tab, the dispatch identifier, a tab, and the method with its parameters as the\n"
    "type library declares them, e.g.\n"
    "  ArchivePatient\t1\tGetInPatientList([in] BSTR bstrDeptID, ..., [out, retval] BSTR* ...)\n"
    "Pass the [in] and [in, out] ones to `korvalis call`, in order; the [out, retval] one is\n"
    "the answer it prints.\n";

}  // namespace

int RunClasses(const std::vector<std::string>& args) {
  ParsedOptions options;
  switch (ParseOptions("classes", args, {}, kUsage, &options)) {
    case OptionsOutcome::kRun: break;
    case OptionsOutcome::kHelpShown: return 0;
    case OptionsOutcome::kRefused: return 2;
  }
  if (options.operands.size() > 1) {
    PrintError("classes takes one class name at most", "usage: korvalis classes [CLASS]");
    return 2;
  }
  com::RegistryFile registry;
  com::RegistryKey root;
  std::string error;
  if (FAILED(registry.Read(&root, &error))) {
    PrintError(error);
    return 1;
  }
  std::vector<std::string> problems;
  std::vector<RegisteredClass> classes = RegisteredClasses(root, &problems);
  for (const std::string& problem : problems) PrintError(problem);
  if (classes.empty()) {
    PrintError("no classes are registered in " + registry.path() + " (korvalis regsvr <library>)");
    return 1;
  }
  const std::string wanted = options.operands.empty() ? "" : options.operands[0];
  std::vector<std::string> names;
  bool listed = false;
  for (const RegisteredClass& c : classes) {
    const std::string name = ToUtf8(c.coclass->name);
    names.push_back(name);
    if (!wanted.empty() && !com::NameEquals(c.coclass->name, FromUtf8(wanted))) continue;
    listed = true;
    for (const com::MethodInfo& method : c.coclass->interface->methods) {
      std::printf("%s\t%d\t%s\n", name.c_str(), static_cast<int>(method.dispid),
                  MethodSignature(method).c_str());
    }
  }
  if (!listed) {
    PrintError(wanted + " is not a registered class" + DidYouMean(wanted, names));
    return 2;
  }
  return problems.empty() ? 0 : 1;
}

}  // namespace korvalis::tools
