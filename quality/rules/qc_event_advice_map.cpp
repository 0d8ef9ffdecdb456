// The pairs of QC event codes and doctor's-order (advice) codes in TELV_QC_ADVICE_EVENT_MAP, one
// row per pair: added (replacing the names of an existing pair), removed and listed. No other part
// of the system reads them.
#include <iterator>
#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "quality/rules/qc_admin.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::SqlKey;

std::u16string DeletePairSql(const std::u16string& event_code, const std::u16string& advice_code) {
  return u"DELETE FROM TELV_QC_ADVICE_EVENT_MAP" +
         SqlKey().Equals(u"QC_EVENT_ID", event_code).Equals(u"ADVICE_ID", advice_code).Where();
}

}  // namespace

long CBQCAdmin::AddQcEventAdviceMap(CEMRDataSource* pDataSource, BSTR bstrProperty) {
  const CXmlProperty property = PropertyBag(bstrProperty);
  const std::u16string event_code = property.GetValue(u"event_code");
  const std::u16string advice_code = property.GetValue(u"advice_code");
  if (event_code.empty() || advice_code.empty()) {
    throw CEMRException(
        std::u16string(u"CBQCAdmin::AddQcEventAdviceMap: 质控事件代码与医嘱代码不能为空."));
  }
  // The delete and the insert are one unit with the call: a failing insert keeps the old pair.
  pDataSource->Execute(DeletePairSql(event_code, advice_code));
  korvalis::InsertRow(*pDataSource, u"TELV_QC_ADVICE_EVENT_MAP",
                      u"QC_EVENT_ID, ADVICE_ID, QC_EVENT_NAME, ADVICE_NAME, ADVICE_TYPE",
                      {event_code, advice_code, property.GetValue(u"event_name"),
                       property.GetValue(u"advice_name"), property.GetValue(u"advice_type")});
  return 0;
}

long CBQCAdmin::RemoveQcEventMap(CEMRDataSource* pDataSource, BSTR bstrQcEventCode,
                                 BSTR bstrAdviceCode) {
  const std::u16string event_code(BstrView(bstrQcEventCode));
  const std::u16string advice_code(BstrView(bstrAdviceCode));
  if (event_code.empty() || advice_code.empty()) {
    throw CEMRException(
        std::u16string(u"CBQCAdmin::RemoveQcEventMap: 质控事件代码与医嘱代码不能为空."));
  }
  pDataSource->Execute(DeletePairSql(event_code, advice_code));
  return 0;
}

long CBQCAdmin::GetQcEventAdviceMapList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                        BSTR* pbstrMapList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string where =
      u"WHERE 1=1 " + SqlConditions(condition).Equals(u"event_code", u"A.QC_EVENT_ID").Sql();

  static constexpr const char16_t* kAttributes[] = {u"event_code", u"advice_code", u"event_name",
                                                    u"advice_name", u"advice_type"};
  constexpr unsigned kColumns = std::size(kAttributes);
  std::vector<std::u16string> pairs;
  pDataSource->Query(
      u"SELECT A.QC_EVENT_ID, A.ADVICE_ID, A.QC_EVENT_NAME, A.ADVICE_NAME, A.ADVICE_TYPE FROM "
      u"TELV_QC_ADVICE_EVENT_MAP A " +
          where,
      kColumns, pairs);

  std::u16string list = u"<?xml version='1.0' ?><root>";
  for (std::size_t row = 0; row + kColumns <= pairs.size(); row += kColumns) {
    list += u"<item";
    for (unsigned column = 0; column < kColumns; ++column) {
      list += u" ";
      list += kAttributes[column];
      list += u"='";
      korvalis::AppendXmlEscapedWithQuotes(list, pairs[row + column]);
      list += u"'";
    }
    list += u" />";
  }
  list += u"</root>";
  korvalis::StoreBstrResult(pbstrMapList, list);
  return 0;
}
