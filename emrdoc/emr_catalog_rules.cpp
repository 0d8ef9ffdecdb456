#include "emrdoc/emr_catalog_rules.h"

#include <algorithm>
#include <set>
#include <vector>

#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"
#include "lookups/record_library.h"
#include "lookups/visit_lookups.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::SqlIdNumber;

// The length of one level of a catalogue code.
constexpr std::size_t kCodeLevel = 3;

std::u16string CatalogNumber(const std::u16string& catalog_id) {
  return IntToString(SqlIdNumber(catalog_id, u"catalog"));
}

}  // namespace

std::u16string ResolveEmrCatalogId(CSingleDataSource* pDataSource,
                                   const std::u16string& catalog_id) {
  LONG current = SqlIdNumber(catalog_id, u"catalog");
  std::set<LONG> passed;
  while (true) {
    korvalis::com::ScopedBstr property;
    GetEmrCatalogProperty(pDataSource, current, property.out());
    const CXmlProperty catalogue(property.text());
    const std::u16string code = catalogue.GetValue(u"code");
    if (catalogue.GetValue(u"system") == u"1" || code.size() <= kCodeLevel) break;
    passed.insert(current);
    std::u16string parent;
    pDataSource->QueryScalar(
        u"SELECT ID FROM TELV_EMR_CATALOG" +
            korvalis::SqlKey().Equals(u"CODE", code.substr(0, code.size() - kCodeLevel)).Where(),
        parent);
    if (parent.empty()) break;
    const LONG parent_id = SqlIdNumber(parent, u"catalog");
    if (passed.count(parent_id) != 0) break;
    current = parent_id;
  }
  return IntToString(current);
}

bool IsCatalogLimitReached(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                           korvalis::TextRef event_no, const std::u16string& catalog_id) {
  const std::u16string catalog = CatalogNumber(catalog_id);
  std::u16string limit_text;
  pDataSource->QueryScalar(u"SELECT LIMIT_HIGH FROM TELV_EMR_CATALOG" +
                               korvalis::SqlKey().Number(u"ID", catalog).Where(),
                           limit_text);
  const long limit = StringToLong(limit_text);
  if (limit == 0) return false;
  std::u16string count;
  pDataSource->QueryScalar(
      u"SELECT COUNT(ID) FROM TELV_EMR_CONTENT" +
          VisitKey(patient_id, event_no).And(u"STATUS = 1").Number(u"CATALOG_ID", catalog).Where(),
      count);
  return StringToLong(count) >= limit;
}

std::u16string GetNextSortCode(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                               korvalis::TextRef event_no, const std::u16string& catalog_id) {
  const std::u16string catalog = CatalogNumber(catalog_id);
  // SORT_CODE is text: its maximum as text would put "99999" after "100000".
  std::vector<std::u16string> codes;
  pDataSource->QueryColumn(
      u"SELECT SORT_CODE FROM TELV_EMR_CONTENT" +
          VisitKey(patient_id, event_no).Number(u"CATALOG_ID", catalog).Where(),
      codes);
  long highest = 0;
  for (const std::u16string& code : codes) highest = std::max(highest, StringToLong(code));
  return LongToString(highest + 1);
}
