// The record library's lookups that other subsystems share: the system's date and time, the
// records of a visit by EMR type, the admission vital signs of a visit, the seal of a visit's
// record, the properties of an EMR catalogue and the properties of a user.
// They are no interface methods: each takes the calling body's data source first (not null),
// answers one question and writes nothing to the database.
//
// All return 0 and fail by throwing CEMRException (database failures as the data source reports
// them). A BSTR result receives a new string only when the lookup succeeds; nothing is written
// through a null result pointer, and a failed lookup leaves the result untouched. A patient
// identifier and a visit number name one visit; a null BSTR argument reads as the empty text,
// except where GetLatestEmrIdOfType says otherwise. Texts are placed in the statements as quoted
// literals with their quotes doubled, so a quote inside a value is looked up as itself.
//
// A live record is a TELV_EMR_CONTENT row with STATUS 1; other rows are never found.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <string>
#include <vector>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CSingleDataSource;

// The current date and time as "YYYY-MM-DD HH:MM:SS", from the suite's date-time component.
// The data source is not used.
long GetSystemDateTime(CSingleDataSource* pDataSource, BSTR* pbstrDateTime);

// The ID of a live record of `nEmrType` of the visit; the empty text (not null) when there is
// none. The records are not ordered: of several, whichever the database returns first.
long GetEmrIdOfType(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                    int nEmrType, BSTR* pbstrEmrID);
// GetEmrIdOfType of the record header (type 1), the residence record (type 2) and the first
// course record (type 8).
long GetHeaderEmrId(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                    BSTR* pbstrEmrID);
long GetResidenceEmrId(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                       BSTR* pbstrEmrID);
long GetFirstRecordEmrId(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                         BSTR* pbstrEmrID);

// The ID of the newest live record of `nEmrType` of the visit (by CREATE_DATE), written into
// `strEmrID`, which is left as it was when there is none. When either identifier is a null BSTR
// no statement runs and `strEmrID` is left as it was; a zero-length one is looked up.
long GetLatestEmrIdOfType(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                          int nEmrType, std::u16string& strEmrID);

// The IDs of the visit's live records of `nEmrType`, newest first (by CREATE_DATE), replacing
// the contents of `ids`; empty when there is none.
long GetEmrIdsOfTypeNewestFirst(CSingleDataSource* pDataSource, BSTR bstrPatientID,
                                BSTR bstrEventNo, int nEmrType, std::vector<std::u16string>& ids);

// 1 when the visit's record is sealed, 0 when it is open: only a FORBID_FLAG of exactly "0" is
// open (NULL and the empty text are sealed). A visit without a TELV_VISIT_RECORD row fails with
// "找不到指定的病人，病人住院号：" followed by the visit number.
long IsRecordSealed(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                    VARIANT_BOOL* pnSealed);

// The first measuring point of day 1 of week 1 of the visit's temperature chart as a `root`
// document with at most one `tp` element: the temperature as its text, the attributes `pl`
// (pulse), `br` (breathing), `bp` (blood pressure), `height` and `weight`. An empty `root` when
// day 1 of week 1 has no point.
long GetAdmissionVitalSigns(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                            BSTR* pbstrXml);

// The property document of one EMR catalogue: `root` with the elements blank, code, high, limit,
// low, multiemr, name, owner, ref, sort, system and tips (in name order; NULL gives an empty
// element). A catalogue without a row fails with "没有找到数据: " followed by the statement.
long GetEmrCatalogProperty(CSingleDataSource* pDataSource, LONG lngCatalogID, BSTR* pbstrProperty);

// The user ID of a login code: the security component's answer, or, when it answers an empty
// text, the valid TELV_USER_TABLE row of the login code. Fails with
// "不存在的员工或该员工已被作废。" when neither knows it, and with the component's error
// description (or the factory's message) when the component fails; the database is not asked then.
long GetUserIdByLoginCode(CSingleDataSource* pDataSource, BSTR bstrLoginCode, BSTR* pbstrUserID);

// A user's property document, the serialised property bag (xml_property.h) of
//   - the security component's properties, passed through, when it answers a document;
//   - otherwise the valid TELV_STAFF_DICT row: admin ("1" for SUPER_LEVEL "8" or "9" of a valid
//     TELV_USER_TABLE row, else "0"), dutytitle, identity, name, py, sex, techtitle and wb;
//     "获取EMR用户属性错误" without such a row;
// with `group` in both cases from TELV_MEDICAL_GROUP_DOCTOR (empty when the user is in none).
// The component's failures end the lookup as in GetUserIdByLoginCode; a component document that
// does not parse fails with "解析属性信息错误.".
long GetUserPropertyById(CSingleDataSource* pDataSource, BSTR bstrUserID, BSTR* pbstrProperty);
