// The property bag on 1,000 properties: parsing a text into its map, and serialising a map.
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/xml/xml_property.h"
#include "platform/text/unicode.h"

namespace {

// 1,000 properties with values like those of the system's arguments (identifiers, dates,
// names), every fourth one holding characters that must be escaped.
CXmlProperty::Map ThousandProperties() {
  CXmlProperty::Map map;
  for (int i = 0; i < 1000; ++i) {
    std::string value = "内科 " + std::to_string(i * 7919) + " 2008-01-01 12:00:00";
    if (i % 4 == 0) value += " & <b>";
    map.emplace(korvalis::FromUtf8("property_" + std::to_string(i)), korvalis::FromUtf8(value));
  }
  return map;
}

void BM_ParseThousandProperties(benchmark::State& state) {
  const std::u16string xml = CXmlProperty(ThousandProperties()).ToXml();
  for (auto _ : state) {
    CXmlProperty bag(xml);
    benchmark::DoNotOptimize(bag.GetValue(u"property_500"));
  }
}
BENCHMARK(BM_ParseThousandProperties)->Unit(benchmark::kMicrosecond);

void BM_SerialiseThousandProperties(benchmark::State& state) {
  const CXmlProperty bag(ThousandProperties());
  for (auto _ : state) benchmark::DoNotOptimize(bag.ToXml());
}
BENCHMARK(BM_SerialiseThousandProperties)->Unit(benchmark::kMicrosecond);

void BM_ParseAndSerialiseThousandProperties(benchmark::State& state) {
  const std::u16string xml = CXmlProperty(ThousandProperties()).ToXml();
  for (auto _ : state) {
    CXmlProperty bag(xml);
    CXmlProperty::Map map = bag.GetMap();
    bag.SetMap(map);
    benchmark::DoNotOptimize(bag.ToXml());
  }
}
BENCHMARK(BM_ParseAndSerialiseThousandProperties)->Unit(benchmark::kMicrosecond);

}  // namespace
