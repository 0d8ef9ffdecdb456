#include "emrdoc/emr_signature.h"

#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/client_info.h"
#include "foundation/data/db_type.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "lookups/sys_param.h"

namespace {

using korvalis::ArgumentText;
using korvalis::BstrView;
using korvalis::SqlQuoted;

// Codecs of the CONTENT BLOB of a signature: no compression, encryption type 1.
constexpr int kContentCompression = 0;
constexpr int kContentEncryption = 1;

// The record's signatures, newest first: SUB_ID and USER_ID per row.
std::u16string SignaturesNewestFirst(const std::u16string& quoted_emr_id) {
  return u"SELECT SUB_ID, USER_ID FROM TELV_EMR_SIGNATURE WHERE ID = " + quoted_emr_id +
         u" ORDER BY SUB_ID DESC";
}

// The technical title as it may stand bare in the INSERT: a whole number, or 0 for anything
// else (none, a fraction, a text).
std::u16string TechTitleNumber(const std::u16string& tech_title) {
  const bool whole =
      korvalis::IsSqlNumber(tech_title) && tech_title.find(u'.') == std::u16string::npos;
  return whole ? tech_title : std::u16string(u"0");
}

}  // namespace

long SaveEmrSignature(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR bstrSignature,
                      long lngSignType, BSTR bstrClientInfo) {
  const CClientInfo client{ArgumentText(bstrClientInfo)};
  const std::u16string now =
      korvalis::SqlDateValue(*pDataSource->GetDBType(), GetSystemDateTimeString(pDataSource));
  const std::u16string emr_id = SqlQuoted(bstrEmrID);

  std::vector<std::u16string> latest;
  pDataSource->Query(u"SELECT * FROM (" + SignaturesNewestFirst(emr_id) + u") WHERE ROWNUM = 1", 2,
                     latest);
  const std::u16string user_id = client.GetUserId();
  if (latest.size() >= 2 && latest[1] == user_id) {
    if (lngSignType == kContentSignType) {
      return SaveSignatureContent(pDataSource, bstrEmrID, bstrClientInfo, bstrSignature);
    }
    pDataSource->Execute(u"UPDATE TELV_EMR_SIGNATURE SET SIGN_DATE = " + now + u" WHERE ID = " +
                         emr_id + u" AND SUB_ID = " + korvalis::SqlNumber(latest[0], u"SUB_ID"));
    return 0;
  }

  const long sub_id = latest.empty() ? 1 : StringToLong(latest[0]) + 1;
  const std::u16string signature = lngSignType == kContentSignType
                                       ? client.GetUserName()
                                       : ArgumentText(bstrSignature);
  pDataSource->Execute(
      u"INSERT INTO TELV_EMR_SIGNATURE (ID, SUB_ID, USER_ID, NAME, SIGN_DATE, SIGN_TYPE, "
      u"SIGNATURE, COMPRESSION, ENCRYPTION, TECH_TITLE, COMPUTER_NAME, COMPUTER_IP, INSERT_TIME) "
      u"VALUES (" +
      emr_id + u", " + LongToString(sub_id) + u", " + SqlQuoted(user_id) + u", " +
      SqlQuoted(client.GetUserName()) + u", " + now + u", " + LongToString(lngSignType) + u", " +
      SqlQuoted(signature) + u", 0, 0, " + TechTitleNumber(client.GetTechTitle()) + u", " +
      SqlQuoted(client.GetComputerName()) + u", " + SqlQuoted(client.GetComputerIp()) + u", " +
      now + u")");
  if (lngSignType == kContentSignType) {
    SaveSignatureContent(pDataSource, bstrEmrID, bstrClientInfo, bstrSignature);
  }
  return 0;
}

long SaveSignatureContent(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR bstrClientInfo,
                          BSTR bstrContent) {
  const CClientInfo client{ArgumentText(bstrClientInfo)};
  const std::u16string emr_id = SqlQuoted(bstrEmrID);
  std::vector<std::u16string> signatures;
  pDataSource->Query(u"SELECT * FROM (" + SignaturesNewestFirst(emr_id) + u")", 2, signatures);
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
  pDataSource->WriteBlob(u"SELECT CONTENT FROM TELV_EMR_SIGNATURE T WHERE T.ID = " + emr_id +
                             u" AND T.SUB_ID = " + sub_id,
                         reinterpret_cast<const BYTE*>(content.data()),
                         static_cast<ULONG>(content.size() * sizeof(char16_t)), kContentCompression,
                         kContentEncryption, true);
  return 0;
}
