#include "platform/db/postgres_date_range.h"

namespace korvalis::db {

namespace {

constexpr char kDateRangeSql[] = R"SQL(
-- ---- the range of dates
CREATE OR REPLACE FUNCTION ora_date_out_of_range(v timestamp) RETURNS boolean
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $f$
BEGIN
  RAISE EXCEPTION USING ERRCODE = 'KV001',
    MESSAGE = 'ORA-01841: (full) year must be between 1 and 9999';
END $f$;
-- The twenty thousand years (7304850 days) a date is moved ahead by, in seconds: an interval
-- of seconds alone is added to a timestamp as a whole number.
CREATE OR REPLACE FUNCTION ora_date_lead() RETURNS interval
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT interval '631139040000 seconds' $f$;
-- A domain keeps the objects that use it: created once, under a name of its own for each
-- check it has ever had (ora_date_value and ora_date_ahead began in 1582). A NULL passes (the
-- failure is STRICT). Looked for in the schema the objects are made in, where their users
-- name it.
DO $d$ BEGIN
  IF NOT EXISTS (SELECT FROM pg_type WHERE typname = 'ora_date_from_year_1'
                 AND typnamespace = current_schema()::regnamespace) THEN
    CREATE DOMAIN ora_date_from_year_1 AS timestamp
      CHECK (VALUE >= '0001-01-01' AND VALUE < '10000-01-01' OR ora_date_out_of_range(VALUE));
  END IF;
  IF NOT EXISTS (SELECT FROM pg_type WHERE typname = 'ora_date_ahead_from_year_1'
                 AND typnamespace = current_schema()::regnamespace) THEN
    CREATE DOMAIN ora_date_ahead_from_year_1 AS timestamp
      CHECK (VALUE >= '20001-01-01' AND VALUE < '30000-01-01' OR ora_date_out_of_range(VALUE));
  END IF;
END $d$;
CREATE OR REPLACE FUNCTION ora_date_checked(v timestamp) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT v::ora_date_from_year_1 $f$;
)SQL";

}  // namespace

const char* PostgresDateRangeSql() { return kDateRangeSql; }

}  // namespace korvalis::db
