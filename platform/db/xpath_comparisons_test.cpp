// Comparisons in XPath rewritten as calls of the system's comparison function, and that function
// answering as libxml2 answers the paths as written.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/db/sql_error.h"
#include "platform/db/xml_path.h"
#include "platform/db/xpath_comparison_rewrite.h"
#include "platform/xml/testing/attribute_floods.h"
#include "platform/xml/testing/entity_bombs.h"
#include "platform/xml/quiet_messages.h"

namespace korvalis::db {
namespace {

TEST(XPathComparisonRewriteTest, CallsTheComparisonFunctionByPrecedence) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"//b[/ = \"x\"]", "//b[korvalis-compare-eq(/, \"x\")]"},
      {"a = b or c != d and e", "korvalis-compare-eq(a, b) or korvalis-compare-ne(c, d) and e"},
      // Relational binds tighter than equality; a chain of one precedence is one call.
      {"a = b < c", "korvalis-compare-eq(a, korvalis-compare-lt(b, c))"},
      {"a<=b>=c", "korvalis-compare(a, b, c, \"<= >=\")"},
      {"a=b!=c<d", "korvalis-compare(a, b, korvalis-compare-lt(c, d), \"= !=\")"},
      {"1 = 2 = a", "korvalis-compare-eq(1 = 2, a)"},
      {"1 = 2 = a = 3", "korvalis-compare(1 = 2, a, 3, \"= =\")"},
      // An operator name is its first letters where an operator stands; an exponent is read.
      {".=2or.=3", "korvalis-compare-eq(., 2)or korvalis-compare-eq(., 3)"},
      {"a=1 ora!=2and.", "korvalis-compare-eq(a, 1) or korvalis-compare-ne(a, 2)and."},
      {"a=2e-1div.5", "korvalis-compare-eq(a, 2e-1div.5)"},
      {"1 + 2 * 3 > a", "korvalis-compare-gt(1 + 2 * 3, a)"},
      // `*` as a name test and as multiplication; names holding '-' and '.'; div and mod as
      // element names and as operators.
      {"* = *", "korvalis-compare-eq(*, *)"},
      {"a-b * 2 >= x.y", "korvalis-compare-ge(a-b * 2, x.y)"},
      {"div div mod = //mod", "korvalis-compare-eq(div div mod, //mod)"},
      {"or = and", "korvalis-compare-eq(or, and)"},
      {"@*[. != 'a=b<c']", "@*[korvalis-compare-ne(., 'a=b<c')]"},
      {"child::p:*[$v <= 1]", "child::p:*[korvalis-compare-le($v, 1)]"},
      // Predicates, nested arguments, parentheses and unions.
      {"count(//a[b = 1 and (c > 2 or d)]/e) = 3",
       "count(//a[korvalis-compare-eq(b, 1) and (korvalis-compare-gt(c, 2) or d)]/e) = 3"},
      {"concat(a, b = c, 'x') | //d[e < f]",
       "concat(a, korvalis-compare-eq(b, c), 'x') | //d[korvalis-compare-lt(e, f)]"},
      {" a[.5 < ..] ", " a[korvalis-compare-lt(.5, ..)] "},
      {"a[position() = b][(c) = 1][id('x') = 2][(1) = $v]",
       "a[korvalis-compare-eq(position(), b)][korvalis-compare-eq((c), 1)]"
       "[korvalis-compare-eq(id('x'), 2)][korvalis-compare-eq((1), $v)]"},
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
  // Unreadable, or naming a comparison function.
  for (const char* path : {"a ! b = c", "a = ", "a[b = c", "a[b = c)", "f(a = b,)", "a[] = b",
                           "'x = y", "a = korvalis-compare(1, 2, '=')", "korvalis-compare-eq(a, 1)",
                           "a = b or true(", "a = 1 xor 2", "a = 1 $v"}) {
    EXPECT_EQ(RewriteComparisons(path), std::nullopt) << path;
  }
  // Brackets nested deeper than a path needs are not read.
  EXPECT_EQ(RewriteComparisons(std::string(64, '(') + "a = 1" + std::string(64, ')')),
            std::string(64, '(') + "korvalis-compare-eq(a, 1)" + std::string(64, ')'));
  EXPECT_EQ(RewriteComparisons(std::string(65, '(') + "a = 1" + std::string(65, ')')),
            std::nullopt);
}

