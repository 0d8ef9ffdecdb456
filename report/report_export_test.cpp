#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/codec/emr_encoder.h"
#include "foundation/testing/list_elements.h"
#include "report/testing/report_test_util.h"

namespace korvalis::report::testing {
namespace {

using korvalis::testing::Element;
using korvalis::testing::ReadElements;

class ReportExportTest : public ReportTest {
 protected:
  static std::u16string Export(LONG id) { return GetText(&CBEMRReport::ExportReport, id); }
  // The text whose UTF-16LE bytes the Base64 text encodes.
  static std::u16string Decoded(const std::string& base64) {
    BYTE* bytes = nullptr;
    ULONG length = 0;
    CBase64Encoder().Decode(FromUtf8(base64), bytes, length);
    std::unique_ptr<BYTE[]> owned(bytes);
    return std::u16string(reinterpret_cast<const char16_t*>(bytes), length / 2);
  }
  // The document's elements with their values decoded.
  static std::vector<Element> DecodedElements(const std::u16string& report) {
    std::vector<Element> elements = ReadElements(report);
    for (Element& element : elements) {
      if (element.name != "new_format") element.text = ToUtf8(Decoded(element.text));
    }
    return elements;
  }
};

TEST_F(ReportExportTest, AnOldFormatReportIsVersionOneWithItsValuesInNameOrder) {
  AddDefinedReport(3, "0", u"");
  const std::u16string report = Export(3);
  EXPECT_TRUE(report.starts_with(u"<?xml version=\"1.0\" encoding=\"UTF-16\"")) << ToUtf8(report);
  const std::map<std::string, std::string> uncompressed = {{"compression", "0"}};
  EXPECT_EQ(DecodedElements(report),
            (std::vector<Element>{
                {"property", ToUtf8(GetText(&CBEMRReport::GetReportProperty, 3)), uncompressed},
                {"sql", "SELECT NAME FROM TELV_PATIENT WHERE ID = {p3}", uncompressed},
                {"sql_param", "<?xml version='1.0' ?><root/>", uncompressed},
                {"sql_pro", "patient,bed", uncompressed},
                {"xslt", "<xsl:stylesheet n=\"3\"/>", uncompressed}}));
  // An empty value is an element without text.
  SetText(&CBEMRReport::SetReportXSLT, 3, u"");
  EXPECT_EQ(ReadElements(Export(3)).back(), (Element{"xslt", "", uncompressed}));
}

TEST_F(ReportExportTest, ANewFormatReportIsVersionTwoWithItsMultiSql) {
  AddDefinedReport(4, "1", u"<root><param code=\"p4\"/></root>");
  EXPECT_EQ(
      DecodedElements(Export(4)),
      (std::vector<Element>{{"new_format", "1", {}},
                            {"property", ToUtf8(GetText(&CBEMRReport::GetReportProperty, 4)), {}},
                            {"sql", "<report><sql id=\"4\"/></report>", {}},
                            {"sql_param", "<root><param code=\"p4\"/></root>", {}},
                            {"xslt", "<xsl:stylesheet n=\"4\"/>", {}}}));
}

TEST_F(ReportExportTest, AReportWithoutALiveRowIsNotExported) {
  AddDefinedReport(5, "0", u"");
  db().Execute("UPDATE TELV_REPORT SET STATUS = 0 WHERE ID = 5");
  EXPECT_EQ(FailureOf([] { Export(5); }), u"获取报表属性错误.");
  EXPECT_EQ(FailureOf([] { Export(6); }), u"获取报表属性错误.");
}

}  // namespace
}  // namespace korvalis::report::testing
