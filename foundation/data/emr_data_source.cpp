#include "foundation/data/emr_data_source.h"

#include <mutex>
#include <optional>

#include "foundation/data/db_config.h"

namespace {

struct EMRConfigCache {
  std::mutex mutex;
  std::u16string connection_string;
  CDBType* dialect = nullptr;
};

EMRConfigCache& Cache() {
  static EMRConfigCache& cache = *new EMRConfigCache;
  return cache;
}

CDBOracle& OracleDialect() {
  static CDBOracle& dialect = *new CDBOracle;
  return dialect;
}

CDBSQLServer& SQLServerDialect() {
  static CDBSQLServer& dialect = *new CDBSQLServer;
  return dialect;
}

}  // namespace

std::u16string CEMRDataSource::GetConnectionString() {
  EMRConfigCache& cache = Cache();
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (!cache.connection_string.empty()) return cache.connection_string;
  }
  // Read outside the lock; the first text stored wins.
  std::u16string read = ReadDBConfig(kEMRConfigFileName);
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (cache.connection_string.empty()) cache.connection_string = std::move(read);
  return cache.connection_string;
}

CDBType* CEMRDataSource::GetDBType() {
  EMRConfigCache& cache = Cache();
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (cache.dialect != nullptr) return cache.dialect;
  }
  std::optional<std::u16string> name = ReadDBTypeName(kEMRConfigFileName);
  if (!name) return &SQLServerDialect();
  CDBType* chosen = IsOracleTypeName(*name) ? static_cast<CDBType*>(&OracleDialect())
                                            : static_cast<CDBType*>(&SQLServerDialect());
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (cache.dialect == nullptr) cache.dialect = chosen;
  return cache.dialect;
}
