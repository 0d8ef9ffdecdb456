#include "classes/work_lists.h"

#include <vector>

#include <xercesc/dom/DOM.hpp>

#include "classes/commit_limits.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"

namespace korvalis::worklist {
namespace {

using com::ScopedBstr;
using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

// Takes the out-parameter of a sibling call, then throws the call's failure.
UniqueBstr TakeAnswer(HRESULT hr, BSTR answer) {
  UniqueBstr owned(answer);
  CheckSiblingCall(hr);
  return owned;
}

std::u16string ServerNow() {
  Sibling<IServerDateTime> clock(*CEMRFactory::Instance(), IID_IServerDateTime);
  BSTR now = nullptr;
  HRESULT hr = clock->GetDateTime(&now);
  return std::u16string(BstrView(TakeAnswer(hr, now).get()));
}

// The `name` of a property document that a DIDUFactory component answers for an id.
template <class Interface, HRESULT (Interface::*kMethod)(BSTR, BSTR*)>
std::u16string NameOf(const IID& iid, std::u16string_view id) {
  Sibling<Interface> component(*DIDUFactory::Instance(), iid);
  ScopedBstr argument(id);
  BSTR properties = nullptr;
  HRESULT hr = (component.get()->*kMethod)(argument.get(), &properties);
  UniqueBstr answer = TakeAnswer(hr, properties);
  return korvalis::PropertyBag(answer.get()).GetValue(u"name");
}

// The parameter's value; `unset` when the component leaves the value unset.
std::u16string WorkListParameter(IWorkListParam* parameters, std::u16string_view name,
                                 std::u16string_view unset) {
  ScopedBstr argument(name);
  BSTR value = nullptr;
  HRESULT hr = parameters->GetParam(argument.get(), &value);
  UniqueBstr answer = TakeAnswer(hr, value);
  return std::u16string(answer == nullptr ? unset : BstrView(answer.get()));
}

UniqueBstr QueryList(CSingleDataSource& data_source, const std::u16string& sql,
                     const std::vector<std::u16string>& names) {
  BSTR list = nullptr;
  data_source.QueryElements(sql, names, &list);
  return UniqueBstr(list);
}

// Appends a `catalog` element per child element of the record plan's root.
void AppendPlannedRecords(DOMDocument* list, BSTR plan, std::u16string_view patient_name,
                          std::u16string_view bed_no) {
  CXmlStringParser parser(plan);
  DOMDocument* parsed = parser.GetDocument();
  if (parsed == nullptr) throw CEMRException(std::u16string(u"解析属性信息错误."));
  DOMElement* plan_root = parsed->getDocumentElement();
  if (plan_root == nullptr) throw CEMRException(std::u16string(u"无效XML!"));
  const std::u16string patient(patient_name);
  const std::u16string bed(bed_no);
  for (DOMNode* child = plan_root->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() != DOMNode::ELEMENT_NODE) continue;
    auto* record = static_cast<DOMElement*>(child);
    DOMElement* catalog = list->createElement(u"catalog");
    catalog->setAttribute(u"id", record->getAttribute(u"id"));
    catalog->setAttribute(u"code", record->getAttribute(u"code"));
    catalog->setAttribute(u"timeout", record->getAttribute(u"timeout"));
    catalog->setAttribute(u"patient", patient.c_str());
    catalog->setAttribute(u"bed", bed.c_str());
    catalog->setTextContent(record->getTextContent());
    list->getDocumentElement()->appendChild(catalog);
  }
}

}  // namespace

std::optional<Login> FindLogin(CSingleDataSource& data_source, std::u16string_view cookie) {
  std::vector<std::u16string> values;
  data_source.Query(u"SELECT USER_ID, DEPT_ID FROM TELV_LOGIN_LOG" +
                        SqlKey().Equals(u"COOKIE", cookie).And(u"ONLINE_FLAG = 1").Where(),
                    2, values);
  if (values.size() != 2) return std::nullopt;
  return Login{values[0], values[1]};
}

