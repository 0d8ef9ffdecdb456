// Raw side: a recursive query written for SQLite, prepared once with the provider's settings,
// one transaction a run, its rows nested into a libxml2 document and written in UTF-16.
//
// The knowledge base's catalogue tree over 10,000 catalogues in six levels (10 at the top, then
// 50, 250, 1,000, 2,690 and 6,000, each level's catalogues spread over the level above):
//   - Repository.GetVktCatalogList of the whole tree through IDispatch::Invoke, the whole call
//     (method frame, data source from telv.config.xml, condition document, the hierarchical
//     query as the embedded front end translates it, the rows nested into the DOM and the
//     document written in UTF-16);
//   - the same hierarchy read on raw SQLite with the provider's connection settings by a
//     recursive query written for it (each catalogue before its children, siblings in the order
//     they are stored), nested into a libxml2 document by the same walk up from the element
//     placed last, written and turned into UTF-16. Goal: the call within 1.3 times of it.
// Both sides must answer the same text: the first call checks it. The two statements alone show
// how much of each side the database takes.
#include <benchmark/benchmark.h>
#include <libxml/tree.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/call_and_statement.h"
#include "classes/repository_class.h"
#include "interface/emr_call_scope.h"
#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::bench::CheckSqlite;

constexpr int kLevelSizes[] = {10, 50, 250, 1000, 2690, 6000};
constexpr int kCatalogues = 10000;
static_assert(10 + 50 + 250 + 1000 + 2690 + 6000 == kCatalogues);
constexpr DISPID kGetVktCatalogList = 3;
constexpr char16_t kWholeTree[] = u"<root><recursive_flag>true</recursive_flag></root>";
constexpr char16_t kDeclaration[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>";
constexpr char kDefaultStructure[] = "e4c1a7b2-0001-4d3e-9f6a-000000000001";

// The identifier of catalogue `n`, a lower-case GUID text as the system makes them.
std::string CatalogId(int n) {
  char id[40];
  std::snprintf(id, sizeof id, "%08x-7c3d-4e2a-9b1f-%012x", 0x5a17c000 + n * 7919, n);
  return id;
}

// The catalogues level by level: catalogue j of a level has catalogue j % (size of the level
// above) of the level above as its parent.
void FillCatalogues(sqlite3* db) {
  sqlite3_stmt* insert = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db,
                                 "INSERT INTO VKT_CATALOG (ID, NAME, PARENT_ID, REMARK, "
                                 "DEF_STRUCTURE_ID) VALUES (?1, ?2, ?3, ?4, ?5)",
                                 -1, &insert, nullptr),
              db);
  int first_of_level = 0;
  int above_first = 0, above_size = 0;
  for (int level = 0; level < static_cast<int>(std::size(kLevelSizes)); ++level) {
    for (int j = 0; j < kLevelSizes[level]; ++j) {
      const int n = first_of_level + j;
      const std::string id = CatalogId(n);
      const std::string name = "知识目录" + std::to_string(n);
      const std::string remark = "第" + std::to_string(level + 1) + "级目录";
      sqlite3_bind_text(insert, 1, id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
      if (level == 0) {
        sqlite3_bind_null(insert, 3);
      } else {
        sqlite3_bind_text(insert, 3, CatalogId(above_first + j % above_size).c_str(), -1,
                          SQLITE_TRANSIENT);
      }
      sqlite3_bind_text(insert, 4, remark.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 5, kDefaultStructure, -1, SQLITE_STATIC);
      CheckSqlite(sqlite3_step(insert), db);
      sqlite3_reset(insert);
    }
    above_first = first_of_level;
    above_size = kLevelSizes[level];
    first_of_level += kLevelSizes[level];
  }
  sqlite3_finalize(insert);
}

// The catalogues' database; its directory is the process's current directory.
const korvalis::bench::BenchDatabase& TheCatalogues() {
  static const korvalis::bench::BenchDatabase catalogues("korvalis-repository", FillCatalogues);
  return catalogues;
}

// Every catalogue with its descendants, each before its children and siblings in the order they
// are stored: the path of row identities orders the rows.
constexpr char kRawTree[] =
    "WITH RECURSIVE TREE (ID, PARENT_ID, NAME, REMARK, DEF_STRUCTURE_ID, PATH) AS ("
    " SELECT ID, PARENT_ID, NAME, REMARK, DEF_STRUCTURE_ID, printf('%010d', rowid)"
    " FROM VKT_CATALOG WHERE PARENT_ID IS NULL"
    " UNION ALL"
    " SELECT C.ID, C.PARENT_ID, C.NAME, C.REMARK, C.DEF_STRUCTURE_ID,"
    " T.PATH || printf('%010d', C.rowid)"
    " FROM VKT_CATALOG C JOIN TREE T ON C.PARENT_ID = T.ID)"
    " SELECT ID, PARENT_ID, NAME, REMARK, DEF_STRUCTURE_ID FROM TREE ORDER BY PATH";

