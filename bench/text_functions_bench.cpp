// The embedded file's own text functions on ordinary texts: a thousand rows of record-sized
// notes (Chinese with ASCII markup, 120 characters), and one note of 100k characters. Each
// benchmark runs one query over the rows; the time per row (per character for the long note)
// is what ordinary statements pay for the functions.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/db/connection_pool.h"

namespace {

using namespace korvalis::db;

std::unique_ptr<Connection> OpenNotes() {
  auto c = CreateDatabase("Provider=SQLite;Data Source=:memory:");
  c->Execute("CREATE TABLE NOTES (ID NUMBER, BODY VARCHAR2(4000))");
  c->Execute("CREATE TABLE LONG_NOTE (ID NUMBER, BODY CLOB)");
  c->Begin(Connection::TransactionMode::kWriting);
  for (int i = 0; i < 1000; ++i) {
    c->Execute("INSERT INTO NOTES VALUES (" + std::to_string(i) +
               ", RPAD('<P>患者主诉发热" + std::to_string(i) + "天, 体温38.5度', 120, ' 咳嗽 cough'))");
  }
  c->Execute("INSERT INTO LONG_NOTE VALUES (1, RPAD('<P>', 100000, '患者主诉发热三天 fever 3 days; '))");
  c->Commit();
  return c;
}

void Run(benchmark::State& state, const char* sql, int64_t items) {
  auto c = OpenNotes();
  size_t bytes = 0;
  for (auto _ : state) {
    auto rows = c->Execute(sql);
    while (rows->Next()) bytes += rows->Text(0).size();
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * items);
}

#define KORVALIS_ROWS_BENCH(name, sql)                                 \
  void name(benchmark::State& state) { Run(state, sql, 1000); }       \
  BENCHMARK(name)->Unit(benchmark::kMicrosecond);
#define KORVALIS_LONG_BENCH(name, sql)                                 \
  void name(benchmark::State& state) { Run(state, sql, 100000); }     \
  BENCHMARK(name)->Unit(benchmark::kMicrosecond);

KORVALIS_ROWS_BENCH(BM_Replace, "SELECT REPLACE(BODY, '发热', 'fever') FROM NOTES")
KORVALIS_ROWS_BENCH(BM_Instr, "SELECT INSTR(BODY, 'cough', 1, 2) FROM NOTES")
KORVALIS_ROWS_BENCH(BM_InstrBackwards, "SELECT INSTR(BODY, '咳嗽', -1) FROM NOTES")
KORVALIS_ROWS_BENCH(BM_Substr, "SELECT SUBSTR(BODY, 20, 30) FROM NOTES")
KORVALIS_ROWS_BENCH(BM_Translate, "SELECT TRANSLATE(BODY, '发热体温', 'abcd') FROM NOTES")
KORVALIS_ROWS_BENCH(BM_Rpad, "SELECT RPAD(BODY, 200, '-') FROM NOTES")
KORVALIS_ROWS_BENCH(BM_Upper, "SELECT UPPER(BODY) FROM NOTES")
KORVALIS_ROWS_BENCH(BM_RegexpSubstr, "SELECT REGEXP_SUBSTR(BODY, '[0-9]+\\.[0-9]') FROM NOTES")
KORVALIS_ROWS_BENCH(BM_RegexpLike, "SELECT ID FROM NOTES WHERE REGEXP_LIKE(BODY, '^<P>.*cough$')")
KORVALIS_ROWS_BENCH(BM_LikeContains, "SELECT ID FROM NOTES WHERE BODY LIKE '%cough%'")
KORVALIS_ROWS_BENCH(BM_LikePrefix, "SELECT ID FROM NOTES WHERE BODY LIKE '<P>患者%'")
KORVALIS_ROWS_BENCH(BM_LikeOneCharacter, "SELECT ID FROM NOTES WHERE BODY LIKE '%发热_天%'")
KORVALIS_ROWS_BENCH(BM_LikeMissed, "SELECT ID FROM NOTES WHERE BODY LIKE '%cough%fever%'")
KORVALIS_LONG_BENCH(BM_LongReplace, "SELECT REPLACE(BODY, 'fever', '发热') FROM LONG_NOTE")
KORVALIS_LONG_BENCH(BM_LongInstr, "SELECT INSTR(BODY, 'days;', 1, 3000) FROM LONG_NOTE")
KORVALIS_LONG_BENCH(BM_LongLike, "SELECT ID FROM LONG_NOTE WHERE BODY LIKE '%fever%3 days%xyz%'")
KORVALIS_LONG_BENCH(BM_LongSubstr, "SELECT SUBSTR(BODY, -50, 10) FROM LONG_NOTE")
KORVALIS_LONG_BENCH(BM_LongTranslate, "SELECT TRANSLATE(BODY, 'fev', 'FEV') FROM LONG_NOTE")
KORVALIS_LONG_BENCH(BM_LongRegexpReplace, "SELECT REGEXP_REPLACE(BODY, '([0-9]) days', '\\1 d') FROM LONG_NOTE")

}  // namespace
