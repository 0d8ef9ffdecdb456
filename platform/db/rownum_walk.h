// The numbering of rows as they pass a WHERE that reads ROWNUM (rownum_rewrite.h), on both
// engines: the running aggregate
//
//   ora_rownum_walk(mask, runs) OVER (ROWS BETWEEN UNBOUNDED PRECEDING AND CURRENT ROW)
//
// reads the rows in the order they come. `runs` lists the first ROWNUM of each run of
// ROWNUMs over which WHERE reads alike ('1,3,4'); bit k of `mask` tells whether the row meets
// WHERE with the ROWNUMs of run k. A row passes when it meets WHERE with the ROWNUM one more
// than the rows passed before it; the walk gives it that ROWNUM, and NULL to a row that does
// not pass.
//
// ROWNUM in the CONNECT BY of a hierarchical query numbers the rows as the tree gives them:
//
//   ora_rownum_tree_walk(mask, runs, level) OVER (ORDER BY <depth-first order> ROWS ...)
//
// reads every row CONNECT BY could join for some ROWNUM, in the tree's depth-first order; bit
// k of `mask` tells whether CONNECT BY joins the row to its parent with the ROWNUMs of run k.
// A root (level 1) always comes; a child comes when CONNECT BY joins it with the ROWNUM one
// more than the rows come before it. The walk gives a row that comes that ROWNUM, and NULL to
// a row that does not, or whose parent did not.
//
// Thread-safety: registering is per connection; the script is constant.
#pragma once

struct sqlite3;

namespace korvalis::db {

// Registers ora_rownum_walk and ora_rownum_tree_walk on an embedded connection; returns an
// SQLite result code.
int RegisterRownumWalk(sqlite3* db);

// The statements that create ora_rownum_walk and ora_rownum_tree_walk on a PostgreSQL database.
const char* PostgresRownumWalkSql();

}  // namespace korvalis::db
