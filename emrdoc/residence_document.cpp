#include "emrdoc/residence_document.h"

#include <cmath>
#include <optional>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/his_answer.h"
#include "foundation/text/automation_date.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/data/single_data_source.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "lookups/record_library.h"
#include "lookups/visit_lookups.h"
#include "platform/com/scoped_bstr.h"

using korvalis::DomDocumentBuilder;
using korvalis::com::ScopedBstr;
using xercesc::DOMElement;

namespace {

// The length of "yyyy-mm-dd": the date of a date-time text.
constexpr std::size_t kDateLength = 10;

// The columns of the visit's row, in the order of the statement.
enum VisitColumn : unsigned {
  kInTime,
  kInDeptName,
  kInDeptId,
  kRoom,
  kBedNo,
  kNowDeptName,
  kNowDeptId,
  kOutTime,
  kOutDeptName,
  kOutDeptId,
  kEventNo,
  kSerialNo,
  kInsuranceNo,
  kInsuranceType,
  kResidenceFlag,
  kVisitColumnCount
};

using HisPatientInfo = korvalis::Sibling<IHISPatientInfo>;

CHISAnswer AskInOutInfo(const HisPatientInfo& his, BSTR bstrPatientID, BSTR bstrEventNo) {
  ScopedBstr reply;
  CheckSiblingCall(his->GetInOutInfo(bstrPatientID, bstrEventNo, reply.out()));
  return CHISAnswer(reply.get());
}

// Today's date from the date-time component.
std::u16string Today(CSingleDataSource* pDataSource) {
  ScopedBstr now;
  GetSystemDateTime(pDataSource, now.out());
  return std::u16string(korvalis::BstrView(now.get()).substr(0, kDateLength));
}

// The residence document under construction and the visit's row it is built from.
class ResidenceDocument {
 public:
  explicit ResidenceDocument(std::vector<std::u16string> row)
      : row_(std::move(row)), document_(u"root"), count_end_(row_[kOutTime]) {
    root_ = document_.root();
    in_ = document_.Append(root_, u"in");
    now_ = document_.Append(root_, u"now");
    document_.Append(in_, u"time", row_[kInTime]);
    in_dept_ = AppendDept(in_, kInDeptName, kInDeptId);
  }

  bool kept_in_his() const { return row_[kResidenceFlag] == kResidenceFlagInHis; }
  bool discharged_here() const { return !row_[kOutTime].empty(); }

  // The end of both day counts while the visit is not discharged here: today.
  void SetCountEnd(std::u16string today) { count_end_ = std::move(today); }

  void AppendEmptyWard() { ward_ = document_.Append(now_, u"warddept"); }

  // Takes the in-department time and the ward of the HIS's in-out reply.
  void CompleteFromHis(const CHISAnswer& in_out) {
    if (const DOMElement* dept = FirstChildElement(in_out.FindFirst(u"in"), u"dept")) {
      const std::u16string time = ElementAttribute(dept, u"time");
      DomDocumentBuilder::SetAttribute(in_dept_, u"time", time);
      document_.Append(root_, u"dayByDeptIn", DayCountText(count_end_, time));
    }
    if (const DOMElement* ward = in_out.FindFirst(u"warddept")) {
      DomDocumentBuilder::SetText(ward_, TextContent(ward));
      DomDocumentBuilder::SetAttribute(ward_, u"id", ElementAttribute(ward, u"id"));
    }
  }

  void AppendWithoutHis() {
    DomDocumentBuilder::SetAttribute(in_dept_, u"time", u"");
    document_.Append(root_, u"dayByDeptIn");
  }

  void AppendRoomsAndCurrentDept() {
    AppendRoomAndBed(in_);
    AppendDept(now_, kNowDeptName, kNowDeptId);
    AppendRoomAndBed(now_);
  }

  // Takes the HIS's `out` when its discharge reply holds exactly one.
  bool CopyHisDischarge(const CHISAnswer& in_out) {
    if (in_out.Count(u"out") != 1) return false;
    document_.AppendCopy(root_, in_out.FindFirst(u"out"));
    return true;
  }

  void AppendLocalDischarge() {
    DOMElement* out = document_.Append(root_, u"out");
    document_.Append(out, u"time", row_[kOutTime]);
    AppendDept(out, kOutDeptName, kOutDeptId);
    AppendRoomAndBed(out);
  }