// libxml2's answer to `path` as written, from the document node, as text; "invalid" when it has
// none.
std::string AsWritten(const std::string& xml, const std::string& path) {
  xml::QuietMessages quiet;
  xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, "UTF-8", 0);
  xmlXPathContextPtr context = xmlXPathNewContext(doc);
  context->node = reinterpret_cast<xmlNodePtr>(doc);
  context->error = [](void*, xmlErrorPtr) {};
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

// The system's answer to `path` as AsWritten gives it: a node-set as its first node's value.
std::string Answer(const XmlPathDocument& document, const std::string& path) {
  try {
    const XmlPathDocument::Selection selection = document.Select(path);
    if (selection.is_value) return selection.value;
    return selection.nodes.empty() ? "" : XmlPathDocument::Text(selection.nodes[0]);
  } catch (const SqlError& e) {
    EXPECT_NE(std::string(e.what()).find("ORA-31013"), std::string::npos) << e.what();
    return "invalid";
  }
}

TEST(XPathComparisonTest, AnswersAsLibxml2AnswersThePathAsWritten) {
  const std::string xml =
      "<r><a>1</a><a>2</a><a>x</a><a> 3 </a><b>2</b><b>5</b><c/><c/>"
      "<d>x<i>y</i>z</d><e>xyz</e><n>NaN</n><f t='2'>  </f></r>";
  const std::vector<std::string> conditions = {
      // node-set with node-set
      "//a = //b",
      "//a != //b",
      "//c = //c",
      "//c != //c",
      "//a = //nothing",
      "//d = //e",
      "//a < //b",
      "//a >= //b",
      "//b > //a",
      "//a <= //n",
      "//n < //n",
      "//b > //b",
      "//f/@t = //b",
      "//c != //a",
      // node-set with text, number and boolean
      "//a = 'x'",
      "//a != 'x'",
      "'x' = //e",
      "//d = 'xyz'",
      "//d = 'xy'",
      "//c = ''",
      "//a = 3",
      "//a != 3",
      "3 = //a",
      "//n != 1",
      "//a > '2'",
      "'2' < //a",
      "//a < 'x'",
      "//a <= 1",
      "//b >= 5.0",
      "//a = true()",
      "//nothing = false()",
      "//a > true()",
      "//nothing != ''",
      "//nothing < 1",
      // values alone, and chains
      "1 = 1.0",
      "'a' != 'b'",
      "2 < '10'",
      "true() > false()",
      "'x' = 'x' = true()",
      "//a = //b != //c",
      "//a < //b >= //n = //e",
      "1 < //a = //b <= 2",
  };
  XmlPathDocument document(xml);
  for (const std::string& condition : conditions) {
    for (const std::string& path :
         {"boolean(" + condition + ")", "count(//*[" + condition + "])"}) {
      if (condition.find("//") != std::string::npos) {
        ASSERT_NE(RewriteComparisons(path), path);
      }
      EXPECT_EQ(Answer(document, path), AsWritten(xml, path)) << path;
    }
  }
  // Comparisons in a path that selects nodes; a node-set's own comparison in a predicate.
  EXPECT_EQ(document.Select("//a[. > 1 and . < 3]").nodes.size(), 1u);
  EXPECT_EQ(document.Select("//*[. = 'y']").nodes.size(), 1u);
  EXPECT_EQ(document.Select("//*[* = 'y']").nodes.size(), 1u);
  // Operator names written against their operands, as libxml2 reads them (the name `or.` gave 3).
  EXPECT_EQ(Answer(document, "count(//a[.=1or.=2])"), "2");
  EXPECT_EQ(Answer(document, "count(//a[.!=1and.!=2ora=3])"), "2");
  // At the top level the context is the document node: functions that read it read the
  // document's string value (they crashed the process, then read nothing).
  for (const std::string path :
       {"string()", "number()", "string-length()", "normalize-space()", "name()", "local-name()",
        "concat(string(), number())", "string() = ''", ". = ''", "count(//a[string() = 2])",
        "sum(//a[number() < 3])", "count(.)", "r/a[2]", "count(r/*[. = //b])", "..", "count(..)",
        "r/d = 'xyz'", "string(r/d/i/..)"}) {
    EXPECT_EQ(Answer(document, path), AsWritten(xml, path)) << path;
  }
  EXPECT_EQ(Answer(document, "string()"), "12x 3 25xyzxyzNaN  ");
  EXPECT_EQ(Answer(document, "number()"), "NaN");
  EXPECT_EQ(Answer(document, "r/a[2]"), "2");
  EXPECT_EQ(Answer(document, "count(r/*[. = //b])"), "3");
}

