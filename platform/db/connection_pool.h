// Connections pooled per initialisation string. `Provider=SQLite;Data Source=<file>` selects
// the embedded database (":memory:" for a private in-memory one, shared by the connections of
// its pool entry); `Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...;
// Password=...` (or a libpq service name, URI or connection string in Data Source) a
// PostgreSQL server (postgres_database.h). A connection goes back to its pool when its handle
// ends; an open transaction is rolled back first. A server connection found lost when it is
// taken from the pool is dropped and a new one opened.
//
// Thread-safety: Acquire may be called from any thread; a handle belongs to one thread at a
// time.
#pragma once

#include <memory>
#include <string_view>

#include "platform/db/provider.h"

namespace korvalis::db {

class ConnectionPool;

// The use of one pooled connection; returns it to its pool on destruction.
class PooledConnection {
 public:
  PooledConnection() = default;
  PooledConnection(PooledConnection&& other) noexcept;
  PooledConnection& operator=(PooledConnection&& other) noexcept;
  ~PooledConnection();

  Connection* get() const { return connection_.get(); }
  Connection* operator->() const { return connection_.get(); }
  Connection& operator*() const { return *connection_; }
  explicit operator bool() const { return connection_ != nullptr; }

 private:
  friend class ConnectionPools;
  struct Entry;
  PooledConnection(std::shared_ptr<Entry> entry, std::unique_ptr<Connection> connection);
  void Release();

  std::shared_ptr<Entry> entry_;
  std::unique_ptr<Connection> connection_;
};

class ConnectionPools {
 public:
  // A connection for `init_string`, idle from the pool or newly opened. Throws DbError
  // (kCannotConnect) for an unknown provider, a missing data source, or a database that
  // cannot be opened.
  static PooledConnection Acquire(std::string_view init_string);

  // Closes the idle connections kept for `init_string` and forgets its pool entry; handles
  // still in use close when they end. For owners that remove a database file (test fixtures).
  static void Close(std::string_view init_string);
};

// A connection of its own, outside any pool (tools and tests). The database must exist.
std::unique_ptr<Connection> OpenConnection(std::string_view init_string);

// A connection of its own to build the database in one transaction, begun for writing before
// anything is changed: on a server, the provider's runtime objects, when they must be
// installed, are installed in that transaction, so that a build that never commits (failed, or
// its process ended by a signal) leaves nothing in the database.
std::unique_ptr<Connection> OpenConnectionToBuild(std::string_view init_string);

// True when `init_string` names a PostgreSQL server. Throws DbError (kCannotConnect) for an
// unknown provider or a malformed string.
bool IsServerDatabase(std::string_view init_string);

// Creates the database file that `init_string` names, readable and writable by its owner
// only whatever the umask (its WAL files take the same mode), and opens a connection to it.
// Throws DbError (kCannotConnect) when the file exists or cannot be made; a file made here
// is removed again when the connection cannot be opened.
std::unique_ptr<Connection> CreateDatabase(std::string_view init_string);

}  // namespace korvalis::db
