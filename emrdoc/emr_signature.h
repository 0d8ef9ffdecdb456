// The signatures of a record: one TELV_EMR_SIGNATURE row per signature, numbered per record by
// SUB_ID (1 for the first, then the highest so far plus one); the latest signature is the row
// with the highest SUB_ID. Rows are only added and re-dated here, never deleted.
//
// A signature row of sign type 1 keeps the signature text in its CONTENT BLOB (UTF-16 with a
// byte-order mark, encryption type 1, no compression; the row's COMPRESSION and ENCRYPTION
// columns stay 0) and the signer's name in SIGNATURE; other types keep the text in SIGNATURE.
//
// The client identity (client_info.h) names the signer: its user id, name, technical title and
// computer. Every text is placed in the statements as a quoted literal with its quotes doubled.
//
// Both functions return 0 and throw CEMRException; they run on the caller's data source, so
// within a call their reads and writes form one transaction, and a failed call stores nothing.
//
// Thread-safety: stateless. Two calls that sign one record at the same moment get different
// SUB_IDs: the call's transaction covers the read of the latest signature and the insert, and
// the table's key on (ID, SUB_ID) refuses a duplicate.
#pragma once

#include "platform/com/bstr.h"

class CSingleDataSource;

// The sign type whose signature text is kept in the CONTENT BLOB.
inline constexpr long kContentSignType = 1;

// Records that the client's user signed the record `bstrEmrID` with `bstrSignature` of
// `lngSignType`. One reading of the suite's time serves every date of the call.
//   - The latest signer signs again: a type other than 1 renews only SIGN_DATE of that row; type
//     1 rewrites only the CONTENT of that signer's latest row (SaveSignatureContent).
//   - Anyone else: a new row with SUB_ID = latest + 1, SIGN_DATE and INSERT_TIME now, TECH_TITLE
//     the client's technical title when it is a whole number and 0 otherwise; for type 1 then
//     its CONTENT is written.
// A client identity that does not parse fails with "解析属性信息错误." before anything is read
// or written.
long SaveEmrSignature(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR bstrSignature,
                      long lngSignType, BSTR bstrClientInfo);

// Writes `bstrContent` (up to its first zero character) into the CONTENT of the client's user's
// latest signature row of the record. Without such a row it fails with "没有找到数据: " followed
// by the BLOB statement.
long SaveSignatureContent(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR bstrClientInfo,
                          BSTR bstrContent);
