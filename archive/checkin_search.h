// The list of the paper check-in (CBArchivePatient::SearchCheckinPatient): the discharged visits
// (discharge time and department set, RESIDENCE_FLAG 1), one `patient` element per visit with
// the values of the newest entry of its record flow (the largest SERIAL_NO; empty values for a
// visit without entries). The newest entry is chosen by analytic functions in the one statement,
// whose text is exposed for the benchmark that runs it on the bare database.
//
// The condition document gives the conditions on the visit of
// archive/discharged_visit_conditions.h (`paper_status` as one number); they filter the rows
// before the newest entry is chosen.
//
// Thread-safety: stateless functions; the dialect is only read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CDBType;

namespace korvalis::archive {

// The 15 names of the result: the element name first, then one attribute per further column.
const std::vector<std::u16string>& CheckinPatientNames();

// The statement of the condition document `condition` (the empty text is the empty
// condition). Throws CEMRException "无效XML!" for a document that does not load, and
// SqlNumber's message for an `emr_status` that is not a list of numbers or a `paper_status`
// that is not a number.
std::u16string CheckinPatientSql(const CDBType& dialect, std::u16string_view condition);

}  // namespace korvalis::archive
