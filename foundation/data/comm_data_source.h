// CCommDataSource: a data source for a second database (extension data, the HIS dictionary
// database), with the connection string (or the configuration file holding it) and the
// database type given by its creator. An empty type, "oracle", "Oracle" or "ORACLE" select the
// Oracle dialect; anything else SQL Server.
//
// Thread-safety: an object belongs to one thread; the dialect objects are shared and stateless.
#pragma once

#include <string>

#include "foundation/data/single_data_source.h"

class CCommDataSource : public CSingleDataSource {
 public:
  CCommDataSource(const std::u16string& connection_string, const std::u16string& db_type);
  // Reads the connection string from `config_file` (see ReadDBConfig, whose failures it
  // throws). The third text is not used.
  CCommDataSource(const std::u16string& config_file, const std::u16string& db_type,
                  const std::u16string& unused);
  ~CCommDataSource() override = default;

  CDBType* GetDBType() override;
  std::u16string GetConnectionString() override;

 private:
  std::u16string connection_string_;
  std::u16string db_type_;
};