// The document node is the context of a path: a relative path reads from it, and so do `.` and
// the functions of the context node, as the server reads them.
TEST(XmlPathDocumentTest, APathReadsFromTheDocumentNode) {
  XmlPathDocument document("<r><a>2</a></r>");
  EXPECT_EQ(Answer(document, "r/a"), "2");
  EXPECT_EQ(Answer(document, "string()"), "2");
  EXPECT_EQ(Answer(document, "number()"), "2");
  EXPECT_EQ(Answer(document, "concat(string(), \"x\")"), "2x");
  EXPECT_EQ(Answer(document, "count(.)"), "1");
  EXPECT_EQ(Answer(document, "count(r/a[. = 2])"), "1");
  EXPECT_EQ(Answer(document, "boolean(. = '2')"), "true");
  EXPECT_EQ(document.Select("r/*[1]").nodes, document.Select("/r/*[1]").nodes);
  EXPECT_EQ(document.Select("r/*[1]").nodes.size(), 1u);
}

// Chains of comparisons answer as libxml2 answers them as written, as deep as it reads them;
// past its depth (near 5,000) they are invalid, as written too.
TEST(XPathComparisonTest, ChainsAnswerAsWritten) {
  const std::string xml = "<r><a>2</a><a>3</a></r>";
  XmlPathDocument document(xml);
  for (const int length : {600, 4000, 128000}) {
    std::string chain = "/r";
    for (int i = 0; i < length; ++i) chain += "=/r";
    EXPECT_EQ(Answer(document, chain), length == 128000 ? "invalid" : "true") << length;
    EXPECT_EQ(Answer(document, chain), AsWritten(xml, chain)) << length;
  }
  std::string mixed = "//a";
  for (int i = 0; i < 600; ++i) mixed += i % 3 == 0 ? " != //a" : i % 3 == 1 ? "=3" : "<//a";
  EXPECT_EQ(Answer(document, mixed), AsWritten(xml, mixed));
}

// A path whose comparisons cannot be read is refused before it is evaluated, where libxml2
// would weigh them uncounted: here a call left open, which libxml2 reads as closed.
TEST(XPathComparisonTest, UnreadableComparisonsAreRefused) {
  XmlPathDocument document("<r><a>2</a><b>2</b></r>");
  for (const std::string& path :
       std::vector<std::string>{"//a = //b or true(", "concat(//a = 2, 'x',",
                                std::string(65, '(') + "//a = 2" + std::string(65, ')')}) {
    EXPECT_EQ(Answer(document, path), "invalid") << path;
  }
  EXPECT_EQ(Answer(document, "concat(//a, 'x',"), "2x");  // no comparison: as written
}

// A random XPath of XPath 1.0's grammar, its tokens apart by a blank or by nothing (where
// operator names meet their operands), and sometimes broken by a character taken out or put in.
class RandomPath {
 public:
  explicit RandomPath(unsigned seed) : random_(seed) {}

  std::string Next(bool broken) {
    out_.clear();
    Expression(3);
    if (broken) {
      const size_t at = Pick(out_.size() + 1);
      constexpr std::string_view kInserted = "()[]=!<>'\"@$:,|*/.-e";
      if (Pick(2) == 0 && at < out_.size()) {
        out_.erase(at, 1);
      } else {
        out_.insert(at, 1, kInserted[Pick(kInserted.size())]);
      }
    }
    return out_;
  }

