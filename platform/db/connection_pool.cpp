#include "platform/db/connection_pool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/db/connection_string.h"
#include "platform/db/postgres_connection.h"
#include "platform/db/sqlite_connection.h"
#include "platform/text/ascii.h"

namespace korvalis::db {
namespace {

using ConnectionOpener = std::function<std::unique_ptr<Connection>()>;

// Idle connections kept per initialisation string; more are closed when handed back.
constexpr size_t kMaxIdle = 8;

std::shared_ptr<EmbeddedDatabase> EmbeddedDatabaseFor(const ConnectionString& cs) {
  std::optional<std::string> source = cs.Get("Data Source");
  if (!source || source->empty()) {
    throw DbError(kCannotConnect, "the initialisation string names no Data Source");
  }
  if (*source == ":memory:") return std::make_shared<EmbeddedDatabase>(*source);
  // Every connection to one file shares one catalog and schema generation, however its
  // initialisation string names the file, so that DDL through one is seen by all.
  std::error_code ec;
  std::string key = std::filesystem::weakly_canonical(*source, ec).string();
  if (ec || key.empty()) key = *source;
  static std::mutex mutex;
  static std::unordered_map<std::string, std::weak_ptr<EmbeddedDatabase>>& databases =
      *new std::unordered_map<std::string, std::weak_ptr<EmbeddedDatabase>>;
  std::lock_guard<std::mutex> lock(mutex);
  std::weak_ptr<EmbeddedDatabase>& known = databases[key];
  std::shared_ptr<EmbeddedDatabase> database = known.lock();
  if (!database) {
    database = std::make_shared<EmbeddedDatabase>(*source);
    known = database;
  }
  return database;
}

// The connections of one initialisation string share one catalog and schema generation.
std::shared_ptr<PostgresDatabase> PostgresDatabaseFor(std::string_view init_string,
                                                      const ConnectionString& cs) {
  static std::mutex mutex;
  static std::unordered_map<std::string, std::weak_ptr<PostgresDatabase>>& databases =
      *new std::unordered_map<std::string, std::weak_ptr<PostgresDatabase>>;
  std::lock_guard<std::mutex> lock(mutex);
  std::weak_ptr<PostgresDatabase>& known = databases[std::string(init_string)];
  std::shared_ptr<PostgresDatabase> database = known.lock();
  if (!database) {
    database = std::make_shared<PostgresDatabase>(cs);
    known = database;
  }
  return database;
}

// The file's connections of one initialisation string share its Command Timeout; connections
// to the same file through other strings keep their own.
std::chrono::seconds CommandTimeoutOf(const ConnectionString& cs) {
  return cs.Seconds("Command Timeout", kDefaultCommandTimeout);
}

enum class ProviderKind { kSqlite, kPostgres };

ProviderKind ProviderOf(const ConnectionString& cs) {
  const std::string provider = AsciiLower(cs.Get("Provider").value_or(""));
  if (provider == "sqlite") return ProviderKind::kSqlite;
  if (provider == "postgresql" || provider == "postgres") return ProviderKind::kPostgres;
  throw DbError(kCannotConnect, "the provider '" + cs.Get("Provider").value_or("") +
                                    "' is not available; use Provider=SQLite or "
                                    "Provider=PostgreSQL");
}

// Opens the connections of one initialisation string.
ConnectionOpener OpenerFor(std::string_view init_string) {
  const ConnectionString cs = ConnectionString::Parse(init_string);
  if (ProviderOf(cs) == ProviderKind::kPostgres) {
    std::shared_ptr<PostgresDatabase> database = PostgresDatabaseFor(init_string, cs);
    return [database]() -> std::unique_ptr<Connection> {
      return std::make_unique<PostgresConnection>(database);
    };
  }
  std::shared_ptr<EmbeddedDatabase> database = EmbeddedDatabaseFor(cs);
  const std::chrono::seconds command_timeout = CommandTimeoutOf(cs);
  return [database, command_timeout]() -> std::unique_ptr<Connection> {
    return std::make_unique<SqliteConnection>(database, command_timeout);
  };
}

}  // namespace

struct PooledConnection::Entry {
  ConnectionOpener open;
  std::mutex mutex;
  std::vector<std::unique_ptr<Connection>> idle;
};

PooledConnection::PooledConnection(std::shared_ptr<Entry> entry,
                                   std::unique_ptr<Connection> connection)
    : entry_(std::move(entry)), connection_(std::move(connection)) {}

PooledConnection::PooledConnection(PooledConnection&& other) noexcept
    : entry_(std::move(other.entry_)), connection_(std::move(other.connection_)) {}

PooledConnection& PooledConnection::operator=(PooledConnection&& other) noexcept {
  if (this != &other) {
    Release();
    entry_ = std::move(other.entry_);
    connection_ = std::move(other.connection_);
  }
  return *this;
}

PooledConnection::~PooledConnection() { Release(); }

void PooledConnection::Release() {
  if (!connection_) return;
  try {
    // Also forgets a transaction that the engine ended under its user.
    connection_->Rollback();
  } catch (const DbError&) {
    connection_.reset();  // a connection that cannot roll back is not reused
    return;
  }
  if (!connection_->Alive()) {
    connection_.reset();  // nor one that is lost or holds more memory than a pool keeps
    return;
  }
  std::lock_guard<std::mutex> lock(entry_->mutex);
  if (entry_->idle.size() < kMaxIdle) entry_->idle.push_back(std::move(connection_));
  connection_.reset();
}

namespace {

// The pool entries of the process, by initialisation string. A template so that only the
// members of ConnectionPools name the entry type, which is private to PooledConnection.
template <class Entry>
struct PoolEntries {
  std::mutex mutex;
  std::unordered_map<std::string, std::shared_ptr<Entry>> entries;
};

template <class Entry>
PoolEntries<Entry>& Pools() {
  static PoolEntries<Entry>& pools = *new PoolEntries<Entry>;
  return pools;
}

}  // namespace

PooledConnection ConnectionPools::Acquire(std::string_view init_string) {
  auto& pools = Pools<PooledConnection::Entry>();
  std::mutex& mutex = pools.mutex;
  auto& entries = pools.entries;
  std::shared_ptr<PooledConnection::Entry> entry;
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = entries.find(std::string(init_string));
    if (it != entries.end()) {
      entry = it->second;
    }
  }
  if (!entry) {
    auto fresh = std::make_shared<PooledConnection::Entry>();
    fresh->open = OpenerFor(init_string);
    std::lock_guard<std::mutex> lock(mutex);
    entry = entries.emplace(std::string(init_string), fresh).first->second;
  }
  for (;;) {
    std::unique_ptr<Connection> c;
    {
      std::lock_guard<std::mutex> lock(entry->mutex);
      if (entry->idle.empty()) break;
      c = std::move(entry->idle.back());
      entry->idle.pop_back();
    }
    // A connection the server closed while it waited is dropped, not handed out.
    if (c->Alive()) return PooledConnection(entry, std::move(c));
  }
  return PooledConnection(entry, entry->open());
}

