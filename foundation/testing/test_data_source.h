// Test helpers of the bodies: the call's data source opened on a test database of the test's
// own, and a fixed clock for the database's SYSDATE.
//
// Thread-safety: a data source belongs to one thread; the clock may be read from any thread.
#pragma once

#include <memory>
#include <string>

#include "foundation/data/db_type.h"
#include "foundation/data/emr_data_source.h"
#include "platform/db/database_clock.h"
#include "platform/text/unicode.h"

namespace korvalis::testing {

// A database that cannot be opened: every statement on it fails, so a call that must not reach
// the database is shown not to by succeeding on it.
inline constexpr char kUnreachableDatabase[] =
    "Provider=SQLite;Data Source=/nonexistent/dir/none.db";

// The call's data source, opened on the given database with the Oracle dialect.
class TestDataSource : public CEMRDataSource {
 public:
  explicit TestDataSource(const std::string& init_string) : init_string_(FromUtf8(init_string)) {}
  CDBType* GetDBType() override {
    static CDBOracle oracle;
    return &oracle;
  }
  std::u16string GetConnectionString() override { return init_string_; }

 private:
  std::u16string init_string_;
};

// A database clock that always reads `now`.
class FixedDatabaseClock : public db::DatabaseClock {
 public:
  explicit FixedDatabaseClock(db::DateTime now) : now_(now) {}
  db::DateTime Now() const override { return now_; }

 private:
  db::DateTime now_;
};

// The database's clock stands at `now` (by default 2026-12-07 08:00:00) while the object lives.
struct ScopedDatabaseClock {
  explicit ScopedDatabaseClock(db::DateTime now = {2026, 12, 7, 8, 0, 0}) {
    db::SetDatabaseClock(std::make_shared<FixedDatabaseClock>(now));
  }
  ~ScopedDatabaseClock() { db::SetDatabaseClock(nullptr); }
  ScopedDatabaseClock(const ScopedDatabaseClock&) = delete;
  ScopedDatabaseClock& operator=(const ScopedDatabaseClock&) = delete;
};

}  // namespace korvalis::testing
