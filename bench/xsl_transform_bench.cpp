// Transformations as the system's calls make them: a department QC score sheet turned into its
// small HTML page (XslTransform, texts in and out), and ward lists of 1,000 and 20,000 rows turned
// into their pages as reports write them (ContentTransformation).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/ward_list_page.h"
#include "foundation/xml/xsl_transform.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"

namespace {

constexpr char16_t kScoreSheetStyle[] =
    u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    u"<xsl:output method='html'/><xsl:template match='/score'><HTML><BODY>"
    u"<H2>科室质控结果</H2><P>总分: <xsl:value-of select='@total'/> 等级: "
    u"<xsl:value-of select='@level'/></P><TABLE><xsl:for-each select='item'><TR>"
    u"<TD><xsl:value-of select='@name'/></TD><TD><xsl:value-of select='@score'/></TD>"
    u"<TD><xsl:value-of select='.'/></TD></TR></xsl:for-each></TABLE></BODY></HTML>"
    u"</xsl:template></xsl:stylesheet>";

std::u16string ScoreSheet() {
  std::u16string sheet = u"<score total='92.5' level='甲'>";
  for (int i = 0; i < 20; ++i) {
    const std::u16string n = korvalis::FromUtf8(std::to_string(i));
    sheet += u"<item name='病程记录" + n + u"' score='-0.5'>首次病程记录未在8小时内完成" + n +
             u"</item>";
  }
  return sheet + u"</score>";
}

void BM_XslTransformScoreSheet(benchmark::State& state) {
  const korvalis::com::ScopedBstr source(ScoreSheet()), stylesheet(kScoreSheetStyle);
  for (auto _ : state) {
    korvalis::com::ScopedBstr page;
    XslTransform(source.get(), stylesheet.get(), page.out());
    benchmark::DoNotOptimize(page.get());
  }
}

void BM_TransformToContentWardList(benchmark::State& state) {
  const std::u16string source = korvalis::FromUtf8(korvalis::bench::WardList(state.range(0)));
  const std::u16string stylesheet = korvalis::FromUtf8(korvalis::bench::kWardListStyle);
  for (auto _ : state) {
    ContentTransformation transformation(stylesheet, {u"转换报表内容错误.", u"装载XML内容错误.",
                                                      u"转换报表内容错误."});
    transformation.AppendSource(source);
    const std::u16string page = transformation.Finish();
    state.counters["bytes"] = static_cast<double>(page.size() * sizeof(char16_t));
  }
  state.SetItemsProcessed(state.range(0) * state.iterations());
}

BENCHMARK(BM_XslTransformScoreSheet)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TransformToContentWardList)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
