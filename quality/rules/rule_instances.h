// The time-limit rule instances of a patient visit and their primitive operations.
//
// A rule says which EMR types must be written within how many hours of a clinical event, and
// how often it may occur in one visit. Each occurrence is an instance: a row of
// PEV_TIME_RULE_RECORD identified by (PATIENT_ID, EVENT_NO, SERIAL), SERIAL counting all
// instances of the visit whatever their rule. Its STATUS moves as follows (the operations of
// the engine are members of CBQualityRule, quality_rule.h; the others are below):
//
//                  Open (inserts; START_TIME, OVER_TIME the deadline)
//                               │
//                               ▼
//   ┌──────────┐  Undo,     ┌──────────┐  Close, AutoCloseByExistingEmr  ┌──────────┐
//   │ 0 undone │ ◀───────── │  1 open  │ ──────────────────────────────▶ │ 2 closed │
//   │          │  Delete of │          │  (FINISH_TIME, EMR_ID, USER_ID, │          │
//   │          │  the rule  │          │  OVER_HOUR the lateness)        │          │
//   │          │            │          │                                 │          │
//   │          │ ─────────▶ │          │ ◀────────────────────────────── │          │
//   └──────────┘ ReOpenUndo └──────────┘  ReOpen (its record deleted:    └──────────┘
//                             │      ▲    closing data cleared, REOPEN 1,
//         SuspendRuleRecord   │      │    the deadline kept)
//         (through ReOpen)    ▼      │  Open (every suspended instance of the rule),
//                          ┌─────────────┐  ResumeSuspendedRuleRecord (one)
//                          │ 3 suspended │
//                          └─────────────┘
//
//   Rows leave the table only through DeleteActiveRuleRecords (open and suspended ones),
//   DeleteRuleRecords (any state) and ReOpen (the superior-signature instances of the deleted
//   record, any state).
//
// Superior-signature instances (SUPERIOR_SIGN_FLAG 1) are opened by an event of type "3" with
// the record to be signed in EMR_ID and the superior doctor in USER_ID; only an event of type
// "4" naming that record closes them, and such an event closes no ordinary instance.
//
// Each operation takes the data source first and runs its statements on it; a failure throws
// CEMRException. Rule ids and serials given as texts are placed in the statements bare and are
// refused (SqlNumber's message, before any statement runs) when they are not numbers. The
// event document is read as rule_documents.h reads it.
//
// Serials and rule ids are MAX + 1 read just before the insert; they stay unique because a
// writing call holds the database's write lock until it commits (the voting method wrappers
// run under a writing call scope) and the table's key refuses a duplicate serial.
//
// Thread-safety: stateless functions; concurrent calls work on their own data sources.
#pragma once

#include <string>

#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"

class CSingleDataSource;
class CXmlProperty;

// The serial of the visit's next instance: MAX(SERIAL) + 1 over all its instances, 1 for the
// first.
long NextRuleSerial(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                    korvalis::TextRef event_no);

// The id of the next rule of the catalogue as decimal text: MAX(ID) + 1, "1" for the first.
std::u16string NextRuleId(CSingleDataSource* pDataSource);

// The number of finished (closed, with a finish time) instances of the rule in the visit; for
// an event with the code "V03" only those finished by the event's own record (`emr_id` under
// `extend`).
long CountFinishedRuleRecords(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                              korvalis::TextRef event_no, long rule_id, korvalis::TextRef event);

// True when the rule's `quantity` q (read as a number, 0 when it is none) is not 0 and the
// number c of its finished instances (CountFinishedRuleRecords, the rule's `id` read as a
// number) is a positive multiple of q: with quantity "2", true at 2 and 4, false at 0, 1, 3.
bool IsRuleQuantityReached(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                           korvalis::TextRef event_no, const CXmlProperty& rule,
                           korvalis::TextRef event);

// True when the record named by the `emr_id` child of the event's document element (read as a
// property bag; not the one under `extend`) closed an instance of the rule in the visit.
bool IsRuleClosedByEmr(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                       korvalis::TextRef event_no, korvalis::TextRef rule_id,
                       korvalis::TextRef event);

// Suspends the instance (open to suspended).
void SuspendRuleRecord(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                       korvalis::TextRef event_no, korvalis::TextRef rule_id,
                       korvalis::TextRef serial);

// Opens one suspended instance of the rule in the visit again, the one with the lowest serial;
// nothing when none is suspended.
void ResumeSuspendedRuleRecord(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                               korvalis::TextRef event_no, korvalis::TextRef rule_id);

// Removes the open and suspended instances of the rule in the visit; only those of the
// event's record when `emr_id` under `extend` is given.
void DeleteActiveRuleRecords(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                             korvalis::TextRef event_no, korvalis::TextRef rule_id,
                             korvalis::TextRef event);

// Removes every instance of the rule in the visit, whatever its state; only those of the
// event's record when `emr_id` under `extend` is given.
void DeleteRuleRecords(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                       korvalis::TextRef event_no, korvalis::TextRef rule_id,
                       korvalis::TextRef event);

namespace korvalis::rules {

// The key of the rule's instances in the visit: "PATIENT_ID = '<patient>' AND EVENT_NO =
// '<visit>' AND RULE_ID = <rule>". Precondition: `rule_id` is a number (SqlNumber, or a long
// written as text).
SqlKey VisitRuleKey(TextRef patient_id, TextRef event_no, TextRef rule_id);

}  // namespace korvalis::rules
