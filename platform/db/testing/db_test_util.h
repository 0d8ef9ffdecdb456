// Helpers shared by the database layer's tests: run statements on a connection and read the
// rows back as text.
//
// Thread-safety: stateless functions; a connection is used by one thread at a time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/db/provider.h"

namespace korvalis::db::testing {

using Rows = std::vector<std::vector<std::string>>;

// The rows of `sql`, NULL as "<null>".
inline Rows Query(Connection& c, std::string_view sql) {
  Rows rows;
  auto r = c.Execute(sql);
  while (r->Next()) {
    std::vector<std::string> row;
    for (int i = 0; i < r->ColumnCount(); ++i) {
      row.push_back(r->IsNull(i) ? "<null>" : std::string(r->Text(i)));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// The first column of the first row of `sql`.
inline std::string Scalar(Connection& c, std::string_view sql) {
  Rows rows = Query(c, sql);
  return rows.empty() || rows[0].empty() ? "<no row>" : rows[0][0];
}

inline std::vector<std::string> ColumnNames(Connection& c, std::string_view sql) {
  std::vector<std::string> names;
  auto r = c.Execute(sql);
  for (int i = 0; i < r->ColumnCount(); ++i) names.push_back(r->ColumnName(i));
  return names;
}

}  // namespace korvalis::db::testing