UniqueBstr NoticeList(std::u16string_view dept_id, std::u16string_view user_id) {
  Sibling<INoticeService> notices(*CEMRFactory::Instance(), IID_INoticeService);
  ScopedBstr dept(dept_id);
  ScopedBstr user(user_id);
  BSTR list = nullptr;
  HRESULT hr = notices->GetNotifyMessage(dept.get(), user.get(), &list);
  return TakeAnswer(hr, list);
}

UniqueBstr ToWriteList(CSingleDataSource& data_source, std::u16string_view user_id) {
  constexpr unsigned kColumns = 4;
  std::vector<std::u16string> visits;
  data_source.Query(
      u"SELECT A.PATIENT_ID, A.EVENT_NO, B.NAME, B.BED_NO "
      u"FROM TELV_MANAGE_PATIENT A, TELV_V_PATIENT_VISIT_RECORD B" +
          SqlKey()
              .And(u"A.PATIENT_ID = B.PATIENT_ID AND A.EVENT_NO = B.EVENT_NO")
              .Equals(u"A.USER_ID", user_id)
              .And(u"B.FORBID_FLAG <> '1'")
              .Where() +
          u" ORDER BY A.PATIENT_ID, A.EVENT_NO",
      kColumns, visits);

  // The work-list component is only required to exist beside the record plan.
  Sibling<IWorkListService> work_list(*CEMRFactory::Instance(), IID_IWorkListService);
  Sibling<IRecordPlan> record_plan(*CEMRFactory::Instance(), IID_IRecordPlan);

  DomDocumentBuilder list(u"root");
  for (size_t row = 0; row + kColumns <= visits.size(); row += kColumns) {
    ScopedBstr patient_id(visits[row]);
    ScopedBstr event_no(visits[row + 1]);
    BSTR plan = nullptr;
    HRESULT hr = record_plan->GetRecordPlan(patient_id.get(), event_no.get(), &plan);
    UniqueBstr answer = TakeAnswer(hr, plan);
    AppendPlannedRecords(list.document(), answer.get(), visits[row + 2], visits[row + 3]);
  }

  UniqueBstr text(AllocBstr(list.Write()));
  if (text == nullptr) throw std::bad_alloc();
  return text;
}

UniqueBstr RollbackList(CSingleDataSource& data_source, std::u16string_view dept_id) {
  return QueryList(data_source,
                   u"SELECT NAME, DOCTOR_NAME, PATIENT_ID, EVENT_NO, BED_NO, ROLLBACK_TIME, "
                   u"ROLLBACK_NOTES FROM TELV_V_PATIENT_VISIT_RECORD" +
                       SqlKey()
                           .Equals(u"NOW_DEPT_ID", dept_id)
                           .And(u"FORBID_FLAG <> '1' AND EMR_STATUS = 2")
                           .Where() +
                       u" ORDER BY ROLLBACK_TIME DESC",
                   {u"patient", u"doctor", u"id", u"event", u"bed", u"time", u"notes"});
}

