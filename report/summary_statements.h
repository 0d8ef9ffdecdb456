// The five statements of a grade summary (see summary_generation.cpp): the head counts, the
// graders' opinions and suggestions, the errors by standard item, the graded visits and their
// deductions, all restricted by one condition clause and naming the tables by the same aliases.
//
// Thread-safety: stateless functions.
#pragma once

#include <string>

#include "foundation/xml/xml_property.h"

namespace korvalis::report {

// The attributes of a `patient` element of the summary data, named after the columns of the
// patient statement, in their order.
inline constexpr unsigned kPatientColumns = 23;
inline constexpr const char16_t* kPatientAttributes[kPatientColumns] = {u"task_id",
                                                                        u"patient_id",
                                                                        u"event_no",
                                                                        u"score",
                                                                        u"doctor_name",
                                                                        u"dept",
                                                                        u"level",
                                                                        u"name",
                                                                        u"normal_error_count",
                                                                        u"serious_error_count",
                                                                        u"main_deduction",
                                                                        u"bed",
                                                                        u"main_diagnosis",
                                                                        u"doctors",
                                                                        u"request_doctor_id",
                                                                        u"request_doctor_name",
                                                                        u"request_notes",
                                                                        u"apply_count",
                                                                        u"diag",
                                                                        u"patient_sex",
                                                                        u"patient_nation",
                                                                        u"patient_age",
                                                                        u"grade_date"};

struct SummaryStatements {
  std::u16string head;      // CREATE_DATE, EMR_COUNT, FST_COUNT, SND_COUNT, THD_COUNT
  std::u16string comments;  // task, user, OPINION, SUGGESTION, title
  std::u16string errors;    // STANDARD, STANDARD_COUNT, SERIOUS_FLAG, CODE; by count, descending
  std::u16string patients;  // the 23 columns of a `patient`, by grading date
  std::u16string items;     // text, task, patient, visit, CODE, DEDUCT, SERIOUS_FLAG; by SERIAL
};

// The statements of the grade tasks and visits that `condition` selects: valid tasks, and those
// of `task_id` (identifiers separated by ";", each quoted with its quotes doubled), `dept_id`,
// the grading days from `grade_date_begin` to `grade_date_end` (included) and `phase_type`.
// Throws CEMRException "解析属性信息错误." for a condition that does not parse, and
// SqlBareNumber's message for a `phase_type` that is no number.
SummaryStatements SummaryStatementsOf(const CXmlProperty& condition);

}  // namespace korvalis::report
