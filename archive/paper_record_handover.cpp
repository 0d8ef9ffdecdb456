// The hand-over of a visit's paper record to the archive: CBPatientPaperMag::CommitPaperCase,
// CancelCommitPaper, RollbackPaperCase and CheckinPaperCase.
//
// The paper record's state is TELV_VISIT_RECORD.PAPER_EMR_STATUS of the visit (PATIENT_ID,
// EVENT_NO). Every commit adds one row to the hand-over log TELV_PAPER_CHECKIN_RECORD, numbered
// per visit by SERIAL (1, then the largest + 1); the row with the largest SERIAL is the visit's
// current row. OLD_PAPER_STATUS of a row is the state a cancel of that row restores.
//
//            CommitPaperCase: new current row, OLD_PAPER_STATUS = the caller's paper_status
//   any ───────────────────────────────────────────────────────────────▶ 1 committed
//
//   1 committed ──RollbackPaperCase(serial k): row k gets the return columns, OLD 1──▶ 2 returned
//   1 committed ──CheckinPaperCase: the current row gets the sign-in columns, OLD 1──▶ 3 signed in
//
//            CancelCommitPaper: the current row deleted
//   any ───────────────────────────────────────────────────────────────▶ OLD_PAPER_STATUS of
//                                                                          that row (0 without)
//   2, 3, 0 or other ──RollbackPaperCase, CheckinPaperCase──▶ refused, nothing changes
//
// A returned record is committed again by a new commit. Commit and cancel check nothing of
// the state; return and sign-in refuse, before any write, a visit that is not in state 1.
//
// Every call is one transaction (the method frame's call scope): a failure at any visit of a
// commit or cancel leaves nothing of the call. Values are quoted with their quotes doubled;
// numbers taken from texts are read with StringToLong and written as decimal integers.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/patient_paper_mag.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/calls/client_info.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_list.h"

