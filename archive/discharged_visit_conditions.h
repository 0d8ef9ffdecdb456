// The conditions on a discharged visit that the archive's lists of discharged visits (the
// paper-record search and the paper check-in) read from their condition document, written as
// terms of a statement over TELV_VISIT_RECORD A joined with TELV_PATIENT C.
//
// Condition elements, each read as its text under the document element (absent or empty: no
// condition), in the order their conditions are appended:
//   name, patient_id, event_no   contained in the patient's name, identifier, visit number
//   leave_dept                   the discharge department's identifier, exactly
//   leavetime_span               "start|end": the discharge time in [start, end]
//   emr_status                   a number or a comma-separated list of numbers
//   paper_status                 a number; where a list takes a comma-separated list of
//                                numbers, appended before `emr_status`
// A span applies only when it has exactly a start and an end (foundation/data/sql_date.h).
//
// Thread-safety: stateless functions; the dialect and the document are only read.
#pragma once

#include <string>

#include "foundation/xml/xml_document.h"

class CDBType;

namespace korvalis::archive {

// The visit is discharged: its discharge time and department are set.
inline constexpr char16_t kDischargedVisit[] =
    u"A.OUT_TIME IS NOT NULL AND A.OUT_DEPT_ID IS NOT NULL";

// How a list reads `paper_status`.
enum class PaperStatusCondition { kOneNumber, kNumberList };

// " AND <term>" for each condition `root` gives. Throws SqlNumber's CEMRException, naming the
// element, for an `emr_status` or `paper_status` of another form.
std::u16string DischargedVisitConditions(const CDBType& dialect, CXmlNode& root,
                                         PaperStatusCondition paper_status);

}  // namespace korvalis::archive
