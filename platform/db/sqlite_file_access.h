// How the embedded database's file may be opened, and what a failure of the file itself says.
// A database in WAL mode is written with two files beside it, its log (-wal) and the index of
// the log (-shm), which are made in its folder: a file that can be written in a folder that
// cannot is read only, and its failures name the folder, not the file.
//
// Thread-safety: functions of the file system and of one connection's last error.
#pragma once

#include <string>

struct sqlite3;

namespace korvalis::db {

enum class FileOpening {
  kWrite,      // read and written
  kRead,       // read only; another process may be writing it through its index
  kImmutable,  // read only; nothing can be writing it (no index, none can be made)
};

// How the existing file `path` is opened.
FileOpening FileOpeningOf(const std::string& path);

// Why a write of the database of `db` was refused as read-only: the folder that cannot take
// the log and its index, or `message` (SQLite's own words) when the file itself is read-only.
std::string ReadOnlyCause(sqlite3* db, const std::string& message);

// `message` of a failure of the file itself (not a database, damaged, cannot be opened) with
// the database of `db` named: "the database '/x/emr.db' is damaged: <message>".
std::string FileFailure(sqlite3* db, int primary_code, const std::string& message);

}  // namespace korvalis::db
