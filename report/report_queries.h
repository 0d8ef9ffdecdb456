// The statements of a report run: each must be a query, and the rows of one run are held to
// the system's content bound as they are read, so that a statement that writes changes nothing
// and one that reads without end (a join without its condition) stops at the bound.
//
// Thread-safety: stateless functions; concurrent calls work on their own data sources.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "foundation/codec/emr_compression.h"
#include "platform/com/bstr.h"

class CSingleDataSource;

namespace korvalis::report {

// The refusal of a run whose rows would be larger than the content bound.
inline constexpr char16_t kReportRowsTooLarge[] = u"报表查询结果超过64MB的上限, 已拒绝";

// The most UTF-16 units that the rows of one run take as XML: the content bound.
inline constexpr std::size_t kMaxReportRowUnits = kMaxExpandedBytes / sizeof(char16_t);

// Throws CEMRException "报表SQL语句不是查询语句,无法生成报表: " + `sql` when the statement
// is not a query (INSERT, UPDATE, DELETE, DDL, COMMIT ...). A text that does not parse passes:
// it fails when it runs, as any faulty query does.
void CheckReportQuery(const std::u16string& sql);

// The rows of `sql` as CSingleDataSource::QueryElements writes them, into `*rows`; the
// document may take `max_units` UTF-16 units. Throws kReportRowsTooLarge, having read no row
// beyond the bound, when it would be longer.
void QueryReportRows(CSingleDataSource& data_source, const std::u16string& sql,
                     const std::vector<std::u16string>& names, std::size_t max_units,
                     BSTR* rows);

}  // namespace korvalis::report
