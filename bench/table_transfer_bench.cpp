// The export of the table transfer tools: 10,000 core-system reports, each with a stored HTML
// page of 20 KB (a UTF-16LE text behind its byte-order mark) in HTML_CONTENT:
//   - QCAdmin.GetDataOfTable through IDispatch::Invoke, the whole call (method frame, data
//     source from telv.config.xml, condition document, the data query, the key query, one BLOB
//     read per row through the provider, each BLOB compressed and in Base64, the export text
//     compressed into the byte BSTR);
//   - the same reads on plain SQLite (the data query, the key query, the BLOB statement prepared
//     once and bound per key), zlib and the Base64 codec called directly, the same text built
//     and compressed. Goal: the call within 1.3 times of it.
// Both report the bytes of their transfer form, which must be equal.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <xercesc/util/Base64.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "bench/call_and_statement.h"
#include "classes/qc_admin_class.h"
#include "interface/emr_call_scope.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::bench::CheckSqlite;

constexpr int kReports = 10000;
constexpr std::size_t kPageBytes = 20 * 1024;
constexpr DISPID kGetDataOfTable = 40;

constexpr char16_t kCondition[] =
    u"<root><sql>SELECT ID, REPORT_NAME, CATALOG, NOTE FROM PEV_CORESYSTEM_REPORT</sql>"
    u"<col_count>4</col_count><table_name>PEV_CORESYSTEM_REPORT</table_name><where></where>"
    u"<primary type='VARCHAR2'>ID</primary><blob>HTML_CONTENT</blob></root>";
constexpr char kDataQuery[] =
    "SELECT ID, REPORT_NAME, CATALOG, NOTE FROM PEV_CORESYSTEM_REPORT ORDER BY ID";
constexpr char kKeyQuery[] = "SELECT ID FROM PEV_CORESYSTEM_REPORT ORDER BY ID";
constexpr char kBlobQuery[] = "SELECT HTML_CONTENT FROM PEV_CORESYSTEM_REPORT WHERE ID = ?1";

// Report `n`'s page: a table of department figures that differ from report to report, as
// stored in text mode (FF FE and the UTF-16LE units), kPageBytes long.
std::string StoredPage(int n) {
  std::string html =
      "<HTML><BODY><H1>核心制度执行情况报告 " + std::to_string(n) + "</H1><TABLE border=1><TBODY>";
  unsigned seed = 2166136261u ^ static_cast<unsigned>(n);
  while (html.size() < kPageBytes) {
    seed = seed * 1103515245u + 12345u;
    html += "<TR><TD>科室" + std::to_string(seed % 97) + "</TD><TD>首次病程记录</TD><TD>" +
            std::to_string(seed % 1000) + "</TD><TD>" + std::to_string((seed >> 10) % 100) +
            "%</TD></TR>";
  }
  html += "</TBODY></TABLE></BODY></HTML>";
  std::string bytes = "\xFF\xFE";
  korvalis::AppendUtf16Le(korvalis::FromUtf8(html), bytes);
  bytes.resize(kPageBytes);
  return bytes;
}

void FillReports(sqlite3* db) {
  sqlite3_stmt* stmt = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db,
                                 "INSERT INTO PEV_CORESYSTEM_REPORT (ID, REPORT_NAME, CREATOR, "
                                 "CATALOG, NOTE, HTML_CONTENT) VALUES (?1, ?2, '刘静怡', ?3, ?4, "
                                 "?5)",
                                 -1, &stmt, nullptr),
              db);
  for (int n = 0; n < kReports; ++n) {
    char id[16];
    std::snprintf(id, sizeof id, "R%05d", n);
    const std::string name = "核心制度报告" + std::to_string(n);
    const std::string page = StoredPage(n);
    sqlite3_bind_text(stmt, 1, id, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt, 3, n % 12);
    sqlite3_bind_text(stmt, 4, n % 3 == 0 ? "季度汇总" : "", -1, SQLITE_STATIC);
    sqlite3_bind_blob(stmt, 5, page.data(), static_cast<int>(page.size()), SQLITE_TRANSIENT);
    CheckSqlite(sqlite3_step(stmt), db);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
}

const korvalis::bench::BenchDatabase& TheReports() {
  static const korvalis::bench::BenchDatabase reports("korvalis-table-transfer", FillReports);
  return reports;
}

