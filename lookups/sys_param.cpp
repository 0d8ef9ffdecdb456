#include "lookups/sys_param.h"

#include <vector>

#include "foundation/calls/bstr_result.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "lookups/record_library.h"
#include "platform/com/scoped_bstr.h"

long GetSysParam(CSingleDataSource* pDataSource, BSTR bstrName, BSTR* pbstrValue) {
  korvalis::StoreBstrResult(pbstrValue, GetSysParam(*pDataSource, korvalis::BstrView(bstrName)));
  return 0;
}

std::u16string GetSysParam(CSingleDataSource& data_source, std::u16string_view name) {
  if (name.empty()) return {};
  std::vector<std::u16string> rows;
  data_source.Query(
      u"SELECT NAME, VALUE FROM TELV_SYS_PARAM" + korvalis::SqlKey().Equals(u"NAME", name).Where(), 2,
      rows);
  // A missing parameter reads as the empty text; the reader applies its own default.
  return rows.size() < 2 ? std::u16string() : rows[1];
}

std::u16string GetSystemDateTimeString(CSingleDataSource* pDataSource) {
  korvalis::com::ScopedBstr now;
  GetSystemDateTime(pDataSource, now.out());
  return now.text();
}
