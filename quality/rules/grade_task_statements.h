// The statements of the grade tasks (PEV_GRADE_TASK, alias XAT) that are built from a client's
// property document: the values that go into a task row, the change of a task and the task
// list. Texts stand quoted; the task codes (phase_type, content_type, owner_type, status,
// valid, executor_type) stand bare and are checked to be numbers first, so that a statement
// is only ever built from values that cannot change its meaning; dates become the dialect's
// date literal of their text.
//
// Every function throws CEMRException: "解析属性信息错误." for a document that is not
// well-formed XML, SqlNumber's message naming the key for a code that is not a number.
//
// Thread-safety: stateless functions.
#pragma once

#include <string>
#include <string_view>

#include "foundation/data/row_statements.h"

class CDBType;
class CXmlProperty;

namespace korvalis::quality {

// The number of columns of the task list's statement, one per child of a listed `item`.
inline constexpr unsigned kTaskListColumns = 15;

// The task code of `key` as it may stand bare: the document's value, a number (an empty
// value included, which is not one).
std::u16string TaskCode(const CXmlProperty& task, std::u16string_view key);

// The creation date of a task: the database's now when "create_date" is empty, else the
// dialect's date literal of its text.
RowValue TaskCreateDate(const CDBType& dialect, const CXmlProperty& task);

// "UPDATE PEV_GRADE_TASK XAT SET  XAT.TITLE = '...', ... XAT.CONTENT = '...' WHERE XAT.ID =
// '<task_id>'": the task's columns whose keys the document gives a value, in the order title,
// create_date, creator_id, creator, phase_type, content_type, owner_type, status, valid,
// executor_type, and CONTENT always (emptied when "content" is empty or absent). Each
// assignment starts with a blank, so SET is followed by two.
std::u16string TaskUpdateStatement(const CDBType& dialect, std::u16string_view task_id,
                                   const CXmlProperty& task);

// The task list of a condition document, newest first: the task's twelve columns
// (CREATE_DATE as "YYYY-MM-DD HH24:MI"), its number of visits, and its numbers of visits
// dispatched to "user_id" and to "executor_id" (the text 0 when the key is empty). The
// condition's keys filter in this order: title, create_date_from (inclusive), create_date_to
// (exclusive), creator_id and dept_id (either of the two as the creator), creator, and the
// task codes.
std::u16string TaskListStatement(const CDBType& dialect, const CXmlProperty& condition);

// The day of a date column as the dialect writes it: "to_char(<column>, 'YYYY-MM-DD')".
std::u16string DayOf(const CDBType& dialect, std::u16string_view column);

// The number of columns of the department list's statement.
inline constexpr unsigned kDeptVisitColumns = 15;

// Every visit of the condition's "dept_id" (of every department when it is empty), once per
// grade in a task of its department that is not of OWNER_TYPE 1, or once without a grade:
// the visit, the grade (its USER_ID in column 6) and the patient, dates to the day. With both
// "start_time" and "end_time", only visits admitted between them, newest first.
std::u16string DeptVisitStatement(const CDBType& dialect, const CXmlProperty& condition);

}  // namespace korvalis::quality