 private:
  size_t Pick(size_t n) { return random_() % n; }
  template <size_t n>
  void OneOf(const std::array<std::string_view, n>& tokens) {
    Token(tokens[Pick(n)]);
  }
  void Token(std::string_view token) {
    if (!out_.empty() && Pick(2) == 0) out_ += ' ';
    out_ += token;
  }

  void Expression(int depth) {
    if (depth == 0 || Pick(3) == 0) return Operand(depth);
    Operand(depth - 1);
    OneOf<14>({"or", "and", "=", "!=", "<", "<=", ">", ">=", "+", "-", "*", "div", "mod", "|"});
    Expression(depth - 1);
  }

  void Operand(int depth) {
    switch (Pick(depth > 0 ? 9 : 4)) {
      case 0:
        return OneOf<18>({"//a", "/r/b", "/", "//b/@t", ".", "..", "*", "a", "or", "//div",
                          "text()", "/r/*[2]", "@t", "child::b", "self::node()",
                          "ancestor-or-self::*", "$v", "//mod/@*"});
      case 1:
        return OneOf<5>({"'2'", "\"x\"", "''", "'a=b'", "\"2 \""});
      case 2:
        return OneOf<6>({"2", "3.0", ".5", "2e0", "1E1", "0"});
      case 3:
        return OneOf<6>({"string()", "number()", "position()", "last()", "true()", "name()"});
      case 4:
        Token("-");
        return Operand(depth - 1);
      case 5:
        Token("(");
        Expression(depth - 1);
        return Token(")");
      case 6:
        OneOf<4>({"//a", "//*", "/r/b", "//b/@*"});
        Token("[");
        Expression(depth - 1);
        return Token("]");
      case 7:
        OneOf<8>({"count", "string", "number", "sum", "not", "boolean", "string-length",
                  "normalize-space"});
        Token("(");
        Expression(depth - 1);
        return Token(")");
      default:
        OneOf<3>({"concat", "contains", "starts-with"});
        Token("(");
        Expression(depth - 1);
        Token(",");
        Expression(depth - 1);
        return Token(")");
    }
  }

  std::mt19937 random_;
  std::string out_;
};

TEST(XPathComparisonTest, RandomPathsAnswerAsLibxml2AnswersThemAsWritten) {
  const std::string xml =
      "<r><a>2</a><a>3</a><a>x</a><b t='2'>2</b><b>5</b><c/><d>x<i>y</i>z</d><or>1</or>"
      "<and>2</and><div>3</div><mod/></r>";
  XmlPathDocument document(xml);
  RandomPath random(92);
  int answered = 0;
  for (int i = 0; i < 30000; ++i) {
    const bool broken = i % 3 == 0;
    const std::string path = random.Next(broken);
    const std::string ours = Answer(document, path);
    const std::string theirs = AsWritten(xml, path);
    if (ours != "invalid") {
      ++answered;
      EXPECT_EQ(ours, theirs) << path;
    } else if (theirs != "invalid") {
      // Refused only where the rewrite cannot read the comparisons, never a path of the grammar.
      EXPECT_TRUE(broken) << path;
      EXPECT_EQ(RewriteComparisons(path), std::nullopt) << path;
    }
  }
  EXPECT_GT(answered, 10000);
}

// libxml2 names a function it does not know on standard error: a path's refusal says it alone,
// and the thread's handler of such messages is its own again after.
TEST(XmlPathDocumentTest, AnUnknownFunctionIsRefusedWithoutAMessage) {
  XmlPathDocument document("<r/>");
  const xmlGenericErrorFunc before = xmlGenericError;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Answer(document, "nuber(1)"), "invalid");
  EXPECT_EQ(Answer(document, "count(r[pace(.) = 1])"), "invalid");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(xmlGenericError, before);
}

