// Test helpers of the domains: lookups through a registry, which must answer 0 and a BSTR that
// is never null, the slots of the calls a double recorded, and a HIS answer written as a HIS may
// send it (indented, with a declaration, comments and a processing instruction between its
// elements).
//
//   CBDomainManager registry(&data_source_);
//   EXPECT_EQ(AskRegistry(registry, kHISFeeDomainCode, u"his.fee.total"), u"980.5");
//
// Thread-safety: stateless functions.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "emrdoc/domain_manager.h"
#include "platform/com/scoped_bstr.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::emrdoc::testing {

inline std::u16string AskRegistry(CBDomainManager& registry, int code, const std::u16string& key,
                                  const char16_t* patient = u"P1", const char16_t* event = u"E1") {
  com::ScopedBstr patient_id(patient), event_no(event), key_text(key), value;
  EXPECT_EQ(registry.GetValue(patient_id.get(), event_no.get(), code, key_text.get(), value.out()),
            0);
  EXPECT_NE(value.get(), nullptr);
  return value.text();
}

// The values of `keys` in the domain of `code`, asked of `registry` in turn.
inline std::map<std::u16string, std::u16string> AskKeys(CBDomainManager& registry, int code,
                                                        const std::vector<std::u16string>& keys) {
  std::map<std::u16string, std::u16string> values;
  for (const std::u16string& key : keys) values[key] = AskRegistry(registry, code, key);
  return values;
}

// The slots of the calls `doubles` recorded for `iid`, in order.
inline std::vector<int> CallSlots(const suite::testing::SiblingDoubles& doubles, const IID& iid) {
  std::vector<int> slots;
  for (const auto& call : doubles.Calls(iid)) slots.push_back(call.slot);
  return slots;
}

// `compact` with a line, a comment and an indent between every two adjacent tags. The indent
// is text where it stands inside a text: write the compact text's empty elements as "<a/>", and
// no tag right before the end tag of an element with text.
inline std::u16string Indented(std::u16string_view compact) {
  std::u16string text = u"<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<!-- HIS -->\n";
  for (std::size_t i = 0; i < compact.size(); ++i) {
    if (i > 0 && compact[i - 1] == u'>' && compact[i] == u'<') {
      text += u"\n  <!-- 项 -->\n  <?his line?>\n  ";
    }
    text += compact[i];
  }
  return text + u"\n";
}

}  // namespace korvalis::emrdoc::testing
