#include "platform/db/sqlite_file_access.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace korvalis::db {
namespace {

bool CanWrite(const std::string& path) { return ::access(path.c_str(), W_OK) == 0; }

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::string FolderOf(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

// The file of the main database of `db`; "" for one in memory.
std::string DatabaseFile(sqlite3* db) {
  const char* file = sqlite3_db_filename(db, "main");
  return file != nullptr ? file : "";
}

}  // namespace

FileOpening FileOpeningOf(const std::string& path) {
  const bool folder_writable = CanWrite(FolderOf(path));
  const bool shared_index = Exists(path + "-shm");
  if (CanWrite(path) && (folder_writable || shared_index)) return FileOpening::kWrite;
  return folder_writable || shared_index ? FileOpening::kRead : FileOpening::kImmutable;
}

std::string ReadOnlyCause(sqlite3* db, const std::string& message) {
  const std::string file = DatabaseFile(db);
  if (file.empty() || !CanWrite(file) || CanWrite(FolderOf(file))) return message;
  return "the folder '" + FolderOf(file) +
         "' cannot be written, and the database's log and index (-wal, -shm) are made there";
}

std::string FileFailure(sqlite3* db, int primary_code, const std::string& message) {
  const std::string file = DatabaseFile(db);
  if (file.empty()) return message;
  switch (primary_code) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return "the database '" + file + "' is damaged: " + message;
    case SQLITE_CANTOPEN:
      return "the database '" + file + "' cannot be opened: " + message;
    default:
      return message;
  }
}

}  // namespace korvalis::db
