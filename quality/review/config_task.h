// CBConfigTask: the bodies behind the automation class ConfigTask: the QC reminder tasks (rows of
// PEV_TASK_CONFIG_RECORD, each a query that finds the visits of a department needing attention and
// a daily schedule of time windows) and the task counts and patient lists that remind QC users of
// their work.
//
// A task's life: NewTendTask creates it valid ("1"); UpdateTendTask with valid "1" rewrites it and
// switches it on, with valid "0" switches it off. Nothing deletes a task.
//
//   (none) --NewTendTask--> VALID <--UpdateTendTask "1"-- SWITCHED OFF
//                             |                               ^
//                             +------UpdateTendTask "0"-------+
//
// A valid task with AUTO_REMIND_FLAG "1" is offered while a window of its schedule is active on
// the process's local clock (platform/sys/local_clock.h) and its query finds visits. A task's
// CONFIG_SQL runs only as a query: one that writes, changes the schema or ends the transaction is
// refused before it runs.
//
// Values reach the statements as the client sends them, between single quotes: the client doubles
// the single quotes of its values (a CONFIG_SQL arrives with its quotes doubled and is stored as
// it was meant). A value with a single quote that is not doubled is refused before any statement.
//
// The method wrappers of CConfigTask call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException.
//
// Thread-safety: static members without state of their own; concurrent calls work on
// their own data sources.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

class CBConfigTask {
 public:
  static long GetQcTaskCountList(CEMRDataSource* pDataSource, BSTR strUserId, BSTR strDeptId,
                                 LONG lngUserIdentity, BSTR* bstrList);
  static long GetTaskPatientList(CEMRDataSource* pDataSource, BSTR strUserId, BSTR strDeptId,
                                 LONG lngUserIdentity, BSTR strTaskId, BSTR* bstrList);
  static long NewTendTask(CEMRDataSource* pDataSource, BSTR bstrProperty, LONG* plngNewTaskId);
  static long GetTendTaskList(CEMRDataSource* pDataSource, BSTR strTaskId, BSTR* bstrList);
  static long UpdateTendTask(CEMRDataSource* pDataSource, BSTR bstrProperty, BSTR bstrTaskID);

  // The text of the schedule's first window that is active at `now_hours` (hour + minute / 60 of
  // the local time, 0 to below 24): a single blank when that window's text is empty; the empty
  // text when no window is active, the schedule is empty or it does not parse. A window's start
  // is exclusive and its end inclusive; a start above the end spans midnight (00:00 excluded).
  static std::u16string GetActiveScheduleText(const std::u16string& schedule, double now_hours);
  // The number of element children of the document element of an XML text; 0 for an empty text
  // or one that does not parse.
  static long CountRowElements(const std::u16string& xml);
};
