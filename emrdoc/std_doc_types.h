// The document-type table of the standard data set: the DOC_TYPE of every patient-information
// node (the DOC_TYPE of its data set) and of every active data set, by id. A node or data set
// of DOC_TYPE "1" holds values that belong to one record, not to the visit: a stored record
// that is loaded does not take them from the visit's stored values.
//
// The table of a process:
//
//   EMPTY ──Load: the nodes, then the active data sets, read (later rows replace earlier ones
//     ▲  │         of the same id)──▶ FILLED, when the reads gave at least one id
//     └──┘ Load: the reads gave nothing, or failed (thrown); the next use reads again
//
// FILLED is kept for the life of the process: a changed data set takes effect in a new one.
//
// Thread-safety: every member may be called from any thread. The database is read without
// holding the lock (a call must not wait for another call's database work while it holds its
// own); of concurrent first loads the first to finish fixes the table and every caller uses
// that one.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/com/bstr.h"

class CSingleDataSource;

namespace korvalis::emrdoc {

// Id to DOC_TYPE.
using DocTypeMap = std::map<std::u16string, std::u16string>;

class StdDocTypeTable {
 public:
  // The filled table, reading it through `data_source` while it is empty; an empty map when
  // the database holds no node and no active data set.
  std::shared_ptr<const DocTypeMap> Load(CSingleDataSource& data_source);

  // True when `id` has DOC_TYPE "1". Loads the table first.
  bool IsDocTypeOne(CSingleDataSource& data_source, const std::u16string& id);

  // Empties the table, so that the next use reads it again. Tests use it between cases that
  // change the standard data set.
  void Clear();

 private:
  std::mutex mutex_;
  std::shared_ptr<const DocTypeMap> table_;  // null until filled
};

// The table of the process.
StdDocTypeTable& ProcessDocTypeTable();

}  // namespace korvalis::emrdoc

// Fills the process's document-type table unless it holds entries.
void LoadStdDocTypes(CSingleDataSource* pDataSource);

// True when `bstrID` has DOC_TYPE "1" in the process's document-type table (loaded first). A
// null BSTR is the empty id.
bool IsDocTypeOne(CSingleDataSource* pDataSource, BSTR bstrID);