namespace {

using korvalis::ArgumentText;
using korvalis::RowValue;
using korvalis::SqlKey;

// PAPER_EMR_STATUS of a committed, a returned and a signed-in paper record.
constexpr long kCommitted = 1;
constexpr long kReturned = 2;
constexpr long kSignedIn = 3;

constexpr char16_t kReturnIncomplete[] = u"纸质病历回退错误！";
constexpr char16_t kReturnRefused[] = u"纸质病历退回记录出错！";
constexpr char16_t kSignInIncomplete[] = u"纸质病历签收记录错误！";
constexpr char16_t kSignInRefused[] = u"纸质病历未提交或者数据库错误，无法签收！";

// A number read from a text: its leading decimal number, 0 without one.
long Number(const std::u16string& text) { return StringToLong(text); }

// The visit's row of TELV_VISIT_RECORD, or the visit's rows of the log (`alias` naming its
// table).
SqlKey VisitKey(const std::u16string& patient_id, const std::u16string& event_no,
                std::u16string_view alias = {}) {
  const std::u16string prefix = alias.empty() ? std::u16string() : std::u16string(alias) + u".";
  return SqlKey()
      .Equals(prefix + u"PATIENT_ID", patient_id)
      .Equals(prefix + u"EVENT_NO", event_no);
}

// The visit's largest SERIAL in the log; empty when the visit has no row.
std::u16string LargestSerial(CEMRDataSource& data_source, const std::u16string& patient_id,
                             const std::u16string& event_no) {
  std::u16string serial;
  data_source.QueryScalar(u"SELECT MAX(T.SERIAL) FROM TELV_PAPER_CHECKIN_RECORD T" +
                              VisitKey(patient_id, event_no, u"T").Where(),
                          serial);
  return serial;
}

// Sets the visit's PAPER_EMR_STATUS to `state`.
void SetPaperState(CEMRDataSource& data_source, const std::u16string& patient_id,
                   const std::u16string& event_no, long state) {
  korvalis::UpdateRow(data_source, u"TELV_VISIT_RECORD",
                      {{u"PAPER_EMR_STATUS", RowValue::Number(state)}},
                      VisitKey(patient_id, event_no).Sql());
}

// The visit and row that a return or a sign-in names: the children of its document element.
struct HandoverRequest {
  std::u16string patient_id;
  std::u16string event_no;
  std::u16string serial;
  std::u16string memo;
};

// Reads a return or sign-in document; `memo_name` is the child that holds the memo. Throws
// "无效XML!" for a text without a document element and `incomplete` when the visit or the
// serial is missing.
HandoverRequest ReadHandoverRequest(BSTR info, const char16_t* memo_name,
                                    const char16_t* incomplete) {
  CXmlDocument document;
  document.Load(ArgumentText(info), false);
  CXmlNode root = document.GetRootNode();
  HandoverRequest request{root.GetChild(u"patient_id").GetText(),
                          root.GetChild(u"event_no").GetText(), root.GetChild(u"serial").GetText(),
                          root.GetChild(memo_name).GetText()};
  if (request.patient_id.empty() || request.event_no.empty() || request.serial.empty()) {
    throw CEMRException(std::u16string(incomplete));
  }
  return request;
}

// Reads `what` ("COUNT(*)", "MAX(A.SERIAL)") over the request's log rows (A), only row
// `serial` when one is given, none of them while the visit (B) is not committed; empty without
// a value.
std::u16string ReadCommittedRows(CEMRDataSource& data_source, const HandoverRequest& request,
                                 const char16_t* what, std::optional<long> serial = {}) {
  SqlKey rows = VisitKey(request.patient_id, request.event_no, u"A");
  if (serial) rows.Number(u"A.SERIAL", *serial);
  rows.Number(u"B.PAPER_EMR_STATUS", kCommitted)
      .And(u"A.PATIENT_ID = B.PATIENT_ID AND A.EVENT_NO = B.EVENT_NO");
  std::u16string value;
  data_source.QueryScalar(u"SELECT " + std::u16string(what) +
                              u" FROM TELV_PAPER_CHECKIN_RECORD A, TELV_VISIT_RECORD B" +
                              rows.Where(),
                          value);
  return value;
}

// Completes log row `serial` of the request's visit by a return or a sign-in (`prefix`
// "ROLLBACK" or "CHECKIN": its operator, memo and date columns, and OLD_PAPER_STATUS 1), then
// moves the visit to `state`.
void CompleteRow(CEMRDataSource& data_source, const char16_t* prefix, const CClientInfo& client,
                 const HandoverRequest& request, long serial, long state) {
  const std::u16string column(prefix);
  const std::u16string oper_name = column + u"_OPER_NAME";
  const std::u16string oper_id = column + u"_OPER_ID";
  const std::u16string memo = column + u"_MEMO";
  const std::u16string date = column + u"_DATE";
  korvalis::UpdateRow(data_source, u"TELV_PAPER_CHECKIN_RECORD",
                      {{oper_name, client.GetUserName()},
                       {oper_id, client.GetUserId()},
                       {memo, request.memo},
                       {u"OLD_PAPER_STATUS", RowValue::Number(kCommitted)},
                       {date, RowValue::Now()}},
                      VisitKey(request.patient_id, request.event_no).Number(u"SERIAL", serial).Sql());
  SetPaperState(data_source, request.patient_id, request.event_no, state);
}

}  // namespace

