// LISTAGG on the embedded engine: ora_listagg(value, delimiter, directions, key...) keeps each
// row's text and keys, sorts the rows as the engine's ORDER BY would sort the keys, ties by the
// text itself, and joins the texts with the delimiter. `directions` holds two letters a key:
// "A" or "D", then "F" or "L" for where NULLs go. NULL values are skipped; none left is NULL,
// and a result above 4000 bytes is refused. The joined length does not depend on the order, so
// it is counted as the rows come and the statement fails at the row that passes it: the rows
// kept never hold more than the result may, whatever the number of rows the aggregate reads.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/db/sql_function_support.h"
#include "platform/db/sqlite_statement_bounds.h"

namespace korvalis::db::functions {
namespace {

constexpr size_t kLongestText = 4000;

struct ListRow {
  std::string text;
  std::vector<sqlite3_value*> keys;  // copies the row owns
};

// The rows so far, the length of their joined text, and the first row's delimiter and directions.
struct ListState {
  std::vector<ListRow>* rows;
  size_t joined_bytes;
  std::string* delimiter;
  std::string* directions;
};

ListState* StateOf(sqlite3_context* ctx, bool create) {
  return static_cast<ListState*>(sqlite3_aggregate_context(ctx, create ? sizeof(ListState) : 0));
}

// The order of SQLite's own ORDER BY (BINARY collation): numbers before text before blobs.
int TypeRank(int type) {
  return type == SQLITE_INTEGER || type == SQLITE_FLOAT ? 0 : type == SQLITE_TEXT ? 1 : 2;
}
int CompareBytes(sqlite3_value* a, sqlite3_value* b, bool text) {
  const void* pa = text ? static_cast<const void*>(sqlite3_value_text(a)) : sqlite3_value_blob(a);
  const void* pb = text ? static_cast<const void*>(sqlite3_value_text(b)) : sqlite3_value_blob(b);
  const size_t na = static_cast<size_t>(sqlite3_value_bytes(a));
  const size_t nb = static_cast<size_t>(sqlite3_value_bytes(b));
  ChargeWork(std::min(na, nb));
  const int c = std::memcmp(pa, pb, std::min(na, nb));
  return c != 0 ? c : (na < nb ? -1 : na > nb ? 1 : 0);
}
// Precondition: neither is NULL.
int CompareKeys(sqlite3_value* a, sqlite3_value* b) {
  const int ta = sqlite3_value_type(a);
  const int tb = sqlite3_value_type(b);
  if (TypeRank(ta) != TypeRank(tb)) return TypeRank(ta) < TypeRank(tb) ? -1 : 1;
  if (TypeRank(ta) == 0) {
    if (ta == SQLITE_INTEGER && tb == SQLITE_INTEGER) {
      const int64_t x = sqlite3_value_int64(a), y = sqlite3_value_int64(b);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    // A long double holds every 64-bit integer and every double exactly.
    const long double x = ta == SQLITE_INTEGER ? static_cast<long double>(sqlite3_value_int64(a))
                                               : sqlite3_value_double(a);
    const long double y = tb == SQLITE_INTEGER ? static_cast<long double>(sqlite3_value_int64(b))
                                               : sqlite3_value_double(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  return CompareBytes(a, b, TypeRank(ta) == 1);
}

void ListStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (argc < 3) throw FunctionError{"ORA-00909: invalid number of arguments"};
  ListState* state = StateOf(ctx, true);
  if (state == nullptr) return sqlite3_result_error_nomem(ctx);
  if (state->rows == nullptr) {
    state->rows = new std::vector<ListRow>;
    state->delimiter = new std::string(IsNull(argv[1]) ? "" : AsText(argv[1]));
    state->directions = new std::string(TextView(argv[2]));
    if (state->directions->size() != 2 * static_cast<size_t>(argc - 3)) {
      throw FunctionError{"ORA-00909: invalid number of arguments"};
    }
  }
  if (IsNull(argv[0])) return;
  ListRow row{AsText(argv[0]), {}};
  const size_t delimiter_bytes = state->rows->empty() ? 0 : state->delimiter->size();
  // An empty text between empty delimiters adds nothing to the result, wherever it sorts.
  if (row.text.empty() && state->delimiter->empty()) return;
  state->joined_bytes += row.text.size() + delimiter_bytes;
  if (state->joined_bytes > kLongestText) {
    throw FunctionError{"ORA-01489: result of string concatenation is too long"};
  }
  for (int i = 3; i < argc; ++i) {
    // The keys kept count against the memory bound as the engine's own sort keys do.
    if (static_cast<uint64_t>(sqlite3_memory_used()) + static_cast<uint64_t>(sqlite3_value_bytes(argv[i])) >
        static_cast<uint64_t>(kEmbeddedMemoryBound)) {
      for (sqlite3_value* key : row.keys) sqlite3_value_free(key);
      throw OutOfStatementMemory();
    }
    sqlite3_value* copy = sqlite3_value_dup(argv[i]);
    if (copy == nullptr) {
      for (sqlite3_value* key : row.keys) sqlite3_value_free(key);
      return sqlite3_result_error_nomem(ctx);
    }
    row.keys.push_back(copy);
  }
  state->rows->push_back(std::move(row));
}

bool Before(const std::string& directions, const ListRow& a, const ListRow& b) {
  for (size_t i = 0; i < a.keys.size(); ++i) {
    const bool null_a = IsNull(a.keys[i]), null_b = IsNull(b.keys[i]);
    int c = 0;
    if (null_a || null_b) {
      if (null_a == null_b) continue;
      c = (null_a == (directions[2 * i + 1] == 'F')) ? -1 : 1;
      return c < 0;
    }
    c = CompareKeys(a.keys[i], b.keys[i]);
    if (directions[2 * i] == 'D') c = -c;
    if (c != 0) return c < 0;
  }
  return a.text < b.text;
}

void ListFinal(sqlite3_context* ctx) {
  ListState* state = StateOf(ctx, false);
  if (state == nullptr || state->rows == nullptr) return sqlite3_result_null(ctx);
  std::vector<ListRow>& rows = *state->rows;
  std::sort(rows.begin(), rows.end(), [&](const ListRow& a, const ListRow& b) {
    return Before(*state->directions, a, b);
  });
  std::string result;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i) result += *state->delimiter;
    result += rows[i].text;
  }
  if (result.size() > kLongestText) {
    throw FunctionError{"ORA-01489: result of string concatenation is too long"};
  }
  ResultText(ctx, result);
}

void ReleaseList(sqlite3_context* ctx) {
  ListState* state = StateOf(ctx, false);
  if (state == nullptr || state->rows == nullptr) return;
  for (ListRow& row : *state->rows) {
    for (sqlite3_value* key : row.keys) sqlite3_value_free(key);
  }
  delete state->rows;
  delete state->delimiter;
  delete state->directions;
  state->rows = nullptr;
}

}  // namespace

int RegisterListagg(sqlite3* db) {
  return sqlite3_create_function_v2(db, "ora_listagg", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                    nullptr, nullptr, Guarded<ListStep>,
                                    GuardedValue<ListFinal, ReleaseList>, nullptr);
}

}  // namespace korvalis::db::functions