void ConnectionPools::Close(std::string_view init_string) {
  auto& pools = Pools<PooledConnection::Entry>();
  std::shared_ptr<PooledConnection::Entry> entry;
  {
    std::lock_guard<std::mutex> lock(pools.mutex);
    auto it = pools.entries.find(std::string(init_string));
    if (it == pools.entries.end()) return;
    entry = std::move(it->second);
    pools.entries.erase(it);
  }
  std::vector<std::unique_ptr<Connection>> idle;
  {
    std::lock_guard<std::mutex> lock(entry->mutex);
    idle.swap(entry->idle);
  }
}

std::unique_ptr<Connection> OpenConnection(std::string_view init_string) {
  return OpenerFor(init_string)();
}

std::unique_ptr<Connection> OpenConnectionToBuild(std::string_view init_string) {
  const ConnectionString cs = ConnectionString::Parse(init_string);
  if (ProviderOf(cs) != ProviderKind::kPostgres) return OpenConnection(init_string);
  return std::make_unique<PostgresConnection>(PostgresDatabaseFor(init_string, cs),
                                              kMaxHeldRowBytes,
                                              PostgresConnection::Purpose::kBuild);
}

bool IsServerDatabase(std::string_view init_string) {
  return ProviderOf(ConnectionString::Parse(init_string)) == ProviderKind::kPostgres;
}

std::unique_ptr<Connection> CreateDatabase(std::string_view init_string) {
  const ConnectionString cs = ConnectionString::Parse(init_string);
  if (ProviderOf(cs) == ProviderKind::kPostgres) {
    throw DbError(kCannotConnect,
                  "a PostgreSQL database is created on its server; open it with OpenConnection");
  }
  std::shared_ptr<EmbeddedDatabase> database = EmbeddedDatabaseFor(cs);
  const std::chrono::seconds command_timeout = CommandTimeoutOf(cs);
  if (database->in_memory()) return std::make_unique<SqliteConnection>(database, command_timeout);
  const std::string& path = database->path();
  // Creating the file exclusively is what refuses to overwrite: an existing database, or one
  // made by someone else meanwhile, is never opened for building.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int error = errno;
    if (error == EEXIST) throw DbError(kCannotConnect, path + " exists; refusing to overwrite it");
    throw DbError(kCannotConnect, "cannot create " + path + ": " + std::strerror(error));
  }
  const bool owner_only = ::fchmod(fd, 0600) == 0;
  const int error = errno;
  ::close(fd);
  try {
    if (!owner_only) {
      throw DbError(kCannotConnect,
                    "cannot restrict " + path + " to its owner: " + std::strerror(error));
    }
    return std::make_unique<SqliteConnection>(database, command_timeout);
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    throw;
  }
}

}  // namespace korvalis::db
