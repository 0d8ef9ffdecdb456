// An embedded database file, or a server database, made for the system, and the
// configuration file that points the system at it. Used by `korvalis initdb`.
//
// Thread-safety: functions of the file system; do not race them on one path.
#pragma once

#include <string>

#include "db/database_builder.h"

namespace korvalis::schema {

// The name under which the system looks for its database configuration.
inline constexpr char kDatabaseConfigFile[] = "telv.config.xml";

// The initialisation string that opens the database file `path` (made absolute).
std::string DatabaseFileInitString(const std::string& path);

// The files SQLite keeps for a database file: the file itself, its log and its index of the log.
inline constexpr const char* kDatabaseFileSuffixes[] = {"", "-wal", "-shm", "-journal"};

// The name beside `path` (made absolute) under which CreateDatabaseFile of this process builds
// it, with kDatabaseFileSuffixes added for the files of the build.
std::string BuildingDatabaseName(const std::string& path);

// Creates the database file `path` (made absolute), refusing with a std::runtime_error when
// anything exists there: builds `contents` under BuildingDatabaseName(path) and gives it the
// name `path` once whole (its log moved into it and synced, the name synced), so that no
// half-built database is ever found there. A failed build (a disk too small for the file
// included) removes what it made and rethrows. Returns DatabaseFileInitString(path).
std::string CreateDatabaseFile(const std::string& path, DatabaseContents contents);

// Builds `contents` in the empty server database `init_string` names (a PostgreSQL
// database made by its server's tools), refusing with a std::runtime_error one that already
// holds the system's schema. A failed build leaves nothing behind (it is one transaction).
void BuildServerDatabase(const std::string& init_string, DatabaseContents contents);

// The configuration file's text: one `db` element whose `datasource` holds `init_string`
// with the Oracle dialect and no encryption.
std::string DatabaseConfigText(const std::string& init_string);

// Writes the configuration file into `directory` unless one is there, readable by its owner
// only (it holds the server's password). Returns false when one was there (it is left
// unchanged); throws std::runtime_error when it cannot be written.
bool WriteDatabaseConfig(const std::string& directory, const std::string& init_string);

}  // namespace korvalis::schema
