#include "platform/db/rownum_walk.h"

#include <sqlite3.h>

#include <cstdint>
#include <new>
#include <string_view>

#include "platform/db/sql_function_support.h"

namespace korvalis::db {
namespace {

// The rows passed so far, and whether the last row read passed.
struct Walk {
  int64_t passed;
  int last_passed;
};

// The run of `rownum`: the number of run starts in `runs` not above it, less one.
int RunOf(std::string_view runs, int64_t rownum) {
  int run = -1;
  int64_t start = 0;
  bool digits = false;
  for (size_t i = 0; i <= runs.size(); ++i) {
    if (i < runs.size() && runs[i] >= '0' && runs[i] <= '9') {
      // A start past every row number counts as the largest, whatever its digits.
      start = start > (INT64_MAX - 9) / 10 ? INT64_MAX : start * 10 + (runs[i] - '0');
      digits = true;
      continue;
    }
    if (digits) {
      if (start > rownum) break;
      ++run;
    }
    start = 0;
    digits = false;
  }
  return run;
}

void Step(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* walk = static_cast<Walk*>(sqlite3_aggregate_context(ctx, sizeof(Walk)));
  if (walk == nullptr) throw std::bad_alloc();
  const int64_t mask = sqlite3_value_int64(argv[0]);
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
  const std::string_view runs = text ? text : "";
  const int run = RunOf(runs, walk->passed + 1);
  walk->last_passed = run >= 0 && run < 63 && ((mask >> run) & 1) != 0;
  if (walk->last_passed) ++walk->passed;
}

// The ROWNUM of the last row read, or NULL where it did not pass (Walk or TreeWalk).
template <class WalkState>
void Value(sqlite3_context* ctx) {
  auto* walk = static_cast<WalkState*>(sqlite3_aggregate_context(ctx, 0));
  if (walk != nullptr && walk->last_passed) {
    sqlite3_result_int64(ctx, walk->passed);
  } else {
    sqlite3_result_null(ctx);
  }
}

// The frame only grows: rows never leave it.
void Inverse(sqlite3_context*, int, sqlite3_value**) {
  throw functions::FunctionError{
      "ORA-00600: internal error code, arguments: [a ROWNUM walk needs a frame from the first "
      "row]"};
}

// The rows come so far, the level of the last row that did not come (0: none, or a row at
// that level or above came since), and whether the last row read came.
struct TreeWalk {
  int64_t passed;
  int64_t left_out_level;
  int last_passed;
};

void TreeStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* walk = static_cast<TreeWalk*>(sqlite3_aggregate_context(ctx, sizeof(TreeWalk)));
  if (walk == nullptr) throw std::bad_alloc();
  const int64_t level = sqlite3_value_int64(argv[2]);
  walk->last_passed = 0;
  if (walk->left_out_level > 0 && level > walk->left_out_level) return;  // below a row left out
  walk->left_out_level = 0;
  if (level > 1) {
    const int64_t mask = sqlite3_value_int64(argv[0]);
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const int run = RunOf(text ? text : "", walk->passed + 1);
    if (run < 0 || run >= 63 || ((mask >> run) & 1) == 0) {
      walk->left_out_level = level;
      return;
    }
  }
  walk->last_passed = 1;
  ++walk->passed;
}

}  // namespace

// Every step through the functions' bounds (sql_function_support.h), as every function of ours.
int RegisterRownumWalk(sqlite3* db) {
  using functions::Guarded;
  using functions::GuardedValue;
  const int rc = sqlite3_create_window_function(
      db, "ora_rownum_walk", 2, SQLITE_UTF8, nullptr, Guarded<Step>, GuardedValue<Value<Walk>>,
      GuardedValue<Value<Walk>>, Guarded<Inverse>, nullptr);
  if (rc != SQLITE_OK) return rc;
  return sqlite3_create_window_function(db, "ora_rownum_tree_walk", 3, SQLITE_UTF8, nullptr,
                                        Guarded<TreeStep>, GuardedValue<Value<TreeWalk>>,
                                        GuardedValue<Value<TreeWalk>>, Guarded<Inverse>, nullptr);
}

const char* PostgresRownumWalkSql() {
  return R"SQL(
-- ROWNUM as rows pass a WHERE that reads it (rownum_walk.h). The state is the rows passed
-- times two, plus one when the last row read passed.
CREATE OR REPLACE FUNCTION ora_rownum_step(state bigint, mask bigint, runs text)
RETURNS bigint LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  passed bigint := state >> 1;
  run integer := -1;
  start text;
BEGIN
  FOREACH start IN ARRAY string_to_array(runs, ',') LOOP
    EXIT WHEN start::bigint > passed + 1;
    run := run + 1;
  END LOOP;
  IF run BETWEEN 0 AND 62 AND (mask >> run) & 1 = 1 THEN
    RETURN (passed + 1) * 2 + 1;
  END IF;
  RETURN passed * 2;
END $f$;
CREATE OR REPLACE FUNCTION ora_rownum_passed(state bigint) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT CASE WHEN state & 1 = 1 THEN state >> 1 END $f$;
CREATE OR REPLACE AGGREGATE ora_rownum_walk(bigint, text) (
  SFUNC = ora_rownum_step, STYPE = bigint, FINALFUNC = ora_rownum_passed, INITCOND = '0');
-- ROWNUM in CONNECT BY (rownum_walk.h). The state is the rows come so far, the level of the
-- last row left out (0: none) and 1 when the last row read came.
CREATE OR REPLACE FUNCTION ora_rownum_tree_step(state bigint[], mask bigint, runs text,
                                                lvl bigint)
RETURNS bigint[] LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  passed bigint := state[1];
  run integer := -1;
  start text;
BEGIN
  IF state[2] > 0 AND lvl > state[2] THEN
    RETURN ARRAY[passed, state[2], 0];
  END IF;
  IF lvl > 1 THEN
    FOREACH start IN ARRAY string_to_array(runs, ',') LOOP
      EXIT WHEN start::bigint > passed + 1;
      run := run + 1;
    END LOOP;
    IF NOT (run BETWEEN 0 AND 62 AND (mask >> run) & 1 = 1) THEN
      RETURN ARRAY[passed, lvl, 0];
    END IF;
  END IF;
  RETURN ARRAY[passed + 1, 0, 1];
END $f$;
CREATE OR REPLACE FUNCTION ora_rownum_tree_passed(state bigint[]) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT CASE WHEN state[3] = 1 THEN state[1] END $f$;
CREATE OR REPLACE AGGREGATE ora_rownum_tree_walk(bigint, text, bigint) (
  SFUNC = ora_rownum_tree_step, STYPE = bigint[], FINALFUNC = ora_rownum_tree_passed,
  INITCOND = '{0,0,0}');
)SQL";
}

}  // namespace korvalis::db
