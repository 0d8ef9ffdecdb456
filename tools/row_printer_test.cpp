// A value far longer than the pieces the printer writes at a time prints exactly as it would
// whole: escapes and characters of several bytes that fall across a piece's end included.
#include "tools/row_printer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/db/connection_support.h"

namespace {

std::string Printed(const std::string& value, bool xml) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = ::open_memstream(&buffer, &size);
  korvalis::db::ValueRowset rows("V", value);
  EXPECT_EQ(korvalis::tools::PrintRows(rows, xml, out), 1);
  std::fclose(out);
  std::string printed(buffer, size);
  std::free(buffer);
  return printed;
}

TEST(RowPrinterTest, ALongValueIsPrintedAsItWouldBeWhole) {
  // 40,000 times "病\t<": past two pieces of 64 KiB, a three-byte character or an escape
  // wherever a piece ends.
  std::string value, text, xml;
  for (int i = 0; i < 40000; ++i) {
    value += "病\t<";
    text += "病\\t<";
    xml += "病\t&lt;";
  }
  EXPECT_EQ(Printed(value, false), "V\n" + text + "\n");
  EXPECT_EQ(Printed(value, true), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><row><column "
                                  "name=\"V\">" + xml + "</column></row></root>\n");
}

}  // namespace
