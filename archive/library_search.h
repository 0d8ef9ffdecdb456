// The statements of the record library's research search (library_search.cpp): the inner query
// of the full-text search and the paging statement that every paged search runs its inner query
// through. The bodies FullSearch, FullSearch2 and PathSearch of CBEMRLibrary use them; they are
// exposed for the benchmark that runs the same statement on the bare database.
//
// Thread-safety: stateless functions; the dialect is only read.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/types.h"

class CDBType;

namespace korvalis::archive {

// The documents whose full text matches the text query `what` (its quotes doubled), each joined
// to every visit of EMR_STATUS 3 of its patient: TITLE, ID, PATIENT_ID, EVENT_NO, NAME, IN_TIME,
// OUT_TIME, IN_DEPT_NAME.
std::u16string FullSearchQuery(std::u16string_view what);

// The hits numbered `start_row` to `end_row` (1-based, both included) of `query`, numbered in
// the order of the document and then the visit (A.ID, B.EVENT_NO: the key of a hit), so that a
// page holds the same hits on every engine and in every call, each with its number RN; on a page
// that starts at row 1 one more row, the sentinel, whose texts are "0", whose times are the date
// 2007-07-07 and whose RN is the number of all hits (no sentinel when there is none). Ordered by
// RN.
std::u16string SearchPageSql(const CDBType& dialect, std::u16string_view query, LONG start_row,
                             LONG end_row);

}  // namespace korvalis::archive
