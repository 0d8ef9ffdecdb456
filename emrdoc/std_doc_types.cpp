#include "emrdoc/std_doc_types.h"

#include <utility>
#include <vector>

#include "foundation/data/single_data_source.h"

namespace korvalis::emrdoc {

namespace {

constexpr char16_t kDocTypeOne[] = u"1";

// Stores each (id, DOC_TYPE) row of the statement, a later row replacing an earlier one.
void ReadDocTypes(CSingleDataSource& data_source, const std::u16string& sql, DocTypeMap& table) {
  std::vector<std::u16string> rows;
  data_source.Query(sql, 2, rows);
  for (std::size_t at = 0; at + 1 < rows.size(); at += 2) {
    table[std::move(rows[at])] = std::move(rows[at + 1]);
  }
}

}  // namespace

std::shared_ptr<const DocTypeMap> StdDocTypeTable::Load(CSingleDataSource& data_source) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (table_ != nullptr) return table_;
  }
  auto read = std::make_shared<DocTypeMap>();
  ReadDocTypes(data_source,
               u"SELECT A.PATIENT_INFO_NODE_ID, B.DOC_TYPE FROM TELV_STD_PATIENT_INFO_NODE A, "
               u"TELV_STD_DS B  WHERE A.DS_ID = B.ID",
               *read);
  ReadDocTypes(data_source, u"SELECT ID, DOC_TYPE FROM TELV_STD_DS WHERE STATUS = 1", *read);
  if (read->empty()) return read;
  std::lock_guard<std::mutex> lock(mutex_);
  if (table_ == nullptr) table_ = std::move(read);
  return table_;
}

bool StdDocTypeTable::IsDocTypeOne(CSingleDataSource& data_source, const std::u16string& id) {
  const std::shared_ptr<const DocTypeMap> table = Load(data_source);
  const auto found = table->find(id);
  return found != table->end() && found->second == kDocTypeOne;
}

void StdDocTypeTable::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  table_ = nullptr;
}

StdDocTypeTable& ProcessDocTypeTable() {
  static StdDocTypeTable& table = *new StdDocTypeTable;
  return table;
}

}  // namespace korvalis::emrdoc

void LoadStdDocTypes(CSingleDataSource* pDataSource) {
  korvalis::emrdoc::ProcessDocTypeTable().Load(*pDataSource);
}

bool IsDocTypeOne(CSingleDataSource* pDataSource, BSTR bstrID) {
  return korvalis::emrdoc::ProcessDocTypeTable().IsDocTypeOne(
      *pDataSource, std::u16string(korvalis::BstrView(bstrID)));
}
