// Comparisons in XPath rewritten as calls of the system's comparison function, and that function
// answering as libxml2 answers the paths as written.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/db/xml_path.h"
#include "platform/db/xpath_comparison_rewrite.h"

namespace korvalis::db {
namespace {

TEST(XPathComparisonRewriteTest, CallsTheComparisonFunctionByPrecedence) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"//b[/ = \"x\"]", "//b[korvalis-compare(/, \"x\", \"=\")]"},
      {"a = b or c != d and e",
       "korvalis-compare(a, b, \"=\") or korvalis-compare(c, d, \"!=\") and e"},
      // Relational binds tighter than equality; both from the left.
      {"a = b < c", "korvalis-compare(a, korvalis-compare(b, c, \"<\"), \"=\")"},
      {"a<=b>=c", "korvalis-compare(korvalis-compare(a, b, \"<=\"), c, \">=\")"},
      {"1 = 2 = a", "korvalis-compare(1 = 2, a, \"=\")"},
      {"1 + 2 * 3 > a", "korvalis-compare(1 + 2 * 3, a, \">\")"},
      // `*` as a name test and as multiplication; names holding '-' and '.'; div and mod as
      // element names and as operators.
      {"* = *", "korvalis-compare(*, *, \"=\")"},
      {"a-b * 2 >= x.y", "korvalis-compare(a-b * 2, x.y, \">=\")"},
      {"div div mod = //mod", "korvalis-compare(div div mod, //mod, \"=\")"},
      {"or = and", "korvalis-compare(or, and, \"=\")"},
      {"@*[. != 'a=b<c']", "@*[korvalis-compare(., 'a=b<c', \"!=\")]"},
      {"child::p:*[$v = 1]", "child::p:*[korvalis-compare($v, 1, \"=\")]"},
      // Predicates, nested arguments, parentheses and unions.
      {"count(//a[b = 1 and (c > 2 or d)]/e) = 3",
       "count(//a[korvalis-compare(b, 1, \"=\") and (korvalis-compare(c, 2, \">\") or d)]/e) = 3"},
      {"concat(a, b = c, 'x') | //d[e < f]",
       "concat(a, korvalis-compare(b, c, \"=\"), 'x') | //d[korvalis-compare(e, f, \"<\")]"},
      {" a[.5 < ..] ", " a[korvalis-compare(.5, .., \"<\")] "},
      {"a[position() = b][(c) = 1][id('x') = 2][(1) = $v]",
       "a[korvalis-compare(position(), b, \"=\")][korvalis-compare((c), 1, \"=\")]"
       "[korvalis-compare(id('x'), 2, \"=\")][korvalis-compare((1), $v, \"=\")]"},
  };
  for (const auto& [path, rewritten] : cases) {
    EXPECT_EQ(RewriteComparisons(path), rewritten) << path;
  }
  // As written: no comparison, one in a literal only, or of values that are no node-sets.
  for (const std::string path :
       {"//a[b and not(c)]/text( )", "a['<=']", "f( a , b )", "a[position() = 2]",
        "count(a) > -1 = (1 < 2)", "a[string(b) != concat('x', c)]", "a | b - 1 = 'x'"}) {
    EXPECT_EQ(RewriteComparisons(path), path);
  }
  // Unreadable, or naming the comparison function: left to libxml2.
  for (const char* path : {"a ! b = c", "a = ", "a[b = c", "a[b = c)", "f(a = b,)", "a[] = b",
                           "'x = y", "a = korvalis-compare(1, 2, '=')"}) {
    EXPECT_EQ(RewriteComparisons(path), std::nullopt) << path;
  }
  // Brackets nested deeper than a path needs are not read.
  EXPECT_EQ(RewriteComparisons(std::string(64, '(') + "a = 1" + std::string(64, ')')),
            std::string(64, '(') + "korvalis-compare(a, 1, \"=\")" + std::string(64, ')'));
  EXPECT_EQ(RewriteComparisons(std::string(65, '(') + "a = 1" + std::string(65, ')')),
            std::nullopt);
}

// libxml2's answer to `path` as written, as text.
std::string AsWritten(const std::string& xml, const std::string& path) {
  xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, "UTF-8", 0);
  xmlXPathContextPtr context = xmlXPathNewContext(doc);
  xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST path.c_str(), context);
  std::string text = "invalid";
  if (result != nullptr) {
    xmlChar* value = xmlXPathCastToString(result);
    text = reinterpret_cast<const char*>(value);
    xmlFree(value);
  }
  xmlXPathFreeObject(result);
  xmlXPathFreeContext(context);
  xmlFreeDoc(doc);
  return text;
}

TEST(XPathComparisonTest, AnswersAsLibxml2AnswersThePathAsWritten) {
  const std::string xml =
      "<r><a>1</a><a>2</a><a>x</a><a> 3 </a><b>2</b><b>5</b><c/><c/>"
      "<d>x<i>y</i>z</d><e>xyz</e><n>NaN</n><f t='2'>  </f></r>";
  const std::vector<std::string> conditions = {
      // node-set with node-set
      "//a = //b", "//a != //b", "//c = //c", "//c != //c", "//a = //nothing", "//d = //e",
      "//a < //b", "//a >= //b", "//b > //a", "//a <= //n", "//n < //n", "//b > //b",
      "//f/@t = //b", "//c != //a",
      // node-set with text, number and boolean
      "//a = 'x'", "//a != 'x'", "'x' = //e", "//d = 'xyz'", "//d = 'xy'", "//c = ''",
      "//a = 3", "//a != 3", "3 = //a", "//n != 1", "//a > '2'", "'2' < //a", "//a < 'x'",
      "//a <= 1", "//b >= 5.0", "//a = true()", "//nothing = false()", "//a > true()",
      "//nothing != ''", "//nothing < 1",
      // values alone
      "1 = 1.0", "'a' != 'b'", "2 < '10'", "true() > false()", "'x' = 'x' = true()",
  };
  XmlPathDocument document(xml);
  for (const std::string& condition : conditions) {
    for (const std::string& path : {"boolean(" + condition + ")", "count(//*[" + condition + "])"}) {
      if (condition.find("//") != std::string::npos) {
        ASSERT_NE(RewriteComparisons(path), path);
      }
      const XmlPathDocument::Selection selection = document.Select(path);
      EXPECT_EQ(selection.value, AsWritten(xml, path)) << path;
    }
  }
  // Comparisons in a path that selects nodes; a node-set's own comparison in a predicate.
  EXPECT_EQ(document.Select("//a[. > 1 and . < 3]").nodes.size(), 1u);
  EXPECT_EQ(document.Select("//*[. = 'y']").nodes.size(), 1u);
  EXPECT_EQ(document.Select("//*[* = 'y']").nodes.size(), 1u);
}

}  // namespace
}  // namespace korvalis::db
