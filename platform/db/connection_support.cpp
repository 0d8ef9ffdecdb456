#include "platform/db/connection_support.h"

namespace korvalis::db {

std::unique_ptr<Rowset> RunTransactionControl(Connection& connection, const Translation& t,
                                              bool subordinate, Connection::TransactionMode mode) {
  if (t.kind != sql::StatementKind::kCommit && t.kind != sql::StatementKind::kRollback) {
    return nullptr;
  }
  if (subordinate && connection.InTransaction()) {
    throw DbError(kProviderFailed, "ORA-02089: COMMIT is not allowed in a subordinate session");
  }
  if (connection.InTransaction()) {
    if (t.kind == sql::StatementKind::kCommit) {
      connection.Commit();
    } else {
      connection.Rollback();
    }
    connection.Begin(mode);
  }
  return std::make_unique<EmptyRowset>();
}

}  // namespace korvalis::db
