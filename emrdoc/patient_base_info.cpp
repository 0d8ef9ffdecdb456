#include "emrdoc/patient_base_info.h"

#include <vector>

#include "emrdoc/age_text.h"
#include "emrdoc/domain_manager.h"
#include "emrdoc/domain_table.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/db_type.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "lookups/visit_lookups.h"
#include "platform/com/scoped_bstr.h"

using korvalis::com::ScopedBstr;

namespace {

// The columns of the patient's row, in the order of the statement.
enum PatientColumn : unsigned {
  kId,
  kName,
  kSex,
  kBirthday,
  kBirthAddress,
  kNation,
  kCountry,
  kIdCard,
  kMarriage,
  kCareer,
  kAllergic,
  kNative,
  kAddress,
  kWorkOrg,
  kHomeTel,
  kPatientColumnCount
};

// The elements of the document before the ages, in order, with the column each shows.
struct PatientElement {
  const char16_t* name;
  PatientColumn column;
};
constexpr PatientElement kPatientElements[] = {
    {u"id", kId},
    {u"name", kName},
    {u"sex", kSex},
    {u"birthday", kBirthday},
    {u"birthaddress", kBirthAddress},
    {u"nation", kNation},
    {u"country", kCountry},
    {u"idcard", kIdCard},
    {u"id_card", kIdCard},
    {u"marriage", kMarriage},
    {u"career", kCareer},
    {u"allergic", kAllergic},
    {u"native", kNative},
    {u"address", kAddress},
    {u"workorg", kWorkOrg},
    {u"work_org", kWorkOrg},
    {u"hometel", kHomeTel},
};

// The birthday is shown as its date and the blank after it.
constexpr unsigned kBirthdayLength = 11;

// The residence domain's key of the in-department time.
constexpr char16_t kInDeptTimeKey[] = u"residence.in.dept.time";

// The EMR_STATUS of a visit whose in-department time is not the reference of the age.
constexpr char16_t kArchivedEmrStatus[] = u"3";

// Stores the reference time of the visit's age in the empty `reference`; it stays null when
// there is none.
void ReadAgeReferenceTime(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                          ScopedBstr& reference) {
  int state = kResidenceUnknown;
  GetResidenceState(pDataSource, bstrPatientID, bstrEventNo, &state);
  if (state != kResidenceInHis) {
    GetAdmissionTime(pDataSource, bstrPatientID, bstrEventNo, reference.out());
    return;
  }
  std::u16string emr_status;
  pDataSource->QueryScalar(
      u"SELECT EMR_STATUS FROM TELV_VISIT_RECORD" + VisitKey(bstrPatientID, bstrEventNo).Where(),
      emr_status);
  if (emr_status == kArchivedEmrStatus) return;
  CBDomainManager residence(pDataSource);
  ScopedBstr key(kInDeptTimeKey);
  residence.GetValue(bstrPatientID, bstrEventNo, kResidenceDomainCode, key.get(), reference.out());
}

}  // namespace

// Each count of hours, days and months is rounded to 9 decimals before it is floored: a NUMBER
// quotient such as 13 months / 12 keeps 40 digits, so its fraction times 12 is .99...96 and
// would floor a whole month away at every exact boundary. One second of a DATE is more than
// 1e-7 of a month, so the rounding never carries a count over a boundary it has not reached.
std::u16string CurrentAgeSql(const CDBType& dialect, BSTR bstrPatientID) {
  std::u16string sql =
      u"SELECT (CASE WHEN MONTHS_BETWEEN(SYSDATE, BIRTHDAY) < 1 THEN FLOOR(SYSDATE - BIRTHDAY)"
      u"||'天'|| FLOOR(ROUND((SYSDATE - BIRTHDAY - FLOOR(SYSDATE - BIRTHDAY)) * 24, 9))||'小时' "
      u"WHEN MONTHS_BETWEEN(SYSDATE, BIRTHDAY) >= 1 AND MONTHS_BETWEEN(SYSDATE, BIRTHDAY) < 12 "
      u"THEN FLOOR(MONTHS_BETWEEN(SYSDATE, BIRTHDAY))||'个月'|| "
      u"FLOOR(ROUND((MONTHS_BETWEEN(SYSDATE, BIRTHDAY) - "
      u"FLOOR(MONTHS_BETWEEN(SYSDATE, BIRTHDAY))) * 31, 9))"
      u"||'天' WHEN MONTHS_BETWEEN(SYSDATE, BIRTHDAY) >= 12 AND "
      u"MONTHS_BETWEEN(SYSDATE, BIRTHDAY) < 168 THEN FLOOR(MONTHS_BETWEEN(SYSDATE, BIRTHDAY) / 12)"
      u"||'岁'|| FLOOR(ROUND((MONTHS_BETWEEN(SYSDATE, BIRTHDAY) / 12 - "
      u"FLOOR(MONTHS_BETWEEN(SYSDATE, BIRTHDAY) / 12)) * 12, 9))||'个月' "
      u"ELSE FLOOR(MONTHS_BETWEEN(SYSDATE, BIRTHDAY) / 12)||'岁' END) CURRENT_AGE "
      u"FROM TELV_PATIENT";
  ReplaceAll(sql, u"||", dialect.GetConcatOperator());
  return sql + korvalis::SqlKey().Equals(u"ID", bstrPatientID).Where();
}

long BuildPatientBaseInfoXml(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                             BSTR* pbstrXml) {
  CDBType* dialect = pDataSource->GetDBType();
  std::vector<std::u16string> row;
  pDataSource->Query(u"SELECT ID, NAME, SEX, " + dialect->DateToChar(u"BIRTHDAY", true) +
                         u", BIRTHADDRESS, NATION, COUNTRY, ID_CARD, MARRIAGE, CAREER, ALLERGIC, "
                         u"NATIVE, ADDRESS, WORK_ORG, HOME_TEL FROM TELV_PATIENT" +
                         korvalis::SqlKey().Equals(u"ID", bstrPatientID).Where(),
                     kPatientColumnCount, row);
  if (row.size() < kPatientColumnCount) return -1;

  korvalis::DomDocumentBuilder document(u"root");
  for (const PatientElement& element : kPatientElements) {
    std::u16string text = row[element.column];
    if (element.column == kBirthday) text = LeftString(text, kBirthdayLength);
    document.Append(document.root(), element.name, text);
  }

  ScopedBstr reference;
  ReadAgeReferenceTime(pDataSource, bstrPatientID, bstrEventNo, reference);
  document.Append(document.root(), u"age", FormatAge(pDataSource, reference.get(), row[kBirthday]));

  std::u16string current_age;
  pDataSource->QueryScalar(CurrentAgeSql(*dialect, bstrPatientID), current_age);
  document.Append(document.root(), u"currentage", current_age);

  korvalis::StoreBstrResult(pbstrXml, document.Write());
  return 0;
}
