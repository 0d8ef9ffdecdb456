#include "platform/db/text_search.h"

#include <sqlite3.h>

#include <memory>
#include <vector>

#include "platform/db/function_memory.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_function_support.h"
#include "platform/db/text_query.h"
#include "platform/db/xml_path.h"

namespace korvalis::db {
namespace {

using text::TextKind;

// ---------------------------------------------------------------- the tokenizers

struct Tokenizer {
  TextKind kind;
};

int CreateTokenizer(void* mode, const char**, int, Fts5Tokenizer** out) {
  *out = reinterpret_cast<Fts5Tokenizer*>(new Tokenizer{*static_cast<TextKind*>(mode)});
  return SQLITE_OK;
}

void DeleteTokenizer(Fts5Tokenizer* t) { delete reinterpret_cast<Tokenizer*>(t); }

int Tokenize(Fts5Tokenizer* t, void* ctx, int flags, const char* text, int size,
             int (*token)(void*, int, const char*, int, int, int)) {
  const bool query = (flags & FTS5_TOKENIZE_QUERY) != 0;
  // Queries are built from units already, never from XML.
  const TextKind kind = query ? TextKind::kPlain : reinterpret_cast<Tokenizer*>(t)->kind;
  try {
    const std::string_view s(text, static_cast<size_t>(size > 0 ? size : 0));
    std::vector<text::IndexToken> tokens;
    for (const text::Unit& u : text::SplitUnits(s, kind)) {
      const int begin = static_cast<int>(u.begin), end = static_cast<int>(u.end);
      if (!u.cjk) {
        int rc = token(ctx, 0, u.text.data(), static_cast<int>(u.text.size()), begin, end);
        if (rc != SQLITE_OK) return rc;
        continue;
      }
      tokens.clear();
      text::ChineseRunTokens(u.text, query, &tokens);
      for (const text::IndexToken& k : tokens) {
        int rc = token(ctx, k.same_position ? FTS5_TOKEN_COLOCATED : 0, k.text.data(),
                       static_cast<int>(k.text.size()), begin, end);
        if (rc != SQLITE_OK) return rc;
      }
    }
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  }
  return SQLITE_OK;
}

TextKind kPlainKind = TextKind::kPlain;
TextKind kXmlKind = TextKind::kXml;

int RegisterTokenizers(sqlite3* db) {
  fts5_api* api = nullptr;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &stmt, nullptr);
  if (rc != SQLITE_OK) return rc;
  sqlite3_bind_pointer(stmt, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
  sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  if (!api) return SQLITE_ERROR;
  fts5_tokenizer tokenizer{CreateTokenizer, DeleteTokenizer, Tokenize};
  rc = api->xCreateTokenizer(api, "korvalis", &kPlainKind, &tokenizer, nullptr);
  if (rc != SQLITE_OK) return rc;
  return api->xCreateTokenizer(api, "korvalis_xml", &kXmlKind, &tokenizer, nullptr);
}

// ---------------------------------------------------------------- the functions

using functions::ResultText;
using functions::TextView;

void DeleteQuery(void* p) { delete static_cast<std::shared_ptr<const text::TextQuery>*>(p); }

// The parsed query of argument 1, kept for the statement's later rows.
const text::TextQuery& QueryArg(sqlite3_context* ctx, sqlite3_value* v) {
  if (auto* cached =
          static_cast<std::shared_ptr<const text::TextQuery>*>(sqlite3_get_auxdata(ctx, 1))) {
    return **cached;
  }
  if (sqlite3_value_type(v) == SQLITE_NULL) {
    throw SqlError(
        "ORA-29902: error in executing ODCIIndexStart() routine; ORA-20000: Oracle "
        "Text error: DRG-50901: text query parser syntax error on line 1, column 1");
  }
  // Kept alive for this row by `current`, and for the statement's later rows by the auxiliary
  // data when SQLite keeps it (it does for a constant query).
  thread_local std::shared_ptr<const text::TextQuery> current;
  current = text::TextQuery::Parse(TextView(v));
  sqlite3_set_auxdata(ctx, 1, new std::shared_ptr<const text::TextQuery>(current), DeleteQuery);
  return *current;
}

void Contains(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const text::TextQuery& q = QueryArg(ctx, argv[1]);
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_int(ctx, 0);
    return;
  }
  const TextKind kind = sqlite3_value_int(argv[2]) == 1 ? TextKind::kXml : TextKind::kPlain;
  sqlite3_result_int(ctx, q.Matches(TextView(argv[0]), kind) ? 100 : 0);
}

// Selects the path argv[1] in the document argv[0] and gives the nodes found to `answer`,
// while the document lives. A NULL argument gives NULL, and a path that selects a value
// (a count, a text) gives that value, without a call.
template <typename Answer>
void AnswerSelectedNodes(sqlite3_context* ctx, sqlite3_value** argv, Answer answer) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  XmlPathDocument doc(TextView(argv[0]));
  XmlPathDocument::Selection s = doc.Select(TextView(argv[1]));
  if (s.is_value) {
    ResultText(ctx, s.value);
    return;
  }
  answer(s.nodes);
}

void ExtractValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
  AnswerSelectedNodes(ctx, argv, [ctx](const std::vector<xmlNode*>& nodes) {
    if (nodes.empty()) {
      sqlite3_result_null(ctx);
      return;
    }
    if (nodes.size() > 1 || !XmlPathDocument::IsLeaf(nodes[0])) {
      throw SqlError("ORA-19025: EXTRACTVALUE returns value of only one node");
    }
    ResultText(ctx, XmlPathDocument::Text(nodes[0]));
  });
}

// Nested nodes repeat each other's markup: the text is built in counted memory, refused at the
// memory bound.
void Extract(sqlite3_context* ctx, int, sqlite3_value** argv) {
  AnswerSelectedNodes(ctx, argv, [ctx](const std::vector<xmlNode*>& nodes) {
    functions::TextBuilder out(ctx);
    for (xmlNode* n : nodes) out.Append(XmlPathDocument::Markup(n));
    out.SetResult(ctx);
  });
}

}  // namespace

std::string TextIndexTable(std::string_view table, std::string_view column, bool xml) {
  return std::string(xml ? "KORVALIS_XMLTEXT$" : "KORVALIS_TEXT$") + std::string(table) + "$" +
         std::string(column);
}

int RegisterTextSearch(sqlite3* db) {
  int rc = RegisterTokenizers(db);
  if (rc != SQLITE_OK) return rc;
  static constexpr functions::FunctionEntry kFunctions[] = {
      {"ora_contains", 3, Contains, true},
      {"ora_extractvalue", 2, ExtractValue, true},
      {"ora_extract", 2, Extract, true},
  };
  for (const functions::FunctionEntry& f : kFunctions) {
    rc = functions::RegisterFunction(db, f);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace korvalis::db
