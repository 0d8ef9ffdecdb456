// Statement fragments of the grade-summary bodies: a property of a request adds its fragment to
// a statement when its text is not empty, with the value placed as a quoted literal (quotes
// doubled), a number checked before it stands bare, or a day of a "yyyy-mm-dd" text.
//
// Thread-safety: stateless functions.
#pragma once

#include <initializer_list>
#include <string>

#include "foundation/xml/xml_property.h"

namespace korvalis::report {

// How a property's value is placed into a statement.
enum class Placement {
  kQuoted,    // a string literal
  kBare,      // a number; anything else throws SqlBareNumber's CEMRException naming the key
  kDay,       // TO_DATE of the "yyyy-mm-dd" text
  kDayAfter,  // the day after it: the end of a span that includes its last day
};

// One property's fragment: `before`, the value placed, then `after`.
struct Fragment {
  const char16_t* key;
  const char16_t* before;
  Placement placement;
  const char16_t* after;
};

// The fragment with `value` placed. Throws as Placement says.
std::u16string FragmentText(const Fragment& fragment, const std::u16string& value);

// The fragments of the properties present, in the order of `fragments`. Throws the property
// bag's CEMRException for a document that does not parse, and as FragmentText.
std::u16string FragmentsOf(const CXmlProperty& property, std::initializer_list<Fragment> fragments);

}  // namespace korvalis::report
