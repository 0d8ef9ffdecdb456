// Raw side: one SQLite connection with the provider's settings, each statement prepared once,
// in the transaction shape of the data source (a transaction per list; one for every scalar).
//
// Cost of the data source against the libraries underneath it: a list of 10,000 rows of 10
// columns read into an XML document by QueryElements, against the same rows read with raw
// SQLite and serialised with libxml2 alone; and one scalar query round trip through a data
// source that stays open (its transaction stays open), against raw SQLite on an open
// connection inside one transaction. Goal for the scalar: within 1.3 times.
#include <benchmark/benchmark.h>
#include <libxml/tree.h>
#include <sqlite3.h>

#include <string>

#include "bench/call_and_statement.h"
#include "db/testing/temp_directory.h"
#include "foundation/data/comm_data_source.h"
#include "platform/com/bstr.h"
#include "platform/db/connection_pool.h"
#include "platform/text/unicode.h"

namespace {

constexpr int kRows = 10000;

// A database file with the list table, made once for the process.
class ListDatabase {
 public:
  ListDatabase() {
    path_ = directory_.path() + "/list.db";
    auto connection = korvalis::db::CreateDatabase("Provider=SQLite;Data Source=" + path_);
    connection->Execute(
        "CREATE TABLE T_LIST (C1 VARCHAR2(40), C2 VARCHAR2(40), C3 VARCHAR2(40), C4 NUMBER(10), "
        "C5 VARCHAR2(40), C6 VARCHAR2(40), C7 VARCHAR2(40), C8 NUMBER(10), C9 VARCHAR2(40), "
        "C10 VARCHAR2(40))");
    connection->Begin(korvalis::db::Connection::TransactionMode::kWriting);
    for (int i = 0; i < kRows; ++i) {
      const std::string n = std::to_string(i);
      connection->Execute("INSERT INTO T_LIST VALUES ('张三" + n + "', 'P" + n + "', 'E" + n +
                          "', " + n + ", '心血管内科', '2026-01-05 08:00:00', 'A&B <" + n + ">', " +
                          n + ", '测试医生', 'note " + n + "')");
    }
    connection->Execute("CREATE TABLE T_PARAM (NAME VARCHAR2(64), VALUE VARCHAR2(200))");
    for (int i = 0; i < 30; ++i) {
      const std::string n = std::to_string(i);
      connection->Execute("INSERT INTO T_PARAM VALUES ('param_" + n + "', 'value " + n + "')");
    }
    connection->Commit();
  }
  std::u16string connection_string() const {
    return korvalis::FromUtf8("Provider=SQLite;Data Source=" + path_);
  }
  const std::string& path() const { return path_; }

 private:
  korvalis::testing::TempDirectory directory_{"korvalis-bench"};
  std::string path_;
};

ListDatabase& Database() {
  static ListDatabase database;
  return database;
}

void BM_QueryElements(benchmark::State& state) {
  CCommDataSource source(Database().connection_string(), u"oracle");
  const std::vector<std::u16string> names{u"patient", u"a2", u"a3", u"a4", u"a5",
                                          u"a6",      u"a7", u"a8", u"a9", u"a10"};
  for (auto _ : state) {
    BSTR result = nullptr;
    source.QueryElements(u"SELECT C1, C2, C3, C4, C5, C6, C7, C8, C9, C10 FROM T_LIST", names,
                         &result);
    benchmark::DoNotOptimize(result);
    SysFreeString(result);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_QueryElements)->Unit(benchmark::kMillisecond);

// The same rows read with raw SQLite, built into a libxml2 tree and serialised.
void BM_Libxml2Serialise(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(Database().path());
  const char* names[] = {"patient", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "a10"};
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v3(db, "SELECT C1, C2, C3, C4, C5, C6, C7, C8, C9, C10 FROM T_LIST", -1,
                     SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
  for (auto _ : state) {
    xmlDocPtr document = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr root = xmlNewNode(nullptr, BAD_CAST "root");
    xmlDocSetRootElement(document, root);
    while (sqlite3_step(statement) == SQLITE_ROW) {
      xmlNodePtr row =
          xmlNewTextChild(root, nullptr, BAD_CAST names[0], sqlite3_column_text(statement, 0));
      for (int c = 1; c < 10; ++c)
        xmlNewProp(row, BAD_CAST names[c], sqlite3_column_text(statement, c));
    }
    sqlite3_reset(statement);
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(document, &text, &size, "UTF-16");
    benchmark::DoNotOptimize(text);
    xmlFree(text);
    xmlFreeDoc(document);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Libxml2Serialise)->Unit(benchmark::kMillisecond);

void BM_QueryScalarThroughDataSource(benchmark::State& state) {
  CCommDataSource source(Database().connection_string(), u"oracle");
  std::u16string value;
  for (auto _ : state) {
    source.QueryScalar(u"SELECT VALUE FROM T_PARAM WHERE NAME = 'param_17'", value);
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_QueryScalarThroughDataSource);

// Raw SQLite on an open connection in one transaction, the statement prepared once.
void BM_QueryScalarRawSqlite(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(Database().path());
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v3(db, "SELECT VALUE FROM T_PARAM WHERE NAME = 'param_17'", -1,
                     SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
  korvalis::bench::StepStatement(db, "BEGIN");
  for (auto _ : state) {
    std::string value;
    if (sqlite3_step(statement) == SQLITE_ROW) {
      value.assign(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_reset(statement);
    benchmark::DoNotOptimize(value);
  }
  korvalis::bench::StepStatement(db, "COMMIT");
  sqlite3_finalize(statement);
  sqlite3_close(db);
}
BENCHMARK(BM_QueryScalarRawSqlite);

}  // namespace