void BM_GetDataOfTableInvoke(benchmark::State& state) {
  TheReports();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* admin = nullptr;
  if (CreateQCAdmin(nullptr, IID_IDispatch, reinterpret_cast<void**>(&admin)) != S_OK) {
    state.SkipWithError("no QCAdmin object");
    return;
  }
  VARIANT condition;
  VariantInit(&condition);
  condition.vt = VT_BSTR;
  condition.bstrVal = korvalis::AllocBstr(kCondition);
  UINT transfer_bytes = 0;
  for (auto _ : state) {
    DISPPARAMS params{&condition, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO excep{};
    UINT arg_err = 0;
    if (admin->Invoke(kGetDataOfTable, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &excep,
                      &arg_err) != S_OK) {
      state.SkipWithError(korvalis::ToUtf8(korvalis::BstrView(excep.bstrDescription)).c_str());
      break;
    }
    transfer_bytes = SysStringByteLen(result.bstrVal);
    VariantClear(&result);
  }
  VariantClear(&condition);
  admin->Release();
  state.SetItemsProcessed(static_cast<int64_t>(kReports) * state.iterations());
  state.counters["transfer_bytes"] = transfer_bytes;
}

// zlib's stream of `size` bytes at `data` and their number in 4 bytes (little-endian).
std::string Deflate(const void* data, std::size_t size) {
  uLongf stream = compressBound(size);
  std::string out(stream + 4, '\0');
  if (compress(reinterpret_cast<Bytef*>(out.data()), &stream, static_cast<const Bytef*>(data),
               size) != Z_OK) {
    std::abort();
  }
  for (int i = 0; i < 4; ++i) out[stream + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
  out.resize(stream + 4);
  return out;
}

void AppendText(std::u16string& out, const unsigned char* utf8) {
  if (utf8 != nullptr) out += korvalis::FromUtf8(reinterpret_cast<const char*>(utf8));
}

BSTR ExportDirect(sqlite3* db, sqlite3_stmt* blob) {
  std::u16string text = u"<?xml version='1.0' ?><root><value_list>";
  sqlite3_stmt* data = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db, kDataQuery, -1, &data, nullptr), db);
  while (sqlite3_step(data) == SQLITE_ROW) {
    text += u"<row>";
    for (int c = 0; c < 4; ++c) {
      text += u"<value><![CDATA[";
      AppendText(text, sqlite3_column_text(data, c));
      text += u"]]></value>";
    }
    text += u"</row>";
  }
  sqlite3_finalize(data);
  text += u"</value_list><blob_list>";

  std::vector<std::string> keys;
  sqlite3_stmt* key_query = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db, kKeyQuery, -1, &key_query, nullptr), db);
  while (sqlite3_step(key_query) == SQLITE_ROW) {
    keys.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(key_query, 0)));
  }
  sqlite3_finalize(key_query);
  for (const std::string& key : keys) {
    text += u"<row><blob><![CDATA[";
    sqlite3_bind_text(blob, 1, key.c_str(), -1, SQLITE_STATIC);
    CheckSqlite(sqlite3_step(blob), db);
    const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(blob, 0));
    std::size_t size = static_cast<std::size_t>(sqlite3_column_bytes(blob, 0));
    if (size > 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) bytes += 2, size -= 2;
    if (size > 0) {
      const std::string compressed = Deflate(bytes, size);
      XMLSize_t length = 0;
      XMLByte* encoded = xercesc::Base64::encode(
          reinterpret_cast<const XMLByte*>(compressed.data()), compressed.size(), &length);
      text.append(encoded, encoded + length);
      xercesc::XMLPlatformUtils::fgMemoryManager->deallocate(encoded);
    }
    sqlite3_reset(blob);
    text += u"]]></blob></row>";
  }
  text += u"</blob_list></root>";
  const std::string transfer = Deflate(text.c_str(), (text.size() + 1) * sizeof(char16_t));
  return SysAllocStringByteLen(transfer.data(), static_cast<UINT>(transfer.size()));
}

void BM_ExportDirect(benchmark::State& state) {
  xercesc::XMLPlatformUtils::Initialize();
  sqlite3* db = korvalis::bench::OpenAsProvider(TheReports().path());
  sqlite3_stmt* blob = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db, kBlobQuery, -1, &blob, nullptr), db);
  UINT transfer_bytes = 0;
  for (auto _ : state) {
    BSTR transfer = ExportDirect(db, blob);
    transfer_bytes = SysStringByteLen(transfer);
    SysFreeString(transfer);
  }
  sqlite3_finalize(blob);
  sqlite3_close(db);
  xercesc::XMLPlatformUtils::Terminate();
  state.SetItemsProcessed(static_cast<int64_t>(kReports) * state.iterations());
  state.counters["transfer_bytes"] = transfer_bytes;
}

BENCHMARK(BM_GetDataOfTableInvoke)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportDirect)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
