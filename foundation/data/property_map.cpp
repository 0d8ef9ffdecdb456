#include "foundation/data/property_map.h"

#include <mutex>
#include <vector>

#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/sql_text.h"

namespace {

using Mapping = std::map<std::u16string, CPropertyMap::FieldInfo>;

struct MappingCache {
  std::mutex mutex;
  std::map<std::u16string, Mapping> mappings;
};

MappingCache& Cache() {
  static MappingCache& cache = *new MappingCache;
  return cache;
}

}  // namespace

CPropertyMap::CPropertyMap(const std::u16string& map_name) : map_name_(map_name) { LoadMappings(); }

CPropertyMap::~CPropertyMap() = default;

void CPropertyMap::LoadMappings() {
  MappingCache& cache = Cache();
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (!cache.mappings.empty()) return;
  }
  // Read without holding the cache: the query may wait for another call's write lock, and that
  // call must still be able to load the mappings and finish. The first load stored wins.
  std::vector<std::u16string> rows;
  CEMRDataSource data_source;
  data_source.Query(
      u"SELECT MAP_NAME, PROPERTY, FIELD, TYPE, NOTES FROM TELV_PROPERTY_MAP ORDER BY MAP_NAME, "
      u"PROPERTY",
      5, rows);
  std::map<std::u16string, Mapping> loaded;
  Mapping current;
  for (std::size_t row = 0; row + 5 <= rows.size(); row += 5) {
    current.emplace(rows[row + 1], FieldInfo{rows[row + 2], rows[row + 3], rows[row + 4]});
    const bool last = row + 10 > rows.size();
    if (last || rows[row + 5] != rows[row]) {
      // A name that comes back after another keeps its first run of rows.
      loaded.emplace(rows[row], std::move(current));
      current.clear();
    }
  }
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (cache.mappings.empty()) cache.mappings.swap(loaded);
}

const std::map<std::u16string, CPropertyMap::FieldInfo>& CPropertyMap::Fields() const {
  MappingCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  auto found = cache.mappings.find(map_name_);
  if (found == cache.mappings.end()) throw CEMRException(u"没有找到映射名: " + map_name_);
  // Filled mappings are never changed again, so the reference stays valid.
  return found->second;
}

std::u16string CPropertyMap::SqlValue(const std::u16string& property, const FieldInfo& field,
                                      const std::u16string& value) {
  if (value.empty()) return u"NULL";
  if (field.type == u"string") return korvalis::SqlQuoted(value);
  if (field.type == u"date") {
    CEMRDataSource data_source;
    return data_source.GetDBType()->ToDate(korvalis::SqlEscaped(value), false);
  }
  if (!korvalis::IsSqlNumber(value)) throw CEMRException(u"属性值不是数字: " + property);
  return value;
}

std::u16string CPropertyMap::BuildUpdateSql(const std::u16string& table,
                                            const Properties& properties,
                                            const std::u16string& condition) {
  if (properties.empty()) throw CEMRException(std::u16string(u"没有属性列表, 无法生成Update SQL."));
  if (condition.find_first_not_of(u" \t\r\n") == std::u16string::npos) {
    throw CEMRException(std::u16string(u"更新条件为空, 拒绝更新全表."));
  }
  const Mapping& fields = Fields();
  std::u16string sql = u"UPDATE " + table + u" SET ";
  for (const auto& [property, value] : properties) {
    auto found = fields.find(property);
    if (found == fields.end()) throw CEMRException(u"没有找到属性名: " + property);
    sql += found->second.field;
    sql += u" = ";
    sql += SqlValue(property, found->second, value);
    sql += u',';
  }
  sql.pop_back();
  return sql + condition;
}

std::u16string CPropertyMap::BuildInsertSql(const std::u16string& table,
                                            const Properties& properties) {
  if (properties.empty()) throw CEMRException(std::u16string(u"没有属性列表, 无法生成Insert SQL."));
  const Mapping& fields = Fields();
  std::u16string columns = u"INSERT INTO " + table + u"(";
  std::u16string values = u"VALUES (";
  for (const auto& [property, value] : properties) {
    auto found = fields.find(property);
    if (found == fields.end()) throw CEMRException(u"没有找到属性名: " + property);
    columns += found->second.field;
    columns += u',';
    values += SqlValue(property, found->second, value);
    values += u',';
  }
  columns.pop_back();
  values.pop_back();
  return columns + u") " + values + u")";
}
