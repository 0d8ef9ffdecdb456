// Load and save of a 120 KB EMR page: the project's HTML document side by side with libxml2's
// HTML parser and serializer on the same page.
#include <benchmark/benchmark.h>
#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "foundation/xml/xhtml_document.h"
#include "platform/text/unicode.h"

namespace {

constexpr size_t kPageBytes = 120 * 1024;

// The admission record of the conformance suite, its body repeated up to 120 KB of UTF-8.
const std::string& PageUtf8() {
  static const std::string page = [] {
    const char* root = std::getenv("KORVALIS_SOURCE_DIR");
    const std::string dir = root != nullptr
                                ? std::string(root)
                                : std::filesystem::path(__FILE__).parent_path().parent_path().string();
    std::ifstream in(dir + "/foundation/testdata/emr_admission.html", std::ios::binary);
    if (!in) throw std::runtime_error("emr_admission.html not found; set KORVALIS_SOURCE_DIR");
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    const size_t body_begin = source.find('>', source.find("<BODY")) + 1;
    const size_t body_end = source.find("</BODY>");
    const std::string body = source.substr(body_begin, body_end - body_begin);
    std::string built = source.substr(0, body_end);
    while (built.size() < kPageBytes) built += body;
    built += source.substr(body_end);
    return built;
  }();
  return page;
}

const std::u16string& PageUtf16() {
  static const std::u16string page = korvalis::FromUtf8(PageUtf8());
  return page;
}

void SetCounters(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(PageUtf8().size()));
  state.counters["page_kb"] = static_cast<double>(PageUtf8().size()) / 1024.0;
}

// Loads `page` into a document and saves it back, once an iteration.
template <class Text>
void LoadSave(benchmark::State& state, const Text& page) {
  for (auto _ : state) {
    XHTMLDocument doc;
    doc.Load(page);
    std::u16string saved;
    doc.GetHtml(saved);
    benchmark::DoNotOptimize(saved.data());
  }
  SetCounters(state);
}

// The record's Unicode text, as the record store hands it over.
void BM_XhtmlLoadSave(benchmark::State& state) { LoadSave(state, PageUtf16()); }
BENCHMARK(BM_XhtmlLoadSave)->Unit(benchmark::kMicrosecond);

// The same page given as UTF-8, libxml2's own input form, decoded on load.
void BM_XhtmlLoadSaveUtf8(benchmark::State& state) { LoadSave(state, PageUtf8()); }
BENCHMARK(BM_XhtmlLoadSaveUtf8)->Unit(benchmark::kMicrosecond);

void BM_Libxml2HtmlLoadSave(benchmark::State& state) {
  const std::string& page = PageUtf8();
  xmlInitParser();
  for (auto _ : state) {
    htmlDocPtr doc = htmlReadMemory(page.data(), static_cast<int>(page.size()), nullptr, "UTF-8",
                                    HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    xmlChar* saved = nullptr;
    int size = 0;
    htmlDocDumpMemoryFormat(doc, &saved, &size, 0);
    benchmark::DoNotOptimize(saved);
    xmlFree(saved);
    xmlFreeDoc(doc);
  }
  SetCounters(state);
}
BENCHMARK(BM_Libxml2HtmlLoadSave)->Unit(benchmark::kMicrosecond);

// 120 KB of damaged markup of the shapes that make a tag reader rescan the rest of the text
// for every '<': tags that never end, quotes that never close, thousands of attributes on
// one element and on repeated BODY tags. The time should stay near that of a sound page.
std::u16string HostilePage(int64_t shape) {
  std::u16string page;
  for (int i = 0; page.size() < kPageBytes; ++i) {
    const std::u16string n = korvalis::FromUtf8(std::to_string(i));
    switch (shape) {
      case 0: page += u"<P a=\""; break;
      case 1: page += u"<P a=1 "; break;
      case 2: page += u"<a"; break;
      case 3: page += (i == 0 ? u"<P" : u"") + (u" a" + n + u"=1"); break;
      default: page += u"<BODY a" + n + u"=1>"; break;
    }
  }
  if (shape == 1) page += u"b=\"x>";
  if (shape == 3) page += u">x";
  return page;
}

void BM_HostileMarkupLoadSave(benchmark::State& state) {
  const std::u16string page = HostilePage(state.range(0));
  for (auto _ : state) {
    XHTMLDocument doc;
    doc.Load(page);
    std::u16string saved;
    doc.GetHtml(saved);
    benchmark::DoNotOptimize(saved);
  }
  state.counters["page_kb"] = static_cast<double>(page.size()) / 1024.0;
}
BENCHMARK(BM_HostileMarkupLoadSave)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

}  // namespace
