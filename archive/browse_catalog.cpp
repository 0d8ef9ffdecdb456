// The browse catalogue of a visit: the root system catalogues under which the visit has a live
// record, completed by the special nursing charts that are kept outside the record store (the
// adult temperature chart, the baby temperature chart and the birth process), or, for a visit
// whose record was returned, the returned catalogues alone. Without a visit, the live root
// catalogues with their numbers of children.
//
// The nursing charts are found through the special catalogue table, rebuilt for every request
// from the templates that the parameters `temperature_record_property` (`template`, `babytp`)
// and `birth_process_property` (`template`) name: the catalogue of each template maps to its
// kind. A chart is listed once week 1 of it (of baby 1 for the baby chart) or a birth process
// row exists; the baby chart stands under the name, id and code of the adult catalogue with
// serial "1" and the SORT_CODE of the baby catalogue.
#include <map>
#include <string>
#include <vector>

#include "archive/emr_library.h"
#include "emrdoc/emr_template.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/db_type.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_property.h"
#include "lookups/record_library.h"
#include "lookups/sys_param.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::SqlKey;
using korvalis::com::ScopedBstr;

constexpr char16_t kRootCode[] = u"###";
// The browse catalogue of a sealed visit.
constexpr char16_t kSealedCatalog[] = u"<?xml version='1.0'?><root></root>";
// The element and attribute names of a visit's browse catalogue.
const std::vector<std::u16string>& kVisitCatalogNames =
    *new std::vector<std::u16string>{u"catalog", u"id", u"code", u"serial", u"sort_code"};

constexpr char16_t kAdultChart[] = u"adulttp";
constexpr char16_t kBabyChart[] = u"babytp";
constexpr char16_t kBirthProcess[] = u"birth";

// Catalogue id to the kind of special nursing record filed under it.
using SpecialCatalogTable = std::map<long, std::u16string>;

// Maps the catalogue of template `template_id` (not 0) to `kind`.
void MapTemplateCatalog(CSingleDataSource& data_source, long template_id, const char16_t* kind,
                        SpecialCatalogTable& table) {
  ScopedBstr property;
  GetTemplateProperty(&data_source, template_id, property.out());
  table[StringToLong(CXmlProperty(property.text()).GetValue(u"catalogid"))] = kind;
}

// The special catalogue table. A later kind takes over a catalogue that an earlier one holds
// (adult, then baby, then birth). A failure while reading the templates (a template without a
// row, a parameter that is no property document) ends the building quietly with the entries
// made so far.
SpecialCatalogTable BuildSpecialCatalogTable(CSingleDataSource& data_source) {
  SpecialCatalogTable table;
  const std::u16string temperature = GetSysParam(data_source, u"temperature_record_property");
  const std::u16string birth = GetSysParam(data_source, u"birth_process_property");
  if (temperature.empty() && birth.empty()) return table;
  try {
    const CXmlProperty charts(temperature);
    const long adult_template = StringToLong(charts.GetValue(u"template"));
    const long baby_template = StringToLong(charts.GetValue(u"babytp"));
    if (adult_template != 0) MapTemplateCatalog(data_source, adult_template, kAdultChart, table);
    if (baby_template != 0) MapTemplateCatalog(data_source, baby_template, kBabyChart, table);
    if (!birth.empty()) {
      const long birth_template = StringToLong(CXmlProperty(birth).GetValue(u"template"));
      if (birth_template != 0) {
        MapTemplateCatalog(data_source, birth_template, kBirthProcess, table);
      }
    }
  } catch (const CEMRException&) {
  }
  return table;
}

// The catalogue of `kind` in the table as a number for the statement; "0", which names no
// catalogue, when it has none.
long CatalogOfKind(const SpecialCatalogTable& table, std::u16string_view kind) {
  for (const auto& [catalog_id, catalog_kind] : table) {
    if (catalog_kind == kind) return catalog_id;
  }
  return 0;
}

