// `korvalis classes`: one line per method of every registered class, from the type library its
// library carries: the class name, a tab, the dispatch identifier, a tab, and the method with
// its parameter names in parentheses.
#include <cstdio>

#include "platform/com/registry.h"
#include "platform/com/unicode.h"
#include "tools/command.h"
#include "tools/component_library.h"

namespace korvalis::tools {

int RunClasses(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "usage: korvalis classes\n");
    return 2;
  }
  com::RegistryFile registry;
  com::RegistryKey root;
  std::string error;
  if (FAILED(registry.Read(&root, &error))) {
    std::fprintf(stderr, "korvalis: %s\n", error.c_str());
    return 1;
  }
  std::vector<std::string> problems;
  std::vector<RegisteredClass> classes = RegisteredClasses(root, &problems);
  for (const std::string& problem : problems)
    std::fprintf(stderr, "korvalis: %s\n", problem.c_str());
  if (classes.empty()) {
    std::fprintf(stderr, "korvalis: no classes are registered in %s (korvalis regsvr <library>)\n",
                 registry.path().c_str());
    return 1;
  }
  for (const RegisteredClass& c : classes) {
    std::string name = ToUtf8(c.coclass->name);
    for (const com::MethodInfo& method : c.coclass->interface->methods) {
      std::string line =
          name + "\t" + std::to_string(method.dispid) + "\t" + ToUtf8(method.name) + "(";
      for (size_t i = 0; i < method.params.size(); ++i) {
        if (i > 0) line += ", ";
        line += ToUtf8(method.params[i].name);
      }
      std::printf("%s)\n", line.c_str());
    }
  }
  return problems.empty() ? 0 : 1;
}

}  // namespace korvalis::tools
