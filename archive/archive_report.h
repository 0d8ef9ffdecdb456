// CBArchiveReport: the bodies behind the automation class ArchiveReport: the archive statistics:
// the in-hospital department list and the writers of documents in a date span.
//
// The method wrappers of CArchiveReport call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, and writes its results only through those pointers. Neither list reports a
// failure: whatever goes wrong (a database error included, which the data source still logs), the
// list is a copy of the constant empty document (foundation/xml/empty_list_document.h) and the call
// succeeds.
//
// Thread-safety: static members; the one process-wide object, the title map, is filled once
// (safely under concurrent first use) and only read afterwards. Concurrent calls work on their
// own data sources.
#pragma once

#include <map>
#include <string>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

class CBArchiveReport {
 public:
  // The department list that the suite's HIS hospital component answers for the code "-10000",
  // passed through unchanged (a component that fails without writing one gives a null string).
  // The data source is not used.
  static long GetInDeptList(CEMRDataSource* pDataSource, BSTR* pbstrList);

  // `root` with one `writer` per live record (STATUS 1) of the template created between the two
  // dates (both included) whose visit's EMR_STATUS is 1: the writer's name (the signature of
  // SUB_ID 1) as text, with `patient`, `eventno`, `emrtitle`, `intime`, `writetime`,
  // `techtitle` (the title number), `deptname` (the discharge department) and `techtitlename`
  // (BuildTechTitleMap of the number). bstrDeptID "$00000$" lists every visit with a discharge
  // department, ordered by department, patient and creation date; any other value one discharge
  // department, ordered by patient and creation date.
  static long GetWriterInfoList(CEMRDataSource* pDataSource, BSTR bstrStartDate, BSTR bstrEndDate,
                                BSTR bstrDeptID, BSTR bstrTempID, BSTR* pbstrList);

  // The name of a technical title number given as text, read as a single-precision number the
  // way a stream reads one (leading blanks skipped, reading stops at the first character that
  // does not belong to the number, nothing readable is 0) and looked up exactly: "11.0" and "11"
  // are one title, "12abc" is 12; an unlisted number gives "未知".
  static std::u16string BuildTechTitleMap(std::u16string title);

  // The process-wide title map (number to name) behind BuildTechTitleMap, filled from the
  // technical-title list by the first call and kept until the module unloads.
  static const std::map<float, std::u16string>& TechTitleMap();
};
