// The patient search of archive management: a condition document turned into one SELECT over
// the visit records (TELV_VISIT_RECORD V) joined to their patients (TELV_PATIENT W), whose rows
// come back as `root` with one `patient` element per visit. CBArchivePatient::SearchPatient is
// its automation body; the ready-made patient lists write a condition document of their own and
// run it through SearchPatients.
//
// Condition elements and what each adds to the WHERE clause, in this order (every condition is
// ANDed; an element with an empty text adds nothing; other elements are ignored):
//   name, eventno (then patient_id, only with eventno), doctor   LIKE '%value%' / = 'value'
//   patienttype      RESIDENCE_FLAG = the leading integer (0 when none); "99" adds nothing
//   forbid_flag, emrtype, code_status, trans_status, indept, leavedept, nowdept
//   intime_span      "start|end": IN_TIME in [start, end)
//   leavetime_span   SQL text after OUT_TIME when it contains "null", else a span
//   commit_time_span, archive_time_span, forbid, code, codedate, caseno, paper_status
//   orderby          ORDER BY text;   maxrow   ROWNUM < maxrow around the ordered query
// A span applies only when it splits at "|" into exactly two pieces.
//
// Values are placed between quotes (and into LIKE patterns) with their quotes doubled, and the
// date pieces likewise. `emrtype`, `code`, `orderby`, `maxrow` and the "null" form of
// `leavetime_span` stand bare in the statement: each must have one of the forms that
// search_pieces.h lists, checked before any statement runs; any other text is refused with the
// generic database message and an event-log record naming its element.
//
// Thread-safety: stateless functions; a data source belongs to the calling thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "foundation/xml/xml_property.h"
#include "platform/com/bstr.h"

class CDBType;
class CEMRDataSource;

namespace korvalis::archive {

// The 34 names of the result: the element name first, then one attribute per further column.
const std::vector<std::u16string>& PatientSearchNames();

// The statement of a search. `now` is the server's current time as "YYYY-MM-DD HH24:MI:SS",
// `condition` the condition document's names and texts (an absent name reads as empty).
// Throws CEMRException with the generic database message for a piece search_pieces.h refuses.
std::u16string PatientSearchSql(const CDBType& dialect, std::u16string_view now,
                                const CXmlProperty::Map& condition);

// Runs the search: the condition document read and its bare pieces checked, the server time,
// then the statement queried into *pbstrList. Throws CEMRException "解析属性信息错误." (after
// the server time) for a condition that is not XML, and the generic database message for a
// refused piece (before any statement) or a failing statement.
void SearchPatients(CEMRDataSource& data_source, const std::u16string& condition, BSTR* pbstrList);

}  // namespace korvalis::archive
