// The internal entities of a style sheet and of a source, as the transformation worker reads
// them: expanded wherever they stand, within a bound that stops entity bombs; external ones are
// never read.
#include "platform/xml/entity_expansion.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>

#include "platform/xml/dom.h"
#include "platform/xml/entity_bound.h"
#include "platform/xml/testing/entity_bombs.h"
#include "platform/xml/xslt.h"

namespace korvalis::xml {
namespace {

constexpr TransformLimits kRoomy{4 << 20, 256 << 20, std::chrono::milliseconds(60'000)};

// A style sheet that declares `entities` and whose template for the root writes `body`.
std::string StyleSheet(const std::string& entities, const std::string& body) {
  return "<!DOCTYPE xsl:stylesheet [" + entities +
         "]><xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
         "<xsl:output method=\"xml\" omit-xml-declaration=\"yes\"/><xsl:template match=\"/\">" +
         body + "</xsl:template></xsl:stylesheet>";
}

struct Answer {
  TransformOutcome outcome;
  std::string output;
  std::string cause;
};

Answer Transform(const std::string& source, TextWriter source_writer,
                 const std::string& stylesheet, TextWriter stylesheet_writer) {
  Answer answer;
  answer.outcome = TransformText(source, source_writer, stylesheet, stylesheet_writer, kRoomy,
                                 answer.output, &answer.cause);
  return answer;
}

// `count` copies of `text`.
std::string Repeated(const std::string& text, int count) {
  std::string repeated;
  for (int i = 0; i < count; ++i) repeated += text;
  return repeated;
}

// A chain of `depth` entities, each referring `width` times to the next, the last `first`;
// `c1` is the head.
std::string Chain(int depth, int width, const std::string& first) {
  std::string entities = "<!ENTITY c" + std::to_string(depth) + " \"" + first + "\">";
  for (int level = 1; level < depth; ++level) {
    entities += "<!ENTITY c" + std::to_string(level) + " \"" +
                Repeated("&c" + std::to_string(level + 1) + ";", width) + "\">";
  }
  return entities;
}

// Ten entities, each ten references to the one before: 10^9 copies of the first, `first`.
std::string Laughs(const std::string& first) {
  std::string entities = "<!ENTITY a0 \"" + first + "\">";
  for (int level = 1; level <= 9; ++level) {
    entities += "<!ENTITY a" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) entities += "&a" + std::to_string(level - 1) + ";";
    entities += "\">";
  }
  return entities;
}

TEST(EntityExpansionTest, AStyleSheetsEntitiesAreItsTextWhereverTheyStand) {
  const std::string stylesheet = StyleSheet(
      "<!ENTITY nbsp \"&#160;\"><!ENTITY title \"住院患者一览\">"
      "<!ENTITY cell \"<td>&nbsp;&title;</td>\"><!ENTITY empty \"\">",
      "<h1>&title;</h1><p>a&nbsp;b</p><p class=\"&title;\">&empty;x&empty;</p>"
      "<tr>&cell;&cell;</tr><xsl:text>&nbsp;</xsl:text>&nbsp;&nbsp;");
  for (TextWriter writer : {TextWriter::kCaller, TextWriter::kSystem}) {
    const Answer answer = Transform("<r/>", TextWriter::kCaller, stylesheet, writer);
    ASSERT_EQ(answer.outcome, TransformOutcome::kDone);
    // The entities' spaces stand among texts and are kept as the text they are part of.
    EXPECT_EQ(answer.output,
              "<h1>住院患者一览</h1><p>a\u00A0b</p><p class=\"住院患者一览\">x</p>"
              "<tr><td>\u00A0住院患者一览</td><td>\u00A0住院患者一览</td></tr>\u00A0\u00A0\u00A0\n");
  }
}

TEST(EntityExpansionTest, ASourcesEntitiesAreItsValues) {
  const std::string source =
      "<!DOCTYPE r [<!ENTITY who \"张三\"><!ENTITY row \"<n>&who;</n>\">]>"
      "<r><n>&who;</n>&row;<m>[&who;]</m></r>";
  const std::string stylesheet = StyleSheet(
      "", "<xsl:copy-of select=\"r/n\"/>|<xsl:value-of select=\"r/m/text()\"/>|"
          "<xsl:value-of select=\"count(r/n)\"/>");
  for (TextWriter writer : {TextWriter::kCaller, TextWriter::kSystem}) {
    const Answer answer = Transform(source, writer, stylesheet, TextWriter::kCaller);
    ASSERT_EQ(answer.outcome, TransformOutcome::kDone);
    EXPECT_EQ(answer.output, "<n>张三</n><n>张三</n>|[张三]|2\n");
  }
}

// Bombs that the parser takes (it admits any size in the system's own texts) stop at the
// expansion's bound, whoever wrote them; an external entity is never read.
TEST(EntityExpansionTest, BombsAreRefusedAndExternalEntitiesNeverRead) {
  std::string references;
  for (int i = 0; i < 2'000; ++i) references += "&q;";
  const std::string quadratic = "<!ENTITY q \"" + std::string(100'000, 'x') + "\">";
  const std::string length = StyleSheet("", "<xsl:value-of select=\"string-length(r)\"/>");
  for (TextWriter writer : {TextWriter::kCaller, TextWriter::kSystem}) {
    // An empty first entity gives nothing to copy: its references alone are the bomb.
    for (const auto& [entities, body] : {std::pair(Laughs("lol"), std::string("&a9;")),
                                         std::pair(Laughs(""), std::string("&a9;")),
                                         std::pair(quadratic, references)}) {
      const Answer refused = Transform("<r/>", TextWriter::kCaller,
                                       StyleSheet(entities, "<p>" + body + "</p>"), writer);
      EXPECT_EQ(refused.outcome, TransformOutcome::kStylesheetNotLoaded);
      EXPECT_EQ(refused.cause, std::string("the style sheet does not load: ") + kExpansionRefused);
      EXPECT_EQ(Transform("<!DOCTYPE r [" + entities + "]><r>" + body + "</r>", writer, length,
                          TextWriter::kCaller)
                    .outcome,
                TransformOutcome::kSourceNotLoaded);
    }
  }
  // An entity that refers to itself, through another, is never expanded.
  for (TextWriter writer : {TextWriter::kCaller, TextWriter::kSystem}) {
    EXPECT_EQ(Transform("<r/>", TextWriter::kCaller,
                        StyleSheet("<!ENTITY a \"x&b;\"><!ENTITY b \"y&a;\">", "<p>&a;</p>"),
                        writer)
                  .outcome,
              TransformOutcome::kStylesheetNotLoaded);
  }
  const Answer external = Transform(
      "<!DOCTYPE r [<!ENTITY s SYSTEM \"file:///etc/hostname\">]><r>[&s;]</r>",
      TextWriter::kCaller,
      StyleSheet("<!ENTITY h SYSTEM \"file:///etc/hostname\">",
                 "&h;<xsl:value-of select=\"r\"/>"),
      TextWriter::kCaller);
  ASSERT_EQ(external.outcome, TransformOutcome::kDone);
  EXPECT_EQ(external.output, "[]\n");
}

// Wherever a bomb's references stand, whoever wrote it, and whether libxml2 expands them or we
// do, the bound stops its load and names itself: in the DOM, in a document loaded as it is
// written, and in the worker's style sheet and source.
TEST(EntityExpansionTest, BombsInEveryPlaceAreRefusedOnEveryLoad) {
  const std::string length = StyleSheet("", "<xsl:value-of select=\"string-length(r)\"/>");
  for (const testing::EntityBomb& bomb : testing::EntityBombs("r", "<v>1</v>")) {
    for (Document::Writer writer : {Document::Writer::kCaller, Document::Writer::kSystem}) {
      Document document;
      EXPECT_FALSE(document.LoadXml(bomb.text, writer)) << bomb.shape;
      EXPECT_EQ(document.LoadFailure(), kExpansionRefused) << bomb.shape;
    }
    DocumentLoader loader;
    loader.Append(bomb.text);
    Document loaded;
    EXPECT_FALSE(loader.Finish(loaded)) << bomb.shape;
    EXPECT_EQ(loaded.LoadFailure(), kExpansionRefused) << bomb.shape;
    for (TextWriter writer : {TextWriter::kCaller, TextWriter::kSystem}) {
      EXPECT_EQ(Transform("<r/>", TextWriter::kCaller, bomb.text, writer).cause,
                std::string("the style sheet does not load: ") + kExpansionRefused)
          << bomb.shape;
      EXPECT_EQ(Transform(bomb.text, writer, length, TextWriter::kCaller).cause,
                std::string("the source does not load: ") + kExpansionRefused)
          << bomb.shape;
    }
  }
  // A chain of entities may be 16 deep in an attribute's value, as in content.
  for (int depth : {16, 17}) {
    Document document;
    document.LoadXml("<!DOCTYPE r [" + testing::EntityChain(depth) + "]><r a='&c1;'/>");
    EXPECT_EQ(document.LoadFailure(), depth == 17 ? kNestingRefused : "") << depth;
  }
}

// What counts is the bytes a page's entities expand to: many small references, and chains of
// them, pass; a chain deeper than 16 entities is refused, and named.
TEST(EntityExpansionTest, PagesPassWhateverTheirReferencesAndChainsDeeperThan16AreRefused) {
  const std::string cells = Repeated("<td>&nbsp;</td>", 130'000);
  const std::string chain = Chain(3, 10, std::string(1'000, 'k'));
  for (TextWriter writer : {TextWriter::kCaller, TextWriter::kSystem}) {
    const Answer table =
        Transform("<r/>", TextWriter::kCaller,
                  StyleSheet("<!ENTITY nbsp \"&#160;\">", "<tr>" + cells + "</tr>"), writer);
    ASSERT_EQ(table.outcome, TransformOutcome::kDone) << table.cause;
    EXPECT_EQ(table.output, "<tr>" + Repeated("<td>\u00A0</td>", 130'000) + "</tr>\n");
    const Answer chained = Transform("<r/>", TextWriter::kCaller,
                                     StyleSheet(chain, "<p>&c1;</p>"), writer);
    ASSERT_EQ(chained.outcome, TransformOutcome::kDone) << chained.cause;
    EXPECT_EQ(chained.output, "<p>" + std::string(100'000, 'k') + "</p>\n");
    for (std::size_t depth : {kMaxEntityNesting, kMaxEntityNesting + 1}) {
      const Answer deep =
          Transform("<r/>", TextWriter::kCaller,
                    StyleSheet(Chain(static_cast<int>(depth), 1, "x"), "<p>&c1;</p>"), writer);
      if (depth == kMaxEntityNesting) {
        EXPECT_EQ(deep.output, "<p>x</p>\n") << deep.cause;
      } else {
        EXPECT_EQ(deep.cause, std::string("the style sheet does not load: ") + kNestingRefused);
      }
    }
  }
}

// An entity first used in an attribute's default still stands for its text in content; in an
// attribute's value its line feeds and tabs are blanks.
TEST(EntityExpansionTest, EntitiesReadAsXmlReadsThemWhereverTheyAreFirstUsed) {
  const std::string stylesheet =
      "<!DOCTYPE xsl:stylesheet [<!ENTITY e \"hello\"><!ENTITY w \"a\nb\tc&#10;d\">"
      "<!ENTITY both \"&e;&w;\"><!ATTLIST xsl:stylesheet kv CDATA \"&both;\">]>"
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      "<xsl:output method=\"xml\" omit-xml-declaration=\"yes\"/><xsl:template match=\"/\">"
      "<h1 title=\"&w;|&#10;\">[&e;]</h1><p>[&both;]</p></xsl:template></xsl:stylesheet>";
  for (TextWriter writer : {TextWriter::kCaller, TextWriter::kSystem}) {
    const Answer answer = Transform("<r/>", TextWriter::kCaller, stylesheet, writer);
    ASSERT_EQ(answer.outcome, TransformOutcome::kDone) << answer.cause;
    EXPECT_EQ(answer.output,
              "<h1 title=\"a b c d|&#10;\">[hello]</h1><p>[helloa\nb\tc\nd]</p>\n");
  }
}

}  // namespace
}  // namespace korvalis::xml
