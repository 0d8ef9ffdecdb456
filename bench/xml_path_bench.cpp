// EXTRACTVALUE on the embedded file over 20 documents of 2,049 elements each (a root and 2,048
// children): every row parses its document and evaluates the path, so the time is the loading of
// the documents and what an evaluation sets up for each. Paths that count, that pick a node, and
// that compare every child's string value.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/db/connection_pool.h"

namespace {

using namespace korvalis::db;

constexpr int kDocuments = 20;
constexpr int kChildren = 2048;

std::unique_ptr<Connection> OpenDocuments() {
  auto c = CreateDatabase("Provider=SQLite;Data Source=:memory:");
  c->Execute("CREATE TABLE DOCS (ID NUMBER, XML CLOB)");
  std::string xml = "<r>";
  for (int i = 0; i < kChildren; ++i) xml += "<b>" + std::to_string(i) + "</b>";
  xml += "</r>";
  for (int id = 1; id <= kDocuments; ++id) {
    c->Execute("INSERT INTO DOCS VALUES (" + std::to_string(id) + ", '" + xml + "')");
  }
  return c;
}

void Run(benchmark::State& state, const char* path) {
  auto c = OpenDocuments();
  const std::string sql = std::string("SELECT EXTRACTVALUE(XML, '") + path + "') FROM DOCS";
  size_t bytes = 0;
  for (auto _ : state) {
    auto rows = c->Execute(sql);
    while (rows->Next()) bytes += rows->Text(0).size();
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kDocuments);
}

void BM_ExtractValueCount(benchmark::State& state) { Run(state, "count(/r/b)"); }
BENCHMARK(BM_ExtractValueCount)->Unit(benchmark::kMicrosecond);

void BM_ExtractValueLastChild(benchmark::State& state) { Run(state, "/r/b[last()]"); }
BENCHMARK(BM_ExtractValueLastChild)->Unit(benchmark::kMicrosecond);

void BM_ExtractValueComparison(benchmark::State& state) { Run(state, "count(/r/b[. = \"2047\"])"); }
BENCHMARK(BM_ExtractValueComparison)->Unit(benchmark::kMicrosecond);

}  // namespace
