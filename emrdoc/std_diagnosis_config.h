// The diagnosis configuration of the standard data set: which data elements form a visit's
// diagnosis list, read from the system parameter `system_std_diagnosis`:
//
//   <root>
//     <part>                                   data elements that show a diagnosis column
//       <diag_name>id</diag_name>              DIAGNOSIS_NAME (the diagnosis-name id)
//       <diag_icd>id</diag_icd>                ICD_CODE
//       <outcome flag="text">id</outcome>      OUTCOME; `flag` is shown for a matching outcome
//       <diag_time>id</diag_time>              DIAG_TIME
//     </part>
//     <attribute>                              data elements that qualify a diagnosis
//       <diag_class>id</diag_class>            DIAG_CLASS
//       <diag_type>id</diag_type>              DIAG_TYPE
//       <diag_serial>id</diag_serial>          SUB_ID (the diagnosis-serial id)
//       <outcome_type>id</outcome_type>        OUTCOME_TYPE (the outcome-type id)
//     </attribute>
//   </root>
//
// The columns named are columns of TELV_PATIENT_DIAGNOSIS. A missing element reads as the
// empty id, and an empty id names no data element.
//
// The configuration of a process:
//
//   UNCONFIGURED ──Load: the parameter read and parsed──▶ CONFIGURED
//     ▲  │
//     └──┘ Load: the parameter is empty (or the read or the parse failed, thrown): every
//              diagnosis test is false and the next test reads the parameter again
//
// CONFIGURED is kept for the life of the process: a changed parameter takes effect in a new
// one. The parameter is read on a CEMRDataSource of its own, which inside a call shares the
// call's connection.
//
// Thread-safety: every function may be called from any thread. The parameter is read without
// holding the lock; of concurrent first loads the first to finish fixes the configuration and
// every caller uses that one.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/com/bstr.h"

namespace korvalis::emrdoc {

struct DiagnosisConfig {
  std::map<std::u16string, std::u16string> part_columns;       // data-element id to column
  std::map<std::u16string, std::u16string> attribute_columns;  // data-element id to column
  std::u16string serial_id;
  std::u16string outcome_type_id;
  std::u16string name_id;
  std::u16string outcome_flag;

  // The column of a part or attribute id; empty for an id the table does not list.
  std::u16string PartColumn(const std::u16string& id) const;
  std::u16string AttributeColumn(const std::u16string& id) const;
  // True when `id` is the configured, not empty, id.
  static bool Names(const std::u16string& configured, const std::u16string& id) {
    return !configured.empty() && configured == id;
  }
};

// The configuration as `system_std_diagnosis` gives it. Throws CEMRException "无效XML!" for
// a text that is not well-formed XML.
DiagnosisConfig ParseDiagnosisConfig(const std::u16string& xml);

class StdDiagnosisConfig {
 public:
  // The configuration, reading the parameter while there is none; null while the parameter
  // is empty.
  std::shared_ptr<const DiagnosisConfig> Load();

  // Forgets the configuration, so that the next use reads the parameter again. Tests use it
  // between cases that change the parameter.
  void Clear();

 private:
  std::mutex mutex_;
  std::shared_ptr<const DiagnosisConfig> config_;  // null until configured
};

// The configuration of the process.
StdDiagnosisConfig& ProcessDiagnosisConfig();

// The first piece of an id split at "|" (leading separators skipped): the data element of a
// node id. Empty for an id of separators only.
std::u16string FirstIdPiece(const std::u16string& id);

}  // namespace korvalis::emrdoc

// Loads the process's diagnosis configuration unless it is configured.
void LoadStdDiagnosisConfig();

// The diagnosis tests. Each loads the configuration first; while it is unconfigured all three
// are false. A null BSTR is the empty id.
// True when the data element of the id is a part of the diagnosis (a key of the part table).
bool IsDiagnosisPartId(BSTR bstrID);
// True when the data element of the id is the diagnosis name.
bool IsDiagnosisNameId(BSTR bstrID);
// True when the node of the id is qualified by the diagnosis serial (one of its KEY_TYPE_DE).
// A node without a definition row (such as the numbered id of a new record's element) is not.
// Reads the node's definition on a CEMRDataSource of its own; database failures are thrown.
bool IsDiagnosisSerialNode(BSTR bstrID);
