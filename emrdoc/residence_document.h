// The residence document of a visit: admission, current ward and discharge from the visit's
// TELV_VISIT_RECORD row, completed by the HIS patient-information component while the visit's
// RESIDENCE_FLAG is "1", with the days in hospital and in the current department and the
// HIS's residence number. The residence domain (emrdoc/residence_domain.h) turns it into keys.
//
//   <root>
//     <in><time>IN_TIME</time><dept id="IN_DEPT_ID" time="HIS in-department time">IN_DEPT_NAME
//         </dept><room>ROOM</room><bed>BED_NO</bed></in>
//     <now><warddept id="HIS ward id">HIS ward</warddept><dept id="NOW_DEPT_ID">NOW_DEPT_NAME
//          </dept><room>ROOM</room><bed>BED_NO</bed></now>
//     <dayByDeptIn>days in the current department</dayByDeptIn>
//     <out><time>OUT_TIME</time><dept id="OUT_DEPT_ID">OUT_DEPT_NAME</dept><room>ROOM</room>
//          <bed>BED_NO</bed></out>            (or the HIS's own `out`, copied whole)
//     <event>EVENT_NO</event><serial>SERIAL_NO</serial>
//     <insurance type="INSURANCE_TYPE">INSURANCE_NO</insurance>
//     <archive>HIS residence number</archive><day>days in hospital</day>
//   </root>
//
// The HIS parts, by the visit's RESIDENCE_FLAG:
//   - "1": the in-out document of the HIS gives the `time` of the first `dept` of its first `in`
//     (and with it `dayByDeptIn`) and the first `warddept` with its `id`. A reply that does not
//     parse, or lacks these elements, adds nothing: no `time` attribute and no `dayByDeptIn`
//     when there is no `dept` under an `in`, an empty `warddept` without `id` when there is no
//     `warddept`. While OUT_TIME is empty and the HIS says the visit is discharged, the `out` of
//     a fresh in-out reply holding exactly one `out` replaces the one built from the row.
//   - any other flag: `time` "" on `in`/`dept`, an empty `dayByDeptIn`, an empty `warddept`,
//     and `out` from the row.
// The residence number is asked of the HIS for every visit, so the component is created
// for every document.
//
// Day counts: the end E minus the start S in whole days, truncated toward zero; 0 is written
// as 1. E is OUT_TIME, or today (the first 10 characters of the date-time component's now)
// while OUT_TIME is empty; S is the date (first 10 characters) of IN_TIME for `day` and of
// the HIS in-department time for `dayByDeptIn`. A date that does not parse, or an end before
// the start by a whole day or more, gives an empty count.
//
// Thread-safety: stateless; every call has its own document, replies and component.
#pragma once

#include <string>

#include "platform/com/bstr.h"

class CSingleDataSource;

// Writes the visit's residence document as a new BSTR through `pbstrXml` and returns 0; returns
// 1 and writes nothing when the visit has no row. Throws the data source's CEMRException, the
// factory's when the HIS component cannot be created, and one with the component's error
// description ("系统未知错误." when it set none) when a call of the HIS or of the date-time
// component fails; nothing is written then.
long BuildResidenceXml(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                       BSTR* pbstrXml);

// The day count of the end `end` and the start `start` as the residence document writes it.
std::u16string DayCountText(std::u16string_view end, std::u16string_view start);