UniqueBstr ConsultRequestList(CSingleDataSource& data_source, std::u16string_view user_id,
                              std::u16string_view dept_id) {
  std::u16string now = ServerNow();
  std::u16string doctor_name = NameOf<IUserProperty, &IUserProperty::GetUserProperty>(
      IID_IUserProperty, user_id);
  std::u16string dept_name =
      NameOf<IHISDepartment, &IHISDepartment::GetDeptInfo>(IID_IHISDepartment, dept_id);
  CDBType* dialect = data_source.GetDBType();

  // A request is matched to the user's department and name (a request naming neither reaches
  // everyone); the patient must have a visit that is not sealed, tested once per request.
  const auto named_or_none = [](std::u16string_view column, const std::u16string& name) {
    return SqlKey()
        .AnyOf({SqlKey().Equals(column, name), SqlKey().And(std::u16string(column) + u" IS NULL"),
                SqlKey().Equals(column, u"")})
        .Sql();
  };
  const std::u16string sql =
      u"SELECT B.NAME, A.EMR_ID, A.REQUEST_DEPT, A.REQUEST_DOCTOR, " +
      dialect->DateToChar(u"A.REQUEST_DATE", true) +
      u", A.CONSULT_DOCTOR, A.NOTES, B.SEX, "
      u"(SELECT F.TITLE FROM TELV_EMR_CONTENT F WHERE F.ID = A.EMR_ID) EMR_TITLE "
      u"FROM TELV_CONSULTATION_EMR A, TELV_PATIENT B" +
      SqlKey()
          .And(u"A.PATIENT_ID = B.ID")
          .And(named_or_none(u"A.CONSULT_DEPT", dept_name))
          .Compare(u"A.CONSULT_DATE", u">", RowValue::Date(*dialect, now))
          .And(u"A.STATUS = 1")
          .And(named_or_none(u"A.CONSULT_DOCTOR", doctor_name))
          .And(u"A.EMR_ID NOT IN (SELECT R.EMR_ID FROM TELV_CONSULTATION_RECORD R" +
               SqlKey().Equals(u"R.DOCTOR_ID", user_id).And(u"R.EMR_ID = A.EMR_ID").Where() + u")")
          .And(u"EXISTS (SELECT 1 FROM TELV_VISIT_RECORD C WHERE C.PATIENT_ID = A.PATIENT_ID "
               u"AND C.FORBID_FLAG <> '1')")
          .Where() +
      u" ORDER BY A.REQUEST_DATE DESC";
  return QueryList(data_source, sql,
                   {u"consult", u"id", u"dept", u"requestor", u"time", u"doctor", u"notes",
                    u"sex", u"emr_title"});
}

std::optional<UniqueBstr> ToCommitList(CSingleDataSource& data_source,
                                       std::u16string_view dept_id) {
  CommitSettings settings;
  {
    Sibling<IWorkListParam> parameters(*CEMRFactory::Instance(), IID_IWorkListParam);
    std::u16string discharge =
        WorkListParameter(parameters.get(), u"inpatient_commit_timeout", u"");
    settings = ReadCommitSettings(
        discharge,
        WorkListParameter(parameters.get(), u"inrollbackpatient_commit_timeout", u"0"));
  }
  if (settings.Disabled()) return std::nullopt;
  int discharge_hours = StringToInt(settings.discharge_hours);
  int rollback_hours = StringToInt(settings.rollback_hours);

  std::u16string now_text = ServerNow();
  std::optional<CivilTime> now = ParseCivilTime(now_text);
  if (!now) throw CEMRException(u"服务器时间无效: " + now_text);
  if (settings.skip_weekends && IsWeekend(*now)) return std::nullopt;

  const CDBType& dialect = *data_source.GetDBType();
  const RowValue discharge_limit =
      RowValue::Date(dialect, LimitDate(discharge_hours, now_text, *now));
  const RowValue rollback_limit = RowValue::Date(dialect, LimitDate(rollback_hours, now_text, *now));
  const std::u16string sql =
      u"SELECT B.NAME, A.PATIENT_ID, A.EVENT_NO, A.BED_NO, B.SEX, " +
      dialect.DateToChar(u"A.IN_TIME", true) + u", " + dialect.DateToChar(u"A.OUT_TIME", true) +
      u", A.FORBID_FLAG FROM TELV_VISIT_RECORD A, TELV_PATIENT B" +
      SqlKey()
          .And(u"A.PATIENT_ID = B.ID")
          .Equals(u"A.NOW_DEPT_ID", dept_id)
          .AnyOf({SqlKey().Compare(u"A.OUT_TIME", u"<", discharge_limit).And(u"A.EMR_STATUS = 0"),
                  SqlKey()
                      .Compare(u"A.ROLLBACK_TIME", u"<", rollback_limit)
                      .And(u"A.EMR_STATUS = 2")})
          .And(u"A.FORBID_FLAG = 0")
          .Where() +
      u" ORDER BY A.BED_NO, A.IN_TIME";
  return QueryList(data_source, sql,
                   {u"patient", u"id", u"event", u"bed", u"sex", u"intime", u"outtime",
                    u"forbid"});
}

}  // namespace korvalis::worklist
