// Full-text search through the provider over 10,000 stored documents of about 20 KB each
// (Chinese clinical text with Latin drug names and abbreviations), in the record library's
// search table with its text index: a rare Chinese term, a rare Latin word, a boolean query
// of common terms, a phrase that the index only narrows, and the record search's first page
// with its total. The database file is built once per machine in the temporary directory and
// reused by later runs.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/db/connection_pool.h"

namespace {

using namespace korvalis::db;

constexpr int kDocuments = 10000;
constexpr size_t kDocumentBytes = 20 * 1024;

const char* const kChinese[] = {
    "患者", "主诉", "发热", "咳嗽", "咳痰", "胸闷", "气促", "头痛", "乏力", "恶心", "呕吐", "腹痛",
    "腹泻", "既往史", "高血压", "糖尿病", "冠心病", "否认", "过敏史", "查体", "神志清楚", "双肺",
    "呼吸音", "湿啰音", "心率", "律齐", "杂音", "腹软", "压痛", "反跳痛", "诊断", "肺炎", "支气管炎",
    "治疗", "抗感染", "对症", "支持", "复查", "血常规", "白细胞", "中性粒细胞", "胸片", "示",
    "斑片影", "建议", "住院", "观察", "病情", "好转", "出院", "医嘱", "随访", "体温", "脉搏",
    "血压", "入院", "记录", "病程", "上级医师", "查房", "指示", "继续", "目前", "无明显", "不适"};
const char* const kLatin[] = {"CT", "WBC", "CRP", "mg", "ml", "iv", "po", "bid", "tid", "qd",
                              "amoxicillin", "ceftriaxone", "azithromycin", "ECG", "BP", "SpO2"};
const char* const kPunctuation[] = {"，", "。", "、", "：", "；", " "};

// Deterministic text: the same documents on every machine.
std::string Document(std::mt19937& random, int number) {
  std::string text;
  text.reserve(kDocumentBytes + 64);
  std::uniform_int_distribution<size_t> chinese(0, std::size(kChinese) - 1);
  std::uniform_int_distribution<size_t> latin(0, std::size(kLatin) - 1);
  std::uniform_int_distribution<size_t> punctuation(0, std::size(kPunctuation) - 1);
  std::uniform_int_distribution<int> kind(0, 9);
  // Ten documents carry a rare disease and a rare drug.
  if (number % 1000 == 7) text += "诊断：肺结核。予 isoniazid 治疗。";
  while (text.size() < kDocumentBytes) {
    const int k = kind(random);
    text += k == 0 ? kLatin[latin(random)] : kChinese[chinese(random)];
    if (k == 0 || kind(random) < 3) text += kPunctuation[punctuation(random)];
  }
  return text;
}

const std::string& DatabaseFile() {
  static const std::string file = [] {
    const std::string path =
        (std::filesystem::temp_directory_path() / "korvalis_text_search_bench.db").string();
    const std::string init = "Provider=SQLite;Data Source=" + path;
    auto c = std::filesystem::exists(path) ? OpenConnection(init) : CreateDatabase(init);
    auto count = c->Execute(
        "SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'MOLB_XML_TEXT'");
    count->Next();
    if (count->Text(0) != "0") return path;
    count.reset();
    c->Execute("CREATE TABLE MOLB_XML_TEXT (EMR_ID VARCHAR2(64) NOT NULL, FULL_TEXT CLOB, "
               "XML_TEXT CLOB, CONSTRAINT PK_MOLB_XML_TEXT PRIMARY KEY (EMR_ID))");
    c->Execute("CREATE TABLE TELV_EMR_CONTENT (ID VARCHAR2(64) PRIMARY KEY, TITLE VARCHAR2(100), "
               "PATIENT_ID VARCHAR2(20), STATUS NUMBER(1))");
    c->Execute("CREATE INDEX IX_MOLB_XML_TEXT_FULL_TEXT ON MOLB_XML_TEXT (FULL_TEXT) "
               "INDEXTYPE IS CTXSYS.CONTEXT");
    std::mt19937 random(20091231);
    c->Begin(Connection::TransactionMode::kWriting);
    for (int i = 0; i < kDocuments; ++i) {
      const std::string id = "'E" + std::to_string(i) + "'";
      std::string text = Document(random, i);
      c->Execute("INSERT INTO TELV_EMR_CONTENT VALUES (" + id + ", '病程记录', 'P" +
                 std::to_string(i % 500) + "', 1)");
      c->Execute("INSERT INTO MOLB_XML_TEXT (EMR_ID, FULL_TEXT) VALUES (" + id + ", '" + text + "')");
    }
    c->Commit();
    return path;
  }();
  return file;
}

void Search(benchmark::State& state, const std::string& sql) {
  auto c = OpenConnection("Provider=SQLite;Data Source=" + DatabaseFile());
  size_t hits = 0;
  for (auto _ : state) {
    hits = 0;
    auto rows = c->Execute(sql);
    while (rows->Next()) ++hits;
  }
  state.counters["hits"] = static_cast<double>(hits);
}

std::string Where(const std::string& query) {
  return "SELECT C.EMR_ID FROM MOLB_XML_TEXT C WHERE CONTAINS(C.FULL_TEXT, '" + query + "') > 0";
}

void BM_TextSearchRareChineseTerm(benchmark::State& state) { Search(state, Where("肺结核")); }
BENCHMARK(BM_TextSearchRareChineseTerm)->Unit(benchmark::kMillisecond);

void BM_TextSearchRareLatinWord(benchmark::State& state) { Search(state, Where("ISONIAZID")); }
BENCHMARK(BM_TextSearchRareLatinWord)->Unit(benchmark::kMillisecond);

void BM_TextSearchCommonTermsBoolean(benchmark::State& state) {
  Search(state, Where("(肺炎 & 发热) ~ 糖尿病 | amoxicillin"));
}
BENCHMARK(BM_TextSearchCommonTermsBoolean)->Unit(benchmark::kMillisecond);

// A Chinese run beside a word: the index narrows, each candidate is read again.
void BM_TextSearchPhraseCheckedPerDocument(benchmark::State& state) {
  Search(state, Where("予 isoniazid 治疗"));
}
BENCHMARK(BM_TextSearchPhraseCheckedPerDocument)->Unit(benchmark::kMillisecond);

// The record search's first page of 20 with the total, on a term in about half the documents.
void BM_TextSearchFirstPageWithTotal(benchmark::State& state) {
  const std::string q =
      "SELECT A.TITLE, A.ID, A.PATIENT_ID FROM TELV_EMR_CONTENT A, MOLB_XML_TEXT C "
      "WHERE A.STATUS = 1 AND CONTAINS(C.FULL_TEXT, '湿啰音 & ceftriaxone') > 0 AND C.EMR_ID = A.ID";
  Search(state, "SELECT * FROM (SELECT A.*, ROWNUM RN FROM (" + q +
                    ") A WHERE ROWNUM <= 20 UNION SELECT '0' TITLE, '0' ID, '0' PATIENT_ID, "
                    "MAX(ROWNUM) RN FROM (" + q + ") A ) WHERE RN >= 1 ORDER BY RN");
}
BENCHMARK(BM_TextSearchFirstPageWithTotal)->Unit(benchmark::kMillisecond);

}  // namespace
