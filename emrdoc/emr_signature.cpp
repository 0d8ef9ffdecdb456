#include "emrdoc/emr_signature.h"

#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/client_info.h"
#include "foundation/data/db_type.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "lookups/sys_param.h"

namespace {

using korvalis::ArgumentText;
using korvalis::BstrView;
using korvalis::RowValue;
using korvalis::SqlKey;
using korvalis::SqlNumber;

// Codecs of the CONTENT BLOB of a signature: no compression, encryption type 1.
constexpr int kContentCompression = 0;
constexpr int kContentEncryption = 1;

// The record's signatures, newest first: SUB_ID and USER_ID per row.
std::u16string SignaturesNewestFirst(BSTR emr_id) {
  return u"SELECT SUB_ID, USER_ID FROM TELV_EMR_SIGNATURE" +
         SqlKey().Equals(u"ID", emr_id).Where() + u" ORDER BY SUB_ID DESC";
}

// The technical title as it may stand bare in the INSERT: a whole number, or 0 for anything
// else (none, a fraction, a text).
RowValue TechTitleNumber(const std::u16string& tech_title) {
  const bool whole =
      korvalis::IsSqlNumber(tech_title) && tech_title.find(u'.') == std::u16string::npos;
  return whole ? RowValue::Number(tech_title) : RowValue::Number(0);
}

}  // namespace

long SaveEmrSignature(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR bstrSignature,
                      long lngSignType, BSTR bstrClientInfo) {
  const CClientInfo client{ArgumentText(bstrClientInfo)};
  const RowValue now =
      RowValue::Date(*pDataSource->GetDBType(), GetSystemDateTimeString(pDataSource));
  const std::u16string emr_id = ArgumentText(bstrEmrID);

  std::vector<std::u16string> latest;
  pDataSource->Query(u"SELECT * FROM (" + SignaturesNewestFirst(bstrEmrID) + u") WHERE ROWNUM = 1",
                     2, latest);
  const std::u16string user_id = client.GetUserId();
  if (latest.size() >= 2 && latest[1] == user_id) {
    if (lngSignType == kContentSignType) {
      return SaveSignatureContent(pDataSource, bstrEmrID, bstrClientInfo, bstrSignature);
    }
    korvalis::UpdateRow(
        *pDataSource, u"TELV_EMR_SIGNATURE", {{u"SIGN_DATE", now}},
        SqlKey().Equals(u"ID", emr_id).Number(u"SUB_ID", SqlNumber(latest[0], u"SUB_ID")).Sql());
    return 0;
  }

  const long sub_id = latest.empty() ? 1 : StringToLong(latest[0]) + 1;
  const std::u16string signature = lngSignType == kContentSignType
                                       ? client.GetUserName()
                                       : ArgumentText(bstrSignature);
  korvalis::InsertRow(
      *pDataSource, u"TELV_EMR_SIGNATURE",
      u"ID, SUB_ID, USER_ID, NAME, SIGN_DATE, SIGN_TYPE, SIGNATURE, COMPRESSION, ENCRYPTION, "
      u"TECH_TITLE, COMPUTER_NAME, COMPUTER_IP, INSERT_TIME",
      {emr_id, RowValue::Number(sub_id), user_id, client.GetUserName(), now,
       RowValue::Number(lngSignType), signature, RowValue::Number(0), RowValue::Number(0),
       TechTitleNumber(client.GetTechTitle()), client.GetComputerName(), client.GetComputerIp(),
       now});
  if (lngSignType == kContentSignType) {
    SaveSignatureContent(pDataSource, bstrEmrID, bstrClientInfo, bstrSignature);
  }
  return 0;
}

long SaveSignatureContent(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR bstrClientInfo,
                          BSTR bstrContent) {
  const CClientInfo client{ArgumentText(bstrClientInfo)};
  std::vector<std::u16string> signatures;
  pDataSource->Query(u"SELECT * FROM (" + SignaturesNewestFirst(bstrEmrID) + u")", 2, signatures);
  // The user's latest row; SUB_ID 0 names no row, so the write below then fails plainly.
  std::u16string sub_id = u"0";
  for (size_t row = 0; row + 1 < signatures.size(); row += 2) {
    if (signatures[row + 1] == client.GetUserId()) {
      sub_id = korvalis::SqlNumber(signatures[row], u"SUB_ID");
      break;
    }
  }
  std::u16string_view content = BstrView(bstrContent);
  content = content.substr(0, content.find(u'\0'));
  pDataSource->WriteBlob(
      u"SELECT CONTENT FROM TELV_EMR_SIGNATURE T" +
          SqlKey().Equals(u"T.ID", bstrEmrID).Number(u"T.SUB_ID", sub_id).Where(),
      reinterpret_cast<const BYTE*>(content.data()),
      static_cast<ULONG>(content.size() * sizeof(char16_t)), kContentCompression,
      kContentEncryption, true);
  return 0;
}
