// Building the embedded database as `korvalis initdb` does: the schema with the installation
// rows, and with the sample hospital. Goal: under 2 seconds on a fresh machine.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "db/database_file.h"
#include "db/testing/temp_directory.h"

namespace {

namespace fs = std::filesystem;

void BuildDatabaseFile(benchmark::State& state, korvalis::schema::DatabaseContents contents) {
  const korvalis::testing::TempDirectory scratch("korvalis-bench");
  int run = 0;
  for (auto _ : state) {
    const std::string path = scratch.path() + "/db" + std::to_string(run++);
    korvalis::schema::CreateDatabaseFile(path, contents);
    state.PauseTiming();
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
    state.ResumeTiming();
  }
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
