// The lists of the work-list service (classes/my_service_class.h) for the login's user and department:
// the login lookup, notices, records to write, rolled-back records, consultation requests and
// records due for commit. Each function reads through the data source it is given and calls the
// suite's sibling components through the process-wide factories, releasing every component
// before it returns.
//
// Every failure (database, component creation or call, an answer that does not parse, memory)
// is thrown: CEMRException, or the exception of the library that failed. The service answers
// every failure alike, so the functions do not tell them apart.
//
// Ids and names are placed in the SQL as quoted literals with their single quotes doubled.
//
// Thread-safety: the functions share only the factories, which are thread-safe; a data source
// belongs to the calling thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/data/single_data_source.h"
#include "platform/com/bstr.h"

namespace korvalis::worklist {

struct BstrFree {
  void operator()(OLECHAR* text) const { SysFreeString(text); }
};
// An owned BSTR; null stands for the null text.
using UniqueBstr = std::unique_ptr<OLECHAR, BstrFree>;

// The answer of GetToCommitEMR when the commit limits are switched off or the weekend is
// excluded.
inline constexpr char16_t kNoCommitDueDocument[] = u"<?xml version=\"1.0\" ?><root/>";

// The user and department ids of the one online login whose cookie is `cookie`; nullopt when
// no login, or more than one, matches.
struct Login {
  std::u16string user_id;
  std::u16string dept_id;
};
std::optional<Login> FindLogin(CSingleDataSource& data_source, std::u16string_view cookie);

// The notice component's answer for the department and the user, byte for byte.
UniqueBstr NoticeList(std::u16string_view dept_id, std::u16string_view user_id);

// `root` with one `catalog` element (id, code, timeout, patient, bed; text) per record that
// the record plan of each visit the user manages still asks for, serialised with an XML
// declaration.
UniqueBstr ToWriteList(CSingleDataSource& data_source, std::u16string_view user_id);

// The department's rolled-back visits, newest rollback first.
UniqueBstr RollbackList(CSingleDataSource& data_source, std::u16string_view dept_id);

// The open consultation requests addressed to the user's name or department's name (or to
// anyone) that the user has not yet answered, newest request first; one element per request.
UniqueBstr ConsultRequestList(CSingleDataSource& data_source, std::u16string_view user_id,
                              std::u16string_view dept_id);

// The department's records due for commit; nullopt when the fixed kNoCommitDueDocument is the
// answer (limits switched off, or a weekend the setting excludes). The data source is read only
// for a list.
std::optional<UniqueBstr> ToCommitList(CSingleDataSource& data_source,
                                       std::u16string_view dept_id);

}  // namespace korvalis::worklist
