// What the bodies of CBRepository share: the records they save under a text key.
//
// Thread-safety: stateless; each function works on the caller's data source.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

class CSingleDataSource;
class CXmlProperty;

namespace korvalis::repository {

// One column of a saved record: its name, the key of the property document it is read from and
// the value that an absent or empty key stands for.
struct SavedColumn {
  const char16_t* column;
  const char16_t* key;
  const char16_t* fallback = u"";
};

// Saves the record of `table` that `property` describes, `columns` in the table's order, the
// first of them its key: the property's key value, whose row is replaced, or a new one
// (IdForSave); each other column read by its key (quoted as InsertRow quotes). Answers the key.
std::u16string SaveRecord(CSingleDataSource& data_source, std::u16string_view table,
                          const CXmlProperty& property, std::span<const SavedColumn> columns);

}  // namespace korvalis::repository
