#include "platform/db/postgres_date_reader.h"

namespace korvalis::db {

namespace {

constexpr char kDateReaderSql[] = R"SQL(
-- The refusal when two elements of one kind stand in an input model; NULL for elements that
-- may stand with any other.
CREATE OR REPLACE FUNCTION ora_date_conflict(el text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE
    WHEN el IN ('YYYY', 'SYYYY', 'Y,YYY', 'YYY', 'YY', 'Y', 'RRRR', 'RR')
      THEN 'ORA-01812: year may only be specified once'
    WHEN el IN ('MM', 'MON', 'MONTH', 'RM') THEN 'ORA-01816: month may only be specified once'
    WHEN el IN ('D', 'DAY', 'DY') THEN 'ORA-01817: day of week may only be specified once'
    WHEN el IN ('HH24', 'HH12') THEN 'ORA-01813: hour may only be specified once'
    WHEN el IN ('AM', 'A.M.') THEN 'ORA-01814: AM/PM conflicts with use of A.M./P.M.'
    WHEN el IN ('AD', 'A.D.') THEN 'ORA-01815: BC/AD conflicts with use of B.C./A.D.' END $f$;
-- The digits of `chars` from `pos` on, eight at most: an element reads seven at most (J), and
-- a year's whether there were more than four.
CREATE OR REPLACE FUNCTION ora_date_digits(chars text[], pos integer) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE run text := '';
BEGIN
  FOR q IN pos .. pos + 7 LOOP
    EXIT WHEN chars[q] IS NULL OR chars[q] !~ '^[0-9]$';
    run := run || chars[q];
  END LOOP;
  RETURN run;
END $f$;
CREATE OR REPLACE FUNCTION ora_date_read(v text, fmt text, today timestamp,
                                         OUT d timestamp, OUT err text, OUT state text)
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  names constant text[] := ARRAY['SYEAR', 'YEAR', 'SYYYY', 'SSSSS', 'MONTH', 'Y,YYY', 'A.M.', 'P.M.', 'A.D.',
    'B.C.', 'YYYY', 'RRRR', 'IYYY', 'HH24', 'HH12', 'YYY', 'IYY', 'SCC', 'MON', 'DDD', 'DAY',
    'YY', 'RR', 'IY', 'CC', 'MM', 'RM', 'WW', 'IW', 'DD', 'DY', 'HH', 'MI', 'SS', 'AM', 'PM',
    'AD', 'BC', 'FM', 'FX', 'Y', 'I', 'Q', 'W', 'D', 'J'];
  months constant text[] := ARRAY['JANUARY', 'FEBRUARY', 'MARCH', 'APRIL', 'MAY', 'JUNE', 'JULY',
    'AUGUST', 'SEPTEMBER', 'OCTOBER', 'NOVEMBER', 'DECEMBER'];
  days constant text[] := ARRAY['SUNDAY', 'MONDAY', 'TUESDAY', 'WEDNESDAY', 'THURSDAY', 'FRIDAY',
    'SATURDAY'];
  romans constant text[] := ARRAY['I', 'II', 'III', 'IV', 'V', 'VI', 'VII', 'VIII', 'IX', 'X',
    'XI', 'XII'];
  numeric_elements constant text[] := ARRAY['YYYY', 'SYYYY', 'Y,YYY', 'YYY', 'YY', 'Y', 'RRRR',
    'RR', 'MM', 'DDD', 'DD', 'D', 'J', 'HH24', 'HH12', 'MI', 'SS', 'SSSSS'];
  may_be_left_out constant text[] := ARRAY['LIT', 'PUNCT', 'HH24', 'HH12', 'MI', 'SS', 'SSSSS',
    'FM', 'FX', 'AM', 'A.M.'];
  els text[] := '{}';
  lits text[] := '{}';
  -- The model as its characters and quoted texts, the text as its characters, and after each
  -- element whether the next one (FM and FX passed over) reads a number: every place is read
  -- in constant time, so that the work is linear in the lengths of both.
  tf text[] := ARRAY(SELECT m[1] FROM regexp_matches(fmt, '"[^"]*"?|[^"]', 'g') AS m);
  vc text[] := coalesce(string_to_array(v, NULL), '{}');
  next_numeric boolean[];
  n integer := cardinality(tf);
  len integer := cardinality(vc);
  w text;
  i integer := 1;
  j integer;
  k integer;
  r integer;
  pos integer := 1;
  c text;
  el text;
  found text;
  conflict text;
  ty integer := extract(year FROM today)::integer;
  yr integer := ty;
  mo integer := extract(month FROM today)::integer;
  dy integer := 1;
  hh integer := 0;
  mi integer := 0;
  ss integer := 0;
  wd integer := -1;
  doy integer := 0;
  jul bigint := 0;
  pm boolean := false;
  bc boolean := false;
  fx boolean := false;
  fm boolean := false;
  nf boolean;
  neg boolean;
  four boolean;
  width integer;
  cnt integer;
  run text;
  num bigint;
  lo bigint;
  hi bigint;
  range_error text;
  dt date;
BEGIN
  -- The elements of the model, checked as a whole.
  WHILE i <= n LOOP
    c := tf[i];
    w := upper(c || coalesce(tf[i + 1], '') || coalesce(tf[i + 2], '') || coalesce(tf[i + 3], '')
      || coalesce(tf[i + 4], '') || coalesce(tf[i + 5], '') || coalesce(tf[i + 6], ''));
    found := NULL;
    FOREACH el IN ARRAY names LOOP
      IF left(w, length(el)) = el THEN found := el; EXIT; END IF;
    END LOOP;
    IF found IS NOT NULL THEN
      el := CASE found WHEN 'PM' THEN 'AM' WHEN 'P.M.' THEN 'A.M.' WHEN 'BC' THEN 'AD'
        WHEN 'B.C.' THEN 'A.D.' WHEN 'HH' THEN 'HH12' ELSE found END;
      -- Elements that only format, and a suffix (TH, SP) on a number, are never read.
      IF el IN ('YEAR', 'SYEAR', 'IYYY', 'IYY', 'IY', 'I', 'CC', 'SCC', 'Q', 'WW', 'IW', 'W')
          OR (el NOT IN ('SYYYY', 'Y,YYY', 'MONTH', 'MON', 'DAY', 'DY', 'RM', 'AM', 'A.M.', 'AD',
                         'A.D.', 'FM', 'FX')
              AND substr(w, length(found) + 1, 2) IN ('SP', 'TH')) THEN
        err := 'ORA-01820: format code cannot appear in date input format: ' || ora_quoted(fmt);
        state := 'KV003';
        RETURN;
      END IF;
      els := els || el;
      lits := lits || ''::text;
      i := i + length(found);
    ELSIF left(c, 1) = '"' THEN
      IF length(c) = 1 OR right(c, 1) <> '"' THEN
        err := 'ORA-01821: date format not recognized: ' || ora_quoted(fmt);
        state := 'KV003';
        RETURN;
      END IF;
      els := els || CASE WHEN length(c) = 3 AND substr(c, 2, 1) IN ('-', '/', ',', '.', ';', ':', ' ')
                      THEN 'PUNCT' ELSE 'LIT' END;
      lits := lits || substr(c, 2, length(c) - 2);
      i := i + 1;
    ELSIF c IN ('-', '/', ',', '.', ';', ':', ' ') OR ascii(c) >= 128 THEN
      els := els || CASE WHEN ascii(c) >= 128 THEN 'LIT' ELSE 'PUNCT' END;
      lits := lits || c;
      i := i + 1;
    ELSE
      err := 'ORA-01821: date format not recognized: ' || ora_quoted(fmt);
      state := 'KV003';
      RETURN;
    END IF;
  END LOOP;
  FOR i IN 1 .. cardinality(els) LOOP
    CONTINUE WHEN els[i] IN ('LIT', 'PUNCT', 'FM', 'FX');
    conflict := ora_date_conflict(els[i]);
    FOR j IN 1 .. i - 1 LOOP
      IF els[j] = els[i] THEN
        err := 'ORA-01810: format code appears twice: ' || ora_quoted(fmt);
        state := 'KV003';
        RETURN;
      END IF;
      IF conflict IS NOT NULL AND conflict = ora_date_conflict(els[j]) THEN
        err := conflict || ': ' || ora_quoted(fmt);
        state := 'KV003';
        RETURN;
      END IF;
    END LOOP;
  END LOOP;
  IF 'HH24' = ANY(els) AND ('AM' = ANY(els) OR 'A.M.' = ANY(els)) THEN
    err := 'ORA-01818: ''HH24'' precludes use of meridian indicator: ' || ora_quoted(fmt);
  ELSIF 'SYYYY' = ANY(els) AND ('AD' = ANY(els) OR 'A.D.' = ANY(els)) THEN
    err := 'ORA-01819: signed year precludes use of BC/AD: ' || ora_quoted(fmt);
  ELSIF 'J' = ANY(els) AND 'DDD' = ANY(els) THEN
    err := 'ORA-01811: Julian date precludes use of day of year: ' || ora_quoted(fmt);
  END IF;
  IF err IS NOT NULL THEN state := 'KV003'; RETURN; END IF;
  next_numeric := array_fill(false, ARRAY[cardinality(els) + 1]);
  FOR r IN REVERSE cardinality(els) - 1 .. 1 LOOP
    next_numeric[r] := CASE WHEN els[r + 1] IN ('FM', 'FX') THEN next_numeric[r + 1]
                            ELSE els[r + 1] = ANY(numeric_elements) END;
  END LOOP;

  -- The text, element by element. A failure of the text is a conversion failure.
  state := 'KV001';
  FOR k IN 1 .. cardinality(els) LOOP
    el := els[k];
    IF el = 'FM' THEN fm := NOT fm; CONTINUE; END IF;
    IF el = 'FX' THEN fx := NOT fx; CONTINUE; END IF;
    IF NOT fx THEN
      WHILE pos <= len AND vc[pos] = ' ' LOOP pos := pos + 1; END LOOP;
    END IF;
    IF pos > len THEN
      FOR r IN k .. cardinality(els) LOOP
        IF NOT els[r] = ANY(may_be_left_out) THEN
          err := 'ORA-01840: input value not long enough for date format: ' || ora_quoted(v);
          RETURN;
        END IF;
      END LOOP;
      EXIT;
    END IF;
    nf := next_numeric[k];
    c := vc[pos];
    -- The next nine characters, upper case: the longest name read.
    w := upper(c || coalesce(vc[pos + 1], '') || coalesce(vc[pos + 2], '') || coalesce(vc[pos + 3], '')
      || coalesce(vc[pos + 4], '') || coalesce(vc[pos + 5], '') || coalesce(vc[pos + 6], '')
      || coalesce(vc[pos + 7], '') || coalesce(vc[pos + 8], ''));

    IF el IN ('MON', 'MONTH', 'RM') OR (el = 'MM' AND c !~ '[0-9]') THEN
      IF el = 'MM' AND fx THEN
        err := 'ORA-01858: a non-numeric character was found where a numeric was expected: '
               || ora_quoted(v);
        RETURN;
      END IF;
      found := NULL;
      IF el = 'RM' THEN
        FOR i IN 1 .. 12 LOOP
          IF left(w, length(romans[i])) = romans[i]
              AND (found IS NULL OR length(romans[i]) > length(romans[found::integer])) THEN
            found := i::text;
          END IF;
        END LOOP;
        IF found IS NOT NULL THEN pos := pos + length(romans[found::integer]); END IF;
      ELSE
        IF el <> 'MON' OR NOT fx THEN
          FOR i IN 1 .. 12 LOOP
            IF left(w, length(months[i])) = months[i] THEN
              found := i::text; pos := pos + length(months[i]); EXIT;
            END IF;
          END LOOP;
        END IF;
        IF found IS NULL AND (el <> 'MONTH' OR NOT fx) THEN
          FOR i IN 1 .. 12 LOOP
            IF left(w, 3) = left(months[i], 3) THEN
              found := i::text; pos := pos + 3; EXIT;
            END IF;
          END LOOP;
        END IF;
      END IF;
      IF found IS NULL THEN
        err := 'ORA-01843: not a valid month: ' || ora_quoted(v);
        RETURN;
      END IF;
      mo := found::integer;
    ELSIF el IN ('DAY', 'DY') THEN
      wd := -1;
      IF el = 'DAY' OR NOT fx THEN
        FOR i IN 1 .. 7 LOOP
          IF left(w, length(days[i])) = days[i] THEN
            wd := i - 1; pos := pos + length(days[i]); EXIT;
          END IF;
        END LOOP;
      END IF;
      IF wd < 0 AND (el = 'DY' OR NOT fx) THEN
        FOR i IN 1 .. 7 LOOP
          IF left(w, 3) = left(days[i], 3) THEN
            wd := i - 1; pos := pos + 3; EXIT;
          END IF;
        END LOOP;
      END IF;
      IF wd < 0 THEN
        err := 'ORA-01846: not a valid day of the week: ' || ora_quoted(v);
        RETURN;
      END IF;
    ELSIF el IN ('AM', 'A.M.', 'AD', 'A.D.') THEN
      found := CASE el WHEN 'AM' THEN 'PM' WHEN 'A.M.' THEN 'P.M.' WHEN 'AD' THEN 'BC' ELSE 'B.C.' END;
      IF left(w, length(found)) = found THEN
        IF el IN ('AM', 'A.M.') THEN pm := true; ELSE bc := true; END IF;
      ELSIF left(w, length(el)) = el THEN
        IF el IN ('AM', 'A.M.') THEN pm := false; ELSE bc := false; END IF;
      ELSIF el IN ('AM', 'A.M.') THEN
        err := 'ORA-01855: AM/A.M. or PM/P.M. required: ' || ora_quoted(v);
        RETURN;
      ELSE
        err := 'ORA-01856: BC/B.C. or AD/A.D. required: ' || ora_quoted(v);
        RETURN;
      END IF;
      pos := pos + length(found);
    ELSIF el = ANY(numeric_elements) THEN
      neg := false;
      IF el = 'SYYYY' AND c IN ('-', '+') THEN
        neg := c = '-';
        pos := pos + 1;
      END IF;
      run := ora_date_digits(vc, pos);
      four := el IN ('YY', 'RR') AND length(run) IN (3, 4) AND NOT nf;
      width := CASE WHEN four THEN 4 WHEN el IN ('YY', 'RR') THEN 2
        ELSE CASE el WHEN 'Y,YYY' THEN 1 WHEN 'YYY' THEN 3 WHEN 'Y' THEN 1 WHEN 'MM' THEN 2
          WHEN 'DDD' THEN 3 WHEN 'DD' THEN 2 WHEN 'D' THEN 1 WHEN 'J' THEN 7 WHEN 'HH24' THEN 2
          WHEN 'HH12' THEN 2 WHEN 'MI' THEN 2 WHEN 'SS' THEN 2 WHEN 'SSSSS' THEN 5 ELSE 4 END END;
      cnt := least(length(run), width);
      IF cnt = 0 THEN
        err := 'ORA-01858: a non-numeric character was found where a numeric was expected: '
               || ora_quoted(v);
        RETURN;
      END IF;
      num := left(run, cnt)::bigint;
      pos := pos + cnt;
      IF fx AND NOT fm AND NOT four AND cnt <> width THEN
        err := 'ORA-01862: the numeric value does not match the length of the format item: '
               || ora_quoted(v);
        RETURN;
      END IF;
      IF el = 'Y,YYY' THEN
        IF pos > len OR vc[pos] <> ',' THEN
          err := 'ORA-01861: literal does not match format string: ' || ora_quoted(v);
          RETURN;
        END IF;
        pos := pos + 1;
        run := ora_date_digits(vc, pos);
        cnt := least(length(run), 3);
        IF cnt = 0 THEN
          err := 'ORA-01858: a non-numeric character was found where a numeric was expected: '
                 || ora_quoted(v);
          RETURN;
        END IF;
        IF fx AND NOT fm AND cnt <> 3 THEN
          err := 'ORA-01862: the numeric value does not match the length of the format item: '
                 || ora_quoted(v);
          RETURN;
        END IF;
        yr := num * 1000 + left(run, cnt)::integer;
        pos := pos + cnt;
      ELSIF el IN ('YYYY', 'SYYYY', 'YYY', 'YY', 'Y', 'RRRR', 'RR') THEN
        IF el IN ('YYY', 'Y') THEN
          yr := ty - ty % (CASE el WHEN 'YYY' THEN 1000 ELSE 10 END) + num;
        ELSIF el IN ('RR', 'RRRR') AND cnt <= 2 THEN
          yr := ty - ty % 100 + num::integer
                + CASE WHEN num < 50 AND ty % 100 >= 50 THEN 100
                       WHEN num >= 50 AND ty % 100 < 50 THEN -100 ELSE 0 END;
        ELSIF el = 'YY' AND cnt <= 2 THEN
          yr := ty - ty % 100 + num;
        ELSE
          yr := CASE WHEN neg THEN -num ELSE num END;
        END IF;
      ELSE
        SELECT x.lo, x.hi, x.e INTO lo, hi, range_error FROM (VALUES
          ('MM', 1, 12, 'ORA-01843: not a valid month'),
          ('DD', 1, 31, 'ORA-01847: day of month must be between 1 and last day of month'),
          ('DDD', 1, 366, 'ORA-01848: day of year must be between 1 and 365 (366 for leap year)'),
          ('D', 1, 7, 'ORA-01846: not a valid day of the week'),
          ('J', 1, 5373484, 'ORA-01854: julian date must be between 1 and 5373484'),
          ('HH24', 0, 23, 'ORA-01850: hour must be between 0 and 23'),
          ('HH12', 1, 12, 'ORA-01849: hour must be between 1 and 12'),
          ('MI', 0, 59, 'ORA-01851: minutes must be between 0 and 59'),
          ('SS', 0, 59, 'ORA-01852: seconds must be between 0 and 59'),
          ('SSSSS', 0, 86399, 'ORA-01853: seconds in day must be between 0 and 86399'))
          AS x(el, lo, hi, e) WHERE x.el = els[k];
        IF num < lo OR num > hi THEN
          err := range_error || ': ' || ora_quoted(v);
          RETURN;
        END IF;
        CASE el
          WHEN 'MM' THEN mo := num;
          WHEN 'DD' THEN dy := num;
          WHEN 'DDD' THEN doy := num;
          WHEN 'D' THEN wd := num - 1;
          WHEN 'J' THEN jul := num;
          WHEN 'HH24' THEN hh := num;
          WHEN 'HH12' THEN hh := num % 12;
          WHEN 'MI' THEN mi := num;
          WHEN 'SS' THEN ss := num;
          ELSE hh := num / 3600; mi := num / 60 % 60; ss := num % 60;
        END CASE;
      END IF;
    ELSIF els[k] = 'PUNCT' AND NOT fx THEN
      -- Punctuation stands for any one ASCII mark of the text, or for none.
      IF ascii(c) < 128 AND c <> ' ' AND c !~ '[A-Za-z0-9]' THEN pos := pos + 1; END IF;
    ELSE
      j := 0;
      FOREACH c IN ARRAY coalesce(string_to_array(lits[k], NULL), '{}') LOOP
        IF upper(coalesce(vc[pos + j], '')) <> upper(c) THEN
          err := 'ORA-01861: literal does not match format string: ' || ora_quoted(v);
          RETURN;
        END IF;
        j := j + 1;
      END LOOP;
      pos := pos + j;
    END IF;
  END LOOP;

  IF NOT fx THEN
    WHILE pos <= len AND vc[pos] = ' ' LOOP pos := pos + 1; END LOOP;
  END IF;
  IF pos <= len THEN
    err := 'ORA-01830: date format picture ends before converting entire input string: '
           || ora_quoted(v);
    RETURN;
  END IF;
  IF pm THEN hh := hh + 12; END IF;
  IF jul > 0 THEN
    dt := date '1970-01-01' + (jul - 2440588)::integer;
    yr := extract(year FROM dt);
    mo := extract(month FROM dt);
    dy := extract(day FROM dt);
  END IF;
  IF yr < 1 OR bc THEN
    err := 'ORA-01841: (full) year must be between 1 and 9999: ' || ora_quoted(v);
    RETURN;
  END IF;
  IF yr > 9999 THEN
    err := 'ORA-01839: date not valid for month specified: ' || ora_quoted(v);
    RETURN;
  END IF;
  IF doy > 0 THEN
    IF doy > 365 + ((yr % 4 = 0 AND yr % 100 <> 0) OR yr % 400 = 0)::integer THEN
      err := 'ORA-01848: day of year must be between 1 and 365 (366 for leap year): ' || ora_quoted(v);
      RETURN;
    END IF;
    dt := make_date(yr, 1, 1) + (doy - 1);
    yr := extract(year FROM dt);
    mo := extract(month FROM dt);
    dy := extract(day FROM dt);
  END IF;
  IF mo < 1 OR mo > 12 OR dy < 1
      OR dy > extract(day FROM make_date(yr, mo, 1) + interval '1 month - 1 day') THEN
    err := 'ORA-01839: date not valid for month specified: ' || ora_quoted(v);
    RETURN;
  END IF;
  IF wd >= 0 AND wd <> extract(dow FROM make_date(yr, mo, dy)) THEN
    err := 'ORA-01835: day of week conflicts with Julian date: ' || ora_quoted(v);
    RETURN;
  END IF;
  state := NULL;
  d := make_timestamp(yr, mo, dy, hh, mi, ss);
END $f$;
CREATE OR REPLACE FUNCTION ora_date_read_or_raise(v text, fmt text) RETURNS timestamp
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE r record;
BEGIN
  r := ora_date_read(v, fmt, ora_sysdate());
  IF r.err IS NOT NULL THEN RAISE EXCEPTION USING MESSAGE = r.err, ERRCODE = r.state; END IF;
  RETURN r.d;
END $f$;
-- A text in the default date format YYYY-MM-DD HH24:MI:SS, read as TO_DATE reads it; a text
-- that does not begin with a digit, or that the format does not read, is no date.
CREATE OR REPLACE FUNCTION ora_default_date_or_raise(v text) RETURNS timestamp
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE r record;
BEGIN
  IF v ~ '^ *[0-9]' THEN
    r := ora_date_read(v, 'YYYY-MM-DD HH24:MI:SS', timestamp '0001-01-01');
    IF r.err IS NULL THEN RETURN r.d; END IF;
  END IF;
  RAISE EXCEPTION USING ERRCODE = 'KV001',
    MESSAGE = 'ORA-01861: literal does not match format string: ' || ora_quoted(v);
END $f$;
)SQL";

}  // namespace

const char* PostgresDateReaderSql() { return kDateReaderSql; }

}  // namespace korvalis::db
