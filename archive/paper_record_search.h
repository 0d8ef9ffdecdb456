// The paper-record search (CBPatientPaperMag::SearchPatientPMRList): the discharged visits with
// the state of their paper record and the values of their latest hand-over, one `patient`
// element per visit. Its statement is exposed for the benchmark that runs it on the bare
// database.
//
// Condition elements, each read as its text under the document element (absent or empty: no
// condition), in the order their conditions are appended:
//   name, patient_id, event_no   contained in the patient's name, identifier, visit number
//   leave_dept                   the discharge department's identifier, exactly
//   checkin_time                 "start|end": a sign-in date in [start, end]
//   leavetime_span               "start|end": the discharge time in [start, end]
//   paper_status, emr_status     a number or a comma-separated list of numbers
//   commit_time                  "start|end": a commit date in [start, end]
// A span applies only when it has exactly a start and an end (foundation/sql_date.h). The
// conditions on the hand-over log drop the log rows outside them, and with them the visits
// that keep none.
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
