#include "foundation/suite/constants.h"

namespace korvalis::constants {

const std::u16string& SuiteSystemList() {
  static const std::u16string& list = *new std::u16string([] {
    std::u16string text = u"<?xml version = '1.0' ?><root><system id='";
    const std::size_t count = std::size(kSuiteSystems);
    for (std::size_t i = 0; i < count; ++i) {
      const SuiteSystem& system = kSuiteSystems[i];
      text.append(system.id);
      text.append(u"' name='");
      text.append(system.code);
      text.append(u"'>");
      text.append(system.label);
      text.append(i + 1 < count ? u"</system><system id='" : u"</system></root>");
    }
    return text;
  }());
  return list;
}

}  // namespace korvalis::constants