// The tree from raw SQLite and libxml2, in the text the call answers.
std::u16string RawTree(sqlite3* db, sqlite3_stmt* stmt) {
  xmlDocPtr document = xmlNewDoc(BAD_CAST "1.0");
  document->dict = xmlDictCreate();                  // names interned once, as a parser does
  document->encoding = xmlStrdup(BAD_CAST "UTF-8");  // texts written as they are, not as references
  xmlNodePtr root = xmlNewDocNode(document, nullptr, BAD_CAST "root", nullptr);
  xmlDocSetRootElement(document, root);
  // Attributes in name order, as the call writes them; the column of each.
  static const char* const kAttributes[] = {"def_structure_id", "id", "name", "parent_id",
                                            "remark"};
  static const int kColumns[] = {4, 0, 2, 1, 3};
  struct Placed {
    xmlNodePtr node;
    std::string id;
  };
  std::vector<Placed> chain = {{root, {}}};
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    const auto text = [stmt](int column) {
      const unsigned char* value = sqlite3_column_text(stmt, column);
      return value == nullptr ? "" : reinterpret_cast<const char*>(value);
    };
    const std::string parent_id = text(1);
    if (parent_id.empty()) {
      chain.resize(1);
    } else {
      while (chain.size() > 1 && chain.back().id != parent_id) chain.pop_back();
    }
    xmlNodePtr child = xmlNewChild(chain.back().node, nullptr, BAD_CAST "child", nullptr);
    for (int a = 0; a < 5; ++a) {
      xmlNewProp(child, BAD_CAST kAttributes[a], BAD_CAST text(kColumns[a]));
    }
    chain.push_back({child, text(0)});
  }
  CheckSqlite(rc, db);
  sqlite3_reset(stmt);

  xmlBufferPtr buffer = xmlBufferCreate();
  xmlNodeDump(buffer, document, root, 0, 0);
  std::u16string answer = kDeclaration;
  answer +=
      korvalis::FromUtf8(std::string_view(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                                          static_cast<std::size_t>(xmlBufferLength(buffer))));
  xmlBufferFree(buffer);
  xmlFreeDoc(document);
  return answer;
}

void BM_CatalogueTreeInvoke(benchmark::State& state) {
  TheCatalogues();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* repository = nullptr;
  if (CreateRepository(nullptr, IID_IDispatch, reinterpret_cast<void**>(&repository)) != S_OK) {
    state.SkipWithError("no Repository object");
    return;
  }
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_BSTR;
  argument.bstrVal = korvalis::AllocBstr(kWholeTree);
  bool checked = false;
  for (auto _ : state) {
    DISPPARAMS params{&argument, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO excep{};
    if (repository->Invoke(kGetVktCatalogList, IID_NULL, 0, DISPATCH_METHOD, &params, &result,
                           &excep, nullptr) != S_OK) {
      state.SkipWithError(korvalis::ToUtf8(korvalis::BstrView(excep.bstrDescription)).c_str());
      break;
    }
    if (!checked) {
      state.PauseTiming();
      sqlite3* db = korvalis::bench::OpenAsProvider(TheCatalogues().path());
      sqlite3_stmt* stmt = nullptr;
      CheckSqlite(sqlite3_prepare_v2(db, kRawTree, -1, &stmt, nullptr), db);
      const bool same = korvalis::BstrView(result.bstrVal) == RawTree(db, stmt);
      sqlite3_finalize(stmt);
      sqlite3_close(db);
      checked = true;
      state.ResumeTiming();
      if (!same) {
        state.SkipWithError("the call and the raw pipeline answer different texts");
        VariantClear(&result);
        break;
      }
    }
    state.counters["characters"] = static_cast<double>(korvalis::BstrView(result.bstrVal).size());
    VariantClear(&result);
  }
  VariantClear(&argument);
  repository->Release();
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kCatalogues);
}

void BM_CatalogueTreeRaw(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(TheCatalogues().path());
  state.SetLabel(korvalis::bench::QueryPlan(db, kRawTree));
  // Prepared once, as the provider keeps the statement it meets again.
  sqlite3_stmt* stmt = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db, kRawTree, -1, &stmt, nullptr), db);
  for (auto _ : state) {
    const std::u16string answer = RawTree(db, stmt);
    sqlite3_reset(stmt);
    state.counters["characters"] = static_cast<double>(answer.size());
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kCatalogues);
}

// The two statements alone, each prepared, stepped and read as text: the call's as the
// embedded front end translates it (with the loop check of the hierarchical query), and the
// recursive query of the raw side.
void BM_CatalogueTreeStatement(benchmark::State& state) {
  korvalis::bench::RunRawStatement(
      state, TheCatalogues().path(),
      [](sqlite3* db) {
        return korvalis::db::Translate(
                   "SELECT A.ID, A.PARENT_ID, A.NAME, A.REMARK, A.DEF_STRUCTURE_ID FROM "
                   "VKT_CATALOG A CONNECT BY PRIOR ID = A.PARENT_ID  START WITH  1=1  AND "
                   "PARENT_ID IS NULL",
                   *korvalis::db::Catalog::Load(db))
            .statements.back();
      },
      true, "catalogues");
}

void BM_CatalogueTreeRawStatement(benchmark::State& state) {
  korvalis::bench::RunRawStatement(
      state, TheCatalogues().path(), [](sqlite3*) { return std::string(kRawTree); }, true,
      "catalogues");
}

BENCHMARK(BM_CatalogueTreeInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CatalogueTreeRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CatalogueTreeStatement)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CatalogueTreeRawStatement)->Unit(benchmark::kMillisecond);

}  // namespace
