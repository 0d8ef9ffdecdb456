// A user's properties: the security component of the suite answers first; the staff tables of
// the database answer only when the component answers an empty text. A component that cannot
// be created or whose call fails ends the lookup: the database is not asked then.
#include <string>
#include <vector>

#include "foundation/calls/bstr_result.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xml_property.h"
#include "lookups/record_library.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::com::ScopedBstr;

inline constexpr char16_t kUnknownStaffMessage[] = u"不存在的员工或该员工已被作废。";
inline constexpr char16_t kUserPropertyError[] = u"获取EMR用户属性错误";

// What the security component answers for `argument` through `method`; an empty text means
// that it does not know the argument. A failed call throws the component's description.
std::u16string AskSecurity(HRESULT (ISecurityService::*method)(BSTR, BSTR*), BSTR argument) {
  korvalis::Sibling<ISecurityService> security(*DIDUFactory::Instance(), IID_ISecurityService);
  ScopedBstr answer;
  CheckSiblingCall((security.get()->*method)(argument, answer.out()));
  return answer.text();
}

// The user's medical group: the first row's, or the empty text when the user is in none.
std::u16string MedicalGroupOf(CSingleDataSource& data_source, BSTR user_id) {
  std::u16string group;
  data_source.QueryScalar(u"SELECT MEDICAL_GROUP_ID FROM TELV_MEDICAL_GROUP_DOCTOR" +
                              korvalis::SqlKey().Equals(u"DOCTOR_ID", user_id).Where(),
                          group);
  return group;
}

// The properties of a valid member of staff, with `admin` from the user table.
CXmlProperty::Map StaffProperties(CSingleDataSource& data_source, BSTR user_id) {
  std::vector<std::u16string> staff;
  data_source.Query(
      u"SELECT NAME, SEX,PY_CODE, WB_CODE, TITLE_ID, DUTY_ID, WORK_KIND "
      u"FROM TELV_STAFF_DICT" +
          korvalis::SqlKey().Equals(u"ID", user_id).And(u"VALID_FLAG = '1'").Where(),
      7, staff);
  if (staff.size() < 7) throw CEMRException(kUserPropertyError);
  CXmlProperty::Map properties = {
      {u"name", staff[0]},      {u"sex", staff[1]},       {u"py", staff[2]},      {u"wb", staff[3]},
      {u"techtitle", staff[4]}, {u"dutytitle", staff[5]}, {u"identity", staff[6]}};
  properties[u"group"] = MedicalGroupOf(data_source, user_id);
  std::u16string level;
  data_source.QueryScalar(
      u"SELECT SUPER_LEVEL FROM TELV_USER_TABLE" +
          korvalis::SqlKey().Equals(u"ID", user_id).And(u"VALID_FLAG = '1'").Where(),
      level);
  // Levels 8 and 9 are the administrators; no valid user row is no administrator.
  properties[u"admin"] = level == u"8" || level == u"9" ? u"1" : u"0";
  return properties;
}

}  // namespace

long GetUserIdByLoginCode(CSingleDataSource* pDataSource, BSTR bstrLoginCode, BSTR* pbstrUserID) {
  std::u16string user_id = AskSecurity(&ISecurityService::GetUserIdByLoginCode, bstrLoginCode);
  if (user_id.empty()) {
    pDataSource->QueryScalar(
        u"SELECT ID FROM TELV_USER_TABLE" +
            korvalis::SqlKey().Equals(u"USER_CODE", bstrLoginCode).And(u"VALID_FLAG = 1").Where(),
        user_id);
    if (user_id.empty()) throw CEMRException(kUnknownStaffMessage);
  }
  korvalis::StoreBstrResult(pbstrUserID, user_id);
  return 0;
}

long GetUserPropertyById(CSingleDataSource* pDataSource, BSTR bstrUserID, BSTR* pbstrProperty) {
  const std::u16string answer = AskSecurity(&ISecurityService::GetUserProperty, bstrUserID);
  CXmlProperty::Map properties;
  if (answer.empty()) {
    properties = StaffProperties(*pDataSource, bstrUserID);
  } else {
    // The component's properties pass through; only `group` comes from the database.
    properties = CXmlProperty(answer).GetMap();
    properties[u"group"] = MedicalGroupOf(*pDataSource, bstrUserID);
  }
  korvalis::StoreBstrResult(pbstrProperty, CXmlProperty(properties).ToXml());
  return 0;
}