// Tries at a path that needs `needed` operations at `rate` a second, under a deadline `bound`
// seconds away: the seconds when the path is answered (positive) or stopped (negative).
double TriesEnd(double needed, double rate, double bound) {
  double spent = 0;
  for (unsigned long limit = 1ul << 20; limit != 0;) {
    const double took = std::min(static_cast<double>(limit), needed) / rate;
    spent += took;
    if (static_cast<double>(limit) >= needed) return spent;
    limit = NextTryOperations(limit, std::chrono::duration<double>(took),
                              std::chrono::duration<double>(std::max(bound - spent, 0.0)));
  }
  return -spent;
}

// No try starts that its own rate would end past the deadline (one did, and a path of 1 MB ran
// 314 s at 300), and a path that needs a fifth of the time is answered.
TEST(XmlPathDocumentTest, TriesAtAPathEndByTheDeadline) {
  for (const double bound : {1.0, 10.0, 30.0, 300.0}) {
    for (const double rate : {5e6, 3e7, 8e7, 1e9}) {
      for (double needed = 1e5; needed < 1e13; needed *= 1.7) {
        const double end = TriesEnd(needed, rate, bound);
        EXPECT_LE(std::abs(end), bound) << needed << " at " << rate << " within " << bound;
        if (needed / rate <= bound / 5) {
          EXPECT_GT(end, 0) << needed << " at " << rate << " within " << bound;
        }
      }
    }
  }
}

// A start tag of more attributes than libxml2 reads in time is refused before it is parsed,
// which no Command Timeout could stop; one of as many as the bound admits is read.
TEST(XmlPathDocumentTest, AttributesPastTheParsersBoundAreRefusedAndNamed) {
  for (const xml::testing::AttributeFlood& flood : xml::testing::AttributeFloods("a", "<b>1</b>")) {
    try {
      XmlPathDocument refused(flood.text);
      ADD_FAILURE() << flood.shape << " was read";
    } catch (const SqlError& e) {
      EXPECT_EQ(std::string_view(e.what()),
                "ORA-31011: XML parsing failed: its elements hold more attributes than the parser "
                "reads in time")
          << flood.shape;
    }
  }
  XmlPathDocument most(xml::testing::MostAttributes("a", "<b>1</b>"));
  EXPECT_EQ(Answer(most, "/a/x/@a16383"), "1");
  EXPECT_EQ(Answer(most, "/a/b"), "1");
}

// A document's own entities stand for their text; an entity bomb is refused at the bound,
// wherever its references stand.
TEST(XmlPathDocumentTest, ExpandsTheDocumentsEntitiesWithinTheBound) {
  XmlPathDocument document("<!DOCTYPE a [<!ENTITY x \"ok\">]><a>&x;<b>&x;!</b></a>");
  EXPECT_EQ(Answer(document, "/a/b"), "ok!");
  EXPECT_EQ(Answer(document, "count(/a/text())"), "1");
  std::string bomb = "<!DOCTYPE a [<!ENTITY e0 \"" + std::string(1000, 'x') + "\">";
  for (int level = 1; level <= 6; ++level) {
    bomb += "<!ENTITY e" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) bomb += "&e" + std::to_string(level - 1) + ";";
    bomb += "\">";
  }
  bomb += "]><a>&e6;</a>";
  try {
    XmlPathDocument refused(bomb);
    ADD_FAILURE() << "an entity of 1 GB was expanded";
  } catch (const SqlError& e) {
    EXPECT_TRUE(std::string_view(e.what()).starts_with(
        "ORA-31011: XML parsing failed: its entities expand past the bound of 16 MB"))
        << e.what();
  }
  for (const xml::testing::EntityBomb& each : xml::testing::EntityBombs("a", "<b>1</b>")) {
    try {
      XmlPathDocument refused(each.text);
      ADD_FAILURE() << each.shape << " was read";
    } catch (const SqlError& e) {
      EXPECT_EQ(std::string_view(e.what()),
                "ORA-31011: XML parsing failed: its entities expand past the bound of 16 MB")
          << each.shape;
    }
  }
}

}  // namespace
}  // namespace korvalis::db
