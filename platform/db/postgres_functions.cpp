#include "platform/db/postgres_functions.h"

namespace korvalis::db {
namespace {

constexpr const char* kFunctionsSql = R"SQL(-- ---- text
-- A concatenation of parts whose bytes the statement cannot know before it computes them (the
-- others the statement joins in place: postgres_printer.cpp). The server's array_to_string joins
-- copies of the parts in a buffer of its own that doubles as it grows and copies the result, some
-- eight times their bytes at its peak: parts past 134,217,728 bytes, as the array of them holds
-- them (a few bytes a part more than their text), are refused before they are joined, as any
-- other text a call builds past it. Two parts, the most frequent, are joined at once, without an
-- array, the result and its copy to the caller holding twice their bytes. (In PL/pgSQL: the
-- server cannot inline a SQL function whose join, as array_to_string's, depends on the session,
-- and starts an executor for each call of one.)
CREATE OR REPLACE FUNCTION ora_concat(VARIADIC v text[]) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$ BEGIN
  IF pg_column_size(v) > 134217728 THEN RETURN ora_out_of_memory(); END IF;
  RETURN nullif(array_to_string(v, ''), '');
END $f$;
CREATE OR REPLACE FUNCTION ora_concat(a text, b text) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$ BEGIN
  IF coalesce(octet_length(a), 0)::int8 + coalesce(octet_length(b), 0) > 134217728 THEN
    RETURN ora_out_of_memory();
  END IF;
  RETURN nullif(coalesce(a, '') || coalesce(b, ''), '');
END $f$;
-- LISTAGG's joined text, refused above the 4000 bytes of a text.
CREATE OR REPLACE FUNCTION ora_listagg_limit(v text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN octet_length(v) > 4000
    THEN ora_raise('ORA-01489: result of string concatenation is too long', 'KV000', NULL::text)
    ELSE nullif(v, '') END $f$;
-- LISTAGG's joining, its text refused as soon as it passes 4000 bytes, so that the server holds
-- no more of it (the first value is the state as it is, checked at the end).
CREATE OR REPLACE FUNCTION ora_listagg_step(joined text, v text, separator text) RETURNS text
LANGUAGE sql STABLE STRICT PARALLEL SAFE AS $f$ SELECT ora_listagg_limit(joined || separator || v) $f$;
CREATE OR REPLACE AGGREGATE ora_listagg_join(text, text) (
  SFUNC = ora_listagg_step, STYPE = text, FINALFUNC = ora_listagg_limit, PARALLEL = SAFE);
-- The bytes of the joined text counted as the rows are read, before the server sorts them for
-- ora_listagg_join: a text past 4000 bytes is refused at the row that passes them, however
-- many rows are still to come.
CREATE OR REPLACE FUNCTION ora_listagg_room_step(total integer, v text, separator text)
RETURNS integer LANGUAGE sql STABLE STRICT PARALLEL SAFE AS $f$
  SELECT CASE WHEN total + octet_length(v) > 4000
    THEN ora_raise_stable('ORA-01489: result of string concatenation is too long', 'KV000', total)
    ELSE total + octet_length(v) + octet_length(separator) END $f$;
CREATE OR REPLACE AGGREGATE ora_listagg_room(text, text) (
  SFUNC = ora_listagg_room_step, STYPE = integer, INITCOND = '0', PARALLEL = SAFE);
-- LISTAGG: the joined text of ora_listagg_join, its room counted by ora_listagg_room.
CREATE OR REPLACE FUNCTION ora_listagg_joined(joined text, room integer) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT CASE WHEN room IS NOT NULL THEN joined END $f$;
CREATE OR REPLACE FUNCTION ora_substr(v text, pos numeric, len numeric DEFAULT NULL) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v IS NULL OR pos IS NULL OR (len IS NOT NULL AND len < 1) THEN NULL
    WHEN pos >= 0 THEN nullif(CASE WHEN len IS NULL THEN substr(v, greatest(trunc(pos), 1)::int)
                              ELSE substr(v, greatest(trunc(pos), 1)::int, trunc(len)::int) END, '')
    WHEN -trunc(pos) > length(v) THEN NULL
    ELSE nullif(CASE WHEN len IS NULL THEN substr(v, (length(v) + trunc(pos) + 1)::int)
                ELSE substr(v, (length(v) + trunc(pos) + 1)::int, trunc(len)::int) END, '') END $f$;
-- Whether a search text can overlap itself: some start of it is also its end (a border, found
-- as Knuth, Morris and Pratt find it, over the characters' codes).
CREATE OR REPLACE FUNCTION ora_overlaps_itself(sub text) RETURNS boolean
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  c integer[] := ARRAY(SELECT ascii(ch) FROM regexp_split_to_table(sub, '') AS ch);
  m integer := cardinality(c);
  border integer[] := array_fill(0, ARRAY[greatest(m, 1)]);
  j integer := 0;
BEGIN
  FOR i IN 2..m LOOP
    WHILE j > 0 AND c[i] <> c[j + 1] LOOP j := border[j]; END LOOP;
    IF c[i] = c[j + 1] THEN j := j + 1; END IF;
    border[i] := j;
  END LOOP;
  RETURN m > 1 AND border[m] > 0;
END $f$;
-- The position of the k-th occurrence of `sub` in `v` from its character `p` on, occurrences
-- overlapping one another: Knuth, Morris and Pratt's search over the texts' UTF-8 bytes (a
-- character's bytes are never matched from inside another's), in time linear in both lengths.
-- 0 when there are fewer.
CREATE OR REPLACE FUNCTION ora_instr_overlapping(v text, sub text, p integer, k integer)
RETURNS integer LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  t bytea := convert_to(substr(v, p), 'UTF8');
  s bytea := convert_to(sub, 'UTF8');
  n integer := length(t);
  m integer := length(s);
  border integer[] := array_fill(0, ARRAY[greatest(m, 1)]);
  j integer := 0;
  found integer := 0;
  b integer;
BEGIN
  FOR i IN 1..m - 1 LOOP
    b := get_byte(s, i);
    WHILE j > 0 AND b <> get_byte(s, j) LOOP j := border[j]; END LOOP;
    IF b = get_byte(s, j) THEN j := j + 1; END IF;
    border[i + 1] := j;
  END LOOP;
  j := 0;
  FOR i IN 0..n - 1 LOOP
    b := get_byte(t, i);
    WHILE j > 0 AND b <> get_byte(s, j) LOOP j := border[j]; END LOOP;
    IF b = get_byte(s, j) THEN j := j + 1; END IF;
    IF j = m THEN
      found := found + 1;
      IF found = k THEN
        RETURN p + length(convert_from(substring(t FROM 1 FOR i + 1 - m), 'UTF8'));
      END IF;
      j := border[m];
    END IF;
  END LOOP;
  RETURN 0;
END $f$;
-- INSTR: an occurrence may overlap the one before it. The server's own search compares each
-- place with the whole search text: past 10^9 comparisons the occurrences are found by
-- ora_instr_pieces (reversed, backwards). Otherwise the first from the start is the server's
-- own search; a search text that cannot overlap itself is found by splitting the text at its
-- occurrences where the text is of 1 MiB at most, and by ora_instr_counted a piece at a time in
-- a longer one, any other by ora_instr_overlapping.
CREATE OR REPLACE FUNCTION ora_instr(v text, sub text, pos numeric DEFAULT 1, occ numeric DEFAULT 1)
RETURNS numeric LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE
  n integer := length(v);
  m integer := length(sub);
  p integer := trunc(pos);
  k integer := trunc(occ);
  i integer;
  r integer;
  pieces text[];
  before bigint;
  long_search boolean;
  split boolean := octet_length(v) <= 1048576;
BEGIN
  IF v IS NULL OR sub IS NULL OR pos IS NULL OR occ IS NULL OR m = 0 THEN RETURN NULL; END IF;
  IF p = 0 THEN RETURN 0; END IF;
  IF k < 1 THEN
    RAISE EXCEPTION USING ERRCODE = 'KV000', MESSAGE = 'ORA-01428: argument ''' || occ || ''' is out of range';
  END IF;
  long_search := octet_length(v)::float8 * octet_length(sub) > 1000000000
    AND octet_length(sub) > 1;
  IF p = 1 AND k = 1 AND NOT long_search THEN RETURN strpos(v, sub); END IF;
  IF p > 0 THEN
    IF p > n THEN RETURN 0; END IF;
    IF long_search THEN RETURN ora_instr_pieces(v, sub, p, k); END IF;
    IF ora_overlaps_itself(sub) THEN RETURN ora_instr_overlapping(v, sub, p, k); END IF;
    IF NOT split THEN RETURN ora_instr_counted(v, sub, p, k); END IF;
    pieces := string_to_array(substr(v, p), sub);
    IF cardinality(pieces) <= k THEN RETURN 0; END IF;
    SELECT sum(length(piece)) INTO before
      FROM unnest(pieces) WITH ORDINALITY AS t(piece, ord) WHERE ord <= k;
    RETURN p + before + (k - 1) * m;
  END IF;
  -- Backwards: the same search forwards in the reversed texts, from the last start allowed.
  i := least(n + p + 1, n - m + 1);
  IF i < 1 THEN RETURN 0; END IF;
  IF long_search OR ora_overlaps_itself(sub) OR NOT split THEN
    r := CASE WHEN long_search THEN ora_instr_pieces(reverse(v), reverse(sub), n - i - m + 2, k)
              WHEN ora_overlaps_itself(sub)
                THEN ora_instr_overlapping(reverse(v), reverse(sub), n - i - m + 2, k)
              ELSE ora_instr_counted(reverse(v), reverse(sub), n - i - m + 2, k) END;
    RETURN CASE WHEN r = 0 THEN 0 ELSE n - r - m + 2 END;
  END IF;
  pieces := string_to_array(substr(reverse(v), n - i - m + 2), reverse(sub));
  IF cardinality(pieces) <= k THEN RETURN 0; END IF;
  SELECT sum(length(piece)) INTO before
    FROM unnest(pieces) WITH ORDINALITY AS t(piece, ord) WHERE ord <= k;
  RETURN i - before - (k - 1) * m;
END $f$;
CREATE OR REPLACE FUNCTION ora_length(v text) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT length(v) $f$;
CREATE OR REPLACE FUNCTION ora_lengthb(v text) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT octet_length(v) $f$;
CREATE OR REPLACE FUNCTION ora_length(v bytea) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT octet_length(v) $f$;
CREATE OR REPLACE FUNCTION ora_lengthb(v bytea) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT octet_length(v) $f$;
-- TRIM takes one character to trim, as Oracle does.
CREATE OR REPLACE FUNCTION ora_trim(v text, chars text, mode text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT nullif(CASE WHEN length(chars) > 1
                  THEN ora_raise('ORA-30001: trim set should have only one character', 'KV000',
                                 NULL::text)
                  WHEN mode = 'L' THEN ltrim(v, chars)
                  WHEN mode = 'T' THEN rtrim(v, chars)
                  ELSE btrim(v, chars) END, '') $f$;
-- The server's ltrim, rtrim and translate compare each character with every one of the set:
-- past a work of about a second (10^8 comparisons) the set is read by the server's pattern
-- match, or the text translated in pieces, in time linear in both lengths, and stopped by
-- Command Timeout between two pieces. The longest text of the server's own is found from the
-- set alone, which the planner works out once for a set written in the statement, so that a
-- call costs one comparison more.
-- A set of characters as the members of a bracket expression.
CREATE OR REPLACE FUNCTION ora_bracketed(chars text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT '[' || regexp_replace(chars, '([]\\[^-])', '\\\1', 'g') || ']' $f$;
CREATE OR REPLACE FUNCTION ora_ltrim_by_pattern(v text, chars text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT substr(v, length(substring(v FROM '^' || ora_bracketed(chars) || '*')) + 1) $f$;
CREATE OR REPLACE FUNCTION ora_ltrim(v text, chars text DEFAULT ' ') RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT nullif(CASE WHEN length(chars) <= 1 OR octet_length(v) <= 100000000 / nullif(octet_length(chars), 0)
    THEN ltrim(v, chars) ELSE ora_ltrim_by_pattern(v, chars) END, '') $f$;
CREATE OR REPLACE FUNCTION ora_rtrim(v text, chars text DEFAULT ' ') RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT nullif(CASE WHEN length(chars) <= 1 OR octet_length(v) <= 100000000 / nullif(octet_length(chars), 0)
    THEN rtrim(v, chars) ELSE reverse(ora_ltrim_by_pattern(reverse(v), chars)) END, '') $f$;
-- A padded text is 32767 characters at most, as on the file.
CREATE OR REPLACE FUNCTION ora_lpad(v text, len numeric, pad text DEFAULT ' ') RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT nullif(lpad(v, least(greatest(trunc(len), 0), 32767)::int, pad), '') $f$;
CREATE OR REPLACE FUNCTION ora_rpad(v text, len numeric, pad text DEFAULT ' ') RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT nullif(rpad(v, least(greatest(trunc(len), 0), 32767)::int, pad), '') $f$;
-- The server's upper, lower and initcap map a text of 128 MiB in a second or more: a text past
-- 1 MiB is mapped in pieces of 1 MiB cut between two characters, a cancel looked for between
-- two. INITCAP maps each piece after the last character of the one before, whose mapping it
-- then drops, so that a word a cut splits starts with a capital once. `kind` is 'U', 'L' or
-- 'C'. (A piece is written into the array as it is mapped: one held in a variable first costs
-- its copy; the bytes are let go before the pieces are joined.)
CREATE OR REPLACE FUNCTION ora_case_pieces(v text, kind "char") RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $f$
DECLARE
  b bytea := convert_to(v, 'UTF8');
  n integer := length(b);
  at integer := 0;
  lead integer := 0;
  stop integer;
  parts text[] := '{}';
BEGIN
  WHILE at < n LOOP
    stop := ora_piece_end(b, at, 1048576);
    parts := parts || CASE kind
      WHEN 'U' THEN upper(ora_piece_text(b, at, stop))
      WHEN 'L' THEN lower(ora_piece_text(b, at, stop))
      ELSE substr(initcap(ora_piece_text(b, lead, stop)), CASE WHEN lead < at THEN 2 ELSE 1 END) END;
    lead := stop - 1;
    WHILE get_byte(b, lead) BETWEEN 128 AND 191 LOOP lead := lead - 1; END LOOP;
    at := stop;
  END LOOP;
  b := NULL;
  RETURN array_to_string(parts, '');
END $f$;
CREATE OR REPLACE FUNCTION ora_upper(v text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN octet_length(v) > 1048576 THEN ora_case_pieces(v, 'U') ELSE upper(v) END $f$;
CREATE OR REPLACE FUNCTION ora_lower(v text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN octet_length(v) > 1048576 THEN ora_case_pieces(v, 'L') ELSE lower(v) END $f$;
CREATE OR REPLACE FUNCTION ora_initcap(v text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN octet_length(v) > 1048576 THEN ora_case_pieces(v, 'C') ELSE initcap(v) END $f$;
-- REPLACE: the server's own, unless its search could run long or its result pass the memory
-- bound (ora_replace_bounded).
CREATE OR REPLACE FUNCTION ora_replace(v text, old text, new text DEFAULT NULL) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN old IS NULL THEN v
    WHEN (octet_length(v)::float8 * octet_length(old) > 1000000000 AND octet_length(old) > 1)
      OR octet_length(v)::float8 / nullif(octet_length(old), 0) * octet_length(new) > 134217728
    THEN ora_replace_bounded(v, old, coalesce(new, ''))
    ELSE nullif(replace(v, old, coalesce(new, '')), '') END $f$;
-- A character listed again in the set maps as it did first, so the set is kept at its first
-- occurrences; then the text is translated whole, or in pieces of its UTF-8 bytes cut between
-- two characters.
CREATE OR REPLACE FUNCTION ora_translate_pieces(v text, src text, dst text) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  b bytea;
  n integer;
  piece integer;
  at integer := 0;
  stop integer;
  parts text[] := '{}';
BEGIN
  IF v IS NULL OR src IS NULL OR dst IS NULL THEN RETURN NULL; END IF;
  piece := greatest(4096, 100000000 / (octet_length(src) + 3));
  IF octet_length(v) <= piece THEN RETURN nullif(translate(v, src, dst), ''); END IF;
  IF octet_length(src) > 64 THEN
    SELECT string_agg(f.c, '' ORDER BY f.j), coalesce(string_agg(d.c, '' ORDER BY f.j), '')
      INTO src, dst
      FROM (SELECT s.c, min(s.j) AS j FROM unnest(string_to_array(src, NULL)) WITH ORDINALITY
            AS s(c, j) GROUP BY s.c) AS f
      LEFT JOIN unnest(string_to_array(dst, NULL)) WITH ORDINALITY AS d(c, j) ON d.j = f.j;
  END IF;
  piece := greatest(4096, 100000000 / (octet_length(src) + 3));
  IF octet_length(v) <= piece THEN RETURN nullif(translate(v, src, dst), ''); END IF;
  b := convert_to(v, 'UTF8');
  n := length(b);
  WHILE at < n LOOP
    stop := ora_piece_end(b, at, piece);
    parts := parts || translate(ora_piece_text(b, at, stop), src, dst);
    at := stop;
  END LOOP;
  RETURN nullif(array_to_string(parts, ''), '');
END $f$;
-- TRANSLATE: the server's own for a text short for its set; a longer one in pieces
-- (ora_translate_pieces).
CREATE OR REPLACE FUNCTION ora_translate(v text, src text, dst text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN octet_length(v) <= greatest(4096, 100000000 / (octet_length(src) + 3))
    THEN nullif(translate(v, src, dst), '') ELSE ora_translate_pieces(v, src, dst) END $f$;
-- ---- regular expressions: the pattern comes as an ARE and the match parameter as PostgreSQL's
-- flags (regexp_pattern.h); positions, occurrences and options are checked as Oracle checks them.
CREATE OR REPLACE FUNCTION ora_regexp_argument(v numeric, low numeric, high numeric DEFAULT NULL)
RETURNS integer LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
BEGIN
  IF trunc(v) < low OR trunc(v) > high THEN
    RAISE EXCEPTION USING ERRCODE = 'KV000',
      MESSAGE = 'ORA-01428: argument ''' || trunc(v) || ''' is out of range';
  END IF;
  RETURN least(trunc(v), 2147483646);
END $f$;
CREATE OR REPLACE FUNCTION ora_regexp_like(v text, pat text, flags text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT regexp_like(v, pat, flags) $f$;
CREATE OR REPLACE FUNCTION ora_regexp_count(v text, pat text, pos numeric, flags text)
RETURNS numeric LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE p integer;
BEGIN
  IF v IS NULL OR pat IS NULL OR pos IS NULL THEN RETURN NULL; END IF;
  p := ora_regexp_argument(pos, 1);
  IF p > length(v) + 1 OR octet_length(v) > 536870912 / 13 THEN
    IF p > length(v) + 1 THEN RETURN 0; END IF;
    PERFORM ora_regexp_room(v, 8);
  END IF;
  RETURN regexp_count(v, pat, p, flags);
END $f$;
CREATE OR REPLACE FUNCTION ora_regexp_substr(v text, pat text, pos numeric, occ numeric,
                                             flags text, sub numeric, subexpressions integer)
RETURNS text LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE p integer; k integer; s integer;
BEGIN
  IF v IS NULL OR pat IS NULL OR pos IS NULL OR occ IS NULL OR sub IS NULL THEN RETURN NULL; END IF;
  p := ora_regexp_argument(pos, 1);
  k := ora_regexp_argument(occ, 1);
  s := ora_regexp_argument(sub, 0, 9);
  IF p > length(v) + 1 OR s > subexpressions OR octet_length(v) > 536870912 / (13 + 8 * s) THEN
    IF p > length(v) + 1 OR s > subexpressions THEN RETURN NULL; END IF;
    PERFORM ora_regexp_room(v, 8 * (s + 1));
  END IF;
  RETURN nullif(regexp_substr(v, pat, p, k, flags, s), '');
END $f$;
CREATE OR REPLACE FUNCTION ora_regexp_instr(v text, pat text, pos numeric, occ numeric,
                                            ret numeric, flags text, sub numeric,
                                            subexpressions integer)
RETURNS numeric LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE p integer; k integer; r integer; s integer;
BEGIN
  IF v IS NULL OR pat IS NULL OR pos IS NULL OR occ IS NULL OR ret IS NULL OR sub IS NULL THEN
    RETURN NULL;
  END IF;
  p := ora_regexp_argument(pos, 1);
  k := ora_regexp_argument(occ, 1);
  r := ora_regexp_argument(ret, 0, 1);
  s := ora_regexp_argument(sub, 0, 9);
  IF p > length(v) + 1 OR s > subexpressions OR octet_length(v) > 536870912 / (13 + 8 * s) THEN
    IF p > length(v) + 1 OR s > subexpressions THEN RETURN 0; END IF;
    PERFORM ora_regexp_room(v, 8 * (s + 1));
  END IF;
  RETURN regexp_instr(v, pat, p, k, r, flags, s);
END $f$;
-- Oracle's replacement text in PostgreSQL's: \1 to \9 and \\ are read alike, any other backslash
-- stands for itself (PostgreSQL reads \& as the whole match). Every backslash is doubled, then
-- each doubled one that stood before a digit or a backslash is made single again, read from the
-- left as Oracle reads them: two passes of the server's own, linear in the text.
CREATE OR REPLACE FUNCTION ora_regexp_replacement(r text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT regexp_replace(replace(r, '\', '\\'), '\\\\(?:(\\)\\|([1-9]))', '\\\1\2', 'g') $f$;
-- Its result is refused past 134,217,728 bytes before it is built, as any text a call builds: it
-- holds the text, each back reference of the replacement copying at most the whole text again,
-- and the replacement's own bytes once for each match (one when only one is replaced; otherwise
-- at most one more than the characters, where the pattern matches an empty text, and counted
-- where that bound passes).
CREATE OR REPLACE FUNCTION ora_regexp_replace(v text, pat text, rep text, pos numeric,
                                              occ numeric, flags text)
RETURNS text LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE p integer; k integer; chars integer; copies float8; matches float8;
BEGIN
  IF v IS NULL THEN RETURN NULL; END IF;
  IF pat IS NULL THEN RETURN v; END IF;
  IF pos IS NULL OR occ IS NULL THEN RETURN NULL; END IF;
  p := ora_regexp_argument(pos, 1);
  k := ora_regexp_argument(occ, 0);
  chars := length(v);
  IF p > chars + 1 OR octet_length(v) > 536870912 / 5 THEN
    IF p > chars + 1 THEN RETURN v; END IF;
    PERFORM ora_regexp_room(v, 0);
  END IF;
  copies := octet_length(v) * (1.0 + coalesce(octet_length(rep), 0) / 2);
  matches := CASE WHEN k = 0 THEN chars + 1.0 ELSE 1 END;
  IF copies + matches * coalesce(octet_length(rep), 0) > 134217728 THEN
    copies := octet_length(v) * (1.0 + (SELECT count(*) FROM regexp_matches(rep, '\\[1-9]', 'g')));
    IF k = 0 AND copies + matches * octet_length(rep) > 134217728 THEN
      matches := regexp_count(v, pat, p, flags);
    END IF;
    IF copies + matches * octet_length(rep) > 134217728 THEN PERFORM ora_out_of_memory(); END IF;
  END IF;
  RETURN nullif(regexp_replace(v, pat, ora_regexp_replacement(coalesce(rep, '')), p, k, flags), '');
END $f$;
CREATE OR REPLACE FUNCTION ora_chr(v numeric) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v < 0 OR v >= 1114112 THEN ora_out_of_range(v)::text
    WHEN trunc(v) = 0 THEN ora_raise_stable('ORA-01428: argument ''' || ora_str(v) ||
      ''' is out of range (the server''s text cannot hold the null character)', 'KV000', v::text)
    WHEN trunc(v) BETWEEN 55296 AND 57343 THEN ora_raise_stable('ORA-01428: argument ''' ||
      ora_str(v) || ''' is out of range (a UTF-16 surrogate is not a character)', 'KV000', v::text)
    ELSE chr(trunc(v)::int) END $f$;

-- ---- numbers
-- A computed number as a NUMBER keeps it: 20 base-100 digits, that is 40 significant digits,
-- or 39 when the leading base-100 digit is a single digit (an even decimal exponent). The
-- exponent is the double's, put right by the exact value where the double lies across a power
-- of ten (0.99...96 is read as 1). In PL/pgSQL: a SQL function is inlined only where its
-- argument is cheap, and called otherwise at several times the cost of this one. A result past
-- a NUMBER's range fails with ORA-01426; one below the least NUMBER (1E-130) is zero.
CREATE OR REPLACE FUNCTION ora_shown(v numeric) RETURNS numeric
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE e integer;
BEGIN
  IF v IS NULL OR v = 0 THEN RETURN v; END IF;
  IF abs(v) >= 1e126 THEN
    RAISE EXCEPTION USING ERRCODE = 'KV000', MESSAGE = 'ORA-01426: numeric overflow';
  END IF;
  IF abs(v) < 1e-130 THEN RETURN 0; END IF;
  IF abs(v) BETWEEN 1e-300 AND 1e300 THEN
    e := floor(log(abs(v)::float8));
    IF trunc(abs(v), -e - 1) <> 0 THEN
      e := e + 1;
    ELSIF trunc(abs(v), -e) = 0 THEN
      e := e - 1;
    END IF;
  ELSE
    e := floor(log(abs(v)));
  END IF;
  RETURN trim_scale(round(v, 38 + (e & 1) - e));
END $f$;
-- A quotient rounded as a NUMBER keeps it, from one computed to at least 43 significant
-- digits (the dividend's scale sets the quotient's).
CREATE OR REPLACE FUNCTION ora_div(a numeric, b numeric) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN b = 0 THEN ora_raise('ORA-01476: divisor is equal to zero', 'KV000', NULL::numeric)
    WHEN a = 0 THEN 0
    ELSE ora_shown(round(a, greatest(60, 44 - floor(log(abs(a))) + floor(log(abs(b))))::integer) / b)
    END $f$;
-- AVG as a NUMBER: the exact sum over the count, its quotient rounded as ora_div rounds it.
-- The state is the sum and the count of the values that are not NULL.
CREATE OR REPLACE FUNCTION ora_avg_step(s numeric[], v numeric) RETURNS numeric[]
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v IS NULL THEN s ELSE ARRAY[s[1] + v, s[2] + 1] END $f$;
CREATE OR REPLACE FUNCTION ora_avg_final(s numeric[]) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN s[2] = 0 THEN NULL ELSE ora_div(s[1], s[2]) END $f$;
CREATE OR REPLACE AGGREGATE ora_avg(numeric) (
  SFUNC = ora_avg_step, STYPE = numeric[], FINALFUNC = ora_avg_final, INITCOND = '{0,0}');
-- A whole number a window function takes (NTILE's buckets, LAG's and LEAD's offset): v
-- truncated, which must be at least `minimum`; a number above what the server takes is its
-- largest.
CREATE OR REPLACE FUNCTION ora_window_argument(v numeric, minimum numeric) RETURNS integer
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v IS NULL OR trunc(v) < minimum
    THEN ora_raise('ORA-01428: argument ''' || coalesce(ora_str(v), 'NULL') || ''' is out of range',
                   'KV000', NULL::integer)
    ELSE least(trunc(v), 2147483647)::integer END $f$;
CREATE OR REPLACE FUNCTION ora_sign(v numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT sign(v) $f$;
CREATE OR REPLACE FUNCTION ora_abs(v numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT abs(v) $f$;
CREATE OR REPLACE FUNCTION ora_floor(v numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT floor(v) $f$;
CREATE OR REPLACE FUNCTION ora_ceil(v numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ceil(v) $f$;
-- SQRT, EXP, LN, LOG and POWER to a fraction: the server takes a result's scale from its
-- arguments', which are given some forty-five digits more than the result's first, and the
-- result is rounded as a NUMBER keeps it (ora_computed).
CREATE OR REPLACE FUNCTION ora_computed(v numeric) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN abs(v) >= 1e126 THEN ora_raise('ORA-01426: numeric overflow', 'KV000', NULL::numeric)
    WHEN abs(v) < 1e-130 THEN 0 ELSE ora_shown(v) END $f$;
CREATE OR REPLACE FUNCTION ora_sqrt(v numeric) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v < 0 THEN ora_out_of_range(v) WHEN v = 0 THEN 0
    ELSE ora_computed(sqrt(round(v, greatest(scale(v), 45 - floor(log(v) / 2)::integer)))) END $f$;
CREATE OR REPLACE FUNCTION ora_exp(v numeric) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v > 291 THEN ora_raise('ORA-01426: numeric overflow', 'KV000', NULL::numeric)
    WHEN v < -303 THEN 0
    ELSE ora_computed(exp(round(v, greatest(scale(v), 45 + ceil(greatest(-v, 0) / 2.3)::integer))))
    END $f$;
CREATE OR REPLACE FUNCTION ora_ln(v numeric) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v <= 0 THEN ora_out_of_range(v) ELSE ora_computed(ln(round(v, scale(v) + 45))) END $f$;
-- LOG(base, x): a base above zero other than one, x above zero.
CREATE OR REPLACE FUNCTION ora_log(base numeric, v numeric) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN base <= 0 OR base = 1 THEN ora_out_of_range(base)
    WHEN v <= 0 THEN ora_out_of_range(v)
    ELSE ora_computed(ln(round(v, scale(v) + 45)) / ln(round(base, scale(base) + 45))) END $f$;
-- a^b to a fraction b (or a whole b too great for the exact power): its decimal exponent, b
-- log |a|, sets the scale.
CREATE OR REPLACE FUNCTION ora_real_power(a numeric, b numeric) RETURNS numeric
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE e float8 := b::float8 * log(abs(a)::float8);
DECLARE s integer;
BEGIN
  IF e > 127 THEN RETURN ora_raise('ORA-01426: numeric overflow', 'KV000', NULL::numeric); END IF;
  IF e < -132 THEN RETURN 0; END IF;
  s := greatest(scale(a), scale(b), 45 - least(floor(e), 0)::integer);
  RETURN ora_computed(power(round(a, s), round(b, s)));
END $f$;
-- A whole exponent gives the exact power (to 60 decimals at least, as the base is taken to
-- them), a negative one its reciprocal as a quotient; a power far beyond a NUMBER's range either
-- way is computed as a fraction's, which fails or is zero.
CREATE OR REPLACE FUNCTION ora_power(a numeric, b numeric) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN a < 0 AND b <> trunc(b) THEN ora_out_of_range(a)
    WHEN a <> 0 AND (b <> trunc(b) OR abs(b) > 1000000
                     OR abs(b::float8 * log(abs(a)::float8)) > 127) THEN ora_real_power(a, b)
    WHEN b < 0 AND a <> 0 THEN ora_computed(ora_div(1, power(round(a, greatest(scale(a), 60)), -b)))
    ELSE ora_computed(trim_scale(power(round(a, greatest(scale(a), 60)), b))) END $f$;
CREATE OR REPLACE FUNCTION ora_mod(a numeric, b numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT CASE WHEN b = 0 THEN a ELSE mod(a, b) END $f$;
-- REMAINDER: a - b * N, N the integer nearest a / b, the even one of two as near.
CREATE OR REPLACE FUNCTION ora_remainder(a numeric, b numeric) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN b = 0 THEN ora_raise('ORA-01476: divisor is equal to zero', 'KV000', NULL::numeric)
    WHEN 2 * abs(mod(a, b)) > abs(b) OR (2 * abs(mod(a, b)) = abs(b) AND mod(div(a, b), 2) <> 0)
    THEN mod(a, b) - sign(a) * sign(b) * b
    ELSE mod(a, b) END $f$;
-- ROUND to tens, hundreds ... can take a value up to 1E126, past a NUMBER's range. ROUND is
-- IMMUTABLE, as a generated column's expression must be, and so is its check of the range (as
-- ora_finite's): over constants that overflow, the planner raises the error.
CREATE OR REPLACE FUNCTION ora_round_finite(v numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN abs(v) >= 1e126 THEN ora_raise_immutable('ORA-01426: numeric overflow', 'KV000', v)
    WHEN abs(v) < 1e-130 AND v <> 0 THEN 0
    ELSE v END $f$;
CREATE OR REPLACE FUNCTION ora_round(v numeric, places numeric DEFAULT 0) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_round_finite(round(v, trunc(places)::int)) $f$;
CREATE OR REPLACE FUNCTION ora_trunc(v numeric, places numeric DEFAULT 0) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT trunc(v, trunc(places)::int) $f$;
CREATE OR REPLACE FUNCTION ora_random() RETURNS numeric
LANGUAGE sql VOLATILE PARALLEL SAFE AS $f$ SELECT random()::numeric $f$;
CREATE OR REPLACE FUNCTION ora_random(lo numeric, hi numeric) RETURNS numeric
LANGUAGE sql VOLATILE PARALLEL SAFE AS $f$ SELECT lo + random()::numeric * (hi - lo) $f$;
CREATE OR REPLACE FUNCTION ora_sys_guid() RETURNS text
LANGUAGE sql VOLATILE PARALLEL SAFE AS $f$ SELECT upper(replace(gen_random_uuid()::text, '-', '')) $f$;
-- GREATEST and LEAST are NULL when any value is.
CREATE OR REPLACE FUNCTION ora_greatest(VARIADIC v anycompatiblearray) RETURNS anycompatible
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN array_position(v, NULL) IS NOT NULL THEN NULL
    ELSE (SELECT max(x) FROM unnest(v) AS x) END $f$;
CREATE OR REPLACE FUNCTION ora_least(VARIADIC v anycompatiblearray) RETURNS anycompatible
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN array_position(v, NULL) IS NOT NULL THEN NULL
    ELSE (SELECT min(x) FROM unnest(v) AS x) END $f$;

-- ---- dates: arithmetic in days, kept to the second
-- date + n: n days of 86400 seconds, rounded to the nearest second, checked against the range
-- of dates (postgres_date_range.h): on the date itself for at most 700 days, else on the date
-- moved ahead, with seconds farther than any readable date reaches (from the year -4712 to
-- 9999) taken as that far (4.7E11, some 14900 years), a result out of range whatever the date.
-- Days computed from literals alone (ora_date_add_exact) round an exact half away from zero;
-- days computed from a row's values (ora_date_add) round a fraction from 0.499 up away from
-- zero, as the file rounds the double it holds them in. They stay IMMUTABLE, as a computed
-- column needs them.
DROP FUNCTION IF EXISTS ora_date_add_seconds(timestamp, double precision);
DROP FUNCTION IF EXISTS ora_date_within_years(timestamp);
DROP FUNCTION IF EXISTS ora_date_past_years(timestamp, numeric);
CREATE OR REPLACE FUNCTION ora_date_moved(d timestamp, n numeric, seconds double precision)
RETURNS timestamp LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN n BETWEEN -700 AND 700
    THEN (d + make_interval(secs => seconds))::ora_date_from_year_1
    ELSE (d + (make_interval(secs => float8smaller(float8larger(seconds, -4.7e11), 4.7e11))
      + ora_date_lead()))::ora_date_ahead_from_year_1 - ora_date_lead() END $f$;
CREATE OR REPLACE FUNCTION ora_date_add_exact(d timestamp, n numeric) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT ora_date_moved(d, n, round(n * 86400)::double precision) $f$;
CREATE OR REPLACE FUNCTION ora_date_sub_exact(d timestamp, n numeric) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_date_add_exact(d, -n) $f$;
-- The seconds of computed days are taken in a double, as on the file.
CREATE OR REPLACE FUNCTION ora_date_add(d timestamp, n numeric) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT ora_date_moved(d, n, trunc(n::double precision * 86400
    + CASE WHEN n < 0 THEN -0.501::double precision ELSE 0.501::double precision END)) $f$;
CREATE OR REPLACE FUNCTION ora_date_sub(d timestamp, n numeric) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_date_add(d, -n) $f$;
-- The days of `s` seconds, one quotient rounded to a NUMBER's digits as ora_shown rounds it:
-- the decimals kept are looked up by the quotient's exponent, which the seconds tell by the
-- bucket they fall in (86400 times each power of ten from a microsecond's day to 10^6 days),
-- so that a date difference stays one inlined expression.
CREATE OR REPLACE FUNCTION ora_days_of_seconds(s numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT trim_scale(round(round(s, 60) / 86400,
    ('{50,50,48,48,46,46,44,44,42,42,40,40,38,38,36,36,34,34,32}'::integer[])[1 + width_bucket(abs(s),
      '{0.000000864,0.00000864,0.0000864,0.000864,0.00864,0.0864,0.864,8.64,86.4,864,8640,86400,
        864000,8640000,86400000,864000000,8640000000,86400000000}'::numeric[])])) $f$;
-- The seconds between over 86400, as a NUMBER.
CREATE OR REPLACE FUNCTION ora_date_diff(a timestamp, b timestamp) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_days_of_seconds(extract(epoch FROM a - b)) $f$;
-- TRUNC(a - b): the whole days between, toward zero.
CREATE OR REPLACE FUNCTION ora_trunc_date_diff(a timestamp, b timestamp) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT div(extract(epoch FROM a - b), 86400) $f$;
CREATE OR REPLACE FUNCTION ora_add(a numeric, b numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT a + b $f$;
CREATE OR REPLACE FUNCTION ora_add(a timestamp, b numeric) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_date_add(a, b) $f$;
CREATE OR REPLACE FUNCTION ora_add(a numeric, b timestamp) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_date_add(b, a) $f$;
CREATE OR REPLACE FUNCTION ora_add(a text, b numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_num(a) + b $f$;
CREATE OR REPLACE FUNCTION ora_add(a numeric, b text) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT a + ora_num(b) $f$;
CREATE OR REPLACE FUNCTION ora_add(a text, b text) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_num(a) + ora_num(b) $f$;
CREATE OR REPLACE FUNCTION ora_add(a timestamp, b text) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_date_add(a, ora_num(b)) $f$;
CREATE OR REPLACE FUNCTION ora_sub(a numeric, b numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT a - b $f$;
CREATE OR REPLACE FUNCTION ora_sub(a timestamp, b numeric) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_date_sub(a, b) $f$;
CREATE OR REPLACE FUNCTION ora_sub(a timestamp, b timestamp) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_date_diff(a, b) $f$;
CREATE OR REPLACE FUNCTION ora_sub(a text, b numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_num(a) - b $f$;
CREATE OR REPLACE FUNCTION ora_sub(a numeric, b text) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT a - ora_num(b) $f$;
CREATE OR REPLACE FUNCTION ora_sub(a text, b text) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_num(a) - ora_num(b) $f$;
CREATE OR REPLACE FUNCTION ora_sub(a timestamp, b text) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_date_sub(a, ora_num(b)) $f$;
-- A text is read as a number before a date, which a number cannot be subtracted from.
CREATE OR REPLACE FUNCTION ora_sub(a text, b timestamp) RETURNS numeric
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN a IS NOT NULL AND b IS NOT NULL THEN
    ora_raise('ORA-00932: inconsistent datatypes: expected DATE got NUMBER', 'KV001',
              NULL::numeric) END $f$;

-- ADD_MONTHS keeps the last day of a month the last day. The result is checked against the
-- range of dates on the date itself for at most 24 months, else on the date moved ahead, with
-- months farther than any readable date reaches taken as that far (178000, some 14800 years).
CREATE OR REPLACE FUNCTION ora_add_months_to(d timestamp, months integer) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN d + interval '1 day' >= date_trunc('month', d) + interval '1 month'
      AND date_trunc('day', d) = date_trunc('day', date_trunc('month', d) + interval '1 month' - interval '1 day')
    THEN date_trunc('month', d) + make_interval(months => months + 1) - interval '1 day'
         + (d - date_trunc('day', d))
    ELSE d + make_interval(months => months) END $f$;
CREATE OR REPLACE FUNCTION ora_add_months(d timestamp, n numeric) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN n BETWEEN -24 AND 24
    THEN ora_add_months_to(d, trunc(n)::integer)::ora_date_from_year_1
    ELSE ora_add_months_to(d + ora_date_lead(),
      numeric_smaller(numeric_larger(trunc(n), -178000), 178000)::integer)
      ::ora_date_ahead_from_year_1 - ora_date_lead() END $f$;
-- EXTRACT(field FROM date): the translator passes only the fields a value may give.
CREATE OR REPLACE FUNCTION ora_extract_field(d timestamp, field text) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE field WHEN 'YEAR' THEN extract(year FROM d)::numeric
    WHEN 'MONTH' THEN extract(month FROM d)::numeric WHEN 'DAY' THEN extract(day FROM d)::numeric
    WHEN 'HOUR' THEN extract(hour FROM d)::numeric WHEN 'MINUTE' THEN extract(minute FROM d)::numeric
    ELSE trunc(extract(second FROM d)::numeric) END $f$;
CREATE OR REPLACE FUNCTION ora_last_day(d timestamp) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT ora_date_checked(date_trunc('month', d) + interval '1 month' - interval '1 day'
                          + (d - date_trunc('day', d))) $f$;
-- NEXT_DAY: the first day after d that the name gives (an English day name or its three-letter
-- abbreviation in any case, letters after it ignored), at d's time of day.
CREATE OR REPLACE FUNCTION ora_next_day(d timestamp, name text) RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN d IS NULL OR name IS NULL THEN NULL
    WHEN length(name) < 3
      OR position(upper(substr(name, 1, 3)) IN 'SUNMONTUEWEDTHUFRISAT') NOT IN (1, 4, 7, 10, 13, 16, 19)
    THEN ora_raise('ORA-01846: not a valid day of the week', 'KV001', NULL::timestamp)
    ELSE ora_date_checked(
      d + ((((position(upper(substr(name, 1, 3)) IN 'SUNMONTUEWEDTHUFRISAT') - 1) / 3
             - extract(dow FROM d)::integer + 6) % 7) + 1) * interval '1 day') END $f$;
-- A number for the day's name is read as its text, which names no day.
CREATE OR REPLACE FUNCTION ora_next_day(d timestamp, name numeric) RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_next_day(d, ora_str(name)) $f$;
-- Unless the days are the same or both the last of their months, one quotient: the seconds
-- between over those of a 31-day month.
CREATE OR REPLACE FUNCTION ora_months_between(a timestamp, b timestamp) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN extract(day FROM a) = extract(day FROM b)
      OR (ora_last_day(a)::date = a::date AND ora_last_day(b)::date = b::date)
    THEN (extract(year FROM a) - extract(year FROM b)) * 12 + extract(month FROM a) - extract(month FROM b)
    ELSE ora_div(((extract(year FROM a) - extract(year FROM b)) * 12
      + extract(month FROM a) - extract(month FROM b)) * 2678400
      + (extract(day FROM a) - extract(day FROM b)) * 86400
      + extract(epoch FROM (a - date_trunc('day', a)) - (b - date_trunc('day', b))), 2678400) END $f$;

-- ROUND and TRUNC of dates by a format model's unit (days when none is given), as
-- TruncateDate and RoundDate of ora_date.h.
CREATE OR REPLACE FUNCTION ora_date_unit(fmt text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN upper(fmt) IN ('CC', 'SCC') THEN 'CC'
    WHEN upper(fmt) IN ('SYYYY', 'YYYY', 'YEAR', 'SYEAR', 'YYY', 'YY', 'Y', 'RRRR', 'RR') THEN 'YYYY'
    WHEN upper(fmt) IN ('IYYY', 'IYY', 'IY', 'I') THEN 'IYYY'
    WHEN upper(fmt) IN ('MONTH', 'MON', 'MM', 'RM') THEN 'MM'
    WHEN upper(fmt) IN ('DDD', 'DD', 'J') THEN 'DD'
    WHEN upper(fmt) IN ('DAY', 'DY', 'D') THEN 'D'
    WHEN upper(fmt) IN ('HH', 'HH12', 'HH24') THEN 'HH'
    WHEN upper(fmt) IN ('Q', 'WW', 'IW', 'W', 'MI') THEN upper(fmt)
    ELSE ora_raise('ORA-01898: too many precision specifiers: ' || ora_quoted(fmt), 'KV003',
                   NULL::text) END $f$;
CREATE OR REPLACE FUNCTION ora_round_unit(fmt text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN ora_date_unit(fmt) = 'IYYY'
    THEN ora_raise('ROUND of a date by the ISO year is not supported: ' || ora_quoted(fmt), 'KV003',
                   NULL::text)
    ELSE ora_date_unit(fmt) END $f$;
-- The start of the unit d is in, which may fall before the range of dates.
CREATE OR REPLACE FUNCTION ora_date_unit_start(d timestamp, fmt text) RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE ora_date_unit(fmt)
    WHEN 'CC' THEN make_timestamp((extract(year FROM d)::int - 1) / 100 * 100 + 1, 1, 1, 0, 0, 0)
    WHEN 'YYYY' THEN date_trunc('year', d)
    WHEN 'IYYY' THEN date_trunc('week', make_date(extract(isoyear FROM d)::int, 1, 4)::timestamp)
    WHEN 'Q' THEN date_trunc('quarter', d)
    WHEN 'MM' THEN date_trunc('month', d)
    WHEN 'WW' THEN date_trunc('year', d) + (extract(doy FROM d)::int - 1) / 7 * 7 * interval '1 day'
    WHEN 'IW' THEN date_trunc('week', d)
    WHEN 'W' THEN date_trunc('month', d) + (extract(day FROM d)::int - 1) / 7 * 7 * interval '1 day'
    WHEN 'DD' THEN date_trunc('day', d)
    WHEN 'D' THEN date_trunc('day', d) - extract(dow FROM d)::int * interval '1 day'
    WHEN 'HH' THEN date_trunc('hour', d)
    ELSE date_trunc('minute', d) END $f$;
CREATE OR REPLACE FUNCTION ora_trunc_date(d timestamp, fmt text DEFAULT 'DD') RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_date_checked(ora_date_unit_start(d, fmt)) $f$;
CREATE OR REPLACE FUNCTION ora_round_date(d timestamp, fmt text DEFAULT 'DD') RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT ora_date_checked(CASE ora_round_unit(fmt)
    WHEN 'CC' THEN make_timestamp(((extract(year FROM d)::int - 1) / 100
      + CASE WHEN (extract(year FROM d)::int - 1) % 100 >= 50 THEN 1 ELSE 0 END) * 100 + 1,
      1, 1, 0, 0, 0)
    WHEN 'YYYY' THEN date_trunc('year', d)
      + CASE WHEN extract(month FROM d) >= 7 THEN interval '1 year' ELSE interval '0' END
    WHEN 'Q' THEN date_trunc('quarter', d)
      + CASE WHEN d >= date_trunc('quarter', d) + interval '1 month 15 days'
             THEN interval '3 months' ELSE interval '0' END
    WHEN 'MM' THEN date_trunc('month', d)
      + CASE WHEN extract(day FROM d) >= 16 THEN interval '1 month' ELSE interval '0' END
    WHEN 'DD' THEN date_trunc('day', d + interval '12 hours')
    WHEN 'HH' THEN date_trunc('hour', d + interval '30 minutes')
    WHEN 'MI' THEN date_trunc('minute', d + interval '30 seconds')
    ELSE ora_date_unit_start(d, fmt)
      + CASE WHEN d >= ora_date_unit_start(d, fmt) + interval '3 days 12 hours'
             THEN interval '7 days' ELSE interval '0' END END) $f$;
CREATE OR REPLACE FUNCTION ora_trunc(d timestamp, fmt text DEFAULT 'DD') RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_trunc_date(d, fmt) $f$;
CREATE OR REPLACE FUNCTION ora_round(d timestamp, fmt text DEFAULT 'DD') RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_round_date(d, fmt) $f$;
CREATE OR REPLACE FUNCTION ora_trunc_any(v numeric, places numeric DEFAULT 0) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_trunc(v, places) $f$;
CREATE OR REPLACE FUNCTION ora_trunc_any(v timestamp, fmt text DEFAULT 'DD') RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_trunc_date(v, fmt) $f$;
CREATE OR REPLACE FUNCTION ora_trunc_any(v text, places numeric DEFAULT 0) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_trunc(ora_num(v), places) $f$;
CREATE OR REPLACE FUNCTION ora_round_any(v numeric, places numeric DEFAULT 0) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_round(v, places) $f$;
CREATE OR REPLACE FUNCTION ora_round_any(v timestamp, fmt text DEFAULT 'DD') RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_round_date(v, fmt) $f$;
CREATE OR REPLACE FUNCTION ora_round_any(v text, places numeric DEFAULT 0) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT ora_round(ora_num(v), places) $f$;
)SQL";

}  // namespace

const char* PostgresFunctionsSql() { return kFunctionsSql; }

}  // namespace korvalis::db
