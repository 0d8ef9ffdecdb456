// Building the embedded database as `korvalis initdb` does: the schema with the installation
// rows, and with the sample hospital. Goal: under 2 seconds on a fresh machine.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "db/database_file.h"

namespace {

namespace fs = std::filesystem;

void BuildDatabaseFile(benchmark::State& state, korvalis::schema::DatabaseContents contents) {
  std::string pattern = (fs::temp_directory_path() / "korvalis-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  int run = 0;
  for (auto _ : state) {
    const std::string path = pattern + "/db" + std::to_string(run++);
    korvalis::schema::CreateDatabaseFile(path, contents);
    state.PauseTiming();
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
    state.ResumeTiming();
  }
  fs::remove_all(pattern);
}

void BM_InitDbInstallation(benchmark::State& state) {
  BuildDatabaseFile(state, korvalis::schema::DatabaseContents::kInstallation);
}
void BM_InitDbSampleHospital(benchmark::State& state) {
  BuildDatabaseFile(state, korvalis::schema::DatabaseContents::kSampleHospital);
}

BENCHMARK(BM_InitDbInstallation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InitDbSampleHospital)->Unit(benchmark::kMillisecond);

}  // namespace
