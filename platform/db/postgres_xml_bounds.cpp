#include "platform/db/postgres_xml_bounds.h"

namespace korvalis::db {
namespace {

// What every evaluation of a path over an XML text is admitted by (INPATH's sections included).
constexpr const char* kXmlBoundsSql = R"SQL(-- ---- bounds of an XPath's evaluation
-- The server cannot stop libxml2 inside one evaluation of a path: Command Timeout and a cancel
-- take effect only between two. So an evaluation starts only when a bound of its work fits the
-- time the statement has left: for a document of N nodes, N^d steps, d the path's degree,
-- counted at a rate below what any server does. A plain path (steps down from the root or the
-- context, predicates over a candidate's own attributes, children and position, compared with
-- literals) does work linear in N: d = 1. Each construct that can multiply it adds to d:
--   a step along following/preceding(-sibling) after the first of its path: 2 (its nodes from
--     each context node, and libxml2 merges each context's nodes into the whole by comparing
--     them with all it holds);
--   a step along descendant or ancestor (or //) after the first of its path, a parent step
--     (..), a union (|), id(): 1 (the merge);
--   a predicate that is not plain: 1 (evaluated for each candidate, up to N nodes each);
--   a comparison of two node-sets: 1 (a comparison with a literal, position() or last(), which
--     are numbers the context holds, or with the context node or its parent, which are one node
--     each, is linear in the other side).
-- The first step of a path, from one context node, is the predicate's or the document's own
-- pass. The sum bounds every nesting of them, as a nesting multiplies (adds degrees) and a
-- sequence adds (takes the larger).
CREATE OR REPLACE FUNCTION ora_xpath_degree(path text) RETURNS integer
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  -- The path without its literals (each one $) or blanks.
  p text := regexp_replace(regexp_replace(path, '"[^"]*"|''[^'']*''', '$', 'g'), '\s+', '', 'g');
  -- After a step's end (a name, ], ), *, .), a slash begins a step after the first.
  later constant text := '[[:alnum:]_\])*.]/';
  literal constant text := '(\$|-?[0-9]+(\.[0-9]*)?|-?\.[0-9]+|position\(\)|last\(\))';
  comparison constant text := '(!=|<=|>=|=|<|>)';
  plain integer;
  -- The path without its comparisons with a literal or with . or .. alone.
  linear text := regexp_replace(regexp_replace(regexp_replace(p,
      comparison || literal || '|' || literal || comparison, '', 'g'),
      '(^|[[(,])\.\.?' || comparison, '\1', 'g'),
      comparison || '\.\.?([]),]|$)', '\2', 'g');
BEGIN
  SELECT count(*) INTO plain FROM regexp_matches(p, '\[([^][]*)\]', 'g') AS m
  WHERE m[1] !~ '[/|]|::|\.\.|id\('
    AND regexp_replace(m[1], comparison || literal || '|' || literal || comparison, '', 'g')
        !~ '[=<>]';
  RETURN 1
    + 2 * (SELECT count(*) FROM regexp_matches(p, later || '(following|preceding)', 'g'))
    + (SELECT count(*) FROM regexp_matches(p, later || '(/|descendant|ancestor)', 'g'))
    + (SELECT count(*) FROM regexp_matches(p, '\.\.|parent::|\||id\(', 'g'))
    + (SELECT count(*) FROM regexp_matches(p, '\[', 'g')) - plain
    + (SELECT count(*) FROM regexp_matches(linear, comparison, 'g'));
END $f$;
-- A predicate is evaluated for the candidates of the step it follows, and a step whose test
-- names its nodes (an element's or an attribute's name without a prefix, *, text(), comment(),
-- processing-instruction()) reaches no more of them, from each context node, than the document
-- holds: the N of such a predicate's degree is that count. The count's path for each predicate
-- that ora_xpath_degree counts and whose step is such, in the path's order.
CREATE OR REPLACE FUNCTION ora_xpath_counted_predicates(path text) RETURNS text[]
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  p text := regexp_replace(regexp_replace(path, '"[^"]*"|''[^'']*''', '$', 'g'), '\s+', '', 'g');
  -- A step's test, where no name's character or prefix goes before it.
  step constant text := '(?<![-:[:alnum:]_.])(@?[A-Za-z_][-A-Za-z0-9_.]*|@?\*|text\(\)|comment\(\)'
                        '|processing-instruction\(\$?\))\[';
  literal constant text := '(\$|-?[0-9]+(\.[0-9]*)?|-?\.[0-9]+|position\(\)|last\(\))';
  comparison constant text := '(!=|<=|>=|=|<|>)';
  every text[];
  plain text[];
  counted text[] := '{}';
  test text;
BEGIN
  SELECT coalesce(array_agg(m[1]), '{}') INTO every FROM regexp_matches(p, step, 'g') AS m;
  SELECT coalesce(array_agg(m[1]), '{}') INTO plain
  FROM regexp_matches(p, step || '([^][]*)\]', 'g') AS m
  WHERE m[2] !~ '[/|]|::|\.\.|id\('
    AND regexp_replace(m[2], comparison || literal || '|' || literal || comparison, '', 'g')
        !~ '[=<>]';
  FOREACH test IN ARRAY every LOOP
    IF array_position(plain, test) IS NOT NULL THEN
      plain := plain[1:array_position(plain, test) - 1]
               || plain[array_position(plain, test) + 1:];
    ELSE
      counted := counted || ('count(//' || regexp_replace(test, '\(\$\)$', '()') || ')');
    END IF;
  END LOOP;
  RETURN counted;
END $f$;
-- Refuses, as the statement's timeout does, an evaluation whose bound does not fit the time
-- left: `work` steps, at 50 million a second.
CREATE OR REPLACE FUNCTION ora_xpath_admit(work float8) RETURNS void
LANGUAGE sql STABLE PARALLEL SAFE AS $f$ SELECT ora_admit(work, 50000000) $f$;
-- Admits the work of `path` over `doc` of `nodes` nodes and `degree`, the N of each predicate
-- that ora_xpath_counted_predicates counts taken from the document (each count's own pass
-- admitted first). A refusal says whether the path's form alone passes the time left, over the
-- least document (2 nodes), or its form over this document.
CREATE OR REPLACE FUNCTION ora_xpath_admit_path(doc xml, path text, nodes float8, degree integer)
RETURNS void LANGUAGE plpgsql STABLE AS $f$
DECLARE
  counted text[] := ora_xpath_counted_predicates(path);
  logarithm float8 := (degree - cardinality(counted)) * ln(nodes);
  fits float8 := ln(greatest(ora_steps_left(50000000), 1));
  test text;
BEGIN
  IF (degree - cardinality(counted)) * ln(2) > fits THEN
    RAISE EXCEPTION USING ERRCODE = '57014',
      MESSAGE = 'canceling statement due to statement timeout: its work would pass it',
      DETAIL = 'the path''s form alone (the steps, predicates, unions and comparisons of node '
        'sets it nests) makes that work over any document';
  END IF;
  FOREACH test IN ARRAY counted LOOP
    PERFORM ora_xpath_admit(nodes);
    logarithm := logarithm
      + ln(least(nodes, greatest(1, (xpath(test, doc))[1]::text::float8)));
  END LOOP;
  IF logarithm > fits THEN
    RAISE EXCEPTION USING ERRCODE = '57014',
      MESSAGE = 'canceling statement due to statement timeout: its work would pass it',
      DETAIL = 'the path over a document of ' || nodes || ' nodes';
  END IF;
END $f$;
-- Whether the comparisons of `path` leave a call or a bracket open, close one never opened, or
-- nest brackets past 64 deep: a path that the embedded file cannot read either, and which
-- libxml2 would evaluate with its comparisons of node-sets uncounted. A path without a
-- comparison is left to libxml2 as written, as on the file.
CREATE OR REPLACE FUNCTION ora_xpath_comparisons_unreadable(path text) RETURNS boolean
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  p text := regexp_replace(path, '"[^"]*"|''[^'']*''', '', 'g');
  brackets text;
  depth integer := 0;
  deepest integer := 0;
BEGIN
  IF p !~ '[=<>]' THEN RETURN false; END IF;
  brackets := translate(p, translate(p, '()[]', ''), '');
  FOR i IN 1 .. length(brackets) LOOP
    depth := depth + CASE WHEN substr(brackets, i, 1) IN ('(', '[') THEN 1 ELSE -1 END;
    IF depth < 0 THEN RETURN true; END IF;
    deepest := greatest(deepest, depth);
  END LOOP;
  RETURN depth <> 0 OR deepest > 64;
END $f$;
-- Admits one evaluation of `path`, of `degree` above 1, over the parsed `doc` in the time the
-- statement has left.
CREATE OR REPLACE FUNCTION ora_xpath_admit_evaluation(doc xml, path text, degree integer)
RETURNS void LANGUAGE plpgsql STABLE AS $f$
DECLARE
  nodes float8 := (xpath('count(//node()) + count(//@*) + 1', doc))[1]::text::float8;
BEGIN
  IF degree * ln(nodes) > ln(greatest(ora_steps_left(50000000), 1)) THEN
    PERFORM ora_xpath_admit_path(doc, path, nodes, degree);
  END IF;
END $f$;
-- Whether libxml2's work on the attributes of `x` passes the bound the embedded file holds a
-- document to (platform/xml/attribute_work.h): the sum over start tags of the square of their
-- attributes, written ('=' outside quoted values) and defaulted (the quoted defaults of their
-- element's ATTLIST declarations), the tags in entities' values counted as the document's.
-- libxml2 compares each attribute of a tag with those before it and walks the element's list to
-- append it, inside one call that no cancel reaches. Without ATTLIST no tag writes more
-- attributes than the text holds '=', which lets an ordinary document through at once, nor more
-- than the text holds '=' before its next '<' (a value holds no '<'): a document none of whose
-- tags may write 128 is let through by one match; only a text that these admit not is read tag
-- by tag.
CREATE OR REPLACE FUNCTION ora_xml_attributes_pass(x text) RETURNS boolean
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $f$
DECLARE
  quoted constant text := '"[^"]*"|''[^'']*''';
  equals float8;
  bare text;
  squares float8;
BEGIN
  IF strpos(x, '<!ATTLIST') = 0 THEN
    IF octet_length(x) <= 16384 THEN RETURN false; END IF;
    equals := octet_length(x) - octet_length(replace(x, '=', ''));
    IF equals * equals <= 268435456 THEN RETURN false; END IF;
    IF 127 * equals <= 268435456 AND x !~ '(=[^<=]*){128}' THEN RETURN false; END IF;
  END IF;
  -- Comments, CDATA sections and processing instructions hold no tag (one pattern each: a
  -- pattern of alternatives would take the longest match).
  bare := regexp_replace(x, '<!--.*?-->', '', 'g');
  bare := regexp_replace(bare, '<!\[CDATA\[.*?\]\]>', '', 'g');
  bare := regexp_replace(bare, '<\?.*?\?>', '', 'g');
  WITH defaults AS (
    SELECT m[1] AS name,
           sum((SELECT count(*) FROM regexp_matches(m[2], quoted, 'g'))) AS defaulted
    FROM regexp_matches(bare, '<!ATTLIST\s+([^\s>]+)((?:[^>"'']|' || quoted || ')*)>', 'g') AS m
    GROUP BY m[1]),
  tags AS (
    SELECT m[1] AS name, length(regexp_replace(m[2], quoted || '|[^=]', '', 'g')) AS written
    FROM regexp_matches(bare, '<([^\s/>!?<]+)((?:\s+[^\s=/>]+\s*=\s*(?:' || quoted || '))*)',
                        'g') AS m)
  SELECT sum((t.written + coalesce(d.defaulted, 0)) ^ 2) INTO squares
  FROM tags t LEFT JOIN defaults d ON d.name = t.name;
  RETURN coalesce(squares, 0) > 268435456;
END $f$;
-- The document `x` parsed and the path's evaluation over it admitted. Refused first: a
-- document whose tree would pass the memory bound (ora_out_of_memory), libxml2's nodes and
-- attributes with their allocations and the text they copy (every node but the document's
-- starts at or follows a '<', an attribute has its '='), and a parse at 25 MB a second that
-- would pass the time left. The server holds a document's text some eight times at once (the
-- text given, its parsed copy, libxml2's input and text nodes for each parse) and its nodes
-- twice (a tree for each parse): eleven times the text and two trees' nodes must stay under
-- 1 GB, with room for EXTRACT's markup of its nodes, which also refuses what passes the
-- embedded file's 512 MiB. A node's string value is the text below it, so that the string
-- values of all nodes are the text as many times as it lies deep, copied at 200 MB a second:
-- the document is refused when it is deeper than its text allows in the time left (libxml2
-- reads 256 levels at most).
CREATE OR REPLACE FUNCTION ora_xpath_document(x text, path text) RETURNS xml
LANGUAGE plpgsql STABLE AS $f$
DECLARE
  doc xml;
  degree integer := ora_xpath_degree(path);
  size float8 := octet_length(x);
  deepest float8;
BEGIN
  -- A variable ($name) has no value here: the path cannot be evaluated.
  IF regexp_replace(path, '"[^"]*"|''[^'']*''', '', 'g') ~ '\$'
     OR ora_xpath_comparisons_unreadable(path) THEN
    RAISE EXCEPTION USING ERRCODE = 'KV003', MESSAGE = 'ORA-31013: Invalid XPATH expression: ' || path;
  END IF;
  -- The marks are counted (on copies of the text) only where the text alone fits.
  IF 11 * size > 1000000000 OR (size > 2097152 AND 11 * size
       + 2 * (160.0 * (size - octet_length(replace(x, '<', '')))
              + 256.0 * (size - octet_length(replace(x, '=', '')))) > 1000000000) THEN
    PERFORM ora_out_of_memory();
  END IF;
  PERFORM ora_xpath_admit(size * 2.0);
  IF ora_xml_attributes_pass(x) THEN
    RAISE EXCEPTION USING ERRCODE = 'KV001', MESSAGE = 'ORA-31011: XML parsing failed: its '
      'elements hold more attributes than the parser reads in time';
  END IF;
  doc := xmlparse(document x);
  IF degree > 1 THEN PERFORM ora_xpath_admit_evaluation(doc, path, degree); END IF;
  deepest := floor(ora_steps_left(200000000) / greatest(size, 1));
  IF deepest < 257 AND (deepest < 1 OR (xpath('boolean(' || repeat('/*', deepest::integer + 1)
                                              || ')', doc))[1]::text = 'true') THEN
    PERFORM ora_xpath_admit('infinity');
  END IF;
  RETURN doc;
END $f$;
)SQL";

}  // namespace

const char* PostgresXmlBoundsSql() { return kXmlBoundsSql; }

}  // namespace korvalis::db
