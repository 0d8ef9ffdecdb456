// Sealed and checked records, bodies of CBArchivePatient: the sealing entries of visits with who
// sealed and unsealed them, the visits for the record check with whether they hold live records,
// and the checker's copy of a visit's front sheet, saved and read back (the live front sheet
// while there is no copy).
//
// A copy travels between client and server in the hand-over form of record content
// (emrdoc/emr_content_hand_over.h) and is stored as its text, zlib-compressed, unencrypted.
// Values stand between quotes with their quotes doubled; `forbid_flag` stands bare and must be a
// number, checked before the statement runs.
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_patient.h"
#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/emr_content_store.h"
#include "foundation/codec/blob_text.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/calls/client_info.h"
#include "foundation/codec/codec_factory.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::ArgumentText;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::SqlKey;

constexpr char16_t kNoFrontSheet[] = u"该病人未书写病案首页";
constexpr char16_t kCheckCopyEmpty[] = u"审核病历内容为空, 未保存";
constexpr char16_t kCheckCopyNotText[] = u"审核病历内容不是文本, 未保存";

// The units of a checker's copy in the hand-over form: its text and zero terminator. A copy
// replaces the front sheet for whoever reads it next, so an empty one, or one whose bytes are
// no UTF-16 text (a zero character inside, a lone surrogate), is refused.
std::u16string CheckCopyUnits(BSTR packed) {
  if (SysStringByteLen(packed) == 0) throw CEMRException(std::u16string(kCheckCopyEmpty));
  const std::u16string units = UnpackEmrContentUnits(packed);
  std::u16string_view text = units;
  if (!text.empty() && text.back() == u'\0') text.remove_suffix(1);
  if (text.empty()) throw CEMRException(std::u16string(kCheckCopyEmpty));
  if (text.find(u'\0') != std::u16string_view::npos || !korvalis::IsWellFormedUtf16(text)) {
    throw CEMRException(std::u16string(kCheckCopyNotText));
  }
  return units;
}

// " AND `column` BETWEEN start AND end" with the first two pieces of `span`; nothing for a span
// of fewer pieces.
void AppendSealSpan(const CDBType& dialect, std::u16string_view span, std::u16string_view column,
                    std::u16string& sql) {
  std::vector<std::u16string> pieces;
  SplitByChars(span, std::u16string_view(&korvalis::kTimeSpanSeparator, 1), pieces);
  if (pieces.size() < 2) return;
  korvalis::AppendDatesBetween(dialect, column, pieces[0], pieces[1], sql);
}

// The checker's copy of a record: its row's condition.
std::u16string CopyOf(const std::u16string& id) {
  return u"SELECT CONTENT FROM TELV_CHECK_EMR_CONTENT" + SqlKey().Equals(u"ID", id).Where();
}

}  // namespace

long CBArchivePatient::GetFreezePatient(CEMRDataSource* pDataSource, BSTR bstrArgs,
                                        BSTR* pbstrList) {
  const CXmlProperty args = PropertyBag(bstrArgs);
  std::u16string sql =
      u"SELECT A.NAME, A.SEX, A.PATIENT_ID, A.EVENT_NO, A.BED_NO, B.FORBID_DATE, "
      u"B.FORBIDER_NAME, B.FORBID_NOTES, A.IN_DEPT_NAME, B.UNFORBID_DATE, B.UNFORBIDER_NAME, "
      u"B.UNFORBID_NOTES, A.FORBID_FLAG FROM TELV_V_PATIENT_VISIT_RECORD A,  TELV_PATIENT_FORBID B "
      u"WHERE A.PATIENT_ID = B.PATIENT_ID AND A.EVENT_NO = B.PATIENT_EVENT " +
      SqlConditions(args)
          .Contains(u"name", u"A.NAME")
          .Contains(u"eventno", u"A.EVENT_NO")
          .Equals(u"filterdept", u"A.IN_DEPT_ID")
          .Equals(u"indept", u"A.IN_DEPT_ID")
          .Equals(u"leavedept", u"A.OUT_DEPT_ID")
          .Contains(u"doctor", u"A.DOCTOR_NAME")
          .Contains(u"unlocker", u"B.UNFORBIDER_NAME")
          .Number(u"forbid_flag", u"A.FORBID_FLAG")
          .Sql();
  const CDBType& dialect = *pDataSource->GetDBType();
  AppendSealSpan(dialect, args.GetValue(u"lock_time_span"), u"B.FORBID_DATE", sql);
  AppendSealSpan(dialect, args.GetValue(u"unlock_time_span"), u"B.UNFORBID_DATE", sql);
  sql += u" ORDER BY A.PATIENT_ID, A.EVENT_NO, B.FORBID_DATE, B.UNFORBID_DATE";

  static const std::vector<std::u16string>& kNames = *new std::vector<std::u16string>{
      u"patient",      u"sex",        u"id",        u"eventno",    u"bed",
      u"lockdate",     u"lockername", u"locknote",  u"indeptname", u"unlockdate",
      u"unlockername", u"unlocknote", u"forbidflag"};
  pDataSource->QueryElements(sql, kNames, pbstrList, {u"id", u"eventno"});
  return 0;
}