long CBPatientPaperMag::CommitPaperCase(CEMRDataSource* pDataSource, BSTR bstrPMRInfo,
                                        BSTR bstrClientInfo) {
  const std::vector<korvalis::ListElement> visits = korvalis::ReadListElements(
      bstrPMRInfo, u"patient",
      {u"id", u"event_no", u"commit_serial", u"commit_memo", u"paper_status", u"update_emrstatus"});
  if (visits.empty()) return 0;
  const CClientInfo client{ArgumentText(bstrClientInfo)};
  const std::u16string user_name = client.GetUserName();
  const std::u16string user_id = client.GetUserId();
  for (const korvalis::ListElement& visit : visits) {
    const std::u16string& id = visit.attributes[0];
    const std::u16string& event_no = visit.attributes[1];
    const std::u16string& commit_serial = visit.attributes[2];
    const std::u16string& memo = visit.attributes[3];
    const std::u16string& paper_status = visit.attributes[4];
    const std::u16string& update_emr_status = visit.attributes[5];

    // The first row of a visit keeps the caller's commit serial; every later one is numbered
    // by its SERIAL.
    const std::u16string largest = LargestSerial(*pDataSource, id, event_no);
    const long serial = largest.empty() ? 1 : Number(largest) + 1;
    const long commit = largest.empty() ? Number(commit_serial) : serial;
    korvalis::InsertRow(*pDataSource, u"TELV_PAPER_CHECKIN_RECORD",
                        u"PATIENT_ID, EVENT_NO, SERIAL, COMMIT_SERIAL, COMMIT_DATE, "
                        u"OLD_PAPER_STATUS, COMMIT_OPER_NAME, COMMIT_OPER_ID, COMMIT_MEMO",
                        {id, event_no, RowValue::Number(serial), RowValue::Number(commit),
                         RowValue::Now(), RowValue::Number(Number(paper_status)), user_name,
                         user_id, memo});

    // Exactly "1" commits the electronic record with the paper one.
    if (update_emr_status == u"1") {
      korvalis::UpdateRow(*pDataSource, u"TELV_VISIT_RECORD",
                          {{u"PAPER_EMR_STATUS", RowValue::Number(kCommitted)},
                           {u"EMR_STATUS", RowValue::Number(1)},
                           {u"COMMIT_TIME", RowValue::Now()},
                           {u"COMMITER", user_name}},
                          VisitKey(id, event_no).Sql());
    } else {
      SetPaperState(*pDataSource, id, event_no, kCommitted);
    }
  }
  return 0;
}

long CBPatientPaperMag::CancelCommitPaper(CEMRDataSource* pDataSource, BSTR bstrPMRInfo) {
  const std::vector<korvalis::ListElement> visits =
      korvalis::ReadListElements(bstrPMRInfo, u"patient", {u"id", u"event_no"});
  for (const korvalis::ListElement& visit : visits) {
    const std::u16string& id = visit.attributes[0];
    const std::u16string& event_no = visit.attributes[1];
    // A visit without rows reads serial 0: nothing is deleted and the state becomes 0.
    const std::u16string current_row =
        VisitKey(id, event_no).Number(u"SERIAL", Number(LargestSerial(*pDataSource, id, event_no)))
            .Where();
    std::u16string old_state;
    pDataSource->QueryScalar(
        u"SELECT OLD_PAPER_STATUS FROM TELV_PAPER_CHECKIN_RECORD" + current_row, old_state);
    pDataSource->Execute(u"DELETE FROM TELV_PAPER_CHECKIN_RECORD" + current_row);
    SetPaperState(*pDataSource, id, event_no, Number(old_state));
  }
  return 0;
}

long CBPatientPaperMag::RollbackPaperCase(CEMRDataSource* pDataSource, BSTR bstrPMRInfo,
                                          BSTR bstrClientInfo) {
  const HandoverRequest request =
      ReadHandoverRequest(bstrPMRInfo, u"rollback_memo", kReturnIncomplete);
  const CClientInfo client{ArgumentText(bstrClientInfo)};
  const long serial = Number(request.serial);

  // The named row must exist and the visit must be committed.
  if (StringToLong(ReadCommittedRows(*pDataSource, request, u"COUNT(*)", serial)) != 1) {
    throw CEMRException(std::u16string(kReturnRefused));
  }
  CompleteRow(*pDataSource, u"ROLLBACK", client, request, serial, kReturned);
  return 0;
}

long CBPatientPaperMag::CheckinPaperCase(CEMRDataSource* pDataSource, BSTR bstrPMRInfo,
                                         BSTR bstrClientInfo) {
  // `serial` must be given, but the sign-in always completes the visit's current row.
  const HandoverRequest request =
      ReadHandoverRequest(bstrPMRInfo, u"checkin_memo", kSignInIncomplete);
  const CClientInfo client{ArgumentText(bstrClientInfo)};

  const std::u16string current = ReadCommittedRows(*pDataSource, request, u"MAX(A.SERIAL)");
  if (current.empty()) throw CEMRException(std::u16string(kSignInRefused));
  CompleteRow(*pDataSource, u"CHECKIN", client, request, Number(current), kSignedIn);
  return 0;
}