// The UNION members of the special nursing catalogues, appended to the visit's catalogue list.
std::u16string BuildSpecialCatalogUnion(CSingleDataSource& data_source, BSTR patient_id,
                                        BSTR event_no) {
  const SpecialCatalogTable table = BuildSpecialCatalogTable(data_source);
  const long adult = CatalogOfKind(table, kAdultChart);
  const long baby = CatalogOfKind(table, kBabyChart);
  const long birth = CatalogOfKind(table, kBirthProcess);
  const SqlKey visit = SqlKey().Equals(u"PATIENT_ID", patient_id).Equals(u"EVENT_NO", event_no);
  return u" UNION SELECT DISTINCT B.NAME, B.ID, B.CODE, '0', b.sort_code "
         u"FROM TELV_EMR_CATALOG B, TELV_TEMPERATURE_WEEK_EMR A" +
         SqlKey(visit).And(u"WEEK = 1 AND EMR_ID ='###'").Number(u"B.ID", adult).Where() +
         u" UNION SELECT DISTINCT C.NAME, C.ID, C.CODE, TO_CHAR(SERIAL_NO), b.sort_code "
         u"FROM TELV_EMR_CATALOG B, TELV_BABYTP_WEEK_EMR A, TELV_EMR_CATALOG C" +
         SqlKey(visit)
             .And(u"WEEK = 1 AND SERIAL_NO = 1 AND EMR_ID ='###'")
             .Number(u"B.ID", baby)
             .Number(u"C.ID", adult)
             .Where() +
         u" UNION SELECT DISTINCT B.NAME, B.ID, B.CODE, '0', b.sort_code "
         u"FROM TELV_EMR_CATALOG B, TELV_BIRTHPROCESS_EMR A" +
         SqlKey(visit).And(u"EMR_ID ='###'").Number(u"B.ID", birth).Where();
}

// The browse catalogue of the visit.
void BuildBrowserCatalog(CSingleDataSource& data_source, BSTR patient_id, BSTR event_no,
                         BSTR* pbstrList) {
  VARIANT_BOOL sealed = 0;
  IsRecordSealed(&data_source, patient_id, event_no, &sealed);
  if (sealed != 0) {
    korvalis::StoreBstrResult(pbstrList, kSealedCatalog);
    return;
  }
  const SqlKey visit =
      SqlKey().Equals(u"A.PATIENT_ID", patient_id).Equals(u"A.EVENT_NO", event_no);
  std::u16string returned;
  data_source.QueryScalar(
      u"SELECT 1 FROM TELV_VISIT_RECORD A, TELV_PATIENT_ROLLBACK_DETAIL B" +
          SqlKey(visit)
              .And(u"A.PATIENT_ID = B.PATIENT_ID AND A.EVENT_NO = B.EVENT_NO AND A.EMR_STATUS = 2")
              .Where(),
      returned);
  if (!returned.empty()) {
    data_source.QueryElements(
        u"SELECT DISTINCT B.NAME, B.ID, B.CODE, '0', B.SORT_CODE FROM "
        u"TELV_PATIENT_ROLLBACK_DETAIL A, TELV_EMR_CATALOG B" +
            SqlKey(visit).And(u"A.CATALOG_ID = B.ID AND B.SYSTEM_FLAG = 1").Where() +
            u" ORDER BY SORT_CODE",
        kVisitCatalogNames, pbstrList);
    return;
  }
  data_source.QueryElements(
      u"SELECT * FROM (SELECT DISTINCT B.NAME, B.ID, B.CODE, '0', B.SORT_CODE FROM "
      u"TELV_EMR_CONTENT A, TELV_EMR_CATALOG B, TELV_EMR_CATALOG C" +
          SqlKey(visit)
              .And(u"A.CATALOG_ID = C.ID AND C.CODE LIKE B.CODE" +
                   data_source.GetDBType()->GetConcatOperator() +
                   u"'%' AND B.PARENT_CODE = '###' AND A.STATUS = 1 AND B.SYSTEM_FLAG = 1")
              .Where() +
          BuildSpecialCatalogUnion(data_source, patient_id, event_no) + u") ORDER BY SORT_CODE",
      kVisitCatalogNames, pbstrList);
}

// The live catalogues under `parent_code`, system or not, with their numbers of children.
void GetChildCatalogs(CSingleDataSource& data_source, const std::u16string& parent_code,
                      BSTR* pbstrList) {
  data_source.QueryElements(
      u"SELECT A.NAME, A.ID, A.CODE, B.CHILDREN, A.SYSTEM_FLAG, A.SORT_CODE FROM "
      u"TELV_EMR_CATALOG A, TELV_V_EMR_CATALOG_COUNT B" +
          SqlKey()
              .Equals(u"A.PARENT_CODE", parent_code)
              .And(u"A.STATUS = 1 AND A.ID = B.ID")
              .Where() +
          u" ORDER BY A.SORT_CODE",
      {u"catalog", u"id", u"code", u"children", u"system", u"sort_code"}, pbstrList);
}

}  // namespace

long CBEMRLibrary::GetBrowserCatalog(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                     BSTR bstrEventNo, BSTR* pbstrList) {
  // Only null strings, not empty ones, ask for the root catalogues.
  if (bstrPatientID == nullptr && bstrEventNo == nullptr) {
    GetChildCatalogs(*pDataSource, kRootCode, pbstrList);
  } else {
    BuildBrowserCatalog(*pDataSource, bstrPatientID, bstrEventNo, pbstrList);
  }
  return 0;
}
