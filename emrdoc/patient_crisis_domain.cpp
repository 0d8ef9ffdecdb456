#include "emrdoc/patient_crisis_domain.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "foundation/xml/dom_elements.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_parser.h"
#include "platform/com/scoped_bstr.h"

namespace {

constexpr const char16_t* kFields[] = {u"item_code", u"item_name", u"val",
                                       u"ref_low",   u"ref_high",  u"normal_val"};

// The items of the visit's newest report from either table.
std::u16string NewestReportStatement(korvalis::TextRef patient_id, korvalis::TextRef event_no) {
  const std::u16string visit =
      korvalis::SqlKey().Equals(u"patient_id", patient_id).Equals(u"event_no", event_no).Sql();
  return u"select report_id, item_code, item_name, val, ref_low, ref_high, normal_val from "
         u"(\tselect report_id, item_code, item_name, val, ref_low, ref_high, normal_val "
         u"from telv_crisis_t where " +
         visit +
         u"\t\tunion\t\tselect report_id, item_code, item_name, val, ref_low, ref_high, "
         u"normal_val from telv_crisis_record where " +
         visit +
         u"\t)\twhere report_id = (\tselect report_id from (\tselect report_id, report_time "
         u"from (\tselect report_id, report_time from telv_crisis_t where " +
         visit + u"\t\tunion\t\tselect report_id, report_time from telv_crisis_record where " +
         visit +
         u"\t)\tgroup by report_id, report_time order by report_time desc, report_id\t)\twhere "
         u"rownum = 1\t)";
}

}  // namespace

void CBPatientCrisisDomain::Load(CSingleDataSource* pDataSource) {
  const std::u16string sql =
      NewestReportStatement(korvalis::BstrView(patient_id()), korvalis::BstrView(event_no()));
  korvalis::com::ScopedBstr items;
  pDataSource->QueryElements(
      sql, {u"item", u"item_code", u"item_name", u"val", u"ref_low", u"ref_high", u"normal_val"},
      items.out());

  CXmlStringParser parser(items.get());
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) return;
  int n = 0;
  for (const xercesc::DOMElement* item : ElementChildren(document->getDocumentElement())) {
    if (ElementName(item) != u"item") continue;
    const std::u16string prefix = u"crisis." + IntToString(++n) + u".";
    for (const char16_t* field : kFields) Store(prefix + field, ElementAttribute(item, field));
  }
}
