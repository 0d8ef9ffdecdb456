// The department QC report: a visit's score document rendered by the XSL of the QC result
// template (the system parameter `dept_qc_param`), filled with the visit's live data and stored
// through the record store as the visit's live record of that template.
//
// The kept template number (process-wide):
//
//   NOT READ (-1) ──parameter empty──▶ 0, kept: "未设置质控结果查看模板" until the process ends
//       │  ▲  ▲
//       │  │  └── `template` no whole number of zero or more: not kept, 0 answered
//       │  └───── the parameter cannot be read or parsed: not kept, the call fails
//       └──────── `template` a whole number: kept
//
// Concurrent first calls may each read the parameter; they store the same value.
#include <atomic>
#include <optional>
#include <string>

#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/emr_content_store.h"
#include "emrdoc/emr_signature.h"
#include "emrdoc/emr_template.h"
#include "emrdoc/live_data_refresh.h"
#include "emrdoc/user_sign.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/calls/client_info.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "foundation/xml/xsl_transform.h"
#include "lookups/sys_param.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/ascii.h"
#include "quality/rules/dept_qc_patient.h"

namespace {

using korvalis::ArgumentText;
using korvalis::BstrView;
using korvalis::XmlEscaped;
using korvalis::com::ScopedBstr;

constexpr long kTemplateNotRead = -1;
std::atomic<long> g_qc_result_template{kTemplateNotRead};

// The template number of `text` when it is a whole number of zero or more (white space around
// it allowed, as an operator may write the parameter on several lines).
std::optional<LONG> TemplateNumber(const std::u16string& text) {
  const std::u16string_view number = korvalis::TrimAsciiSpaces(text);
  if (number.empty() || number.find_first_not_of(u"0123456789") != std::u16string_view::npos) {
    return std::nullopt;
  }
  try {
    return korvalis::SqlIdNumber(number);
  } catch (const CEMRException&) {  // beyond the range of a template id
    return std::nullopt;
  }
}

// The property document of the report's new record. The declaration and the order of the
// elements are those the clients of the record store have always received.
std::u16string RecordPropertyDocument(const CXmlProperty& template_properties, LONG template_id,
                                      const CClientInfo& client) {
  return u"<?xml version =\"1.0\" ?><root><title>" +
         XmlEscaped(template_properties.GetValue(u"name")) +
         u"</title><key>检验检查报告单</key><template>" + LongToString(template_id) +
         u"</template><catalog>" + XmlEscaped(template_properties.GetValue(u"catalogid")) +
         u"</catalog><author>" + XmlEscaped(client.GetUserName()) + u"</author><authorid>" +
         XmlEscaped(client.GetUserId()) + u"</authorid></root>";
}

}  // namespace

long CBDeptQCPatient::GetQcResultTemplate(CEMRDataSource* pDataSource) {
  const long kept = g_qc_result_template.load();
  if (kept != kTemplateNotRead) return kept;
  std::u16string text;
  try {
    const std::u16string parameter = GetSysParam(*pDataSource, u"dept_qc_param");
    if (parameter.empty()) {
      g_qc_result_template.store(0);
      return 0;
    }
    text = CXmlProperty(parameter).GetValue(u"template");
  } catch (const CEMRException&) {
    // A database that cannot be reached says why in the answer too, not only in the event log.
    const std::u16string& cause = pDataSource->ConnectionFailure();
    throw CEMRException(std::u16string(kQcResultTemplateParamFailedMessage) +
                        (cause.empty() ? u"" : u" " + cause));
  }
  const std::optional<LONG> number = TemplateNumber(text);
  if (!number) return 0;
  g_qc_result_template.store(*number);
  return *number;
}

void CBDeptQCPatient::ForgetQcResultTemplate() { g_qc_result_template.store(kTemplateNotRead); }

long CBDeptQCPatient::GenerateQCReport(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                       BSTR bstrEventNo, BSTR bstrClientInfo, BSTR* pbstrReportID,
                                       BSTR* pbstrContent) {
  const LONG template_id = static_cast<LONG>(GetQcResultTemplate(pDataSource));
  if (template_id == 0) throw CEMRException(std::u16string(kQcResultTemplateMissingMessage));

  ScopedBstr score, xsl, page;
  GetPatientScore(pDataSource, bstrPatientID, bstrEventNo, score.out());
  GetTemplateXsl(pDataSource, template_id, xsl.out());
  XslTransform(score.get(), xsl.get(), page.out());
  RefreshEmrElements(pDataSource, bstrPatientID, bstrEventNo, page.out());  // replaces the page

  ScopedBstr property_text;
  GetTemplateProperty(pDataSource, template_id, property_text.out());
  const CXmlProperty template_properties(property_text.text());
  const CClientInfo client(ArgumentText(bstrClientInfo));
  const ScopedBstr record_property(
      RecordPropertyDocument(template_properties, template_id, client));

  ScopedBstr content;
  *content.out() = PackEmrContent(BstrView(page.get()));

  std::u16string live_record;
  pDataSource->QueryScalar(
      u"SELECT ID FROM TELV_EMR_CONTENT" + korvalis::SqlKey()
                                               .Equals(u"PATIENT_ID", bstrPatientID)
                                               .Equals(u"EVENT_NO", bstrEventNo)
                                               .Number(u"TEMPLATE_ID", template_id)
                                               .And(u"STATUS = 1")
                                               .Where(),
      live_record);
  if (live_record.empty()) {
    ScopedBstr new_id;
    SaveEmrDocument(pDataSource, bstrPatientID, bstrEventNo, record_property.get(), bstrClientInfo,
                    content.get(), new_id.out());
    CUserNameSignServer signer(client.GetUserId());
    const ScopedBstr signature(signer.Sign(u""));
    SaveEmrSignature(pDataSource, new_id.get(), signature.get(), signer.GetSignType(),
                     bstrClientInfo);
    if (pbstrReportID != nullptr) {
      SysFreeString(*pbstrReportID);  // in-out: the passed text is replaced
      *pbstrReportID = new_id.release();
    }
  } else {
    const ScopedBstr record(live_record);
    UpdateEmrContent(pDataSource, record.get(), content.get(), bstrClientInfo);
  }
  if (pbstrContent != nullptr) *pbstrContent = content.release();
  return 0;
}
