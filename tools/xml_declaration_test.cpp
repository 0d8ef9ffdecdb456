#include "tools/xml_declaration.h"

#include <gtest/gtest.h>

namespace korvalis::tools {
namespace {

TEST(XmlDeclarationTest, TheDeclaredEncodingBecomesUtf8AndEverythingElseStays) {
  EXPECT_EQ(WithUtf8Declaration(
                "<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root a=\"é\"/>"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?><root a=\"é\"/>");
  EXPECT_EQ(WithUtf8Declaration("<?xml version='1.0' encoding = 'utf-16'?><root/>"),
            "<?xml version='1.0' encoding = 'UTF-8'?><root/>");
  // Without an encoding the declaration already means UTF-8.
  EXPECT_EQ(WithUtf8Declaration("<?xml version='1.0' ?><root/>"), "<?xml version='1.0' ?><root/>");
  // Only a declaration at the very start is one; a text that merely names an encoding stays.
  for (const char* text :
       {"", "plain encoding=\"UTF-16\"", " <?xml version='1.0' encoding='UTF-16'?>",
        "<?xml-stylesheet encoding='UTF-16'?><root/>",
        "<?xml version='1.0' <root encoding='UTF-16'/>",
        "<?xml version='1.0'?><root encoding='UTF-16'/>"}) {
    EXPECT_EQ(WithUtf8Declaration(text), text);
  }
}

}  // namespace
}  // namespace korvalis::tools
