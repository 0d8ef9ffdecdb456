#include "report/report_queries.h"

#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "platform/db/sql_parser.h"
#include "platform/text/unicode.h"

namespace korvalis::report {

void CheckReportQuery(const std::u16string& sql) {
  if (db::sql::IsOtherThanQuery(ToUtf8(sql))) {
    throw CEMRException(u"报表SQL语句不是查询语句,无法生成报表: " + sql);
  }
}

void QueryReportRows(CSingleDataSource& data_source, const std::u16string& sql,
                     const std::vector<std::u16string>& names, std::size_t max_units,
                     BSTR* rows) {
  if (!data_source.QueryElementsWithin(sql, names, max_units, rows)) {
    throw CEMRException(std::u16string(kReportRowsTooLarge));
  }
}

}  // namespace korvalis::report
