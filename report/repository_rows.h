// What the bodies of CBRepository share: the text of an argument, the rows they insert (every
// value quoted, so that a quote in any value is stored as given) and the lists they build
// with the XML library's DOM.
//
// Thread-safety: stateless; each function works on the caller's data source.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/com/bstr.h"

class CSingleDataSource;

namespace korvalis::repository {

// The text of an argument; a null BSTR reads as the empty text.
inline std::u16string ArgumentText(BSTR argument) { return std::u16string(BstrView(argument)); }

// Runs "INSERT INTO table (columns) VALUES (...)" with `values` quoted, in the order of
// `columns`; an empty value stores NULL.
void InsertRow(CSingleDataSource& data_source, std::u16string_view table,
               std::u16string_view columns, std::initializer_list<std::u16string_view> values);

}  // namespace korvalis::repository
