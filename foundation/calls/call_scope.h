// CCallScope: the transaction of one method call. While a scope is current on a thread, every
// data source constructed on that thread shares, per database (initialisation string), one
// connection and one transaction, begun on the first statement; the call commits them all
// when it succeeds and rolls them all back when it fails, so a call that fails half-way
// leaves no trace of its statements.
//
//   OPEN ──Commit()──▶ COMMITTED
//     │
//     ├──Rollback(), or destroyed without Commit() (a failed call)──▶ ROLLED BACK
//     │
//     └──a nested scope (a call made from inside a call on the same thread) joins this one:
//        its success changes nothing; its failure dooms this scope, whose Commit() then
//        rolls back and throws.
//
// A writing scope begins its transactions with the database's write lock, so that values
// read in the call (MAX(ID) + 1) stay valid until it commits; a reading scope does not block
// other callers and takes the write lock at its first write, failing when another call wrote
// since it began reading.
//
// Thread-safety: a scope belongs to the thread that created it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/connection_pool.h"

class CCallScope {
 public:
  enum class Mode { kReading, kWriting };

  explicit CCallScope(Mode mode);
  // Rolls back whatever was not committed.
  ~CCallScope();
  CCallScope(const CCallScope&) = delete;
  CCallScope& operator=(const CCallScope&) = delete;

  // Commits the transaction of every database of the call. When one commit fails, the
  // others not yet committed are rolled back and CEMRException is thrown (the failure is
  // logged in full to the event log). A nested scope commits nothing.
  void Commit();
  // Rolls every transaction back (a nested scope dooms the outer one). Never throws.
  void Rollback() noexcept;

  // The innermost open scope of the calling thread, or null outside any call.
  static CCallScope* Current();

  // The call's connection to `init_string`, or null when none is open yet.
  korvalis::db::Connection* Find(const std::string& init_string);
  // Takes `connection` as the call's connection to `init_string` and begins its transaction,
  // a subordinate one: COMMIT and ROLLBACK statements fail in it, only the call ends it.
  // Throws korvalis::db::DbError when the transaction cannot begin (the connection is then
  // dropped).
  korvalis::db::Connection& Adopt(const std::string& init_string,
                                  korvalis::db::PooledConnection connection);
  // The connections of the call (of its outermost scope), in the order it opened them.
  std::vector<korvalis::db::Connection*> Connections();

 private:
  struct Database {
    std::string init_string;
    korvalis::db::PooledConnection connection;
  };

  CCallScope* root();

  Mode mode_;
  CCallScope* outer_;
  bool finished_ = false;
  bool doomed_ = false;
  std::vector<Database> databases_;
};
