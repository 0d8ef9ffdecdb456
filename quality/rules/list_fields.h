// The hand-made lists of the grade tasks: elements written from a fixed template whose
// attribute values stand between single quotes, each value escaped so that no text of the
// database can end its attribute or open markup. The template's own blanks are kept exactly.
//
//   constexpr ListField kFields[] = {{u"<item patient_id = '", 0}, {u"' sex = '", 3}};
//   AppendListFields(list, kFields, &values[row]);
//   list.append(u"'></item>");
//
// Thread-safety: stateless.
#pragma once

#include <span>
#include <string>

#include "foundation/xml/xml_text.h"

namespace korvalis::quality {

// One value of a listed element: the template's text before it, and its column in the row.
struct ListField {
  const char16_t* before;
  unsigned column;
};

// Appends, for each field in order, its text and then the value of its column in `row`,
// escaped for an attribute value. Precondition: `row` holds every column the fields name.
inline void AppendListFields(std::u16string& list, std::span<const ListField> fields,
                             const std::u16string* row) {
  for (const ListField& field : fields) {
    list.append(field.before);
    AppendXmlEscapedWithQuotes(list, row[field.column]);
  }
}

}  // namespace korvalis::quality
