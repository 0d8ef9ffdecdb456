#include "archive/discharged_visit_conditions.h"

#include "foundation/data/sql_date.h"
#include "foundation/data/sql_text.h"

namespace korvalis::archive {

std::u16string DischargedVisitConditions(const CDBType& dialect, CXmlNode& root,
                                         PaperStatusCondition paper_status) {
  const auto text = [&root](const char16_t* name) { return root.GetChild(name).GetText(); };
  std::u16string sql;
  AppendQuotedWhenGiven(text(u"name"), u" AND C.NAME LIKE '%", u"%'", sql);
  AppendQuotedWhenGiven(text(u"patient_id"), u" AND A.PATIENT_ID LIKE '%", u"%'", sql);
  AppendQuotedWhenGiven(text(u"event_no"), u" AND A.EVENT_NO LIKE '%", u"%'", sql);
  AppendQuotedWhenGiven(text(u"leave_dept"), u" AND A.OUT_DEPT_ID = '", u"'", sql);
  AppendDateBetween(dialect, text(u"leavetime_span"), u"A.OUT_TIME", sql);
  const auto append_list = [&sql](const std::u16string& list, const char16_t* column,
                                  const char16_t* element) {
    if (list.empty()) return;
    sql.append(u" AND ").append(column).append(u" IN (").append(SqlNumberList(list, element));
    sql.append(u")");
  };
  if (paper_status == PaperStatusCondition::kOneNumber) {
    append_list(text(u"emr_status"), u"A.EMR_STATUS", u"emr_status");
    AppendNumberWhenGiven(text(u"paper_status"), u" AND A.PAPER_EMR_STATUS = ", u"paper_status",
                          sql);
  } else {
    append_list(text(u"paper_status"), u"A.PAPER_EMR_STATUS", u"paper_status");
    append_list(text(u"emr_status"), u"A.EMR_STATUS", u"emr_status");
  }
  return sql;
}

}  // namespace korvalis::archive
