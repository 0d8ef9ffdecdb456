// The ready-made patient lists of archive management. Each writes a fixed condition document
// (the element vocabulary of the patient search, patient_search.h) with its arguments in
// place and returns what the search returns. A null argument reads as the empty text;
// argument texts are escaped, so markup in a department or a name is searched for as text.
// A time argument is a date or empty: any other text (a span of its own, SQL) is refused, as
// the search refuses a malformed piece, before any statement runs.
#include <string>
#include <string_view>

#include "archive/archive_patient.h"
#include "archive/patient_search.h"
#include "archive/search_pieces.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/data/sql_date.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;

// A time the list writes into the span `element`: a date, or empty.
std::u16string_view TimeArgument(std::u16string_view element, std::u16string_view time) {
  if (!time.empty() && !korvalis::IsSqlDate(time))
    korvalis::archive::RefuseCondition(element, time);
  return time;
}

// A condition document under construction: "<?xml version='1.0' ?><root>", the elements in
// the order they are added, "</root>". `separator` follows the declaration and each element.
class ConditionDocument {
 public:
  explicit ConditionDocument(std::u16string_view separator = {}) : separator_(separator) {
    text_.append(u"<?xml version='1.0' ?>").append(separator_).append(u"<root>").append(separator_);
  }

  ConditionDocument& Add(std::u16string_view name, std::u16string_view value) {
    text_.append(u"<").append(name).append(u">");
    korvalis::AppendXmlEscaped(text_, value);
    text_.append(u"</").append(name).append(u">").append(separator_);
    return *this;
  }

  // "start|end", each a date or empty.
  ConditionDocument& AddSpan(std::u16string_view name, BSTR start, BSTR end) {
    std::u16string span(TimeArgument(name, BstrView(start)));
    span.append(u"|").append(TimeArgument(name, BstrView(end)));
    return Add(name, span);
  }

  const std::u16string& Close() {
    text_.append(u"</root>");
    return text_;
  }

 private:
  std::u16string_view separator_;
  std::u16string text_;
};

// The span `element` of a client's condition rejoined when it splits into exactly two pieces,
// each a date, else empty.
std::u16string TwoPieceSpan(std::u16string_view element, const std::u16string& span) {
  const auto ends = korvalis::TimeSpanEnds(span);
  if (!ends) return std::u16string();
  return std::u16string(TimeArgument(element, ends->first)) + u"|" +
         std::u16string(TimeArgument(element, ends->second));
}

// A discharge span from both times, or every discharged visit when either time is empty.
std::u16string LeaveSpanOrDischarged(BSTR start, BSTR end) {
  const std::u16string_view start_time = TimeArgument(u"leavetime_span", BstrView(start));
  const std::u16string_view end_time = TimeArgument(u"leavetime_span", BstrView(end));
  if (start_time.empty() || end_time.empty()) return u" is not null";
  return std::u16string(start_time) + u"|" + std::u16string(end_time);
}

// The text of `name` in a client's condition, empty when absent.
std::u16string ValueOf(const CXmlProperty::Map& args, const char16_t* name) {
  auto it = args.find(name);
  return it == args.end() ? std::u16string() : it->second;
}

long Search(CEMRDataSource* data_source, ConditionDocument& condition, BSTR* pbstrList) {
  korvalis::archive::SearchPatients(*data_source, condition.Close(), pbstrList);
  return 0;
}

}  // namespace

long CBArchivePatient::GetInPatientList(CEMRDataSource* pDataSource, BSTR bstrDeptID,
                                        BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) {
  ConditionDocument condition;
  condition.Add(u"nowdept", BstrView(bstrDeptID))
      .AddSpan(u"intime_span", bstrStartTime, bstrEndTime)
      .Add(u"leavetime_span", u"is null")
      .Add(u"patienttype", u"2")
      .Add(u"emrtype", u"1");
  return Search(pDataSource, condition, pbstrList);
}

long CBArchivePatient::GetAllInPatientList(CEMRDataSource* pDataSource, BSTR bstrStartTime,
                                           BSTR bstrEndTime, BSTR* pbstrList) {
  ConditionDocument condition;
  condition.AddSpan(u"intime_span", bstrStartTime, bstrEndTime)
      .Add(u"leavetime_span", u" is null ")
      .Add(u"patienttype", u"2")
      .Add(u"emrtype", u"1");
  return Search(pDataSource, condition, pbstrList);
}

long CBArchivePatient::GetLeavePatientList(CEMRDataSource* pDataSource, BSTR bstrDeptID,
                                           BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) {
  ConditionDocument condition;
  condition.Add(u"leavedept", BstrView(bstrDeptID))
      .Add(u"leavetime_span", LeaveSpanOrDischarged(bstrStartTime, bstrEndTime))
      .Add(u"patienttype", u"2")
      .Add(u"emrtype", u"1");
  return Search(pDataSource, condition, pbstrList);
}

