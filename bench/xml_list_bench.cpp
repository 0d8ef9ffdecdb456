// Reading a list argument of 1,000, 10,000 and 100,000 `<path>` elements with one attribute
// each (ReadListElements: parse, find every element, read attribute and text). The time per
// element stays flat when the reading is linear; goal: 20,000 elements well under 0.2 s.
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/xml/xml_list.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"

namespace {

void BM_ReadListElements(benchmark::State& state) {
  std::string list = "<root>";
  for (int64_t i = 0; i < state.range(0); ++i) {
    list += "<path kind=\"" + std::to_string(i % 7) + "\">/emr/section[" + std::to_string(i) +
            "]/value</path>";
  }
  list += "</root>";
  const korvalis::com::ScopedBstr text(korvalis::FromUtf8(list));
  for (auto _ : state) {
    const std::vector<korvalis::ListElement> elements =
        korvalis::ReadListElements(text.get(), u"path", {u"kind"});
    if (static_cast<int64_t>(elements.size()) != state.range(0)) {
      state.SkipWithError("elements lost");
      break;
    }
    benchmark::DoNotOptimize(elements.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadListElements)->Arg(1000)->Arg(10000)->Arg(20000)->Arg(100000)->Unit(
    benchmark::kMillisecond);

}  // namespace