  void AppendVisitNumbers(std::u16string_view residence_no) {
    document_.Append(root_, u"event", row_[kEventNo]);
    document_.Append(root_, u"serial", row_[kSerialNo]);
    DomDocumentBuilder::SetAttribute(document_.Append(root_, u"insurance", row_[kInsuranceNo]),
                                     u"type", row_[kInsuranceType]);
    document_.Append(root_, u"archive", residence_no);
    document_.Append(root_, u"day", DayCountText(count_end_, row_[kInTime]));
  }

  std::u16string Write() const { return document_.Write(); }

 private:
  DOMElement* AppendDept(DOMElement* parent, VisitColumn name, VisitColumn id) {
    DOMElement* dept = document_.Append(parent, u"dept", row_[name]);
    DomDocumentBuilder::SetAttribute(dept, u"id", row_[id]);
    return dept;
  }
  void AppendRoomAndBed(DOMElement* parent) {
    document_.Append(parent, u"room", row_[kRoom]);
    document_.Append(parent, u"bed", row_[kBedNo]);
  }

  std::vector<std::u16string> row_;
  DomDocumentBuilder document_;
  DOMElement* root_;
  DOMElement* in_;
  DOMElement* now_;
  DOMElement* in_dept_;
  DOMElement* ward_ = nullptr;
  std::u16string count_end_;  // OUT_TIME, or today while it is empty
};

}  // namespace

std::u16string DayCountText(std::u16string_view end, std::u16string_view start) {
  const std::optional<korvalis::AutomationDate> end_date = korvalis::AutomationDate::Parse(end);
  const std::optional<korvalis::AutomationDate> start_date =
      korvalis::AutomationDate::Parse(start.substr(0, kDateLength));
  if (!end_date || !start_date) return u"";
  const long days = static_cast<long>(std::trunc(end_date->DaysSince(*start_date)));
  if (days < 0) return u"";
  return LongToString(days == 0 ? 1 : days);
}

long BuildResidenceXml(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                       BSTR* pbstrXml) {
  std::vector<std::u16string> row;
  pDataSource->Query(
      u"SELECT IN_TIME, IN_DEPT_NAME, IN_DEPT_ID, ROOM, BED_NO, NOW_DEPT_NAME, NOW_DEPT_ID, "
      u"OUT_TIME, OUT_DEPT_NAME, OUT_DEPT_ID, EVENT_NO, SERIAL_NO, INSURANCE_NO, INSURANCE_TYPE, "
      u"RESIDENCE_FLAG FROM TELV_VISIT_RECORD" +
          VisitKey(bstrPatientID, bstrEventNo).Where(),
      kVisitColumnCount, row);
  if (row.size() < kVisitColumnCount) return 1;
  row.resize(kVisitColumnCount);  // the first row

  ResidenceDocument document(std::move(row));
  HisPatientInfo his(*DIDUFactory::Instance(), IID_IHISPatientInfo);
  document.AppendEmptyWard();
  if (!document.discharged_here()) {
    document.SetCountEnd(Today(pDataSource));
  }

  if (document.kept_in_his()) {
    document.CompleteFromHis(AskInOutInfo(his, bstrPatientID, bstrEventNo));
  } else {
    document.AppendWithoutHis();
  }
  document.AppendRoomsAndCurrentDept();

  bool copied = false;
  if (!document.discharged_here() && document.kept_in_his()) {
    VARIANT_BOOL discharged = VARIANT_FALSE;
    CheckSiblingCall(his->IsDischarged(bstrPatientID, bstrEventNo, &discharged));
    if (discharged != VARIANT_FALSE) {
      copied = document.CopyHisDischarge(AskInOutInfo(his, bstrPatientID, bstrEventNo));
    }
  }
  if (!copied) document.AppendLocalDischarge();

  ScopedBstr residence_no;
  CheckSiblingCall(his->GetResidenceNo(bstrPatientID, bstrEventNo, residence_no.out()));
  document.AppendVisitNumbers(korvalis::BstrView(residence_no.get()));

  korvalis::StoreBstrResult(pbstrXml, document.Write());
  return 0;
}
