// The record library's lookups that other subsystems share: the system's date and time, the
// records of a visit by EMR type, the operation records and admission vital signs of a visit,
// the seal of a visit's record and the properties of an EMR catalogue. They are no interface
// methods: each takes the calling body's data source first and answers one question.
//
// All return 0 and fail by throwing CEMRException. A BSTR result receives a new string; nothing
// is written through a null result pointer. Patient identifiers and visit numbers name one
// visit.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CSingleDataSource;

// The current date and time as "YYYY-MM-DD HH:MM:SS", from the suite's date-time component.
// The data source is not used.
long GetSystemDateTime(CSingleDataSource* pDataSource, BSTR* pbstrDateTime);

// The ID of a live record of `nEmrType` of the visit; the empty text when there is none.
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

// The ID of the newest live record of `nEmrType` of the visit, written into `strEmrID`, which
// is left as it was when there is none or when either identifier is a null string.
long GetLatestEmrIdOfType(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                          int nEmrType, std::u16string& strEmrID);

// The visit's live operation records, newest first, as a `root` document of `ops` elements.
long GetOperationRecordsXml(CSingleDataSource* pDataSource, BSTR bstrPatientID,
                            BSTR bstrEventNo, BSTR* pbstrXml);

// 1 when the visit's record is sealed, 0 when it is open.
long IsRecordSealed(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                    VARIANT_BOOL* pnSealed);

// The first chart point of the visit as a `root` document with at most one `tp` element.
long GetAdmissionVitalSigns(CSingleDataSource* pDataSource, BSTR bstrPatientID,
                            BSTR bstrEventNo, BSTR* pbstrXml);

// The property document of one EMR catalogue.
long GetEmrCatalogProperty(CSingleDataSource* pDataSource, LONG lngCatalogID,
                           BSTR* pbstrProperty);

// The user ID of a login code.
long GetUserIdByLoginCode(CSingleDataSource* pDataSource, BSTR bstrLoginCode, BSTR* pbstrUserID);

// A user's property document (name, sex, input codes, titles, identity, group, administrator
// flag), from the security component or, when it answers an empty text, the staff tables.
long GetUserPropertyById(CSingleDataSource* pDataSource, BSTR bstrUserID, BSTR* pbstrProperty);
