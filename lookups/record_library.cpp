// The record library's lookups over the record store, the visits, the EMR catalogue and the
// temperature chart. Each runs its statements on the caller's data source and writes nothing.
#include "lookups/record_library.h"

#include <string>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/database_error.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::ArgumentText;
using korvalis::StoreBstrResult;
using korvalis::com::ScopedBstr;

// EMR types of the lookups that name their type.
constexpr int kHeaderRecord = 1;
constexpr int kResidenceRecord = 2;
constexpr int kFirstCourseRecord = 8;

// The statement that selects the IDs of the visit's live records of `emr_type`.
std::u16string LiveRecordsOfType(int emr_type, BSTR patient_id, BSTR event_no) {
  return u"SELECT ID FROM TELV_EMR_CONTENT" + korvalis::SqlKey()
                                                  .Number(u"EMR_TYPE", emr_type)
                                                  .Equals(u"PATIENT_ID", patient_id)
                                                  .Equals(u"EVENT_NO", event_no)
                                                  .And(u"STATUS = 1")
                                                  .Where();
}

// The catalogue property document's keys, in the order of the columns of its statement.
constexpr const char16_t* kCatalogKeys[] = {u"code",  u"name", u"high",  u"low",
                                            u"limit", u"ref",  u"tips",  u"system",
                                            u"owner", u"sort", u"blank", u"multiemr"};

}  // namespace

long GetEmrIdOfType(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                    int nEmrType, BSTR* pbstrEmrID) {
  // Without an order: of several live records of the type, the first row returned wins.
  std::u16string emr_id;
  pDataSource->QueryScalar(LiveRecordsOfType(nEmrType, bstrPatientID, bstrEventNo), emr_id);
  StoreBstrResult(pbstrEmrID, emr_id);
  return 0;
}

long GetHeaderEmrId(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                    BSTR* pbstrEmrID) {
  return GetEmrIdOfType(pDataSource, bstrPatientID, bstrEventNo, kHeaderRecord, pbstrEmrID);
}

long GetResidenceEmrId(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                       BSTR* pbstrEmrID) {
  return GetEmrIdOfType(pDataSource, bstrPatientID, bstrEventNo, kResidenceRecord, pbstrEmrID);
}

long GetFirstRecordEmrId(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                         BSTR* pbstrEmrID) {
  return GetEmrIdOfType(pDataSource, bstrPatientID, bstrEventNo, kFirstCourseRecord, pbstrEmrID);
}

long GetLatestEmrIdOfType(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                          int nEmrType, std::u16string& strEmrID) {
  if (bstrPatientID == nullptr || bstrEventNo == nullptr) return 0;
  std::vector<std::u16string> ids;
  GetEmrIdsOfTypeNewestFirst(pDataSource, bstrPatientID, bstrEventNo, nEmrType, ids);
  if (!ids.empty()) strEmrID = ids.front();
  return 0;
}

long GetEmrIdsOfTypeNewestFirst(CSingleDataSource* pDataSource, BSTR bstrPatientID,
                                BSTR bstrEventNo, int nEmrType, std::vector<std::u16string>& ids) {
  pDataSource->QueryColumn(
      LiveRecordsOfType(nEmrType, bstrPatientID, bstrEventNo) + u"  ORDER BY CREATE_DATE DESC",
      ids);
  return 0;
}

long IsRecordSealed(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                    VARIANT_BOOL* pnSealed) {
  std::vector<std::u16string> flags;
  pDataSource->Query(
      u"SELECT FORBID_FLAG FROM TELV_VISIT_RECORD" + korvalis::SqlKey()
                                                         .Equals(u"PATIENT_ID", bstrPatientID)
                                                         .Equals(u"EVENT_NO", bstrEventNo)
                                                         .Where(),
      1, flags);
  if (flags.empty()) {
    throw CEMRException(u"找不到指定的病人，病人住院号：" + ArgumentText(bstrEventNo));
  }
  // Only "0" is an open record: NULL, empty and every other flag are sealed.
  if (pnSealed != nullptr) *pnSealed = flags.front() == u"0" ? 0 : 1;
  return 0;
}

long GetAdmissionVitalSigns(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                            BSTR* pbstrXml) {
  // The first measuring point (lowest TIME_POINT) of day 1 of week 1 of the chart.
  pDataSource->QueryElements(
      u" SELECT * FROM (SELECT P.TEMPERATURE, P.PLUSE, P.BREATHE, D.BLOOD_PRESSURE1,D.HEIGHT, "
      u"D.WEIGHT FROM  TELV_TEMPERATURE_DAY_RECORD D , TELV_TEMPERATURE_POINT_RECORD P  "
      u"WHERE D.WEEK = P.WEEK AND D.IN_DAY = P.IN_DAY AND D.IN_DAY =1 AND D.WEEK =1 AND "
      u"D.PATIENT_ID = P.PATIENT_ID  AND D.EVENT_NO = P.EVENT_NO AND " +
          korvalis::SqlKey()
              .Equals(u"D.PATIENT_ID", bstrPatientID)
              .Equals(u"D.EVENT_NO", bstrEventNo)
              .Sql() +
          u" ORDER BY P.WEEK,P.IN_DAY,P.TIME_POINT) WHERE ROWNUM = 1",
      {u"tp", u"pl", u"br", u"bp", u"height", u"weight"}, pbstrXml);
  return 0;
}

long GetEmrCatalogProperty(CSingleDataSource* pDataSource, LONG lngCatalogID, BSTR* pbstrProperty) {
  const std::u16string sql =
      u"SELECT CODE, NAME, LIMIT_HIGH, LIMIT_LOW, LIMIT_TIME, TIME_REF, NEW_TIP, SYSTEM_FLAG, "
      u"OWNER_TYPE, SORT_CODE, BLANKTEMP_FLAG, MULTIEMR_FLAG FROM TELV_EMR_CATALOG WHERE ID = " +
      LongToString(lngCatalogID);
  std::vector<std::u16string> values;
  pDataSource->Query(sql, std::size(kCatalogKeys), values);
  if (values.size() < std::size(kCatalogKeys))
    throw CEMRException(kNoDataFoundMessage + korvalis::datasource::QuotedStatement(sql));
  CXmlProperty::Map properties;
  for (size_t i = 0; i < std::size(kCatalogKeys); ++i) properties[kCatalogKeys[i]] = values[i];
  StoreBstrResult(pbstrProperty, CXmlProperty(properties).ToXml());
  return 0;
}
