#include "archive/discharged_visit_conditions.h"

#include "foundation/data/sql_conditions.h"

namespace korvalis::archive {

std::u16string DischargedVisitConditions(const CDBType& dialect, CXmlNode& root,
                                         PaperStatusCondition paper_status) {
  SqlConditions::Values values;
  for (const char16_t* name : {u"name", u"patient_id", u"event_no", u"leave_dept",
                               u"leavetime_span", u"emr_status", u"paper_status"}) {
    values.emplace(name, root.GetChild(name).GetText());
  }
  SqlConditions conditions(std::move(values));
  conditions.Contains(u"name", u"C.NAME")
      .Contains(u"patient_id", u"A.PATIENT_ID")
      .Contains(u"event_no", u"A.EVENT_NO")
      .Equals(u"leave_dept", u"A.OUT_DEPT_ID")
      .SpanBetween(u"leavetime_span", u"A.OUT_TIME", dialect);
  if (paper_status == PaperStatusCondition::kOneNumber) {
    conditions.NumberIn(u"emr_status", u"A.EMR_STATUS").Number(u"paper_status", u"A.PAPER_EMR_STATUS");
  } else {
    conditions.NumberIn(u"paper_status", u"A.PAPER_EMR_STATUS").NumberIn(u"emr_status", u"A.EMR_STATUS");
  }
  return conditions.Sql();
}

}  // namespace korvalis::archive
