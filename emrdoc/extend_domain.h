// CBExtendDomain: the domain of code 50, "ex.*": values that a site computes with statements
// of its own on extension databases of its choice.
//
// The configuration: TELV_EXTEND_DBSTRING names each extension database (ID, CODE and the
// initialisation string DB_STRING); TELV_EXTEND_DOMAIN holds the items (the database's ID in
// EXTEND_DB, CODE, the statement SQL, COLUMN_NUM, the comma-separated SUB_CODE and SUB_NAME,
// STATUS 1 for an active item). An item's statement may hold the placeholders
// "{#patientid#}", "{#eventno#}", "{#residenceno#}" (the visit's residence number from the HIS
// patient-information component) and "{#emrid#}" (the EMR id given by SetEmrId, else empty);
// each value replacing one has its single quotes doubled, as the statement puts text values
// between quotes. The statement returns COLUMN_NUM columns per row: the row id, then one
// value per sub-code in the order of SUB_CODE.
//
// Every lookup reads the configuration again, asks the HIS for the residence number and runs
// every active item whose key ("ex." database code "." item code, lower case) begins the
// requested key, storing
//   ex.<database>.<item>.<row id>.<sub-code>   (all lower case)
// with the row's value and the sub-code's name. Stored keys stay for the domain's life and
// are replaced by later results. An item whose COLUMN_NUM does not begin with a positive
// number is skipped without running; a sub-code without a column stores nothing and a
// missing sub-name reads empty. A failing configuration statement ends the lookup's loading,
// a failing item is skipped; both are written to the event log as errors. An item's statement
// must be a query: one that is not is skipped without running, and logged so. The residence
// number's failure reaches the caller.
//
// A key answers only when it begins with "ex" and is stored; it is compared unchanged, so a
// key asked in upper case never matches.
//
// Thread-safety: as every domain, it belongs to the thread of its registry.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "emrdoc/emr_domain.h"
#include "platform/com/scoped_bstr.h"

class CBExtendDomain : public CBEMRDomain {
 public:
  // Copies the visit; reads nothing. A null BSTR is the empty text.
  CBExtendDomain(BSTR bstrPatientID, BSTR bstrEventNo);

  std::u16string GetValue(CSingleDataSource* pDataSource, const std::u16string& strKey) override;

  // The EMR id that replaces "{#emrid#}".
  void SetEmrId(const std::u16string& strEmrID) { emr_id_ = strEmrID; }

 private:
  void Load(CSingleDataSource* pDataSource, const std::u16string& strKey);

  korvalis::com::ScopedBstr patient_id_;
  korvalis::com::ScopedBstr event_no_;
  std::u16string emr_id_;
  // Lower-case key to (value, sub-name).
  std::map<std::u16string, std::pair<std::u16string, std::u16string>> items_;
};
