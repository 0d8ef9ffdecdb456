// How `korvalis sql` prints the rows of a statement, one row at a time as they are read (a
// result is never held whole):
//   - text: a line of column names, then one line per row, fields separated by tabs, NULL as an
//     empty field; a tab, line feed, carriage return or backslash in a name or value is written
//     \t, \n, \r or \\, so that every row stays one line of tab-separated values;
//   - XML: one well-formed UTF-8 document per result, whatever the column names and values:
//       <?xml version="1.0" encoding="UTF-8"?>
//       <root><row><column name="COUNT(*)">3</column>...</row>...</root>
//     a name or value is escaped, and a character XML cannot carry is written as U+FFFD;
//   - either way, a BLOB's bytes (no text to show) as their length: "(BLOB, 1024 bytes)".
//
// Thread-safety: writes to one FILE; one printer per statement.
#pragma once

#include <cstdio>

#include "platform/db/provider.h"

namespace korvalis::tools {

// Prints every row of `rows` to `out`, and answers how many; nothing for a statement without
// columns. Throws the DbError of a failing fetch, after closing an XML document begun (so that
// what was printed is well formed).
long long PrintRows(db::Rowset& rows, bool xml, std::FILE* out);

}  // namespace korvalis::tools
