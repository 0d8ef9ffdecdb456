// The patient base-information document of a visit: the patient's TELV_PATIENT row, the age at
// the visit's reference time (emrdoc/age_text.h) and the current age computed by the database.
// The patient domain (emrdoc/patient_info_domain.h) turns it into keys.
//
//   <root><id/><name/><sex>code</sex><birthday>"YYYY-MM-DD " (date and blank)</birthday>
//     <birthaddress/><nation/><country/><idcard/><id_card/><marriage>code</marriage><career/>
//     <allergic/><native/><address/><workorg/><work_org/><hometel/><age/><currentage/></root>
//
// `idcard` and `id_card` both hold ID_CARD, `workorg` and `work_org` both WORK_ORG.
//
// The reference time of the age:
//   - a visit kept in the HIS (RESIDENCE_FLAG "1"): the in-department time that the HIS gives
//     ("residence.in.dept.time" of a residence domain in a registry of its own), unless the
//     visit's EMR_STATUS is "3", which leaves no reference time ("未知");
//   - any other visit, a visit without a row included: IN_TIME ("未知" without a row).
//
// The current age is the database's own text at its SYSDATE: under a month days "天" and
// hours "小时", under a year months "个月" and days "天" (the fraction of a month times 31),
// under 14 years years "岁" and months "个月", then years "岁".
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <string>

#include "platform/com/bstr.h"

class CDBType;
class CSingleDataSource;

// Writes the patient's base-information document as a new BSTR through `pbstrXml` and returns
// 0; returns -1 and writes nothing when the patient has no TELV_PATIENT row. Throws the data
// source's CEMRException, and the residence document's failures while the reference time is
// asked of it; nothing is written then.
long BuildPatientBaseInfoXml(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                             BSTR* pbstrXml);

// The statement whose single value is the current age of the patient `bstrPatientID`, with the
// concatenation operator of `dialect`.
std::u16string CurrentAgeSql(const CDBType& dialect, BSTR bstrPatientID);
