#include "platform/db/postgres_text_search.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "platform/db/postgres_xml_bounds.h"
#include "platform/db/text_units.h"
#include "platform/text/utf8.h"

namespace korvalis::db {
namespace {

using text::CharClass;

// A code point as an escape of PostgreSQL's regular expressions.
std::string RegexEscape(uint32_t cp) {
  char buffer[16];
  if (cp <= 0xFFFF) {
    std::snprintf(buffer, sizeof buffer, "\\u%04X", cp);
  } else {
    std::snprintf(buffer, sizeof buffer, "\\U%08X", cp);
  }
  return buffer;
}

// The contents of a bracket expression holding every code point of class `c` (surrogates,
// which no text holds, left out), but for the code points of `left_out`.
std::string ClassBracket(CharClass c, std::u32string_view left_out = {}) {
  std::string out;
  uint32_t first = 0;
  bool open = false;
  auto close = [&](uint32_t last) {
    out += RegexEscape(first);
    if (last > first) out += "-" + RegexEscape(last);
    open = false;
  };
  for (uint32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    const bool in = (cp < 0xD800 || cp > 0xDFFF) && text::ClassOf(cp) == c &&
                    left_out.find(static_cast<char32_t>(cp)) == std::u32string_view::npos;
    if (in && !open) {
      first = cp;
      open = true;
    } else if (!in && open) {
      close(cp - 1);
    }
  }
  if (open) close(0x10FFFF);
  return out;
}

// The two strings of translate() that fold every letter as the split does.
void FoldStrings(std::string* from, std::string* to) {
  for (uint32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const uint32_t folded = text::FoldCase(cp);
    if (folded == cp) continue;
    AppendUtf8(cp, from);
    AppendUtf8(folded, to);
    // The strings stand between single quotes.
    if (cp == '\'') from->push_back('\'');
    if (folded == '\'') to->push_back('\'');
  }
}

// The unit strings of texts and of BLOBs read as UTF-8.
constexpr const char* kTextUnitsSql = R"SQL(
-- The unit string of a text (kind 0) or of an XML text's character content (kind 1): each
-- Latin word in small letters and each run of Chinese characters (marked by '#') after a
-- space, and a space at the end. Text indexes are trigram indexes over it, and CONTAINS
-- matches it by regular expressions. The character content: markup and comments skipped
-- (each leaves a space), CDATA kept, the five entities and character references decoded.
CREATE OR REPLACE FUNCTION ora_text_units(t text, kind integer) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $f$
DECLARE
  s text := t;
BEGIN
  IF kind = 1 THEN
    SELECT string_agg(CASE
        WHEN m[1] IS NOT NULL THEN m[1] || ' '
        WHEN m[2] IS NOT NULL THEN ' '
        WHEN m[3] = 'lt' THEN '<'
        WHEN m[3] = 'gt' THEN '>'
        WHEN m[3] = 'amp' THEN '&'
        WHEN m[3] = 'quot' THEN '"'
        WHEN m[3] = 'apos' THEN ''''
        WHEN m[3] IS NOT NULL THEN CASE
          WHEN r.cp BETWEEN 55296 AND 57343 THEN ' '
          WHEN r.cp BETWEEN 1 AND 1114111 THEN chr(r.cp::integer)
          ELSE '&' || m[3] || ';' END
        ELSE m[4] END, '' ORDER BY n) INTO s
    FROM regexp_matches(t,
      '<!\[CDATA\[((?:[^\]]|\](?!\]>))*)(?:\]\]>|$)'
      '|(<!--(?:[^-]|-(?!->))*(?:-->|$)'
      '|<(?!!\[CDATA\[|!--)(?:[^>"'']|"[^"]*(?:"|$)|''[^'']*(?:''|$))*>?)'
      '|&(lt|gt|amp|quot|apos|#[0-9]{1,8}|#[xX][0-9a-fA-F]{1,7});'
      '|([^<&]+|&)', 'g') WITH ORDINALITY AS x(m, n)
    CROSS JOIN LATERAL (SELECT CASE
        WHEN m[3] ~ '^#[xX]' THEN ('x' || lpad(substr(m[3], 3), 8, '0'))::bit(32)::integer::bigint
        WHEN m[3] ~ '^#' THEN substr(m[3], 2)::bigint END AS cp) AS r;
  END IF;
  -- Folded in pieces the statement's timeout ends between (ora_translate).
  s := regexp_replace(coalesce(ora_translate(coalesce(s, ''), '@FROM@', '@TO@'), ''),
                      '[@SEPARATORS@]+', ' ', 'g');
  s := regexp_replace(s, '[@CJK@]+', ' #\& ', 'g');
  RETURN regexp_replace(' ' || s || ' ', ' {2,}', ' ', 'g');
END $f$;

-- The text of a BLOB: its bytes read as UTF-8, each ill-formed byte (and NUL) read as a
-- separator, as the embedded engine reads them.
CREATE OR REPLACE FUNCTION ora_blob_text(b bytea) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $f$
DECLARE
  decoded text[] := '{}';
  n integer := length(b);
  i integer := 0;
  lead integer;
  follow integer;
  low integer;
  high integer;
  cp integer;
  k integer;
  next_byte integer;
BEGIN
  BEGIN
    RETURN convert_from(b, 'UTF8');
  EXCEPTION WHEN character_not_in_repertoire THEN
    NULL;
  END;
  WHILE i < n LOOP
    lead := get_byte(b, i);
    follow := CASE WHEN lead BETWEEN 194 AND 223 THEN 1 WHEN lead BETWEEN 224 AND 239 THEN 2
                   WHEN lead BETWEEN 240 AND 244 THEN 3 ELSE 0 END;
    low := CASE lead WHEN 224 THEN 160 WHEN 240 THEN 144 ELSE 128 END;
    high := CASE lead WHEN 237 THEN 159 WHEN 244 THEN 143 ELSE 191 END;
    cp := lead & CASE follow WHEN 1 THEN 31 WHEN 2 THEN 15 ELSE 7 END;
    k := 1;
    WHILE k <= follow AND i + k < n LOOP
      next_byte := get_byte(b, i + k);
      EXIT WHEN next_byte < CASE WHEN k = 1 THEN low ELSE 128 END
             OR next_byte > CASE WHEN k = 1 THEN high ELSE 191 END;
      cp := cp * 64 + (next_byte & 63);
      k := k + 1;
    END LOOP;
    IF lead BETWEEN 1 AND 127 THEN
      decoded := decoded || chr(lead);
      i := i + 1;
    ELSIF follow > 0 AND k > follow THEN
      decoded := decoded || chr(cp);
      i := i + k;
    ELSE
      decoded := decoded || ' '::text;
      i := i + 1;
    END IF;
  END LOOP;
  RETURN array_to_string(decoded, '');
END $f$;

)SQL";

// The text query language compiled into a program.
constexpr const char* kQueryCompilerSql = R"SQL(-- The unit string of a phrase of a CONTAINS query: as ora_text_units(t, 0), with '%' and '_'
-- kept in Latin words as wildcards (their full-width forms separate units).
CREATE OR REPLACE FUNCTION ora_query_units(t text) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $f$
DECLARE
  s text;
BEGIN
  s := coalesce(ora_translate(translate(t, U&'\FF05\FF3F', '  '), '@FROM@', '@TO@'), '');
  s := regexp_replace(s, '[@QUERY_SEPARATORS@]+', ' ', 'g');
  s := regexp_replace(s, '[@CJK@]+', ' #\& ', 'g');
  RETURN regexp_replace(' ' || s || ' ', ' {2,}', ' ', 'g');
END $f$;

-- A CONTAINS query known only when the statement runs (text_query.h), compiled into a
-- program in prefix order: '&', '|' and '~' (a and not b ...), each followed by its number of
-- operands (a chain of one operator is one element, so that no evaluation recurses along it),
-- take that many operands after them,
-- 'P' and a path (INPATH) the one after it, 'T' and a regular expression over unit strings is
-- a phrase. Failures are the embedded engine's: DRG-50901 with the byte column, and the
-- operators it does not implement refused by name. The query is read as its UTF-8 bytes, each
-- place in constant time (the marks of the language are ASCII, and a character's bytes are
-- never one of them), so that compiling it is linear in its length.
DROP FUNCTION IF EXISTS ora_tq_syntax_error(text, integer);
DROP FUNCTION IF EXISTS ora_tq_token(text, integer);
DROP FUNCTION IF EXISTS ora_tq_phrase(text, integer, integer);
DROP FUNCTION IF EXISTS ora_tq_or(text, integer, integer);
DROP FUNCTION IF EXISTS ora_tq_chain(text, integer, integer, text);
DROP FUNCTION IF EXISTS ora_tq_primary(text, integer, integer);
CREATE OR REPLACE FUNCTION ora_tq_not_supported(what text) RETURNS text[]
LANGUAGE plpgsql AS $f$ BEGIN
  RETURN ora_raise('the Oracle Text ' || what || ' is not supported by the database layer',
                   'KV004', NULL::text[]);
END $f$;
CREATE OR REPLACE FUNCTION ora_tq_syntax_error(q bytea, at integer) RETURNS text[]
LANGUAGE plpgsql AS $f$ BEGIN
  RETURN ora_raise('ORA-29902: error in executing ODCIIndexStart() routine; ORA-20000: Oracle '
                   'Text error: DRG-50901: text query parser syntax error on line 1, column '
                   || at, 'KV003', NULL::text[]);
END $f$;

-- The token at byte `pos` (blanks skipped): its kind ('(' ')' '&' '|' '~', 'INPATH', 'w' a
-- word, '' the end), its first byte and the byte after it.
CREATE OR REPLACE FUNCTION ora_tq_token(q bytea, pos integer, OUT kind text, OUT at integer,
                                        OUT stop integer)
LANGUAGE plpgsql STABLE AS $f$
DECLARE
  n integer := length(q);
  c text;
  word text;
BEGIN
  at := pos;
  WHILE at <= n AND get_byte(q, at - 1) IN (32, 9, 10, 13, 11, 12) LOOP
    at := at + 1;
  END LOOP;
  stop := at;
  IF at > n THEN kind := ''; RETURN; END IF;
  c := chr(get_byte(q, at - 1));
  IF c IN ('(', ')', '&', '|', '~') THEN kind := c; stop := at + 1; RETURN; END IF;
  WHILE stop <= n LOOP
    c := chr(get_byte(q, stop - 1));
    -- A blank (the server reads E'\v' as v: vertical tab is 11) or an operator ends it.
    EXIT WHEN get_byte(q, stop - 1) IN (32, 9, 10, 13, 11, 12, 40, 41, 38, 124, 126);
    IF strpos(',=;-*>?!$\{}[]', c) > 0 THEN
      PERFORM ora_tq_not_supported('operator ''' || c || '''');
    END IF;
    stop := stop + 1;
  END LOOP;
  word := translate(convert_from(substring(q FROM at FOR stop - at), 'UTF8'),
                    'abcdefghijklmnopqrstuvwxyz', 'ABCDEFGHIJKLMNOPQRSTUVWXYZ');
  IF word IN ('NEAR', 'WITHIN', 'ABOUT', 'ACCUM', 'MINUS', 'EQUIV', 'FUZZY', 'HASPATH', 'SDATA',
              'MDATA') THEN
    PERFORM ora_tq_not_supported('operator ' || word);
  END IF;
  kind := CASE word WHEN 'AND' THEN '&' WHEN 'OR' THEN '|' WHEN 'NOT' THEN '~'
                    WHEN 'INPATH' THEN 'INPATH' ELSE 'w' END;
END $f$;

-- The program element of the phrase of bytes [first, stop): its units one after the
-- other, a Latin unit whole, a Chinese run at the end of a run of the text when it comes
-- first, at its start when it comes last, anywhere when alone.
CREATE OR REPLACE FUNCTION ora_tq_phrase(q bytea, first integer, stop integer) RETURNS text
LANGUAGE plpgsql STABLE AS $f$
DECLARE
  units text[] := string_to_array(btrim(ora_query_units(
    convert_from(substring(q FROM first FOR stop - first), 'UTF8'))), ' ');
  m integer := coalesce(array_length(units, 1), 0);
  unit text;
  cjk boolean;
  near_cjk boolean;
  re text := '';
BEGIN
  IF m = 0 THEN PERFORM ora_tq_syntax_error(q, first); END IF;
  FOR k IN 1..m LOOP
    unit := units[k];
    cjk := left(unit, 1) = '#';
    near_cjk := (k > 1 AND left(units[k - 1], 1) = '#') OR (k < m AND left(units[k + 1], 1) = '#');
    IF NOT cjk AND near_cjk AND unit ~ '^[%_]+$' THEN
      PERFORM ora_tq_not_supported('wildcard on Chinese text');
    END IF;
    re := re || ' ';
    IF cjk THEN
      re := re || '#';
      IF m = 1 OR k = 1 THEN re := re || '[^ ]*'; END IF;
      re := re || regexp_replace(substr(unit, 2), '([\\^$.|?*+()\[\]{}])', '\\\1', 'g');
      IF k = m THEN re := re || '[^ ]*'; END IF;
    ELSIF unit !~ '[%_]' THEN
      re := re || regexp_replace(unit, '([\\^$.|?*+()\[\]{}])', '\\\1', 'g');
    ELSE
      re := re || CASE WHEN left(unit, 1) IN ('%', '_') THEN '(?!#)' ELSE '' END || replace(replace(
              regexp_replace(unit, '([\\^$.|?*+()\[\]{}])', '\\\1', 'g'), '%', '[^ ]*'), '_', '[^ ]');
    END IF;
  END LOOP;
  RETURN 'T' || re || ' ';
END $f$;

CREATE OR REPLACE FUNCTION ora_tq_primary(q bytea, pos integer, depth integer,
                                          OUT prog text[], OUT next integer)
LANGUAGE plpgsql STABLE AS $f$
DECLARE
  t record;
  r record;
  n integer := length(q);
  i integer;
  nesting integer;
  quote text;
  c text;
  first integer;
  path text;
BEGIN
  IF depth + 1 > 100 THEN PERFORM ora_tq_not_supported('query nested this deep'); END IF;
  SELECT * INTO t FROM ora_tq_token(q, pos);
  IF t.kind = '(' THEN
    SELECT * INTO r FROM ora_tq_or(q, t.stop, depth + 1);
    SELECT * INTO t FROM ora_tq_token(q, r.next);
    IF t.kind <> ')' THEN PERFORM ora_tq_syntax_error(q, t.at); END IF;
    prog := r.prog;
    next := t.stop;
  ELSIF t.kind = 'w' THEN
    first := t.at;
    WHILE t.kind = 'w' LOOP
      next := t.stop;
      SELECT * INTO t FROM ora_tq_token(q, next);
    END LOOP;
    prog := ARRAY[ora_tq_phrase(q, first, next)];
  ELSE
    PERFORM ora_tq_syntax_error(q, t.at);
  END IF;
  LOOP
    SELECT * INTO t FROM ora_tq_token(q, next);
    EXIT WHEN t.kind <> 'INPATH';
    IF EXISTS (SELECT 1 FROM unnest(prog) AS e WHERE left(e, 1) = 'P') THEN
      PERFORM ora_tq_not_supported('INPATH within INPATH');
    END IF;
    i := t.stop;
    WHILE i <= n AND get_byte(q, i - 1) IN (32, 9, 10, 13, 11, 12) LOOP
      i := i + 1;
    END LOOP;
    IF i > n OR get_byte(q, i - 1) <> 40 THEN PERFORM ora_tq_syntax_error(q, i); END IF;
    i := i + 1;
    first := i;
    nesting := 1;
    quote := NULL;
    WHILE i <= n AND nesting > 0 LOOP
      c := chr(get_byte(q, i - 1));
      IF quote IS NOT NULL THEN
        IF c = quote THEN quote := NULL; END IF;
      ELSIF c IN ('"', '''') THEN
        quote := c;
      ELSIF c = '(' THEN
        nesting := nesting + 1;
      ELSIF c = ')' THEN
        nesting := nesting - 1;
      END IF;
      i := i + 1;
    END LOOP;
    IF nesting <> 0 THEN PERFORM ora_tq_syntax_error(q, n + 1); END IF;
    path := btrim(convert_from(substring(q FROM first FOR i - 1 - first), 'UTF8'),
                  E' \t\n\r\x0B\f');
    IF path = '' THEN PERFORM ora_tq_syntax_error(q, first); END IF;
    IF left(path, 1) <> '/' THEN path := '/' || path; END IF;
    prog := ARRAY['P' || path] || prog;
    next := i;
  END LOOP;
END $f$;

-- `a op b ...` of one precedence: NOT (~) binds tighter than AND (&), AND than OR (|). The
-- operands after the first are gathered one element at a time; the chain is, in prefix order,
-- its operator with the number of its operands, and then its operands.
CREATE OR REPLACE FUNCTION ora_tq_chain(q bytea, pos integer, depth integer, op text,
                                        OUT prog text[], OUT next integer)
LANGUAGE plpgsql STABLE AS $f$
DECLARE
  t record;
  r record;
  operands text[] := '{}';
  operators integer := 0;
  e text;
BEGIN
  IF op = '~' THEN
    SELECT * INTO r FROM ora_tq_primary(q, pos, depth);
  ELSE
    SELECT * INTO r FROM ora_tq_chain(q, pos, depth, CASE op WHEN '|' THEN '&' ELSE '~' END);
  END IF;
  prog := r.prog;
  next := r.next;
  LOOP
    SELECT * INTO t FROM ora_tq_token(q, next);
    EXIT WHEN t.kind <> op;
    IF op = '~' THEN
      SELECT * INTO r FROM ora_tq_primary(q, t.stop, depth);
    ELSE
      SELECT * INTO r FROM ora_tq_chain(q, t.stop, depth, CASE op WHEN '|' THEN '&' ELSE '~' END);
    END IF;
    FOREACH e IN ARRAY r.prog LOOP operands := operands || e; END LOOP;
    operators := operators + 1;
    next := r.next;
  END LOOP;
  IF operators > 0 THEN prog := ARRAY[op || (operators + 1)] || prog || operands; END IF;
END $f$;

CREATE OR REPLACE FUNCTION ora_tq_or(q bytea, pos integer, depth integer, OUT prog text[],
                                     OUT next integer)
LANGUAGE sql STABLE AS $f$ SELECT * FROM ora_tq_chain(q, pos, depth, '|') $f$;

CREATE OR REPLACE FUNCTION ora_text_program(q text) RETURNS text[]
LANGUAGE plpgsql STABLE AS $f$
DECLARE
  r record;
  t record;
  b bytea := convert_to(coalesce(q, ''), 'UTF8');
BEGIN
  SELECT * INTO r FROM ora_tq_or(b, 1, 0);
  SELECT * INTO t FROM ora_tq_token(b, r.next);
  IF t.kind <> '' THEN PERFORM ora_tq_syntax_error(b, t.at); END IF;
  RETURN r.prog;
END $f$;

)SQL";

// A compiled program run against the unit string of a text (INPATH: within the sections of
// an XML text that its path selects).
constexpr const char* kQueryMatcherSql = R"SQL(-- The element after the `operands` operands that start at `pos`.
DROP FUNCTION IF EXISTS ora_tq_skip(text[], integer);
CREATE OR REPLACE FUNCTION ora_tq_skip(prog text[], pos integer, operands integer DEFAULT 1)
RETURNS integer
LANGUAGE plpgsql IMMUTABLE AS $f$
DECLARE
  needed integer := operands;
  i integer := pos;
BEGIN
  WHILE needed > 0 LOOP
    IF left(prog[i], 1) = 'T' THEN
      needed := needed - 1;
    ELSIF left(prog[i], 1) <> 'P' THEN
      needed := needed + substr(prog[i], 2)::integer - 1;
    END IF;
    i := i + 1;
  END LOOP;
  RETURN i;
END $f$;

-- Whether the operand at `pos` matches the unit string `units` of the document `doc`.
CREATE OR REPLACE FUNCTION ora_tq_eval(prog text[], pos integer, units text, doc text,
                                       OUT hit boolean, OUT next integer)
LANGUAGE plpgsql STABLE AS $f$
DECLARE
  op text := prog[pos];
  operands integer;
  l record;
  section text;
BEGIN
  IF left(op, 1) = 'T' THEN
    hit := units ~ substr(op, 2);
    next := pos + 1;
    RETURN;
  END IF;
  IF left(op, 1) = 'P' THEN
    hit := false;
    next := ora_tq_skip(prog, pos + 1);
    FOR section IN SELECT s.units FROM ora_text_sections(doc, substr(op, 2)) AS s LOOP
      SELECT * INTO l FROM ora_tq_eval(prog, pos + 1, section, doc);
      IF l.hit THEN hit := true; EXIT; END IF;
    END LOOP;
    RETURN;
  END IF;
  -- A chain's operands one after the other, until one decides it.
  operands := substr(op, 2)::integer;
  op := left(op, 1);
  next := pos + 1;
  FOR k IN 1..operands LOOP
    SELECT * INTO l FROM ora_tq_eval(prog, next, units, doc);
    next := l.next;
    hit := CASE WHEN k > 1 AND op = '~' THEN NOT l.hit ELSE l.hit END;
    IF (op = '|') = hit THEN
      next := ora_tq_skip(prog, next, operands - k);
      RETURN;
    END IF;
  END LOOP;
END $f$;

-- CONTAINS with a compiled query: 100 when the text (kind as ora_text_units) matches, else 0.
CREATE OR REPLACE FUNCTION ora_text_matches(t text, kind integer, prog text[]) RETURNS integer
LANGUAGE plpgsql STABLE AS $f$ BEGIN
  IF t IS NULL THEN RETURN 0; END IF;
  RETURN CASE WHEN (ora_tq_eval(prog, 1, ora_text_units(t, kind), t)).hit THEN 100 ELSE 0 END;
END $f$;

-- The unit strings of the XML nodes `path` selects in the document `x`, for INPATH.
CREATE OR REPLACE FUNCTION ora_text_sections(x text, path text) RETURNS TABLE (units text)
LANGUAGE sql STABLE STRICT AS $f$
  SELECT ora_text_units(coalesce(v, ''), 0)
  FROM XMLTABLE(path PASSING ora_xpath_document(x, path) COLUMNS v text PATH 'string(.)') $f$;

)SQL";

// EXTRACTVALUE and EXTRACT over XML texts.
constexpr const char* kXmlSql = R"SQL(-- Whether an XPath is an expression of a value (count(...), string(...)) rather than a path.
CREATE OR REPLACE FUNCTION ora_xpath_is_value(path text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT path ~ '^\s*[A-Za-z][-A-Za-z0-9_]*\s*\('
     AND path !~ '^\s*(node|text|comment|processing-instruction)\s*\(' $f$;

-- The value of an XPath expression of a value in the document `x`; NULL for an empty one.
DROP FUNCTION IF EXISTS ora_xpath_value(xml, text);
CREATE OR REPLACE FUNCTION ora_xpath_value(x text, path text) RETURNS text
LANGUAGE sql STABLE AS $f$
  SELECT nullif(v, '') FROM XMLTABLE('/' PASSING ora_xpath_document(x, path) COLUMNS v text PATH path) $f$;

-- Whether `path` may be an expression that is no node set: outside its literals and
-- predicates it holds a literal, a number, a parenthesis other than a node test's, or an
-- operator (`-` and `*` where they cannot be part of a name or a wildcard). A path of names,
-- steps and wildcards alone, the common one, is read as it stands.
CREATE OR REPLACE FUNCTION ora_xpath_may_be_value(path text) RETURNS boolean
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  p text := path;
  was text;
BEGIN
  IF p !~ '^[-/@*[:alnum:]_.:]*$' THEN
    p := regexp_replace(regexp_replace(p, '"[^"]*"|''[^'']*''', '"', 'g'),
                        '(node|text|comment|processing-instruction)\s*\(\s*\)', '', 'g');
    LOOP
      was := p;
      p := regexp_replace(p, '\[[^][]*\]', '', 'g');
      EXIT WHEN p = was;
    END LOOP;
  END IF;
  RETURN p ~ ('[=<>+("]|(^|[^[:alnum:]_.])-|[[:alnum:]_.)\]*]\s*\*|(^|[^[:alnum:]_.-])\.?[0-9]'
              '|\m(div|mod|and|or)\M');
END $f$;
-- The value of `path` over `doc` where XMLTABLE's rows selected no node: NULL for an empty node
-- set, else the value of an expression that is no node set (a comparison, arithmetic, a
-- literal), which gives XMLTABLE no rows. Such a path is evaluated again, admitted again in the
-- time left.
CREATE OR REPLACE FUNCTION ora_xpath_unselected_value(doc xml, path text) RETURNS text
LANGUAGE plpgsql STABLE AS $f$
DECLARE
  degree integer;
  value text;
BEGIN
  IF NOT ora_xpath_may_be_value(path) THEN RETURN NULL; END IF;
  degree := ora_xpath_degree(path);
  IF degree > 1 THEN PERFORM ora_xpath_admit_evaluation(doc, path, degree); END IF;
  SELECT v INTO value FROM XMLTABLE('/' PASSING doc COLUMNS v text PATH path);
  RETURN nullif(value, '');
END $f$;

-- EXTRACTVALUE: the text of the one leaf node the path selects (NULL when none), or the value of
-- an expression that selects no node.
CREATE OR REPLACE FUNCTION ora_extractvalue(x text, path text) RETURNS text
LANGUAGE plpgsql STABLE AS $f$
DECLARE
  doc xml;
  selected bigint;
  value text;
  leaf boolean;
BEGIN
  IF x IS NULL OR path IS NULL THEN RETURN NULL; END IF;
  IF ora_xpath_is_value(path) THEN RETURN ora_xpath_value(x, path); END IF;
  doc := ora_xpath_document(x, path);
  SELECT count(*), min(v), bool_and(l) INTO selected, value, leaf
  FROM XMLTABLE(path PASSING doc COLUMNS v text PATH 'string(.)',
                l boolean PATH 'count(node()[not(self::text())]) = 0');
  IF selected = 0 THEN RETURN ora_xpath_unselected_value(doc, path); END IF;
  IF selected > 1 OR NOT leaf THEN
    RETURN ora_raise('ORA-19025: EXTRACTVALUE returns value of only one node', 'KV003', NULL::text);
  END IF;
  RETURN nullif(value, '');
END $f$;

-- EXTRACT: the markup of the nodes the path selects, an attribute by its value, or the value of
-- an expression that selects no node.
CREATE OR REPLACE FUNCTION ora_extract(x text, path text) RETURNS text
LANGUAGE plpgsql STABLE AS $f$
DECLARE
  doc xml;
  markup text;
  selected bigint;
BEGIN
  IF x IS NULL OR path IS NULL THEN RETURN NULL; END IF;
  IF ora_xpath_is_value(path) THEN RETURN ora_xpath_value(x, path); END IF;
  doc := ora_xpath_document(x, path);
  SELECT string_agg(CASE WHEN a THEN v ELSE m::text END, '' ORDER BY o), count(*)
  INTO markup, selected
  FROM XMLTABLE(path PASSING doc COLUMNS o FOR ORDINALITY, m xml PATH '.',
                v text PATH 'string(.)', a boolean PATH 'count(. | ../@*) = count(../@*)');
  IF selected = 0 THEN RETURN ora_xpath_unselected_value(doc, path); END IF;
  RETURN nullif(markup, '');
END $f$;
)SQL";

std::string Build() {
  std::string from, to;
  FoldStrings(&from, &to);
  std::string sql = std::string(PostgresXmlBoundsSql()) + kTextUnitsSql + kQueryCompilerSql +
                    kQueryMatcherSql + kXmlSql;
  auto put = [&sql](const std::string& name, const std::string& value) {
    for (size_t at = sql.find(name); at != std::string::npos;
         at = sql.find(name, at + value.size())) {
      sql.replace(at, name.size(), value);
    }
  };
  put("@FROM@", from);
  put("@TO@", to);
  put("@SEPARATORS@", ClassBracket(CharClass::kSeparator));
  put("@CJK@", ClassBracket(CharClass::kCjk));
  put("@QUERY_SEPARATORS@", ClassBracket(CharClass::kSeparator, U"%_"));
  return sql;
}

}  // namespace

const std::string& PostgresTextSearchSql() {
  static const std::string& sql = *new std::string(Build());
  return sql;
}

}  // namespace korvalis::db
