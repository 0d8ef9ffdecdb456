#include "platform/db/postgres_bounded_work.h"

namespace korvalis::db {
namespace {

constexpr const char* kBoundedWorkSql = R"SQL(-- ---- bounds of the work of the server's own functions
-- The steps at `rate` a second that fit the statement's time left; infinity when the statement
-- has no timeout.
CREATE OR REPLACE FUNCTION ora_steps_left(rate float8) RETURNS float8
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE
  timeout_ms float8 := extract(epoch FROM
    coalesce(nullif(current_setting('statement_timeout'), ''), '0')::interval) * 1000;
BEGIN
  IF timeout_ms <= 0 THEN RETURN 'infinity'; END IF;
  RETURN rate / 1000 * greatest(
    timeout_ms - extract(epoch FROM clock_timestamp() - statement_timestamp()) * 1000, 0);
END $f$;
-- Refuses, as the statement's timeout does, work of `steps` at `rate` steps a second that would
-- not end within the statement's time left; true otherwise.
CREATE OR REPLACE FUNCTION ora_admit(steps float8, rate float8) RETURNS boolean
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$ BEGIN
  IF steps > ora_steps_left(rate) THEN
    RAISE EXCEPTION USING ERRCODE = '57014',
      MESSAGE = 'canceling statement due to statement timeout: its work would pass it';
  END IF;
  RETURN true;
END $f$;
-- A value past the memory a call may build. The embedded file's statements hold at most
-- 512 MiB; the server builds a text in a buffer of its own and then copies it, and its caller
-- copies it again to join it with others (the array of a concatenation and its joined text),
-- so a call's result there is refused past a quarter of that, 134,217,728 bytes.
CREATE OR REPLACE FUNCTION ora_out_of_memory() RETURNS text
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$ BEGIN
  RAISE EXCEPTION USING ERRCODE = 'KV000',
    MESSAGE = 'ORA-04030: out of process memory when trying to allocate: the statement would '
      'hold more than 512 MiB; the statement was stopped';
END $f$;

-- Refuses with ORA-04030 a regular expression's subject that the server's work would hold past
-- the bound: its characters as four bytes each, and `per_char` bytes more when each may be a
-- match whose place is kept. Called only for a subject whose bytes alone could pass it (more
-- than 536870912 / (5 + per_char)), so that a short one costs one comparison beside the
-- function's check of its start.
CREATE OR REPLACE FUNCTION ora_regexp_room(v text, per_char integer) RETURNS boolean
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$ BEGIN
  IF octet_length(v)::float8 * (5 + per_char) > 536870912
     AND octet_length(v) + (4.0 + per_char) * length(v) > 536870912 THEN
    PERFORM ora_out_of_memory();
  END IF;
  RETURN true;
END $f$;

-- The first place at or after byte `at` (from 0) where the bytes `s` stand in `b`, -1 when none.
-- The server's own search of bytes compares each place with the whole of `s` at the speed of
-- memory; it runs over windows grown from a few times `s` up to 10^9 bytes of comparison (a
-- tenth of a second at most), so that a cancel is looked for between two. `s` starts with a
-- character's first byte, which no byte inside a character equals: a place found is a
-- character's.
CREATE OR REPLACE FUNCTION ora_bytes_find(b bytea, s bytea, at integer) RETURNS integer
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  n integer := length(b);
  m integer := length(s);
  widest integer := greatest(4096, 1000000000 / greatest(m, 1));
  width integer := least(widest, 4 * m + 4096);
  r integer;
BEGIN
  WHILE at + m <= n LOOP
    r := position(s IN substring(b FROM at + 1 FOR width + m - 1));
    IF r > 0 THEN RETURN at + r - 1; END IF;
    at := at + width;
    width := least(widest, 2 * width);
  END LOOP;
  RETURN -1;
END $f$;

-- The end (a byte's place, from 0) of the piece of `b` that starts at byte `at` and holds about
-- `size` bytes: the first character's first byte from `at` + `size` on, or the end of `b`, so
-- that a cut splits no character.
CREATE OR REPLACE FUNCTION ora_piece_end(b bytea, at integer, size integer) RETURNS integer
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  n integer := length(b);
  stop integer := least(at + size, n);
BEGIN
  WHILE stop < n AND get_byte(b, stop) BETWEEN 128 AND 191 LOOP stop := stop + 1; END LOOP;
  RETURN stop;
END $f$;

-- The text of the bytes of `b` from `first` (from 0) to `stop`, of the database's collation:
-- the encoding's name would give it its own, "C", whose cases are those of ASCII alone.
CREATE OR REPLACE FUNCTION ora_piece_text(b bytea, first integer, stop integer) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT convert_from(substring(b FROM first + 1 FOR stop - first), 'UTF8') COLLATE "default" $f$;

-- The place of the k-th occurrence of `sub` in `v` from its character `p` on, occurrences
-- overlapping one another; 0 when there are fewer.
CREATE OR REPLACE FUNCTION ora_instr_pieces(v text, sub text, p integer, k integer)
RETURNS integer LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  t bytea := convert_to(substr(v, p), 'UTF8');
  s bytea := convert_to(sub, 'UTF8');
  at integer := 0;
BEGIN
  FOR found IN 1..k LOOP
    at := ora_bytes_find(t, s, at);
    IF at < 0 THEN RETURN 0; END IF;
    IF found = k THEN
      RETURN p + length(convert_from(substring(t FROM 1 FOR at), 'UTF8'));
    END IF;
    at := at + 1;
  END LOOP;
  RETURN 0;
END $f$;

-- The place of the k-th occurrence of `sub`, which cannot overlap itself, in `v` from its
-- character `p` on; 0 when there are fewer. The text is read in pieces of about 1 MiB cut
-- between characters: the occurrences inside a piece are counted by the server's own REPLACE,
-- and the one that may cross each cut (occurrences never overlap, so one at most) by its own
-- search of the bytes around the cut. Only the piece holding the k-th is split at its
-- occurrences, so that the work holds a piece's pieces, never the whole text's. The text's
-- bytes are taken whole and cut at the p-th character's (the server's SUBSTR from a place to the
-- end reads a long text a character at a time); a piece is read from them in place.
CREATE OR REPLACE FUNCTION ora_instr_counted(v text, sub text, p integer, k integer)
RETURNS integer LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  t bytea := substring(convert_to(v, 'UTF8') FROM octet_length(substr(v, 1, p - 1)) + 1);
  s bytea := convert_to(sub, 'UTF8');
  n integer := length(t);
  m integer := length(s);
  at integer := 0;
  stop integer;
  piece text;
  here integer;
  across integer;
  found integer := 0;
BEGIN
  WHILE at < n LOOP
    stop := ora_piece_end(t, at, 1048576);
    piece := convert_from(substring(t FROM at + 1 FOR stop - at), 'UTF8');
    here := (octet_length(piece) - octet_length(replace(piece, sub, ''))) / m;
    IF found + here >= k THEN
      SELECT at + sum(octet_length(x)) + (k - found - 1) * m INTO at
        FROM unnest((string_to_array(piece, sub))[1:k - found]) AS x;
      RETURN p + length(convert_from(substring(t FROM 1 FOR at), 'UTF8'));
    END IF;
    found := found + here;
    -- An occurrence across the cut lies within the m - 1 bytes on either side of it.
    IF m > 1 AND stop < n THEN
      across := position(s IN substring(t FROM stop - m + 2 FOR 2 * m - 2));
      IF across > 0 THEN
        found := found + 1;
        IF found = k THEN
          RETURN p + length(convert_from(substring(t FROM 1 FOR stop - m + across), 'UTF8'));
        END IF;
      END IF;
    END IF;
    at := stop;
  END LOOP;
  RETURN 0;
END $f$;

-- REPLACE where the server's own could run long or build past the bound. The server's own
-- search reads a text for one character at the speed of memory, and compares each place with
-- a longer search text, some 3 x 10^9 comparisons a second: past 10^9 the occurrences are
-- found by ora_bytes_find, one after another; otherwise the result's length is counted first
-- by the server's own, which replaces then.
CREATE OR REPLACE FUNCTION ora_replace_bounded(v text, old text, new text) RETURNS text
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE
  b bytea;
  s bytea;
  n bigint := octet_length(v);
  m integer := octet_length(old);
  grow integer := octet_length(new) - octet_length(old);
  size bigint := octet_length(v);
  at integer := 0;
  f integer;
  parts text[] := '{}';
BEGIN
  IF m = 1 OR n * m <= 1000000000 THEN
    IF grow > 0 AND n / m * octet_length(new) > 134217728
       AND n + grow * ((n - octet_length(replace(v, old, ''))) / m) > 134217728 THEN
      RETURN ora_out_of_memory();
    END IF;
    RETURN nullif(replace(v, old, new), '');
  END IF;
  b := convert_to(v, 'UTF8');
  s := convert_to(old, 'UTF8');
  LOOP
    f := ora_bytes_find(b, s, at);
    EXIT WHEN f < 0;
    size := size + grow;
    IF size > 134217728 THEN RETURN ora_out_of_memory(); END IF;
    parts := parts || convert_from(substring(b FROM at + 1 FOR f - at), 'UTF8');
    parts := parts || new;
    at := f + m;
  END LOOP;
  IF at = 0 THEN RETURN v; END IF;
  parts := parts || convert_from(substring(b FROM at + 1), 'UTF8');
  RETURN nullif(array_to_string(parts, ''), '');
END $f$;

-- LIKE compares each place of the text with the pattern: its worst case is their product of
-- bytes, some 1.5 ns each on the server (a text of 64 MB where each place matches 97 of a
-- pattern's 98 bytes takes nine seconds), and the server looks for no cancel inside it. The
-- statement matches a text in place where its length alone keeps the match short
-- (postgres_printer.cpp); a pattern whose parts between its '%' are plain texts is matched by
-- ora_like_parts, which a cancel reaches; ora_like admits the others by that worst case. The
-- pattern passes through a function the planner does not run ahead, so that a match of
-- constants is made only once admitted, when the statement runs.
DROP FUNCTION IF EXISTS ora_like_admitted(text, text);
CREATE OR REPLACE FUNCTION ora_like_pattern(v text, pattern text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN octet_length(v)::float8 * octet_length(pattern) <= 10000000
      OR ora_admit(octet_length(v)::float8 * octet_length(pattern), 650000000) THEN pattern END $f$;
CREATE OR REPLACE FUNCTION ora_like(v text, pattern text, escape text DEFAULT '') RETURNS boolean
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT v LIKE ora_like_pattern(v, pattern) ESCAPE escape $f$;
-- LIKE by a pattern whose parts between its '%' are plain texts: `parts` holds the part before
-- its first '%' (which starts the text), the parts between, and the part after its last '%'
-- (which ends the text), each possibly empty. The parts between are found from the left, each
-- at its first place after the one before, by the server's own search over windows of bounded
-- work (ora_bytes_find): the match takes about as long as the server's own, and a cancel or the
-- statement's timeout is seen between two windows. A place of the first found the furthest left
-- leaves the most text to the others, so a match exists only where the search finds one.
CREATE OR REPLACE FUNCTION ora_like_parts(v text, parts text[]) RETURNS boolean
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $f$
DECLARE
  b bytea := convert_to(v, 'UTF8');
  head bytea := convert_to(parts[1], 'UTF8');
  tail bytea := convert_to(parts[cardinality(parts)], 'UTF8');
  at integer := length(head);
  stop integer := length(b) - length(tail);
  s bytea;
  f integer;
BEGIN
  IF stop < at OR substring(b FROM 1 FOR at) <> head OR substring(b FROM stop + 1) <> tail THEN
    RETURN false;
  END IF;
  FOR i IN 2 .. cardinality(parts) - 1 LOOP
    s := convert_to(parts[i], 'UTF8');
    CONTINUE WHEN length(s) = 0;
    f := ora_bytes_find(b, s, at);
    IF f < 0 OR f + length(s) > stop THEN RETURN false; END IF;
    at := f + length(s);
  END LOOP;
  RETURN true;
END $f$;
-- LIKE's escape as Oracle reads it: one character, standing before '%', '_' or itself; the
-- pattern is returned as it is, a wrong one fails with ORA-01425 or ORA-01424. Once the escape's
-- pairs are taken out from the left, as the match reads them, and then the escaped wildcards, an
-- escape left stands before another character or at the end.
CREATE OR REPLACE FUNCTION ora_like_escaped(pattern text, escape text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN length(escape) <> 1
      THEN ora_raise_stable('ORA-01425: escape character must be character string of length 1',
                            'KV000', pattern)
    WHEN strpos(replace(replace(replace(pattern, escape || escape, ''), escape || '%', ''),
                        escape || '_', ''), escape) > 0
      THEN ora_raise_stable('ORA-01424: missing or illegal character following the escape '
                            'character', 'KV000', pattern)
    ELSE pattern END $f$;
)SQL";

}  // namespace

const char* PostgresBoundedWorkSql() { return kBoundedWorkSql; }

}  // namespace korvalis::db
