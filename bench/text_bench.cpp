// Cost of the text primitives every call uses: building SQL with FormatString against plain
// concatenation, UTF-8/UTF-16 conversion of record-sized text, splitting client lists, and
// BSTR round trips.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "foundation/text/string_util.h"
#include "platform/com/bstr.h"
#include "platform/text/unicode.h"

namespace {

const std::u16string kDept = u"0101";
const std::u16string kStart = u"2008-01-01 00:00:00";
const std::u16string kEnd = u"2009-01-01 00:00:00";

void BM_FormatStringSql(benchmark::State& state) {
  char16_t buffer[512];
  for (auto _ : state) {
    const int n = FormatString(buffer, 512,
                               u"SELECT PATIENT_ID, EVENT_NO FROM TELV_VISIT_RECORD WHERE "
                               u"NOWDEPT = '%s' AND INTIME BETWEEN TO_DATE('%s', "
                               u"'YYYY-MM-DD HH24:MI:SS') AND TO_DATE('%s', "
                               u"'YYYY-MM-DD HH24:MI:SS') AND ROWNUM <= %d",
                               kDept, kStart, kEnd, 500);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_FormatStringSql);

void BM_ConcatenateSql(benchmark::State& state) {
  for (auto _ : state) {
    std::u16string sql = u"SELECT PATIENT_ID, EVENT_NO FROM TELV_VISIT_RECORD WHERE NOWDEPT = '";
    sql += kDept;
    sql += u"' AND INTIME BETWEEN TO_DATE('";
    sql += kStart;
    sql += u"', 'YYYY-MM-DD HH24:MI:SS') AND TO_DATE('";
    sql += kEnd;
    sql += u"', 'YYYY-MM-DD HH24:MI:SS') AND ROWNUM <= ";
    sql += IntToString(500);
    benchmark::DoNotOptimize(sql);
  }
}
BENCHMARK(BM_ConcatenateSql);

// A record-sized text: mostly Chinese with ASCII markup, as stored EMR content is.
std::u16string RecordText(std::size_t bytes) {
  std::u16string text;
  while (text.size() * 2 < bytes) text += u"<P><CUSTOMTAG:DE_Y id='STD_DE01'>患者主诉发热三天</CUSTOMTAG:DE_Y></P>";
  return text;
}

void BM_ToUtf8(benchmark::State& state) {
  const std::u16string text = RecordText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(korvalis::ToUtf8(text));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size() * 2));
}
BENCHMARK(BM_ToUtf8)->Arg(64 << 10)->Arg(1 << 20);

void BM_FromUtf8(benchmark::State& state) {
  const std::string text = korvalis::ToUtf8(RecordText(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(korvalis::FromUtf8(text));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_FromUtf8)->Arg(64 << 10)->Arg(1 << 20);

void BM_SplitIdList(benchmark::State& state) {
  std::u16string list;
  for (int i = 0; i < 1000; ++i) list += IntToString(100000 + i) + u",";
  for (auto _ : state) {
    std::vector<std::u16string> pieces;
    SplitString(list, u",", pieces);
    benchmark::DoNotOptimize(pieces);
  }
}
BENCHMARK(BM_SplitIdList);

void BM_BstrRoundTrip(benchmark::State& state) {
  const std::u16string text = RecordText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    BSTR b = korvalis::AllocBstr(text);
    benchmark::DoNotOptimize(korvalis::BstrView(b).size());
    SysFreeString(b);
  }
}
BENCHMARK(BM_BstrRoundTrip)->Arg(1 << 10)->Arg(64 << 10);

}  // namespace
