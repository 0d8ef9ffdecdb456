#include "platform/xml/attribute_work.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text/unicode.h"
#include "platform/xml/testing/attribute_floods.h"

namespace korvalis::xml {
namespace {

using testing::DefaultedAttributes;
using testing::WrittenAttributes;

// One start tag of 16,384 attributes is the bound: every way a tag takes attributes counts.
TEST(AttributeWorkTest, EveryWayATagTakesAttributesCounts) {
  for (const testing::AttributeFlood& flood : testing::AttributeFloods("r", "")) {
    EXPECT_TRUE(AttributesPassParserBound(flood.text)) << flood.shape;
  }
  for (const std::string& text :
       {"<!DOCTYPE r [<!ATTLIST x" + DefaultedAttributes(8'193) + ">]><r><x" +
            WrittenAttributes(8'192) + "/></r>",
        "<r><x" + WrittenAttributes(11'586) + "/><x" + WrittenAttributes(11'586) + "/></r>",
        // A quote in an entity's value does not hide the tags after it.
        "<!DOCTYPE r [<!ENTITY e '<y \"'>]><r><x" + WrittenAttributes(16'385) + "/></r>"}) {
    EXPECT_TRUE(AttributesPassParserBound(text)) << text.substr(0, 60);
  }
  const std::string many_equals(100'000, '=');
  for (const std::string& text :
       {testing::MostAttributes("r", ""),
        "<r><x" + WrittenAttributes(11'585) + "/><x" + WrittenAttributes(11'585) + "/></r>",
        "<r><x a='" + many_equals + "'>" + many_equals + "</x></r>",
        "<r><!--<x" + WrittenAttributes(20'000) + "/>--><![CDATA[<x" + WrittenAttributes(20'000) +
            "/>]]><?p" + WrittenAttributes(20'000) + "?></r>",
        "<!DOCTYPE r [<!ATTLIST y" + DefaultedAttributes(20'000) + ">]><r><x/></r>"}) {
    EXPECT_FALSE(AttributesPassParserBound(text)) << text.substr(0, 60);
  }
}

TEST(AttributeWorkTest, ATagWritesAttributesAsItsEqualsOutsideValues) {
  EXPECT_TRUE(WritesAttributesInOneTag(FromUtf8("<r><x" + WrittenAttributes(100) + "/></r>"), 100));
  EXPECT_FALSE(WritesAttributesInOneTag(FromUtf8("<r><x" + WrittenAttributes(99) + "/></r>"), 100));
  EXPECT_FALSE(WritesAttributesInOneTag(
      FromUtf8("<r><x a='" + std::string(200, '=') + "'/>" + std::string(200, '=') + "</r>"), 100));
}

}  // namespace
}  // namespace korvalis::xml
