// CEMRDataSource: the data source that every method call works through. Its database and SQL
// dialect come from the configuration file "telv.config.xml" (db_config.h).
//
// Process-wide caches: the connection string is read on the first call and kept for the life
// of the process (re-read only while it is empty); the dialect is chosen once, from the
// `dbtype` attribute (re-read while the file has no `datasource`, answering SQL Server then).
//
// Thread-safety: the caches are guarded, so threads that come first at the same time read
// the file each and agree on one result. An object belongs to one thread.
#pragma once

#include <string>

#include "foundation/data/single_data_source.h"

class CEMRDataSource : public CSingleDataSource {
 public:
  CEMRDataSource() = default;
  ~CEMRDataSource() override = default;

  // The dialect named by `dbtype`. Throws CEMRException for a bad configuration file.
  CDBType* GetDBType() override;
  // The connection string of the configuration file. Throws as ReadDBConfig.
  std::u16string GetConnectionString() override;
};
