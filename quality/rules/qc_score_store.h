// One visit's QC score as the department and the final QC both keep it: its write (the visit's
// deduction items replaced by those of the score, then its row marked scored) and the document
// that reads it back.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "foundation/data/sql_key.h"
#include "platform/com/bstr.h"
#include "quality/rules/qc_score_info.h"

class CClientInfo;
class CEMRDataSource;

namespace korvalis::quality {

// Where a visit's score is kept and which rows are the visit's.
struct QcScoredVisit {
  const char16_t* item_table;   // one row a deduction item
  const char16_t* visit_table;  // the visit's row, with STATUS, TOTAL_POINT and EMR_LEVEL
  BSTR patient_id;
  BSTR event_no;
  // The key of the visit's rows in both tables.
  SqlKey key;
  // The bare number written into each item's ID column; empty when the items have none.
  std::u16string record_id;
};

// Deletes the visit's rows of `item_table`, inserts one a deduction of `score` (the scoring
// user of `client`, QC_DATE the database's now) and sets the visit's row of `visit_table` to
// STATUS 2 with the score's total and level. The score's numbers were checked when it was read
// (ReadQcScoreInfo); the texts are quoted. Database failures are thrown as the data source
// reports them.
void StoreQcScore(CEMRDataSource& data_source, const QcScoredVisit& visit, const QcScoreInfo& score,
                  const CClientInfo& client);

// The score document of a visit: `root` holding the deduction items that `items_sql` lists
// (CSingleDataSource::QueryElements with `item_names`, rows named by item_id and serial), then
// one element a pair of `visit_values`, its text the value. Throws CEMRException "无效XML!"
// when the list does not parse.
std::u16string ScoreDocument(
    CEMRDataSource& data_source, const std::u16string& items_sql,
    const std::vector<std::u16string>& item_names,
    std::initializer_list<std::pair<const char16_t*, std::u16string>> visit_values);

}  // namespace korvalis::quality
