#include "platform/db/postgres_text_search.h"

#include <cstdint>
#include <cstdio>

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
// which no text holds, left out).
std::string ClassBracket(CharClass c) {
  std::string out;
  uint32_t first = 0;
  bool open = false;
  auto close = [&](uint32_t last) {
    out += RegexEscape(first);
    if (last > first) out += "-" + RegexEscape(last);
    open = false;
  };
  for (uint32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    const bool in = (cp < 0xD800 || cp > 0xDFFF) && text::ClassOf(cp) == c;
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

std::string Build() {
  std::string from, to;
  FoldStrings(&from, &to);
  std::string sql = R"SQL(
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
  s := regexp_replace(translate(coalesce(s, ''), '@FROM@', '@TO@'), '[@SEPARATORS@]+', ' ', 'g');
  s := regexp_replace(s, '[@CJK@]+', ' #\& ', 'g');
  RETURN regexp_replace(' ' || s || ' ', ' {2,}', ' ', 'g');
END $f$;

-- The unit strings of the XML nodes `path` selects in the document `x`, for INPATH.
CREATE OR REPLACE FUNCTION ora_text_sections(x text, path text) RETURNS TABLE (units text)
LANGUAGE sql STABLE STRICT AS $f$
  SELECT ora_text_units(coalesce(v, ''), 0)
  FROM XMLTABLE(path PASSING xmlparse(document x) COLUMNS v text PATH 'string(.)') $f$;

-- Whether an XPath is an expression of a value (count(...), string(...)) rather than a path.
CREATE OR REPLACE FUNCTION ora_xpath_is_value(path text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT path ~ '^\s*[A-Za-z][-A-Za-z0-9_]*\s*\('
     AND path !~ '^\s*(node|text|comment|processing-instruction)\s*\(' $f$;

-- The value of an XPath expression of a value in the document; NULL for an empty one.
CREATE OR REPLACE FUNCTION ora_xpath_value(doc xml, path text) RETURNS text
LANGUAGE sql STABLE AS $f$
  SELECT nullif(v, '') FROM XMLTABLE('/' PASSING doc COLUMNS v text PATH path) $f$;

-- EXTRACTVALUE: the text of the one leaf node the path selects (NULL when none).
CREATE OR REPLACE FUNCTION ora_extractvalue(x text, path text) RETURNS text
LANGUAGE plpgsql STABLE AS $f$
DECLARE
  doc xml;
  selected bigint;
  value text;
  leaf boolean;
BEGIN
  IF x IS NULL OR path IS NULL THEN RETURN NULL; END IF;
  doc := xmlparse(document x);
  IF ora_xpath_is_value(path) THEN RETURN ora_xpath_value(doc, path); END IF;
  SELECT count(*), min(v), bool_and(l) INTO selected, value, leaf
  FROM XMLTABLE(path PASSING doc COLUMNS v text PATH 'string(.)',
                l boolean PATH 'count(node()[not(self::text())]) = 0');
  IF selected = 0 THEN RETURN NULL; END IF;
  IF selected > 1 OR NOT leaf THEN
    RETURN ora_raise('ORA-19025: EXTRACTVALUE returns value of only one node', NULL::text);
  END IF;
  RETURN nullif(value, '');
END $f$;

-- EXTRACT: the markup of the nodes the path selects, an attribute by its value.
CREATE OR REPLACE FUNCTION ora_extract(x text, path text) RETURNS text
LANGUAGE plpgsql STABLE AS $f$
DECLARE
  doc xml;
  markup text;
BEGIN
  IF x IS NULL OR path IS NULL THEN RETURN NULL; END IF;
  doc := xmlparse(document x);
  IF ora_xpath_is_value(path) THEN RETURN ora_xpath_value(doc, path); END IF;
  SELECT string_agg(CASE WHEN a THEN v ELSE m::text END, '' ORDER BY o) INTO markup
  FROM XMLTABLE(path PASSING doc COLUMNS o FOR ORDINALITY, m xml PATH '.',
                v text PATH 'string(.)', a boolean PATH 'count(. | ../@*) = count(../@*)');
  RETURN nullif(markup, '');
END $f$;
)SQL";
  auto put = [&sql](const std::string& name, const std::string& value) {
    const size_t at = sql.find(name);
    sql.replace(at, name.size(), value);
  };
  put("@FROM@", from);
  put("@TO@", to);
  put("@SEPARATORS@", ClassBracket(CharClass::kSeparator));
  put("@CJK@", ClassBracket(CharClass::kCjk));
  return sql;
}

}  // namespace

const std::string& PostgresTextSearchSql() {
  static const std::string sql = Build();
  return sql;
}

}  // namespace korvalis::db
