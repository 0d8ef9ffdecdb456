// The memory of the largest report runs that the bounds admit, on the embedded file: the
// peak of resident memory that one EMRReport.GetReportContent takes above what the process held
// before it (counter peak_MB), and the process's own peak (process_MB):
//   - 260,000 rows of 20 one-character values, within the rows bound, in the old format and in
//     the new one, their rows counted by the style sheet;
//   - a ward's list of 320,000 rows turned into an HTML table, a page of 64.1 MB;
//   - the densest rows the bound admits, 127,000 rows of 53 empty values (a value takes 5 units
//     as XML and the most memory as a document), turned into a text page of 61 MB.
// Goal: every run under 2 GB.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <fstream>
#include <string>

#include "bench/call_and_statement.h"
#include "emrdoc/emr_content_hand_over.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "report/emr_report.h"
#include "report/testing/ward_list_report.h"

namespace {

using korvalis::com::ScopedBstr;

constexpr char16_t kClient[] =
    u"<root><user id='1002'>刘静怡</user><dept id='0101'>心血管内科</dept></root>";
constexpr char16_t kCountStyle[] =
    u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    u"<xsl:output method='text'/><xsl:template match='/'><xsl:value-of select='count(//r)'/>"
    u"</xsl:template></xsl:stylesheet>";
// A line of 240 characters for each row r: a page of 61 MB for 127,000 rows.
constexpr char16_t kLineStyle[] =
    u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    u"<xsl:output method='text'/><xsl:variable name='line' select=\"concat("
    u"'0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef',"
    u"'0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef',"
    u"'0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef',"
    u"'0123456789abcdef0123456789abcdef0123456789abcdef')\"/>"
    u"<xsl:template match='/'><xsl:for-each select='root/r'><xsl:value-of select='$line'/>"
    u"<xsl:text>&#10;</xsl:text></xsl:for-each></xsl:template></xsl:stylesheet>";

enum Report : LONG { kOldValues = 1, kNewValues = 2, kWard = 3, kEmptyValues = 4 };

void AddReports(sqlite3* db) {
  korvalis::bench::CheckSqlite(
      sqlite3_exec(db,
                   "INSERT INTO TELV_REPORT (ID, NAME, CATALOG_ID, SORT, STATUS, NEW_FORMAT) "
                   "VALUES (1, 'a', 1, 1, 1, 0), (2, 'b', 1, 2, 1, 1), (3, 'c', 1, 3, 1, 0), "
                   "(4, 'd', 1, 4, 1, 0)",
                   nullptr, nullptr, nullptr),
      db);
}

void Store(long (*set)(CEMRDataSource*, LONG, BSTR), LONG id, std::u16string_view text) {
  CEMRDataSource data_source;
  ScopedBstr value(text);
  set(&data_source, id, value.get());
}

// The reports' database, its directory the process's current directory.
void TheReports() {
  static const korvalis::bench::BenchDatabase* reports = [] {
    auto* database = new korvalis::bench::BenchDatabase("korvalis-report-memory", AddReports);
    // Rows named r, the 19 further values a, b ... s: 122 units a row.
    std::u16string sql = u"SELECT 'v'";
    std::u16string names = u"r";
    std::u16string property = u"<n>r</n>";
    for (char16_t c = u'a'; c < u'a' + 19; ++c) {
      const std::u16string name(1, c);
      sql += u", 'v'";
      names += u"," + name;
      property += u"<n>" + name + u"</n>";
    }
    sql += u" FROM DUAL CONNECT BY LEVEL &lt;= 260000";
    Store(&CBEMRReport::SetSQLProperty, kOldValues, names);
    Store(&CBEMRReport::SetSQLParam, kOldValues, u"");
    Store(&CBEMRReport::SetReportXSLT, kOldValues, kCountStyle);
    Store(&CBEMRReport::SetReportSQL2, kNewValues,
          u"<report><sql><gramar>" + sql + u"</gramar><property>" + property +
              u"</property></sql></report>");
    Store(&CBEMRReport::SetReportXSLT, kNewValues, kCountStyle);
    sql.replace(sql.find(u"&lt;"), 4, u"<");
    Store(&CBEMRReport::SetReportSQL, kOldValues, sql);
    Store(&CBEMRReport::SetReportSQL, kWard, korvalis::report::testing::kWardListSql);
    Store(&CBEMRReport::SetSQLProperty, kWard, korvalis::report::testing::kWardListNames);
    Store(&CBEMRReport::SetSQLParam, kWard, u"");
    Store(&CBEMRReport::SetReportXSLT, kWard, korvalis::report::testing::kWardListStyle);
    std::u16string empty_sql = u"SELECT NULL";
    std::u16string empty_names = u"r";
    for (char16_t c = u'a'; c <= u'z'; ++c) {
      empty_sql += u", NULL, NULL";
      empty_names += u"," + std::u16string(1, c) + u"," + std::u16string(1, c - u'a' + u'A');
    }
    empty_sql += u" FROM DUAL CONNECT BY LEVEL <= 127000";
    Store(&CBEMRReport::SetReportSQL, kEmptyValues, empty_sql);
    Store(&CBEMRReport::SetSQLProperty, kEmptyValues, empty_names);
    Store(&CBEMRReport::SetSQLParam, kEmptyValues, u"");
    Store(&CBEMRReport::SetReportXSLT, kEmptyValues, kLineStyle);
    return database;
  }();
  (void)reports;
}

double ResidentMegabytes(std::string_view field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(field)) return std::stod(line.substr(field.size())) / 1024;
  }
  return 0;
}

void BM_ReportPeakMemory(benchmark::State& state) {
  TheReports();
  const auto report = static_cast<LONG>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    const double before = ResidentMegabytes("VmRSS:");
    state.ResumeTiming();
    std::u16string content;
    try {
      CEMRDataSource data_source;
      ScopedBstr request(u""), client(kClient), packed;
      CBEMRReport::GetReportContent(&data_source, report, request.get(), client.get(),
                                    packed.out());
      content = UnpackEmrContent(packed.get());
    } catch (const CEMRException& failure) {
      state.SkipWithError(korvalis::ToUtf8(failure.GetText()).c_str());
      break;
    }
    state.counters["peak_MB"] = ResidentMegabytes("VmHWM:") - before;
    state.counters["process_MB"] = ResidentMegabytes("VmHWM:");
    state.counters["page_units"] = static_cast<double>(content.size());
  }
}

BENCHMARK(BM_ReportPeakMemory)
    ->ArgName("report")
    ->Arg(kOldValues)
    ->Arg(kNewValues)
    ->Arg(kWard)
    ->Arg(kEmptyValues)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
