#include "platform/db/postgres_rows.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>

#include "platform/db/connection_support.h"

namespace korvalis::db {

std::string_view OracleDecimal(std::string_view text, std::string* buffer) {
  const bool negative = !text.empty() && text.front() == '-';
  const std::string_view unsigned_text = negative ? text.substr(1) : text;
  const size_t point = unsigned_text.find('.');
  std::string digits(unsigned_text.substr(0, point));
  size_t integer_digits = digits.size();
  if (point != std::string_view::npos) digits.append(unsigned_text.substr(point + 1));
  const size_t first = digits.find_first_not_of('0');
  // A NUMBER's 20 base-100 digits: 40 significant digits when the leading digit's decimal
  // exponent is odd, 39 when it is even.
  const auto exponent = static_cast<int64_t>(integer_digits) - 1 - static_cast<int64_t>(first);
  const size_t kept = exponent % 2 != 0 ? 40 : 39;
  if (first != std::string::npos && digits.size() - first > kept) {
    // Rounded half up at the last digit kept.
    const size_t cut = first + kept;
    const bool up = digits[cut] >= '5';
    digits.resize(cut);
    for (size_t i = cut; up && i-- > 0;) {
      if (digits[i] != '9') {
        ++digits[i];
        break;
      }
      digits[i] = '0';
      if (i == 0) {
        digits.insert(digits.begin(), '1');
        ++integer_digits;
      }
    }
    if (digits.size() < integer_digits) digits.append(integer_digits - digits.size(), '0');
  } else if (point == std::string_view::npos) {
    return text;
  }
  buffer->clear();
  if (negative) buffer->push_back('-');
  buffer->append(digits, 0, integer_digits);
  if (integer_digits == 0) buffer->push_back('0');
  std::string fraction = digits.substr(std::min(integer_digits, digits.size()));
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) buffer->append(".").append(fraction);
  if (*buffer == "-0") buffer->assign("0");
  return *buffer;
}

std::string_view ProviderText(Oid type, std::string_view raw, std::string* buffer) {
  switch (type) {
    case kNumericOid:
      return OracleDecimal(raw, buffer);
    case kByteaOid: {
      size_t length = 0;
      unsigned char* bytes =
          PQunescapeBytea(reinterpret_cast<const unsigned char*>(raw.data()), &length);
      if (bytes == nullptr) throw DbError(kProviderFailed, "out of memory");
      buffer->assign(reinterpret_cast<const char*>(bytes), length);
      PQfreemem(bytes);
      return *buffer;
    }
    default:
      return raw;
  }
}

namespace {

// Grows `cells` to hold `needed` elements: doubling as a vector does, but never past `most`,
// so that rows held to a bound never take twice the bound while they grow.
template <class T>
void ReserveWithin(std::vector<T>* cells, size_t needed, size_t most) {
  if (needed <= cells->capacity()) return;
  cells->reserve(std::max(needed, std::min(cells->capacity() * 2, most)));
}

// The least a cell of `result` holds once copied: its text, or a BYTEA's bytes, which its text
// in the hex form ("\x" and two digits a byte, what the server sends) gives exactly and its
// text in the older escape form (at most four characters a byte) bounds from below.
size_t LeastHeldLength(const PGresult* result, int row, int column) {
  const auto length = static_cast<size_t>(PQgetlength(result, row, column));
  if (PQftype(result, column) != kByteaOid || PQgetisnull(result, row, column) != 0) return length;
  const char* text = PQgetvalue(result, row, column);
  return length >= 2 && text[0] == '\\' && text[1] == 'x' ? (length - 2) / 2 : length / 4;
}

}  // namespace

bool PostgresHeldRows::Append(const PGresult* result, int row) {
  const int columns = PQnfields(result);
  const size_t cell_count = ends_.size() + static_cast<size_t>(columns);
  const size_t cells_held = cell_count * sizeof(uint32_t) + cell_count / 8;
  // A row that cannot fit is refused as it arrives, before anything of it is copied or decoded
  // (one huge value is then held once, by libpq).
  size_t least = 0;
  for (int i = 0; i < columns; ++i) least += LeastHeldLength(result, row, i) + 1;
  if (values_.size() + least + cells_held > bound_) return false;
  // A BYTEA value is held as its bytes, half its text.
  std::vector<std::unique_ptr<unsigned char, decltype(&PQfreemem)>> decoded;
  std::vector<std::string_view> cells(static_cast<size_t>(columns));
  size_t text = 0;
  for (int i = 0; i < columns; ++i) {
    const char* value = PQgetvalue(result, row, i);
    size_t length = static_cast<size_t>(PQgetlength(result, row, i));
    if (PQftype(result, i) == kByteaOid && PQgetisnull(result, row, i) == 0) {
      unsigned char* bytes =
          PQunescapeBytea(reinterpret_cast<const unsigned char*>(value), &length);
      if (bytes == nullptr) throw DbError(kProviderFailed, "out of memory");
      decoded.emplace_back(bytes, &PQfreemem);
      value = reinterpret_cast<const char*>(bytes);
    }
    cells[static_cast<size_t>(i)] = std::string_view(value, length);
    text += length + 1;
  }
  if (values_.size() + text + cells_held > bound_) return false;
  ReserveWithin(&values_, values_.size() + text, bound_);
  ReserveWithin(&ends_, cell_count, bound_ / sizeof(uint32_t));
  for (int i = 0; i < columns; ++i) {
    values_.insert(values_.end(), cells[static_cast<size_t>(i)].begin(),
                   cells[static_cast<size_t>(i)].end());
    values_.push_back('\0');
    ends_.push_back(static_cast<uint32_t>(values_.size()));
    nulls_.push_back(PQgetisnull(result, row, i) != 0);
  }
  return true;
}

