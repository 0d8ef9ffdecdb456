// What a command leaves of the embedded database it used: a whole file. SQLite keeps a
// committed write in the file's log (FILE-wal) until a checkpoint moves it into the file, and the
// connections that a called library keeps in its pool stay open until the process ends: a copy
// of the file alone (a backup, a move to another machine) would lack the command's writes.
//
// Thread-safety: main thread only.
#pragma once

#include <string>

namespace korvalis::tools {

// Moves the log of the embedded database that `init_string` names into the file and syncs it.
// A server database, an in-memory one, one that cannot be written and a file whose log is empty
// are left as they are, and so is a log that another process is moving or still writing (the
// last to end moves it). When the log cannot be moved otherwise (a full disk), says on standard
// error why, and that the committed writes are safe in the log, which must stay with the file.
void LeaveDatabaseFileWhole(const std::string& init_string);

// The same for the database that telv.config.xml in the current directory names; nothing when
// there is none or it cannot be read.
void LeaveConfiguredDatabaseFileWhole();

}  // namespace korvalis::tools
