// One-value lookups on a visit's TELV_VISIT_RECORD row (the row of the patient id and the
// visit number), for the builders of the patient and residence documents and the system
// domain. Each takes the calling body's data source (not null), runs one statement and
// writes nothing to the database; a visit without a row gives the lookup's empty or default
// value. Database failures are thrown as the data source reports them.
//
// The identifiers are placed in the statements as quoted literals with their quotes
// doubled, so a quote inside a value is looked up as itself; a null BSTR is the empty text.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <string>

#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "platform/com/bstr.h"

class CSingleDataSource;

// The RESIDENCE_FLAG of a visit whose in-hospital and discharge data the HIS completes.
inline constexpr char16_t kResidenceFlagInHis[] = u"1";

// What the visit's RESIDENCE_FLAG says about where its stay is kept.
enum ResidenceState : int {
  kResidenceUnknown = 0,  // any other flag, NULL included, or no row
  kResidenceInHis = 1,    // "1": the HIS is asked for the in-hospital and discharge data
  kResidenceLocal = 2,    // "0"
};

// PATIENT_ID = '...' AND EVENT_NO = '...': the key of the visit's row, and of the rows of its
// records.
korvalis::SqlKey VisitKey(korvalis::TextRef patient_id, korvalis::TextRef event_no);

// NOW_DEPT_ID of the visit as a new BSTR, zero-length (not null) without a row; nothing is
// stored through a null `pbstrDeptID`. Returns 0.
long GetNowDeptId(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                  BSTR* pbstrDeptID);

// The visit's ResidenceState, stored through `pnState` unless it is null. Returns 0.
long GetResidenceState(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                       int* pnState);

// IN_TIME of the visit ("YYYY-MM-DD HH:MM:SS") as a new BSTR, zero-length without a row;
// nothing is stored through a null `pbstrTime`.
void GetAdmissionTime(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                      BSTR* pbstrTime);