size_t RowTextBytes(const PGresult* result, int row) {
  size_t bytes = 0;
  for (int i = 0; i < PQnfields(result); ++i) {
    bytes += static_cast<size_t>(PQgetlength(result, row, i));
  }
  return bytes;
}

std::string_view PostgresHeldRows::Cell(size_t cell) const {
  const size_t start = cell == 0 ? 0 : ends_[cell - 1];
  return std::string_view(values_.data() + start, ends_[cell] - start - 1);
}

namespace {

// The rows of one query, all received; or, of a query stopped once its rows passed their
// bound, the rows held before, the row refused there, and then the query's failure.
class PostgresRowset final : public Rowset {
 public:
  // `described`: the query's result, whose columns name and type the rows. `names`: the
  // query's column names as Oracle reports them, when known.
  PostgresRowset(const PGresult* described, PostgresHeldRows rows,
                 const std::vector<std::string>& names, const StatementShape* shape)
      : rows_(std::move(rows)) {
    const int n = PQnfields(described);
    names_.reserve(static_cast<size_t>(n));
    types_.reserve(static_cast<size_t>(n));
    const bool named = names.size() == static_cast<size_t>(n);
    for (int i = 0; i < n; ++i) {
      const std::string name = named ? names[static_cast<size_t>(i)] : PQfname(described, i);
      names_.push_back(shape != nullptr ? ColumnNameWithValues(name, shape->literals) : name);
      types_.push_back(PQftype(described, i));
    }
    buffers_.resize(static_cast<size_t>(n));
    row_count_ = n == 0 ? 0 : rows_.CellCount() / static_cast<size_t>(n);
  }
  // The rows end with the refused row `last`, read as libpq holds it, then `failure`.
  void EndWith(std::unique_ptr<pg_result, void (*)(pg_result*)> last, DbError failure) {
    last_ = std::move(last);
    failure_ = std::move(failure);
  }

  int ColumnCount() const override { return static_cast<int>(names_.size()); }
  const std::string& ColumnName(int column) const override {
    return names_[static_cast<size_t>(column)];
  }
  bool Next() override {
    reading_last_ = false;
    if (next_row_ < row_count_) {
      first_cell_ = next_row_++ * names_.size();
      return true;
    }
    if (last_ != nullptr && !last_read_) {
      last_read_ = reading_last_ = true;
      return true;
    }
    if (failure_) {
      const DbError failure = *failure_;
      failure_.reset();
      throw failure;
    }
    return false;
  }
  bool IsNull(int column) const override {
    if (reading_last_) return PQgetisnull(last_.get(), 0, column) != 0;
    return rows_.IsNull(first_cell_ + static_cast<size_t>(column));
  }
  std::string_view Text(int column) const override {
    if (IsNull(column)) return {};
    std::string_view cell;
    if (reading_last_) {
      cell = std::string_view(PQgetvalue(last_.get(), 0, column),
                              static_cast<size_t>(PQgetlength(last_.get(), 0, column)));
    } else {
      cell = rows_.Cell(first_cell_ + static_cast<size_t>(column));
      if (IsBlob(column)) return cell;  // held as its bytes
    }
    return ProviderText(types_[static_cast<size_t>(column)], cell,
                        &buffers_[static_cast<size_t>(column)]);
  }
  bool IsBlob(int column) const override {
    return types_[static_cast<size_t>(column)] == kByteaOid;
  }
  long long ChangedRows() const override { return -1; }

 private:
  PostgresHeldRows rows_;
  size_t row_count_ = 0;
  size_t next_row_ = 0;
  size_t first_cell_ = 0;  // the row being read's first cell
  std::vector<std::string> names_;
  std::vector<Oid> types_;
  mutable std::vector<std::string> buffers_;
  std::unique_ptr<pg_result, void (*)(pg_result*)> last_{nullptr, &ClearResult};
  bool last_read_ = false;
  bool reading_last_ = false;  // the row being read is last_
  std::optional<DbError> failure_;
};

}  // namespace

void ClearResult(pg_result* result) { PQclear(result); }

std::unique_ptr<Rowset> RowsThenFailure(PostgresHeldRows rows, const DbError& failure,
                                        const Translation& t, const StatementShape* shape) {
  auto last = rows.TakeRefusedRow();
  auto rowset = std::make_unique<PostgresRowset>(last.get(), std::move(rows), t.column_names, shape);
  rowset->EndWith(std::move(last), failure);
  return rowset;
}

std::unique_ptr<Rowset> RowsOf(PGresult* result, const Translation& t,
                               const StatementShape* shape, PostgresHeldRows rows) {
  if (PQresultStatus(result) != PGRES_TUPLES_OK) {
    const char* count = PQcmdTuples(result);  // "" for a statement that changes no rows
    const long long changed =
        CountsChangedRows(t.kind) && *count != '\0' ? std::strtoll(count, nullptr, 10) : -1;
    PQclear(result);
    return std::make_unique<EmptyRowset>(changed);
  }
  ResultGuard described{result};
  for (int row = 0; row < PQntuples(result); ++row) {
    if (!rows.Append(result, row)) throw HeldRowsExceeded(rows.bound());
  }
  return std::make_unique<PostgresRowset>(result, std::move(rows), t.column_names, shape);
}

}  // namespace korvalis::db
