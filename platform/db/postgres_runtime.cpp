#include "platform/db/postgres_runtime.h"

#include "platform/db/postgres_bounded_work.h"
#include "platform/db/postgres_date_range.h"
#include "platform/db/postgres_date_reader.h"
#include "platform/db/postgres_functions.h"
#include "platform/db/postgres_runtime_schema.h"
#include "platform/db/postgres_text_search.h"
#include "platform/db/rownum_walk.h"

namespace korvalis::db {
namespace {

constexpr const char* kRuntimeSql = R"SQL(
-- Text indexes are trigram indexes (a trusted extension: the database's owner may add it).
CREATE EXTENSION IF NOT EXISTS pg_trgm;
CREATE TABLE IF NOT EXISTS korvalis_tables (
  table_name text NOT NULL PRIMARY KEY,
  table_type text NOT NULL,
  comments text);
CREATE TABLE IF NOT EXISTS korvalis_columns (
  table_name text NOT NULL,
  column_name text NOT NULL,
  column_id integer NOT NULL,
  data_type text NOT NULL,
  data_length integer,
  data_precision integer,
  data_scale integer,
  char_length integer,
  nullable text NOT NULL,
  data_default text,
  comments text,
  PRIMARY KEY (table_name, column_name));
CREATE TABLE IF NOT EXISTS korvalis_constraints (
  constraint_name text NOT NULL PRIMARY KEY,
  table_name text NOT NULL,
  constraint_type text NOT NULL,
  r_constraint_name text,
  r_table_name text,
  delete_rule text,
  search_condition text);
CREATE TABLE IF NOT EXISTS korvalis_cons_columns (
  constraint_name text NOT NULL,
  table_name text NOT NULL,
  column_name text NOT NULL,
  position integer NOT NULL,
  PRIMARY KEY (constraint_name, position));
CREATE OR REPLACE VIEW "DUAL" AS SELECT 'X'::text AS "DUMMY";
-- The metadata under the names Oracle SQL gives them (the front end quotes upper-case names).
CREATE OR REPLACE VIEW "KORVALIS_TABLES" AS SELECT table_name AS "TABLE_NAME",
  table_type AS "TABLE_TYPE", comments AS "COMMENTS" FROM korvalis_tables;
CREATE OR REPLACE VIEW "KORVALIS_COLUMNS" AS SELECT table_name AS "TABLE_NAME",
  column_name AS "COLUMN_NAME", column_id AS "COLUMN_ID", data_type AS "DATA_TYPE",
  data_length AS "DATA_LENGTH", data_precision AS "DATA_PRECISION", data_scale AS "DATA_SCALE",
  char_length AS "CHAR_LENGTH", nullable AS "NULLABLE", data_default AS "DATA_DEFAULT",
  comments AS "COMMENTS" FROM korvalis_columns;
CREATE OR REPLACE VIEW "KORVALIS_CONSTRAINTS" AS SELECT constraint_name AS "CONSTRAINT_NAME",
  table_name AS "TABLE_NAME", constraint_type AS "CONSTRAINT_TYPE",
  r_constraint_name AS "R_CONSTRAINT_NAME", r_table_name AS "R_TABLE_NAME",
  delete_rule AS "DELETE_RULE", search_condition AS "SEARCH_CONDITION" FROM korvalis_constraints;
CREATE OR REPLACE VIEW "KORVALIS_CONS_COLUMNS" AS SELECT constraint_name AS "CONSTRAINT_NAME",
  table_name AS "TABLE_NAME", column_name AS "COLUMN_NAME", position AS "POSITION"
  FROM korvalis_cons_columns;

-- Functions that can fail are STABLE, never IMMUTABLE: the planner runs no such function on
-- the constants of a statement before a row needs it. ROUND is the exception: its answer
-- depends on its arguments alone and a generated column may round (ora_round).
-- Failures carry Oracle's message; the SQLSTATE tells the provider the result code:
-- KV000 any failure, KV001 a conversion, KV002 a value too large, KV003 an error in the command,
-- KV004 a construct the front end does not implement.
CREATE OR REPLACE FUNCTION ora_raise(message text, state text, v anyelement) RETURNS anyelement
LANGUAGE plpgsql AS $f$ BEGIN RAISE EXCEPTION USING MESSAGE = message, ERRCODE = state; END $f$;
CREATE OR REPLACE FUNCTION ora_raise(message text, v anyelement) RETURNS anyelement
LANGUAGE sql AS $f$ SELECT ora_raise(message, 'KV000', v) $f$;
CREATE OR REPLACE FUNCTION ora_raise(message text) RETURNS text
LANGUAGE sql AS $f$ SELECT ora_raise(message, 'KV000', NULL::text) $f$;
-- ora_raise for the functions the server must inline to keep their speed: a SQL function is
-- inlined only when its body is no more volatile than itself. The planner may run a STABLE
-- function whose arguments are constants while it estimates, so each call passes a value of
-- the row (its `v` or its message) and never runs ahead of the row that fails.
CREATE OR REPLACE FUNCTION ora_raise_stable(message text, state text, v anyelement)
RETURNS anyelement LANGUAGE plpgsql STABLE AS $f$ BEGIN
  RAISE EXCEPTION USING MESSAGE = message, ERRCODE = state;
END $f$;
-- ora_raise for a function that must stay IMMUTABLE because a generated column's expression
-- calls it: `v` is the row's value, so the planner runs it ahead only when the row's value is a
-- constant, which then fails wherever it is computed.
CREATE OR REPLACE FUNCTION ora_raise_immutable(message text, state text, v anyelement)
RETURNS anyelement LANGUAGE plpgsql IMMUTABLE AS $f$ BEGIN
  RAISE EXCEPTION USING MESSAGE = message, ERRCODE = state;
END $f$;
-- A value between single quotes as a message names it: whole up to 64 characters, otherwise
-- its first 64 and "...", so that a long argument is not written whole into the message.
CREATE OR REPLACE FUNCTION ora_quoted(v text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT '''' || CASE WHEN length(v) > 64 THEN left(v, 64) || '...' ELSE v END || '''' $f$;

-- ---- conversions
-- A number a NUMBER can hold: below 1E126 in magnitude, else ORA-01426, raised through
-- ora_raise_stable so that the server inlines the check into the statement; one below the
-- least NUMBER (1E-130) is zero.
CREATE OR REPLACE FUNCTION ora_finite(v numeric) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN abs(v) >= 1e126 THEN ora_raise_stable('ORA-01426: numeric overflow', 'KV000', v)
    WHEN abs(v) < 1e-130 AND v <> 0 THEN 0
    ELSE v END $f$;
CREATE OR REPLACE FUNCTION ora_num(v numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT v $f$;
-- A number as a NUMBER holds it: rounded to 40 significant digits.
CREATE OR REPLACE FUNCTION ora_digits40(v numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN abs(v) >= 1 THEN round(v, 40 - length(trunc(abs(v))::text))
    WHEN v = 0 THEN v
    ELSE round(v, 40 + length(abs(v)::text) - length(ltrim(substr(abs(v)::text, 3), '0')) - 2)
    END $f$;
-- A text of at most 40 characters without an exponent is a NUMBER's at once; a longer one, or
-- one with an exponent, is rounded to a NUMBER's digits and checked against its range.
CREATE OR REPLACE FUNCTION ora_num(v text) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v IS NULL THEN NULL
    WHEN octet_length(v) <= 40 AND v ~ '^[ \t\r\n]*[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)[ \t\r\n]*$'
      THEN btrim(v, E' \t\r\n')::numeric
    WHEN v ~ '^[ \t\r\n]*[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?[ \t\r\n]*$'
      THEN ora_finite(ora_digits40(btrim(v, E' \t\r\n')::numeric))
    ELSE ora_raise_stable('ORA-01722: invalid number: ' || ora_quoted(v), 'KV001', NULL::numeric)
    END $f$;
CREATE OR REPLACE FUNCTION ora_num(v timestamp) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT ora_raise('ORA-00932: inconsistent datatypes: expected NUMBER got DATE', 'KV001',
                   NULL::numeric) $f$;

-- A number as Oracle writes it without a mask: no trailing zeros, no zero before the point.
CREATE OR REPLACE FUNCTION ora_str(v numeric) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT regexp_replace(trim_scale(v)::text, '^(-?)0\.', '\1.') $f$;
CREATE OR REPLACE FUNCTION ora_str(v text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT v $f$;
CREATE OR REPLACE FUNCTION ora_str(v timestamp) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT to_char(v, 'YYYY-MM-DD HH24:MI:SS') $f$;
-- ORA-01428 names an argument out of a function's range.
CREATE OR REPLACE FUNCTION ora_out_of_range(v numeric) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT ora_raise('ORA-01428: argument ''' || ora_str(v) || ''' is out of range', 'KV000',
                   NULL::numeric) $f$;

CREATE OR REPLACE FUNCTION ora_date_in(v timestamp) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT v $f$;
-- The stored form: YYYY-MM-DD with an optional HH:MI[:SS] after one blank, every field with
-- all its digits; NULL for another form or a day the month does not have, ORA-01841 for a
-- date outside the range of dates (postgres_date_range.h). What the date
-- reader gives for such a text, found without it: one pattern match and the fields read by
-- their places, so that a statement reading many such texts stays cheap (a match with
-- capture groups costs a hundred times more).
DROP FUNCTION IF EXISTS ora_date_fields(text[]);
CREATE OR REPLACE FUNCTION ora_date_fields(y integer, m integer, d integer, h integer,
                                           mi integer, s integer) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN y >= 1 AND m BETWEEN 1 AND 12 AND d >= 1
      AND d <= extract(day FROM make_date(y, m, 1) + interval '1 month - 1 day')
      AND h < 24 AND mi < 60 AND s < 60
    THEN ora_date_checked(make_timestamp(y, m, d, h, mi, s)) END $f$;
CREATE OR REPLACE FUNCTION ora_stored_date(v text) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}( [0-9]{2}:[0-9]{2}(:[0-9]{2})?)?$'
    THEN ora_date_fields(substr(v, 1, 4)::integer, substr(v, 6, 2)::integer,
                         substr(v, 9, 2)::integer, coalesce(nullif(substr(v, 12, 2), ''), '0')::integer,
                         coalesce(nullif(substr(v, 15, 2), ''), '0')::integer,
                         coalesce(nullif(substr(v, 18, 2), ''), '0')::integer) END $f$;
CREATE OR REPLACE FUNCTION ora_date_in(v text) RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v IS NULL THEN NULL
    ELSE coalesce(ora_stored_date(v), ora_default_date_or_raise(v)) END $f$;
CREATE OR REPLACE FUNCTION ora_date_in(v numeric) RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT ora_raise('ORA-00932: inconsistent datatypes: expected DATE got NUMBER', 'KV001',
                   NULL::timestamp) $f$;

CREATE OR REPLACE FUNCTION ora_text_in(v text, len integer) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT nullif(v, '') $f$;
CREATE OR REPLACE FUNCTION ora_text_in(v numeric, len integer) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_str(v) $f$;
CREATE OR REPLACE FUNCTION ora_text_in(v timestamp, len integer) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_str(v) $f$;

-- A value written into a text column of declared length: refused when longer (ORA-12899),
-- padded with blanks to the length in a CHAR column.
CREATE OR REPLACE FUNCTION ora_text_fit(v text, max integer, in_chars boolean, pad boolean,
                                        col text) RETURNS text
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE n integer;
BEGIN
  IF v IS NULL OR v = '' THEN RETURN NULL; END IF;
  n := CASE WHEN in_chars THEN length(v) ELSE octet_length(v) END;
  IF n > max THEN
    RAISE EXCEPTION USING ERRCODE = 'KV002', MESSAGE = 'ORA-12899: value too large for column '
      || col || ' (actual: ' || n || ', maximum: ' || max || ')';
  END IF;
  IF pad AND n < max THEN RETURN v || repeat(' ', max - n); END IF;
  RETURN v;
END $f$;
CREATE OR REPLACE FUNCTION ora_text_fit(v numeric, max integer, in_chars boolean, pad boolean,
                                        col text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_text_fit(ora_str(v), max, in_chars, pad, col) $f$;
CREATE OR REPLACE FUNCTION ora_text_fit(v timestamp, max integer, in_chars boolean, pad boolean,
                                        col text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_text_fit(ora_str(v), max, in_chars, pad, col) $f$;

-- A value written into NUMBER(p,s): rounded to the scale, refused beyond the precision.
CREATE OR REPLACE FUNCTION ora_number_in(v numeric, scale integer, prec integer) RETURNS numeric
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE r numeric := v;
BEGIN
  IF r IS NULL THEN RETURN NULL; END IF;
  IF scale >= 0 THEN r := round(r, scale); END IF;
  IF prec > 0 AND prec <= 38 AND abs(r) >= 10::numeric ^ (prec - greatest(scale, 0)) THEN
    RAISE EXCEPTION USING ERRCODE = 'KV002',
      MESSAGE = 'ORA-01438: value larger than specified precision allowed for this column';
  END IF;
  RETURN r;
END $f$;
CREATE OR REPLACE FUNCTION ora_number_in(v text, scale integer, prec integer) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_number_in(ora_num(v), scale, prec) $f$;
CREATE OR REPLACE FUNCTION ora_number_in(v timestamp, scale integer, prec integer) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_num(v) $f$;

-- ---- TO_CHAR and TO_DATE
CREATE OR REPLACE FUNCTION ora_to_char(v numeric) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_str(v) $f$;
CREATE OR REPLACE FUNCTION ora_to_char(v text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT v $f$;
CREATE OR REPLACE FUNCTION ora_to_char(v timestamp) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_str(v) $f$;
-- A number by a model with a sign element (number_format.cpp): the digits of its magnitude as
-- the model without the element writes them, with the sign placed as the element says.
CREATE OR REPLACE FUNCTION ora_to_char_signed(v numeric, fmt text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN digits ~ '#' THEN repeat('#', width)
    WHEN fill THEN signed ELSE lpad(signed, width) END
  FROM (SELECT digits, fill, width,
          CASE sign
            WHEN 'LS' THEN CASE WHEN negative THEN '-' ELSE '+' END || body
            WHEN 'TS' THEN body || CASE WHEN negative THEN '-' ELSE '+' END
            WHEN 'MI' THEN body || CASE WHEN negative THEN '-' WHEN fill THEN '' ELSE ' ' END
            ELSE CASE WHEN negative THEN '<' || body || '>' WHEN fill THEN body
                      ELSE ' ' || body || ' ' END END AS signed
        FROM (SELECT digits, fill, sign, ltrim(digits) AS body,
                v < 0 AND digits ~ '[1-9]' AS negative,
                length(mask) + CASE WHEN sign = 'PR' THEN 2 ELSE 1 END AS width
              FROM (SELECT mask, fill, sign,
                      to_char(abs(v), CASE WHEN fill THEN 'FM' ELSE '' END
                                      || translate(mask, 'DdGg', '..,,')) AS digits
                    FROM (SELECT fmt ~* '^FM' AS fill,
                            CASE WHEN fmt ~* '^(FM)?S' THEN 'LS' WHEN fmt ~* 'MI$' THEN 'MI'
                              WHEN fmt ~* 'PR$' THEN 'PR' ELSE 'TS' END AS sign,
                            CASE WHEN fmt ~* '^(FM)?S' THEN regexp_replace(fmt, '^([Ff][Mm])?[Ss]', '')
                              ELSE regexp_replace(regexp_replace(fmt, '^[Ff][Mm]', ''),
                                                  '([Mm][Ii]|[Pp][Rr]|[Ss])$', '') END AS mask)
                      AS model) AS laid) AS read) AS placed $f$;
-- A number in scientific notation: the mantissa rounded to `places` decimals (every
-- significant digit when NULL), E, the exponent's sign and two digits at least.
CREATE OR REPLACE FUNCTION ora_scientific(v numeric, places integer) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE m numeric := abs(v); e integer := 0;
BEGIN
  IF m <> 0 THEN
    e := CASE WHEN m >= 1 THEN length(trunc(m)::text) - 1
              ELSE -length(substring(m::text FROM '\.(0*)')) - 1 END;
    m := m * ('1E' || -e)::numeric;  -- exact, where a power of ten would be rounded
  END IF;
  m := CASE WHEN places IS NULL THEN trim_scale(m) ELSE round(m, places) END;
  IF m >= 10 THEN
    m := round(m / 10, places);
    e := e + 1;
  END IF;
  RETURN CASE WHEN v < 0 THEN '-' ELSE '' END || m::text || 'E' || CASE WHEN e < 0 THEN '-' ELSE '+' END
    || CASE WHEN abs(e) < 10 THEN '0' ELSE '' END || abs(e)::text;
END $f$;
-- Number format models beyond ora_to_char_number's own (number_format.cpp): $ anywhere, C, L
-- and U first or last (ten places, blank padded to the left of the symbol; the
-- AMERICAN_AMERICA symbols '$', 'USD' and '$'), B, V, EEEE; RN, TM and X alone. Any other
-- model is refused (ORA-01481).
CREATE OR REPLACE FUNCTION ora_number_model(v numeric, fmt text) RETURNS text
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE
  up text := upper(fmt); body text; c text; fill boolean := false; sign text := '';
  scientific boolean := false; mask text := ''; int_pos integer := 0; frac_pos integer := 0;
  first_zero integer := -1; seen_point boolean := false; kept_zeros integer := 0;
  cur text := ''; cur_last boolean := false; cur_places integer := 0; blank_zero boolean := false;
  scale integer := 0; seen_v boolean := false; seen_digit boolean := false; width integer;
  n numeric; r text; int_digits text; frac_digits text; int_part text := ''; res text := '';
  negative boolean; places integer; k integer; i integer := 0; body_length integer;
  -- The model's characters and the integer part's, read and written through arrays, so that a
  -- model of any length is read in linear time.
  mask_chars text[] := '{}'; written text[] := '{}';
BEGIN
  IF v IS NULL OR fmt IS NULL THEN RETURN NULL; END IF;
  IF up IN ('TM', 'TM9', 'TME') THEN
    IF v = 0 THEN RETURN CASE WHEN up = 'TME' THEN '0E+00' ELSE '0' END; END IF;
    res := ora_str(v);
    IF up <> 'TME' AND length(res) <= 64 THEN RETURN res; END IF;
    RETURN ora_scientific(v, NULL);
  END IF;
  IF up IN ('RN', 'FMRN') THEN
    n := round(v);
    IF n < 1 OR n > 3999 THEN RETURN repeat('#', 15); END IF;
    k := n::integer;
    FOR i IN 1..13 LOOP
      WHILE k >= (ARRAY[1000, 900, 500, 400, 100, 90, 50, 40, 10, 9, 5, 4, 1])[i] LOOP
        res := res || (ARRAY['M', 'CM', 'D', 'CD', 'C', 'XC', 'L', 'XL', 'X', 'IX', 'V', 'IV', 'I'])[i];
        k := k - (ARRAY[1000, 900, 500, 400, 100, 90, 50, 40, 10, 9, 5, 4, 1])[i];
      END LOOP;
    END LOOP;
    IF substr(fmt, length(fmt) - 1, 1) = 'r' THEN res := lower(res); END IF;
    RETURN CASE WHEN up = 'FMRN' THEN res ELSE lpad(res, 15) END;
  END IF;
  IF up ~ '^(FM)?0*X+$' THEN
    fill := up ~ '^FM';
    places := length(up) - CASE WHEN fill THEN 2 ELSE 0 END;
    n := round(v);
    IF n < 0 THEN RETURN repeat('#', places + 1); END IF;
    LOOP
      res := substr('0123456789ABCDEF', (n % 16)::integer + 1, 1) || res;
      n := div(n, 16);
      EXIT WHEN n = 0;
    END LOOP;
    IF length(res) > places THEN RETURN repeat('#', places + 1); END IF;
    IF strpos(fmt, 'x') > 0 THEN res := lower(res); END IF;
    RETURN CASE WHEN up ~ '^(FM)?0' THEN lpad(res, places, '0') WHEN fill THEN res
      ELSE lpad(res, places + 1) END;
  END IF;
  body := up;
  IF body ~ '^FM' THEN fill := true; body := substr(body, 3); END IF;
  IF body ~ '^S' THEN sign := 'LS'; body := substr(body, 2);
  ELSIF body ~ '(MI|PR)$' THEN sign := right(body, 2); body := left(body, -2);
  ELSIF body ~ 'S$' THEN sign := 'TS'; body := left(body, -1);
  END IF;
  IF body ~ 'EEEE$' THEN scientific := true; body := left(body, -4); END IF;
  body_length := length(body);
  FOREACH c IN ARRAY coalesce(string_to_array(body, NULL), '{}') LOOP
    i := i + 1;
    IF c IN ('9', '0') THEN
      seen_digit := true;
      IF seen_point THEN
        frac_pos := frac_pos + 1;
        IF c = '0' THEN kept_zeros := frac_pos; END IF;
      ELSE
        IF c = '0' AND first_zero < 0 THEN first_zero := int_pos; END IF;
        int_pos := int_pos + 1;
        IF seen_v THEN scale := scale + 1; END IF;
      END IF;
      mask_chars := mask_chars || c;
    ELSIF c IN ('.', 'D', ',', 'G') AND NOT seen_point AND NOT (seen_v AND c IN ('.', 'D')) THEN
      seen_point := c IN ('.', 'D');
      mask_chars := mask_chars || c;
    ELSIF c = 'V' AND NOT seen_v AND NOT seen_point AND NOT scientific THEN
      seen_v := true;
    ELSIF c = 'B' AND NOT blank_zero THEN
      blank_zero := true;
    ELSIF c IN ('$', 'C', 'L', 'U') AND cur = '' AND (c = '$' OR NOT seen_digit OR i = body_length) THEN
      cur := CASE c WHEN 'C' THEN 'USD' ELSE '$' END;
      cur_places := CASE WHEN c = '$' THEN 1 ELSE 10 END;
      cur_last := c <> '$' AND seen_digit;
    ELSE
      RAISE EXCEPTION USING ERRCODE = 'KV003', MESSAGE = 'ORA-01481: invalid number format model: ' || fmt;
    END IF;
  END LOOP;
  mask := array_to_string(mask_chars, '');
  IF scientific AND (mask ~ '[,G]' OR int_pos = 0) THEN
    RAISE EXCEPTION USING ERRCODE = 'KV003', MESSAGE = 'ORA-01481: invalid number format model: ' || fmt;
  END IF;
  width := length(mask) + cur_places + CASE WHEN scientific THEN 5 ELSE 0 END
    + CASE WHEN sign = 'PR' THEN 2 ELSE 1 END;
  IF scientific THEN
    res := ora_scientific(abs(v), frac_pos);
    IF seen_point AND frac_pos = 0 THEN res := regexp_replace(res, 'E', '.E'); END IF;
    negative := v < 0;
  ELSE
    r := round(abs(v) * ('1E' || scale)::numeric, frac_pos)::text;
    int_digits := ltrim(split_part(r, '.', 1), '0');
    frac_digits := split_part(r, '.', 2);
    negative := v < 0 AND r ~ '[1-9]';
    IF length(int_digits) > int_pos THEN RETURN repeat('#', width); END IF;
    IF blank_zero AND r !~ '[1-9]' THEN
      RETURN CASE WHEN fill THEN NULL ELSE repeat(' ', width) END;
    END IF;
    IF NOT blank_zero THEN
      IF first_zero >= 0 AND length(int_digits) < int_pos - first_zero THEN
        int_digits := lpad(int_digits, int_pos - first_zero, '0');
      END IF;
      IF int_digits = '' AND frac_pos = 0 THEN int_digits := '0'; END IF;
    END IF;
    k := length(int_digits);
    -- The integer part from its last digit back, each character written once: reversed at the end.
    FOR j IN REVERSE coalesce(nullif(strpos(translate(mask, 'D', '.'), '.'), 0) - 1, length(mask))..1 LOOP
      EXIT WHEN k = 0;
      IF mask_chars[j] IN (',', 'G') THEN
        written := written || ','::text;
      ELSE
        written := written || substr(int_digits, k, 1);
        k := k - 1;
      END IF;
    END LOOP;
    int_part := reverse(array_to_string(written, ''));
    IF fill AND length(frac_digits) > kept_zeros THEN
      frac_digits := CASE WHEN length(rtrim(frac_digits, '0')) >= kept_zeros THEN rtrim(frac_digits, '0')
                          ELSE left(frac_digits, kept_zeros) END;
    END IF;
    -- A value that rounds to zero, its decimals all dropped by FM, keeps one zero.
    IF fill AND int_part = '' AND frac_digits = '' AND int_pos > 0 THEN int_part := '0'; END IF;
    res := int_part || CASE WHEN seen_point THEN '.' || frac_digits ELSE '' END;
  END IF;
  res := CASE WHEN cur_last THEN res || cur ELSE cur || res END;
  res := CASE sign
    WHEN 'LS' THEN CASE WHEN negative THEN '-' ELSE '+' END || res
    WHEN 'TS' THEN res || CASE WHEN negative THEN '-' ELSE '+' END
    WHEN 'MI' THEN res || CASE WHEN negative THEN '-' WHEN fill THEN '' ELSE ' ' END
    WHEN 'PR' THEN CASE WHEN negative THEN '<' || res || '>' WHEN fill THEN res ELSE ' ' || res || ' ' END
    ELSE CASE WHEN negative THEN '-' ELSE '' END || res END;
  RETURN nullif(CASE WHEN fill THEN res ELSE lpad(res, greatest(width, length(res))) END, '');
END $f$;
-- Number format models of FM, 9, 0, the point (. or D), the group separator (, or G) and one
-- sign element (S first or last, MI or PR last), the others written by ora_number_model; a
-- value too wide for the model, whatever its sign, is as many # as the model is wide, and one
-- for the sign (two for PR). D and G are the point and the comma whatever the server's locale.
-- The server's own to_char writes a model with a digit before its point and one after it as
-- Oracle does; a model with no digit before the point (.99) or none after it (9.) is
-- ora_number_model's, as the server's answer differs there.
CREATE OR REPLACE FUNCTION ora_to_char_number(v numeric, fmt text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN fmt !~* '^(FM)?S?[90,.DG]+(S|MI|PR)?$' OR fmt ~* '^(FM)?S.*(S|MI|PR)$'
      OR fmt ~* '[.D].*[.,DG]' OR fmt ~* '^(FM)?S?[,G]*[.D]' OR fmt ~* '[.D](S|MI|PR)?$'
      THEN ora_number_model(v, fmt)
    WHEN fmt ~* '^(FM)?S|(S|MI|PR)$' THEN ora_to_char_signed(v, fmt)
    WHEN to_char(v, translate(fmt, 'DdGg', '..,,')) ~ '#'
      THEN repeat('#', length(regexp_replace(fmt, '^[Ff][Mm]', '')) + 1)
    ELSE nullif(to_char(v, translate(fmt, 'DdGg', '..,,')), '') END $f$;
-- TO_NUMBER(text, model) (ReadNumberByModel, number_format.cpp): the text must follow the model:
-- its sign where the sign element puts it (before the number without one), its currency
-- symbol, no more integer digits and decimals than the model has places for, group separators
-- only between integer digits; V's decimals come without a point, X reads hexadecimal digits,
-- TM any number. Blanks around it are ignored; RN reads no number (ORA-01481).
CREATE OR REPLACE FUNCTION ora_num(v text, fmt text) RETURNS numeric
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE
  up text := upper(fmt); t text := btrim(v, ' '); body text; sign text := ''; cur text := '';
  cur_last boolean := false; negative boolean := false; mask text; int_pos integer;
  frac_pos integer; scale integer := 0; n numeric := 0; m text[];
BEGIN
  IF v IS NULL OR fmt IS NULL THEN RETURN NULL; END IF;
  PERFORM ora_number_model(0, fmt);  -- refuses an invalid model
  IF up IN ('RN', 'FMRN') THEN
    RAISE EXCEPTION USING ERRCODE = 'KV003', MESSAGE = 'ORA-01481: invalid number format model: ' || fmt;
  END IF;
  IF t = '' THEN RETURN NULL; END IF;
  IF up IN ('TM', 'TM9', 'TME') THEN RETURN ora_num(t); END IF;
  IF up ~ '^(FM)?0*X+$' THEN
    IF length(t) > length(regexp_replace(up, '^FM', '')) OR t !~ '^[0-9A-Fa-f]+$' THEN
      RETURN ora_raise('ORA-01722: invalid number: ' || ora_quoted(v), 'KV001', NULL::numeric);
    END IF;
    -- 105 hexadecimal digits pass a NUMBER's range: the digits are read up to that many only.
    t := coalesce(nullif(ltrim(t, '0'), ''), '0');
    IF length(t) > 105 THEN RETURN ora_finite(1e126); END IF;
    FOR i IN 1..length(t) LOOP
      n := n * 16 + strpos('0123456789ABCDEF', upper(substr(t, i, 1))) - 1;
    END LOOP;
    RETURN ora_finite(n);
  END IF;
  body := regexp_replace(up, '^FM', '');
  IF body ~ '^S' THEN sign := 'LS';
  ELSIF body ~ '(MI|PR)$' THEN sign := right(body, 2);
  ELSIF body ~ 'S$' THEN sign := 'TS';
  END IF;
  body := regexp_replace(regexp_replace(body, '^S|(MI|PR|S)$', '', 'g'), 'B', '');
  IF body ~ '^[$CLU]' THEN cur := left(body, 1);
  ELSIF body ~ '[CLU]$' THEN cur := right(body, 1); cur_last := true;
  ELSIF body ~ '\$' THEN cur := '$';
  END IF;
  cur := CASE cur WHEN '' THEN '' WHEN 'C' THEN 'USD' ELSE '$' END;
  IF sign = '' AND t ~ '^[-+]' THEN negative := t ~ '^-'; t := substr(t, 2);
  ELSIF sign = 'LS' THEN
    IF t !~ '^[-+]' THEN t := 'x'; END IF;
    negative := t ~ '^-'; t := substr(t, 2);
  ELSIF sign = 'TS' THEN
    IF t !~ '[-+]$' THEN t := 'x'; END IF;
    negative := t ~ '-$'; t := left(t, -1);
  ELSIF sign = 'MI' AND t ~ '-$' THEN negative := true; t := left(t, -1);
  ELSIF sign = 'PR' AND t ~ '^<.*>$' AND length(t) > 1 THEN negative := true; t := substr(t, 2, length(t) - 2);
  END IF;
  IF cur <> '' THEN
    IF cur_last AND right(t, length(cur)) = cur THEN t := left(t, -length(cur));
    ELSIF NOT cur_last AND left(t, length(cur)) = cur THEN t := substr(t, length(cur) + 1);
    ELSE t := 'x';
    END IF;
  END IF;
  mask := regexp_replace(body, '[$CLUV]', '', 'g');
  IF body ~ 'EEEE$' THEN
    IF t !~ '^[0-9]+(\.[0-9]*)?[Ee][-+]?[0-9]+$' THEN t := 'x'; END IF;
  ELSE
    scale := coalesce(length(substring(body FROM 'V([09]*)')), 0);
    int_pos := length(regexp_replace(split_part(translate(mask, 'D', '.'), '.', 1), '[^09]', '', 'g'));
    frac_pos := length(regexp_replace(split_part(translate(mask, 'D', '.'), '.', 2), '[^09]', '', 'g'));
    m := regexp_match(t, CASE WHEN mask ~ '[,G]' THEN '^([0-9][0-9,]*)?' ELSE '^([0-9]*)' END
      || CASE WHEN mask ~ '[.D]' THEN '(\.([0-9]*))?$' ELSE '()()$' END);
    IF m IS NULL OR coalesce(m[1], '') || coalesce(m[3], '') = ''
       OR length(replace(coalesce(m[1], ''), ',', '')) > int_pos
       OR length(coalesce(m[3], '')) > frac_pos THEN
      t := 'x';
    ELSE
      t := replace(t, ',', '') || CASE WHEN scale > 0 THEN 'E-' || scale ELSE '' END;
    END IF;
  END IF;
  IF t = 'x' THEN RETURN ora_raise('ORA-01722: invalid number: ' || ora_quoted(v), 'KV001', NULL::numeric); END IF;
  n := ora_finite(t::numeric);
  RETURN CASE WHEN negative THEN -n ELSE n END;
END $f$;
CREATE OR REPLACE FUNCTION ora_num(v numeric, fmt text) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_num(ora_str(v), fmt) $f$;
CREATE OR REPLACE FUNCTION ora_num(v timestamp, fmt text) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_num(v) $f$;
-- Numbers in English words, as date suffixes spell them (date_format_elements.cpp).
CREATE OR REPLACE FUNCTION ora_small_number(n integer) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT (ARRAY['ONE', 'TWO', 'THREE', 'FOUR', 'FIVE', 'SIX', 'SEVEN', 'EIGHT', 'NINE', 'TEN',
    'ELEVEN', 'TWELVE', 'THIRTEEN', 'FOURTEEN', 'FIFTEEN', 'SIXTEEN', 'SEVENTEEN', 'EIGHTEEN',
    'NINETEEN'])[n] $f$;
CREATE OR REPLACE FUNCTION ora_spell_below_thousand(n integer) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT nullif(concat_ws(' ',
    CASE WHEN n >= 100 THEN ora_small_number(n / 100) || ' HUNDRED' END,
    CASE WHEN n % 100 = 0 THEN NULL
      WHEN n % 100 < 20 THEN ora_small_number(n % 100)
      ELSE (ARRAY['TWENTY', 'THIRTY', 'FORTY', 'FIFTY', 'SIXTY', 'SEVENTY', 'EIGHTY',
                  'NINETY'])[n % 100 / 10 - 1]
        || CASE WHEN n % 10 > 0 THEN '-' || ora_small_number(n % 10) ELSE '' END END), '') $f$;
CREATE OR REPLACE FUNCTION ora_spell_cardinal(n bigint) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN n = 0 THEN 'ZERO' ELSE concat_ws(' ',
    ora_spell_below_thousand((n / 1000000)::integer) || ' MILLION',
    ora_spell_below_thousand((n / 1000 % 1000)::integer) || ' THOUSAND',
    ora_spell_below_thousand((n % 1000)::integer)) END $f$;
CREATE OR REPLACE FUNCTION ora_spell(n bigint, ordinal boolean) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN NOT ordinal THEN w
    WHEN w ~ 'ZERO$' THEN w || 'ETH'
    WHEN w ~ 'ONE$' THEN regexp_replace(w, 'ONE$', 'FIRST')
    WHEN w ~ 'TWO$' THEN regexp_replace(w, 'TWO$', 'SECOND')
    WHEN w ~ 'THREE$' THEN regexp_replace(w, 'THREE$', 'THIRD')
    WHEN w ~ 'FIVE$' THEN regexp_replace(w, 'FIVE$', 'FIFTH')
    WHEN w ~ 'EIGHT$' THEN w || 'H'
    WHEN w ~ 'NINE$' THEN regexp_replace(w, 'NINE$', 'NINTH')
    WHEN w ~ 'TWELVE$' THEN regexp_replace(w, 'TWELVE$', 'TWELFTH')
    WHEN w ~ 'Y$' THEN regexp_replace(w, 'Y$', 'IETH')
    ELSE w || 'TH' END FROM (SELECT ora_spell_cardinal(n) AS w) AS words $f$;
-- A year as it is spoken: 1999 NINETEEN NINETY-NINE, 2005 TWO THOUSAND FIVE, 1900 NINETEEN
-- HUNDRED.
CREATE OR REPLACE FUNCTION ora_spell_year(y integer) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN y / 100 = 0 OR (y % 100 < 10 AND y / 100 % 10 = 0) THEN ora_spell(y, false)
    ELSE ora_spell(y / 100, false) || CASE WHEN y % 100 < 10 THEN ' HUNDRED' ELSE '' END
      || CASE WHEN y % 100 <> 0 THEN ' ' || ora_spell(y % 100, false) ELSE '' END END $f$;
-- Words in the letter case of the element: U as given, L lower, C each word capitalised.
CREATE OR REPLACE FUNCTION ora_letter_case(words text, letter_case text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE letter_case WHEN 'U' THEN words WHEN 'L' THEN lower(words) ELSE initcap(words) END $f$;
-- A number element of a date model with its suffix: its digits (padded to `width`), with their
-- ordinal suffix (form T), in words (S) or as an ordinal in words (O). A signed value or the
-- ordinal suffix of zero fails as in Oracle.
CREATE OR REPLACE FUNCTION ora_date_number(digits text, letter_case text, form text,
                                           width integer) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN digits !~ '^[0-9]+$' OR (form = 'T' AND digits::bigint = 0)
      THEN ora_raise('ORA-01877: string is too long for internal buffer', 'KV000', NULL::text)
    WHEN form = 'D' THEN lpad(digits, greatest(width, length(digits)), '0')
    WHEN form = 'T' THEN lpad(digits, greatest(width, length(digits)), '0')
      || ora_letter_case(CASE WHEN digits::bigint % 100 BETWEEN 11 AND 13 THEN 'TH'
           WHEN digits::bigint % 10 = 1 THEN 'ST' WHEN digits::bigint % 10 = 2 THEN 'ND'
           WHEN digits::bigint % 10 = 3 THEN 'RD' ELSE 'TH' END,
           CASE letter_case WHEN 'U' THEN 'U' ELSE 'L' END)
    ELSE ora_letter_case(ora_spell(digits::bigint, form = 'O'), letter_case) END $f$;
-- Oracle's FM switches padding off (and on again) for every element after it; PostgreSQL's
-- applies to the next element only, so it is written before each element while it is on.
-- The run reaches it without the elements written in parts of their own (a suffix, SSSSS,
-- YEAR, Rm). The model is read as an array of its characters and written as an array of
-- pieces, so that the work is linear in its length.
CREATE OR REPLACE FUNCTION ora_date_model(fmt text) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  c text[] := coalesce(string_to_array(fmt, NULL), '{}');
  n integer := cardinality(c);
  pieces text[] := '{}';
  i integer := 1;
  j integer;
  fill_off boolean := false;
BEGIN
  WHILE i <= n LOOP
    IF c[i] = '"' THEN
      -- A quoted text with its closing quote, or the rest of the model when none closes it.
      j := i + 1;
      WHILE j <= n AND c[j] <> '"' LOOP j := j + 1; END LOOP;
      FOR k IN i .. least(j, n) LOOP pieces := pieces || c[k]; END LOOP;
      i := j + 1;
    ELSIF upper(c[i] || coalesce(c[i + 1], '')) = 'FM' THEN
      fill_off := NOT fill_off;
      i := i + 2;
    ELSIF c[i] ~ '^[A-Za-z]$' THEN
      IF fill_off THEN pieces := pieces || 'FM'::text; END IF;
      WHILE i <= n AND c[i] ~ '^[A-Za-z]$' LOOP pieces := pieces || c[i]; i := i + 1; END LOOP;
      WHILE i <= n AND c[i] ~ '^[0-9]$' LOOP pieces := pieces || c[i]; i := i + 1; END LOOP;
    ELSE
      pieces := pieces || c[i];
      i := i + 1;
    END IF;
  END LOOP;
  RETURN array_to_string(pieces, '');
END $f$;
-- STABLE as to_char is, so that the server inlines it and works out a constant model once per
-- statement instead of once per row.
CREATE OR REPLACE FUNCTION ora_to_char_date(v timestamp, fmt text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT nullif(to_char(v, ora_date_model(fmt)), '') $f$;
-- One part of a date model that the front end splits where the server's to_char has no form
-- for an element (postgres_printer.cpp): T and a run to_char writes; R and RM or FMRM, written
-- capitalised; Y, the letter case and S or N, the year in words with or without its sign's
-- place; N, the letter case, the form of ora_date_number, the width and the to_char element
-- of a number.
CREATE OR REPLACE FUNCTION ora_date_part(v timestamp, part text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE left(part, 1)
    WHEN 'T' THEN to_char(v, ora_date_model(substr(part, 2)))
    WHEN 'R' THEN initcap(to_char(v, substr(part, 2)))
    WHEN 'Y' THEN CASE WHEN substr(part, 3, 1) = 'N' THEN ''
                       WHEN extract(year FROM v) < 0 THEN '-' ELSE ' ' END
      || ora_letter_case(ora_spell_year(abs(extract(year FROM v))::integer), substr(part, 2, 1))
    ELSE ora_date_number(to_char(v, 'FM' || substr(part, 5)), substr(part, 2, 1),
                         substr(part, 3, 1), substr(part, 4, 1)::integer) END $f$;
-- A long model's parts, each distinct one written once (it repeats few), then joined.
CREATE OR REPLACE FUNCTION ora_to_char_date_many_parts(v timestamp, parts text[]) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  WITH w AS MATERIALIZED (
    SELECT d.p, ora_date_part(v, d.p) AS written
    FROM (SELECT DISTINCT p FROM unnest(parts) AS p) AS d)
  SELECT nullif(string_agg(w.written, '' ORDER BY u.i), '')
  FROM unnest(parts) WITH ORDINALITY AS u(p, i) JOIN w ON w.p = u.p $f$;
CREATE OR REPLACE FUNCTION ora_to_char_date_parts(v timestamp, parts text[]) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v IS NULL THEN NULL
    WHEN cardinality(parts) > 16 THEN ora_to_char_date_many_parts(v, parts)
    ELSE (SELECT nullif(string_agg(ora_date_part(v, p), '' ORDER BY i), '')
          FROM unnest(parts) WITH ORDINALITY AS u(p, i)) END $f$;
-- A date model computed when the statement runs, split into the parts of ora_date_part as the
-- front end splits a model written in the statement (PgDateModelParts, postgres_printer.cpp):
-- DL and DS stand for their AMERICAN_AMERICA models, each element is the longest name that
-- stands at its place (date_format_elements.cpp), and a letter that starts none is refused.
-- The model is read once as an array of its characters and quoted texts, the run to_char
-- writes gathered in an array of its own, so that the work is linear in the model's length.
CREATE OR REPLACE FUNCTION ora_date_model_parts(written text) RETURNS text[]
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  fmt text := CASE upper(written) WHEN 'DL' THEN 'fmDay, Month dd, yyyy'
                                  WHEN 'DS' THEN 'MM/DD/RRRR' ELSE written END;
  t text[] := ARRAY(SELECT m[1] FROM regexp_matches(fmt, '"[^"]*"?|[^"]', 'g') AS m);
  names5 constant text[] := ARRAY['SYEAR', 'SYYYY', 'Y,YYY', 'MONTH', 'SSSSS'];
  names4 constant text[] := ARRAY['YEAR', 'YYYY', 'RRRR', 'IYYY', 'HH24', 'HH12', 'A.M.', 'P.M.',
    'A.D.', 'B.C.'];
  names3 constant text[] := ARRAY['YYY', 'IYY', 'SCC', 'MON', 'DDD', 'DAY'];
  names2 constant text[] := ARRAY['YY', 'RR', 'IY', 'CC', 'MM', 'RM', 'WW', 'IW', 'DD', 'DY', 'HH',
    'MI', 'SS', 'AM', 'PM', 'AD', 'BC', 'FM', 'FX'];
  names1 constant text[] := ARRAY['Y', 'I', 'Q', 'W', 'D', 'J'];
  numbers constant text[] := ARRAY['YYYY', 'YYY', 'YY', 'Y', 'RRRR', 'RR', 'IYYY', 'IYY', 'IY', 'I',
    'CC', 'Q', 'MM', 'WW', 'IW', 'W', 'DDD', 'DD', 'D', 'J', 'HH24', 'HH12', 'HH', 'MI', 'SS',
    'SSSSS'];
  parts text[] := '{}'; run text[]; fill boolean := false; i integer := 1; n integer := cardinality(t);
  written_here text; w text; best text; letters text; suffix text; suffix_length integer;
  after text; c text; piece text;
BEGIN
  WHILE i <= n OR run IS NOT NULL LOOP
    piece := NULL;
    IF i <= n THEN
      c := t[i];
      written_here := c || coalesce(t[i + 1], '') || coalesce(t[i + 2], '') || coalesce(t[i + 3], '')
        || coalesce(t[i + 4], '');
      w := upper(written_here);
      best := CASE WHEN left(w, 5) = ANY (names5) THEN left(w, 5)
        WHEN left(w, 4) = ANY (names4) THEN left(w, 4) WHEN left(w, 3) = ANY (names3) THEN left(w, 3)
        WHEN left(w, 2) = ANY (names2) THEN left(w, 2) WHEN left(w, 1) = ANY (names1) THEN left(w, 1)
        END;
    END IF;
    IF i > n THEN
      piece := '';
    ELSIF best IS NULL THEN
      IF (left(c, 1) = '"' AND (length(c) = 1 OR right(c, 1) <> '"'))
         OR (left(c, 1) <> '"' AND c !~ '[-/,.;: ]' AND ascii(c) < 128) THEN
        RAISE EXCEPTION USING ERRCODE = 'KV003',
          MESSAGE = 'ORA-01821: date format not recognized: ' || ora_quoted(written);
      END IF;
      IF run IS NULL THEN run := ARRAY[CASE WHEN fill THEN 'TFM' ELSE 'T' END]; END IF;
      run := run || c;
      i := i + 1;
      CONTINUE;
    ELSE
      letters := CASE WHEN c ~ '[a-z]' THEN 'L' WHEN left(t[i + 1], 1) ~ '[a-z]' THEN 'C'
                      ELSE 'U' END;
      suffix := 'D';
      suffix_length := 0;
      IF best = ANY (numbers) THEN
        after := upper(coalesce(t[i + length(best)], '') || coalesce(t[i + length(best) + 1], '')
          || coalesce(t[i + length(best) + 2], '') || coalesce(t[i + length(best) + 3], ''));
        suffix := CASE WHEN left(after, 4) IN ('SPTH', 'THSP') THEN 'O'
          WHEN left(after, 2) = 'SP' THEN 'S' WHEN left(after, 2) = 'TH' THEN 'T' ELSE 'D' END;
        suffix_length := CASE suffix WHEN 'O' THEN 4 WHEN 'D' THEN 0 ELSE 2 END;
      END IF;
      IF suffix <> 'D' OR best = 'SSSSS' THEN
        piece := 'N' || letters || suffix
          || CASE WHEN best IN ('YYY', 'IYY') THEN 3 WHEN best IN ('YY', 'RR', 'IY') THEN 2
               WHEN best IN ('Y', 'I', 'Q', 'W', 'D') THEN 1 WHEN best = 'IYYY' THEN 4
               WHEN best = 'J' OR fill THEN 0 WHEN best IN ('YYYY', 'RRRR') THEN 4
               WHEN best = 'DDD' THEN 3 WHEN best = 'SSSSS' THEN 5 ELSE 2 END
          || CASE best WHEN 'RRRR' THEN 'YYYY' WHEN 'RR' THEN 'YY' WHEN 'SSSSS' THEN 'SSSS'
               WHEN 'HH' THEN 'HH12' ELSE best END;
      ELSIF best IN ('YEAR', 'SYEAR') THEN
        piece := 'Y' || letters || CASE best WHEN 'SYEAR' THEN 'S' ELSE 'N' END;
      ELSIF best = 'RM' AND letters = 'C' THEN
        piece := CASE WHEN fill THEN 'RFMRM' ELSE 'RRM' END;
      ELSE
        IF run IS NULL THEN run := ARRAY[CASE WHEN fill THEN 'TFM' ELSE 'T' END]; END IF;
        run := run || CASE WHEN best IN ('RRRR', 'RR') THEN left('YYYY', length(best))
                  WHEN best IN ('SYYYY', 'SCC') THEN '" "' || substr(best, 2)
                  ELSE left(written_here, length(best)) END;
        IF best = 'FM' THEN fill := NOT fill; END IF;
      END IF;
      i := i + length(best) + suffix_length;
    END IF;
    IF piece IS NOT NULL THEN
      IF run IS NOT NULL THEN parts := parts || array_to_string(run, ''); run := NULL; END IF;
      IF piece <> '' THEN parts := parts || piece; END IF;
    END IF;
  END LOOP;
  RETURN parts;
END $f$;
DROP FUNCTION IF EXISTS ora_date_run(text[], boolean, text);
-- TO_CHAR of a date by a model computed when the statement runs.
CREATE OR REPLACE FUNCTION ora_to_char_date_model(v timestamp, fmt text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v IS NOT NULL AND fmt IS NOT NULL
    THEN ora_to_char_date_parts(v, ora_date_model_parts(fmt)) END $f$;
CREATE OR REPLACE FUNCTION ora_to_char(v numeric, fmt text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_to_char_number(v, fmt) $f$;
CREATE OR REPLACE FUNCTION ora_to_char(v timestamp, fmt text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_to_char_date_model(v, fmt) $f$;
CREATE OR REPLACE FUNCTION ora_to_char(v text, fmt text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$'
    THEN ora_to_char_date_model(v::timestamp, fmt) ELSE ora_to_char_number(ora_num(v), fmt) END $f$;
-- The same, the model given in the statement and, for a date, read into the parts of
-- ora_date_part.
CREATE OR REPLACE FUNCTION ora_to_char(v text, fmt text, parts text[]) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$'
    THEN ora_to_char_date_parts(v::timestamp, parts)
    ELSE ora_to_char_number(ora_num(v), fmt) END $f$;
-- TO_DATE: a text in the stored form (blanks around it allowed) by the default format, or a
-- date alone by YYYY-MM-DD, is read without the reader, so that a constant folds when the
-- statement is planned.
CREATE OR REPLACE FUNCTION ora_to_date(v text, fmt text) RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN nullif(v, '') IS NULL OR nullif(fmt, '') IS NULL THEN NULL
    ELSE coalesce(CASE WHEN upper(fmt) = 'YYYY-MM-DD HH24:MI:SS'
                         OR (upper(fmt) = 'YYYY-MM-DD' AND length(btrim(v, ' ')) = 10)
                    THEN ora_stored_date(btrim(v, ' ')) END,
                  ora_date_read_or_raise(v, fmt)) END $f$;
CREATE OR REPLACE FUNCTION ora_to_date(v timestamp, fmt text) RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT v $f$;
CREATE OR REPLACE FUNCTION ora_to_date(v numeric, fmt text) RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_to_date(ora_str(v), fmt) $f$;

-- SYSDATE: the provider sets the database clock's time for each statement that reads it.
CREATE OR REPLACE FUNCTION ora_sysdate() RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT coalesce(nullif(current_setting('korvalis.sysdate', true), '')::timestamp(0),
                  localtimestamp(0)) $f$;

)SQL";

}  // namespace

std::string PostgresRuntimeSql(std::string_view schema) {
  static const std::string& sql = *new std::string(
      PostgresDateRangeSql() + std::string(PostgresDateReaderSql()) + kRuntimeSql +
      PostgresBoundedWorkSql() + PostgresFunctionsSql() + PostgresTextSearchSql() +
      PostgresRownumWalkSql() +
      "-- The version of these objects: the provider installs them again when it differs.\n"
      "CREATE OR REPLACE FUNCTION korvalis_runtime_version() RETURNS integer\n"
      "LANGUAGE sql IMMUTABLE AS $f$ SELECT " +
      std::to_string(kPostgresRuntimeVersion) + " $f$;\n");
  return QualifyRuntimeNames(sql, schema);
}

}  // namespace korvalis::db
