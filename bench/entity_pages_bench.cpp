// A page of 130,000 `&nbsp;` cells (2 MB), the largest page of entities the system reads, through
// each parser that reads a document handed in: libxml2's DOM (a caller's argument, a style sheet),
// the file's XML paths (EXTRACTVALUE), Xerces' property bag (a request's parameters, a catalogue)
// and Xerces' DOM (a client document), the references in the cells' text and, for the DOM, in an
// attribute of each cell too. Every reference is counted against the bound on entities: the goal
// is the time of the build before, within 1.1 times.
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "platform/db/xml_path.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"

namespace {

std::string Page(const std::string& cell) {
  std::string page = "<!DOCTYPE root [<!ENTITY nbsp \"&#160;\">]><root><a>";
  for (int i = 0; i < 130'000; ++i) page += cell;
  return page + "</a></root>";
}

const std::string& CellsPage() {
  static const std::string page = Page("<td>&nbsp;</td>");
  return page;
}

void BM_LibxmlDom(benchmark::State& state) {
  const std::string page = state.range(0) == 0 ? CellsPage() : Page("<td c=\"&nbsp;\">&nbsp;</td>");
  for (auto _ : state) {
    korvalis::xml::Document document;
    if (!document.LoadXml(page)) state.SkipWithError("the page did not load");
  }
}
BENCHMARK(BM_LibxmlDom)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_XmlPath(benchmark::State& state) {
  for (auto _ : state) {
    korvalis::db::XmlPathDocument document(CellsPage());
    benchmark::DoNotOptimize(&document);
  }
}
BENCHMARK(BM_XmlPath)->Unit(benchmark::kMillisecond);

void BM_PropertyBag(benchmark::State& state) {
  const std::u16string page = korvalis::FromUtf8(CellsPage());
  for (auto _ : state) {
    CXmlProperty bag(page);
    if (bag.GetValue(u"a").size() != 130'000) state.SkipWithError("the page did not read");
  }
}
BENCHMARK(BM_PropertyBag)->Unit(benchmark::kMillisecond);

void BM_XercesDom(benchmark::State& state) {
  const std::u16string page = korvalis::FromUtf8(CellsPage());
  for (auto _ : state) {
    CXmlStringParser parser(page);
    if (parser.GetDocument() == nullptr) state.SkipWithError("the page did not parse");
  }
}
BENCHMARK(BM_XercesDom)->Unit(benchmark::kMillisecond);

}  // namespace
