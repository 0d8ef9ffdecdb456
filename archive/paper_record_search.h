// The paper-record search (CBPatientPaperMag::SearchPatientPMRList): the discharged visits with
// the state of their paper record and the values of their latest hand-over, one `patient`
// element per visit. Its statement is exposed for the benchmark that runs it on the bare
// database.
//
// The condition document gives the conditions on the visit of
// archive/discharged_visit_conditions.h (`paper_status` as a list of numbers) and two on the
// hand-over log, each "start|end" applying only with exactly a start and an end:
//   checkin_time                 a sign-in date in [start, end]
//   commit_time                  a commit date in [start, end]
// The conditions on the log drop the log rows outside them, and with them the visits that keep
// none.
//
// Thread-safety: stateless functions; the dialect is only read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CDBType;

namespace korvalis::archive {

// The 24 names of the result: the element name first, then one attribute per further column.
const std::vector<std::u16string>& PaperRecordSearchNames();

// The statement of the condition document `condition` (the empty text is the empty
// condition). Throws CEMRException "无效XML!" for a document that does not load, and
// SqlNumber's message for a `paper_status` or `emr_status` that is not a list of numbers.
std::u16string PaperRecordSearchSql(const CDBType& dialect, std::u16string_view condition);

}  // namespace korvalis::archive