long CBArchivePatient::GetAllLeavePatientList(CEMRDataSource* pDataSource, BSTR bstrStartTime,
                                              BSTR bstrEndTime, BSTR* pbstrList) {
  ConditionDocument condition;
  condition.Add(u"leavetime_span", LeaveSpanOrDischarged(bstrStartTime, bstrEndTime))
      .Add(u"patienttype", u"2")
      .Add(u"emrtype", u"1");
  return Search(pDataSource, condition, pbstrList);
}

long CBArchivePatient::GetToCommitPatient(CEMRDataSource* pDataSource, BSTR bstrDeptID,
                                          BSTR* pbstrList) {
  ConditionDocument condition;
  condition.Add(u"nowdept", BstrView(bstrDeptID)).Add(u"patienttype", u"2").Add(u"emrtype", u"1");
  return Search(pDataSource, condition, pbstrList);
}

long CBArchivePatient::GetAllToCommitPatient(CEMRDataSource* pDataSource, BSTR bstrStartTime,
                                             BSTR bstrEndTime, BSTR* pbstrList) {
  ConditionDocument condition;
  condition.AddSpan(u"leavetime_span", bstrStartTime, bstrEndTime)
      .Add(u"patienttype", u"2")
      .Add(u"emrtype", u"1");
  return Search(pDataSource, condition, pbstrList);
}

long CBArchivePatient::GetCommitedPatient(CEMRDataSource* pDataSource, BSTR bstrArgs,
                                          BSTR* pbstrList) {
  const CXmlProperty::Map args = PropertyBag(bstrArgs).GetMap();
  ConditionDocument condition(u" ");
  condition.Add(u"name", ValueOf(args, u"name"))
      .Add(u"eventno", ValueOf(args, u"eventno"))
      .Add(u"doctor", ValueOf(args, u"doctor"))
      .Add(u"leavedept", ValueOf(args, u"leavedept"))
      .Add(u"leavetime_span", TwoPieceSpan(u"leavetime_span", ValueOf(args, u"leavetime_span")))
      .Add(u"emrtype", u"1")
      .Add(u"patienttype", u"1")
      .Add(u"orderby", u"COMMIT_TIME,BED_NO")
      .Add(u"forbid_flag", u"0");
  return Search(pDataSource, condition, pbstrList);
}

long CBArchivePatient::GetAllCommitedPatient(CEMRDataSource* pDataSource, BSTR bstrStartTime,
                                             BSTR bstrEndTime, BSTR* pbstrList) {
  ConditionDocument condition;
  condition.AddSpan(u"leavetime_span", bstrStartTime, bstrEndTime)
      .Add(u"patienttype", u"2")
      .Add(u"emrtype", u"2")
      .Add(u"orderby", u"COMMIT_TIME,BED_NO");
  return Search(pDataSource, condition, pbstrList);
}

long CBArchivePatient::GetUncodedPatient(CEMRDataSource* pDataSource, BSTR bstrDeptID,
                                         BSTR* pbstrList) {
  ConditionDocument condition;
  condition.Add(u"nowdept", BstrView(bstrDeptID))
      .Add(u"patienttype", u"2")
      .Add(u"emrtype", u"1")
      .Add(u"code", u"1");
  return Search(pDataSource, condition, pbstrList);
}

long CBArchivePatient::GetAllUncodedPatient(CEMRDataSource* pDataSource, BSTR bstrStartTime,
                                            BSTR bstrEndTime, BSTR* pbstrList) {
  ConditionDocument condition;
  condition.AddSpan(u"intime_span", bstrStartTime, bstrEndTime)
      .Add(u"patienttype", u"2")
      .Add(u"emrtype", u"1")
      .Add(u"code", u"1");
  return Search(pDataSource, condition, pbstrList);
}

long CBArchivePatient::GetPreCommitPatient(CEMRDataSource* pDataSource, BSTR bstrArgs,
                                           BSTR* pbstrList) {
  const CXmlProperty::Map args = PropertyBag(bstrArgs).GetMap();
  ConditionDocument condition;
  condition.Add(u"name", ValueOf(args, u"name"))
      .Add(u"eventno", ValueOf(args, u"eventno"))
      .Add(u"nowdept", ValueOf(args, u"nowdept"))
      .Add(u"patienttype", u"1")
      .Add(u"emrtype", u"0")
      .Add(u"code", u"6,10");
  if (std::u16string span = TwoPieceSpan(u"intime_span", ValueOf(args, u"intime_span"));
      !span.empty()) {
    condition.Add(u"intime_span", span);
  }
  return Search(pDataSource, condition, pbstrList);
}

long CBArchivePatient::GetAllPreCommitPatient(CEMRDataSource* pDataSource, BSTR bstrStartTime,
                                              BSTR bstrEndTime, BSTR* pbstrList) {
  ConditionDocument condition;
  condition.AddSpan(u"intime_span", bstrStartTime, bstrEndTime)
      .Add(u"patienttype", u"2")
      .Add(u"emrtype", u"0")
      .Add(u"code", u"6,10");
  return Search(pDataSource, condition, pbstrList);
}
