#include "emrdoc/consultation_extraction.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNodeList.hpp>

#include "emrdoc/emr_xml.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/text/automation_date.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/xml/xml_parser.h"
#include "lookups/sys_param.h"
#include "platform/text/ascii.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::IsBlank;
using korvalis::RowValue;

constexpr char16_t kConsultationSheetType[] = u"4";
// The most digits a timeout may have: hours enough for any deadline, and no overflow.
constexpr std::size_t kMaxTimeoutDigits = 9;

struct Consultation {
  std::u16string request_doctor;
  std::u16string request_dept;
  std::u16string consult_doctor;
  std::u16string consult_dept;
  std::u16string consult_time;
  std::u16string notes;
};

// A whole number of hours, with an optional sign and surrounding blanks; nullopt otherwise.
std::optional<long> ReadTimeoutHours(const std::u16string& text) {
  std::u16string_view number = text;
  while (!number.empty() && (number.front() == u' ' || number.front() == u'\t')) {
    number.remove_prefix(1);
  }
  while (!number.empty() && (number.back() == u' ' || number.back() == u'\t')) {
    number.remove_suffix(1);
  }
  const bool negative = !number.empty() && number.front() == u'-';
  if (!number.empty() && (number.front() == u'-' || number.front() == u'+'))
    number.remove_prefix(1);
  if (number.empty() || number.size() > kMaxTimeoutDigits) return std::nullopt;
  long hours = 0;
  for (char16_t digit : number) {
    if (digit < u'0' || digit > u'9') return std::nullopt;
    hours = hours * 10 + (digit - u'0');
  }
  return negative ? -hours : hours;
}

// The one element named `name` in the document; fails with `message` unless there is exactly one.
const xercesc::DOMElement* OnlyElement(const xercesc::DOMDocument& document, const char16_t* name,
                                       const char16_t* message) {
  const xercesc::DOMNodeList* found = document.getElementsByTagName(name);
  if (found == nullptr || found->getLength() != 1) throw CEMRException(std::u16string(message));
  return static_cast<const xercesc::DOMElement*>(found->item(0));
}

// The text of the last child element of `parent` named `name`; empty when there is none.
std::u16string ChildText(const xercesc::DOMElement* parent, std::u16string_view name) {
  std::u16string text;
  for (const xercesc::DOMElement* child : ElementChildren(parent)) {
    if (ElementName(child) == name) text = TextContent(child);
  }
  return text;
}

Consultation ReadConsultation(const std::u16string& xml) {
  CXmlStringParser parser(xml);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) throw CEMRException(std::u16string(kConsultationSheetFailedMessage));
  Consultation consultation;
  const xercesc::DOMElement* request =
      OnlyElement(*document, u"request", kConsultationRequestFailedMessage);
  consultation.request_doctor = ChildText(request, u"doctor");
  consultation.request_dept = ChildText(request, u"dept");
  if (IsBlank(consultation.request_doctor) || IsBlank(consultation.request_dept)) {
    throw CEMRException(std::u16string(kConsultationRequestFailedMessage));
  }
  const xercesc::DOMElement* consult =
      OnlyElement(*document, u"consult", kConsultationFailedMessage);
  consultation.consult_doctor = ChildText(consult, u"doctor");
  consultation.consult_dept = ChildText(consult, u"dept");
  consultation.consult_time = ChildText(consult, u"time");
  consultation.notes = ChildText(consult, u"notes");
  return consultation;
}

// The text without the spaces at its two ends (other blanks stay), as the consulted department
// and doctor are stored.
std::u16string WithoutSpacesAround(const std::u16string& text) {
  const std::size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string::npos) return std::u16string();
  return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

// The consultation's deadline: its time plus the timeout.
std::u16string Deadline(CSingleDataSource& data_source, const std::u16string& consult_time) {
  const std::optional<korvalis::AutomationDate> time =
      korvalis::AutomationDate::Parse(consult_time);
  if (!time) throw CEMRException(std::u16string(kConsultationTimeFailedMessage));
  const std::optional<long> timeout = korvalis::emrdoc::ConsultationTimeout().Get(data_source);
  if (!timeout) {
    CEventLogEntry(kConsultationTimeoutMissingMessage, CEventLogEntry::kWarning).Report();
  }
  const std::optional<korvalis::AutomationDate> deadline = time->PlusHours(timeout.value_or(0));
  if (!deadline) throw CEMRException(std::u16string(kConsultationTimeFailedMessage));
  return deadline->Text();
}

void Extract(CSingleDataSource& data_source, BSTR emr_id) {
  const std::u16string record = korvalis::SqlKey().Equals(u"ID", emr_id).Where();
  std::u16string emr_type;
  data_source.QueryScalar(u"SELECT EMR_TYPE FROM  TELV_EMR_CONTENT" + record, emr_type);
  if (emr_type != kConsultationSheetType) return;
  std::vector<std::u16string> visit;
  data_source.Query(u"SELECT PATIENT_ID, EVENT_NO FROM TELV_EMR_CONTENT" + record, 2, visit);
  if (visit.empty()) return;

  const std::u16string xml = korvalis::emrdoc::RebuildEmrXml(data_source, emr_id);
  if (xml.empty()) throw CEMRException(std::u16string(kConsultationSheetFailedMessage));
  const Consultation consultation = ReadConsultation(xml);
  CDBType& dialect = *data_source.GetDBType();
  const RowValue deadline =
      RowValue::Date(dialect, Deadline(data_source, consultation.consult_time));
  const RowValue requested = RowValue::Date(dialect, GetSystemDateTimeString(&data_source));

  data_source.Execute(u"DELETE FROM TELV_CONSULTATION_EMR" +
                      korvalis::SqlKey().Equals(u"EMR_ID", emr_id).Where());
  korvalis::InsertRow(
      data_source, u"TELV_CONSULTATION_EMR",
      u"EMR_ID, PATIENT_ID, EVENT_NO, REQUEST_DATE, REQUEST_DEPT, REQUEST_DOCTOR, CONSULT_DATE, "
      u"END_DATE, CONSULT_DEPT, CONSULT_DOCTOR, NOTES, STATUS",
      {emr_id, visit[0], visit[1], requested, consultation.request_dept,
       consultation.request_doctor, deadline, deadline,
       WithoutSpacesAround(consultation.consult_dept),
       WithoutSpacesAround(consultation.consult_doctor), consultation.notes, RowValue::Number(1)});
}

void Warn(const std::u16string& text) { CEventLogEntry(text, CEventLogEntry::kWarning).Report(); }

}  // namespace

namespace korvalis::emrdoc {

KeptSysParam<long>& ConsultationTimeout() {
  static KeptSysParam<long>& timeout =
      *new KeptSysParam<long>(u"system_consultation_timeout", ReadTimeoutHours);
  return timeout;
}

}  // namespace korvalis::emrdoc

void ExtractConsultation(CSingleDataSource* pDataSource, BSTR bstrEmrID) {
  try {
    Extract(*pDataSource, bstrEmrID);
  } catch (const CEMRException& failure) {
    Warn(failure.GetText());
  } catch (const std::exception& failure) {
    Warn(u"提取会诊单出现异常错误: " + korvalis::FromUtf8(failure.what()));
  } catch (...) {
    Warn(u"提取会诊单出现异常错误.");
  }
}
