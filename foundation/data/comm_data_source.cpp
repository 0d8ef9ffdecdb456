#include "foundation/data/comm_data_source.h"

#include "foundation/data/db_config.h"

CCommDataSource::CCommDataSource(const std::u16string& connection_string,
                                 const std::u16string& db_type)
    : connection_string_(connection_string), db_type_(db_type) {}

CCommDataSource::CCommDataSource(const std::u16string& config_file, const std::u16string& db_type,
                                 const std::u16string& /*unused*/)
    : connection_string_(ReadDBConfig(config_file)), db_type_(db_type) {}

CDBType* CCommDataSource::GetDBType() {
  static CDBOracle& oracle = *new CDBOracle;
  static CDBSQLServer& sql_server = *new CDBSQLServer;
  if (db_type_.empty() || IsOracleTypeName(db_type_)) return &oracle;
  return &sql_server;
}

std::u16string CCommDataSource::GetConnectionString() { return connection_string_; }
