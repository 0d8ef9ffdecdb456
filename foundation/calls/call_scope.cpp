#include "foundation/calls/call_scope.h"

#include "foundation/data/database_error.h"
#include "foundation/calls/emr_exception.h"
#include "platform/text/unicode.h"

namespace {

thread_local CCallScope* current_scope = nullptr;

void LogTransactionError(const char16_t* what, const korvalis::db::DbError& error) noexcept {
  try {
    korvalis::datasource::ReportDatabaseError(what + korvalis::FromUtf8(error.description()),
                                              error.code());
  } catch (...) {
    // A record that cannot be made (memory) is lost; the transaction's fate is not changed.
  }
}

}  // namespace

CCallScope::CCallScope(Mode mode) : mode_(mode), outer_(current_scope) { current_scope = this; }

CCallScope::~CCallScope() {
  if (!finished_) Rollback();
  current_scope = outer_;
}

CCallScope* CCallScope::Current() { return current_scope; }

CCallScope* CCallScope::root() {
  CCallScope* scope = this;
  while (scope->outer_ != nullptr) scope = scope->outer_;
  return scope;
}

korvalis::db::Connection* CCallScope::Find(const std::string& init_string) {
  for (Database& database : root()->databases_) {
    if (database.init_string == init_string) return database.connection.get();
  }
  return nullptr;
}

korvalis::db::Connection& CCallScope::Adopt(const std::string& init_string,
                                            korvalis::db::PooledConnection connection) {
  using korvalis::db::Connection;
  connection->BeginSubordinate(mode_ == Mode::kWriting ? Connection::TransactionMode::kWriting
                                                      : Connection::TransactionMode::kReading);
  CCallScope* owner = root();
  owner->databases_.push_back(Database{init_string, std::move(connection)});
  return *owner->databases_.back().connection;
}

std::vector<korvalis::db::Connection*> CCallScope::Connections() {
  std::vector<korvalis::db::Connection*> connections;
  for (Database& database : root()->databases_) connections.push_back(database.connection.get());
  return connections;
}

void CCallScope::Commit() {
  if (finished_) return;
  finished_ = true;
  if (outer_ != nullptr) return;
  if (doomed_) {
    Rollback();
    throw CEMRException(std::u16string(u"调用中的事务已被中止, 所做修改均已撤销."));
  }
  for (std::size_t i = 0; i < databases_.size(); ++i) {
    try {
      databases_[i].connection->Commit();
    } catch (const korvalis::db::DbError& error) {
      LogTransactionError(u"提交事务错误: ", error);
      for (std::size_t j = i; j < databases_.size(); ++j) {
        try {
          databases_[j].connection->Rollback();
        } catch (const korvalis::db::DbError&) {
          // The connection returns to its pool, which rolls back what is still open.
        }
      }
      databases_.clear();
      throw CEMRException(std::u16string(u"数据库错误, 请与系统管理员联系."));
    }
  }
  databases_.clear();
}

void CCallScope::Rollback() noexcept {
  finished_ = true;
  if (outer_ != nullptr) {
    root()->doomed_ = true;
    return;
  }
  for (Database& database : databases_) {
    try {
      database.connection->Rollback();
    } catch (const korvalis::db::DbError& error) {
      LogTransactionError(u"回滚事务错误: ", error);
    }
  }
  databases_.clear();
}
