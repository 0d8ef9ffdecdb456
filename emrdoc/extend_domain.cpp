#include "emrdoc/extend_domain.h"

#include <cstddef>
#include <vector>

#include "foundation/data/comm_data_source.h"
#include "foundation/data/db_type.h"
#include "foundation/data/query_statements.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/text/ascii.h"

using korvalis::com::ScopedBstr;

namespace {

// Columns of one configured item.
enum ItemColumn { kDbString, kSql, kColumnNum, kItemKey, kSubCode, kSubName, kItemColumns };

std::u16string ConfigurationStatement(CSingleDataSource* pDataSource) {
  const std::u16string op = pDataSource->GetDBType()->GetConcatOperator();
  return u"SELECT A.DB_STRING, B.SQL, B.COLUMN_NUM, 'ex.'" + op + u"A.CODE" + op + u"'.'" + op +
         u"B.CODE, B.SUB_CODE, B.SUB_NAME FROM TELV_EXTEND_DBSTRING A, TELV_EXTEND_DOMAIN B "
         u"WHERE A.ID = B.EXTEND_DB AND B.STATUS = 1";
}

void LogError(const CEMRException& e) {
  CEventLogEntry(e.GetText(), CEventLogEntry::kError).Report();
}

}  // namespace

CBExtendDomain::CBExtendDomain(BSTR bstrPatientID, BSTR bstrEventNo)
    : patient_id_(korvalis::BstrView(bstrPatientID)), event_no_(korvalis::BstrView(bstrEventNo)) {}

std::u16string CBExtendDomain::GetValue(CSingleDataSource* pDataSource,
                                        const std::u16string& strKey) {
  Load(pDataSource, strKey);
  if (strKey.compare(0, 2, u"ex") != 0) return u"";
  auto found = items_.find(strKey);
  return found == items_.end() ? u"" : found->second.first;
}

void CBExtendDomain::Load(CSingleDataSource* pDataSource, const std::u16string& strKey) {
  ScopedBstr residence_no;
  {
    korvalis::Sibling<IHISPatientInfo> his(*DIDUFactory::Instance(), IID_IHISPatientInfo);
    CheckSiblingCall(his->GetResidenceNo(patient_id_.get(), event_no_.get(), residence_no.out()));
  }

  std::vector<std::u16string> config;
  try {
    pDataSource->Query(ConfigurationStatement(pDataSource), kItemColumns, config);
  } catch (const CEMRException& e) {
    LogError(e);
    return;
  }

  const std::u16string patient_id = korvalis::SqlEscaped(korvalis::BstrView(patient_id_.get()));
  const std::u16string event_no = korvalis::SqlEscaped(korvalis::BstrView(event_no_.get()));
  const std::u16string residence = korvalis::SqlEscaped(korvalis::BstrView(residence_no.get()));
  const std::u16string emr_id = korvalis::SqlEscaped(emr_id_);

  for (std::size_t row = 0; row + kItemColumns <= config.size(); row += kItemColumns) {
    const std::u16string* item = &config[row];
    const long column_count = StringToLong(item[kColumnNum]);
    if (column_count <= 0) continue;

    std::vector<std::u16string> values;
    try {
      std::u16string sql = item[kSql];
      ReplaceAll(sql, u"{#patientid#}", patient_id);
      ReplaceAll(sql, u"{#eventno#}", event_no);
      ReplaceAll(sql, u"{#residenceno#}", residence);
      ReplaceAll(sql, u"{#emrid#}", emr_id);
      korvalis::CheckQueryStatement(sql, u"扩展数据项SQL语句不是查询语句,无法取值: ");
      CCommDataSource extension(item[kDbString], u"");
      extension.Query(sql, static_cast<unsigned>(column_count), values);
    } catch (const CEMRException& e) {
      LogError(e);
      continue;
    }

    std::u16string item_key = korvalis::AsciiLower(item[kItemKey]);
    if (strKey.compare(0, item_key.size(), item_key) != 0) continue;
    if (item_key.empty() || item_key.back() != u'.') item_key += u'.';

    std::vector<std::u16string> sub_codes;
    std::vector<std::u16string> sub_names;
    SplitByChars(item[kSubCode], u",", sub_codes);
    SplitByChars(item[kSubName], u",", sub_names);
    const std::size_t columns = static_cast<std::size_t>(column_count);
    for (std::size_t first = 0; first + columns <= values.size(); first += columns) {
      for (std::size_t c = 0; c < sub_codes.size() && c + 1 < columns; ++c) {
        items_[korvalis::AsciiLower(item_key + values[first] + u"." + sub_codes[c])] = {
            values[first + 1 + c], c < sub_names.size() ? sub_names[c] : u""};
      }
    }
  }
}