long CBArchivePatient::GetCheckPatientList(CEMRDataSource* pDataSource, BSTR bstrArgs,
                                           BSTR* pbstrPatientList) {
  const CXmlProperty args = PropertyBag(bstrArgs);
  const CDBType& dialect = *pDataSource->GetDBType();
  // 1 when the visit holds a live record: the first one found decides.
  const std::u16string has_live_record = dialect.Decode(
      u"(SELECT 1 FROM TELV_EMR_CONTENT B WHERE B.PATIENT_ID = A.PATIENT_ID AND B.EVENT_NO = "
      u"A.EVENT_NO AND B.STATUS = 1 AND " +
          dialect.GetRowLimitCondition(2) + u")",
      u"1", u"1", u"0");
  std::u16string sql =
      u"SELECT B.NAME, B.SEX, B.CASE_NO, A.PATIENT_ID, A.EVENT_NO, A.SERIAL_NO, A.CODE_STATUS, " +
      has_live_record +
      u" EMR_COPY FROM TELV_VISIT_RECORD A, TELV_PATIENT B  WHERE A.PATIENT_ID = B.ID AND "
      u"A.EVENT_STATUS = 1";
  SqlConditions conditions(args);
  // The "case number" is matched against the visit number.
  conditions.DatesBetween(u"dis_date_begin", u"dis_date_end", u"A.OUT_TIME", dialect)
      .Contains(u"case_no", u"A.EVENT_NO");
  // Only a list without a department is kept to the record states of the check.
  if (conditions.Value(u"dept_id").empty()) conditions.And(u"A.EMR_STATUS IN(0, 1, 2, 3)");
  sql += conditions.Equals(u"dept_id", u"A.OUT_DEPT_ID").Sql();

  static const std::vector<std::u16string>& kNames =
      *new std::vector<std::u16string>{u"patient",  u"sex",      u"case_no", u"patient_id",
                                       u"event_no", u"visit_no", u"status",  u"emr_copy"};
  pDataSource->QueryElements(sql, kNames, pbstrPatientList, {u"patient_id", u"event_no"});
  return 0;
}

long CBArchivePatient::SaveCheckEMR(CEMRDataSource* pDataSource, BSTR bstrEMRInfo, BSTR bstrContent,
                                    BSTR /*bstrXML*/, BSTR bstrClientInfo) {
  const CXmlProperty info = PropertyBag(bstrEMRInfo);
  const std::u16string emr_id = info.GetValue(u"emr_id");
  const CClientInfo client{ArgumentText(bstrClientInfo)};
  // Expanded before anything is written: a content that is not in the hand-over form (one
  // shorter than its length trailer included) is refused with the codec's message.
  const std::u16string content = CheckCopyUnits(bstrContent);

  std::u16string existing;
  pDataSource->QueryScalar(
      u"SELECT ID FROM TELV_CHECK_EMR_CONTENT" + SqlKey().Equals(u"ID", emr_id).Where(), existing);
  // The first checker of a copy stays its checker.
  if (existing.empty()) {
    korvalis::InsertRow(*pDataSource, u"TELV_CHECK_EMR_CONTENT",
                        u"ID, PATIENT_ID, EVENT_NO, CHECKER, CHECKER_ID",
                        {emr_id, info.GetValue(u"patient_id"), info.GetValue(u"event_no"),
                         client.GetUserName(), client.GetUserId()});
  }
  korvalis::WriteBlobText(*pDataSource, CopyOf(emr_id), content, CreateCompression(-1)->GetType(),
                          0);
  return 0;
}

long CBArchivePatient::GetCheckEMR(CEMRDataSource* pDataSource, BSTR bstrEMRInfo,
                                   BSTR* /*pbstrXml*/, BSTR* pbstrContent) {
  const CXmlProperty info = PropertyBag(bstrEMRInfo);
  const SqlKey visit = SqlKey()
                           .Equals(u"PATIENT_ID", info.GetValue(u"patient_id"))
                           .Equals(u"EVENT_NO", info.GetValue(u"event_no"));
  std::u16string copy_id;
  pDataSource->QueryScalar(u"SELECT ID FROM TELV_CHECK_EMR_CONTENT" + visit.Where(), copy_id);
  if (!copy_id.empty()) {
    const std::u16string text = korvalis::ReadBlobText(*pDataSource, CopyOf(copy_id), 1, 0);
    if (pbstrContent != nullptr) *pbstrContent = PackEmrContent(text);
    return 0;
  }
  std::u16string front_sheet;
  pDataSource->QueryScalar(
      u"SELECT ID FROM TELV_EMR_CONTENT" +
          SqlKey(visit).And(u"EMR_TYPE = 1 AND STATUS = 1").Where(),
      front_sheet);
  if (front_sheet.empty()) throw CEMRException(std::u16string(kNoFrontSheet));
  const korvalis::com::ScopedBstr id(front_sheet);
  LoadEmrContent(pDataSource, id.get(), pbstrContent);
  return 0;
}
