#include "foundation/single_data_source.h"

#include <exception>
#include <map>
#include <mutex>

#include <xercesc/util/XMLChar.hpp>

#include "foundation/call_scope.h"
#include "foundation/connection_failures.h"
#include "foundation/emr_exception.h"
#include "foundation/event_log_entry.h"
#include "platform/com/unicode.h"
#include "platform/db/connection_pool.h"
#include "platform/db/provider.h"

using korvalis::FromUtf8;
using korvalis::ToUtf8;
using korvalis::db::Connection;
using korvalis::db::DbError;
using korvalis::db::Rowset;

namespace korvalis::datasource {
namespace {

constexpr char16_t kInvalidCharacterMessage[] = u"查询结果含有XML不允许的字符.";

// Every eighth failing Execute or Query of the process runs the clean-up.
constexpr int kCleanUpEvery = 8;

std::mutex statement_error_mutex;
int statement_error_count = 0;

bool IsXmlCharacterAt(std::u16string_view value, std::size_t& i) {
  const char16_t c = value[i];
  if (c >= 0xD800 && c <= 0xDBFF && i + 1 < value.size() &&
      xercesc::XMLChar1_0::isXMLChar(c, value[i + 1])) {
    ++i;
    return true;
  }
  return xercesc::XMLChar1_0::isXMLChar(c);
}

// Appends `value` escaped; false (with the text appended so far) for a character XML cannot
// carry.
bool AppendEscaped(std::u16string& out, std::u16string_view value, bool attribute) {
  std::size_t plain_from = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char16_t c = value[i];
    const char16_t* entity = nullptr;
    switch (c) {
      case u'&': entity = u"&amp;"; break;
      case u'<': entity = u"&lt;"; break;
      case u'>': if (!attribute) entity = u"&gt;"; break;
      case u'"': if (attribute) entity = u"&quot;"; break;
      case u'\r': entity = u"&#xD;"; break;
      case u'\n': if (attribute) entity = u"&#xA;"; break;
      case u'\t': if (attribute) entity = u"&#x9;"; break;
      default:
        if (c < 0x20 || c >= 0xD800) {
          const std::size_t start = i;
          if (!IsXmlCharacterAt(value, i)) {
            out.append(value.substr(plain_from, start - plain_from));
            return false;
          }
        }
        continue;
    }
    if (entity == nullptr) continue;
    out.append(value.substr(plain_from, i - plain_from));
    out.append(entity);
    plain_from = i + 1;
  }
  out.append(value.substr(plain_from));
  return true;
}

std::u16string SqlErrorText(std::int32_t code, const std::string& description,
                            const std::u16string& sql) {
  return u"执行SQL语句错误：\n错误代码: " + FromUtf8(std::to_string(code)) + u"\n错误原因: " +
         (description.empty() ? std::u16string(u".") : FromUtf8(description)) + u"\n错误语句:" + sql;
}

void ReportError(const std::u16string& text, std::int32_t code) {
  CEventLogEntry entry(text, CEventLogEntry::kError);
  entry.SetData(&code, sizeof(code));
  entry.Report();
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

bool IsPasswordKey(std::u16string_view key) {
  while (!key.empty() && IsBlank(key.front())) key.remove_prefix(1);
  while (!key.empty() && IsBlank(key.back())) key.remove_suffix(1);
  std::u16string lower(key);
  for (char16_t& c : lower) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return lower == u"password" || lower == u"pwd";
}

}  // namespace

void AppendXmlText(std::u16string& out, std::u16string_view value) {
  if (!AppendEscaped(out, value, false)) throw CEMRException(std::u16string(kInvalidCharacterMessage));
}

void AppendXmlAttribute(std::u16string& out, std::u16string_view value) {
  if (!AppendEscaped(out, value, true)) throw CEMRException(std::u16string(kInvalidCharacterMessage));
}

std::u16string MaskPassword(std::u16string_view text) {
  std::u16string masked;
  masked.reserve(text.size());
  std::size_t item = 0;
  while (item < text.size()) {
    const std::size_t equals = text.find(u'=', item);
    const std::size_t next_separator = text.find(u';', item);
    if (equals == std::u16string_view::npos || (next_separator != std::u16string_view::npos && next_separator < equals)) {
      // An item without a value: kept as it stands.
      const std::size_t end = next_separator == std::u16string_view::npos ? text.size() : next_separator + 1;
      masked.append(text.substr(item, end - item));
      item = end;
      continue;
    }
    // The value runs to the next ";", or past a quoted part that may hold one.
    std::size_t value_start = equals + 1;
    while (value_start < text.size() && IsBlank(text[value_start])) ++value_start;
    std::size_t end = value_start;
    if (end < text.size() && (text[end] == u'\'' || text[end] == u'"')) {
      const std::size_t close = text.find(text[end], end + 1);
      end = close == std::u16string_view::npos ? text.size() : close + 1;
    }
    end = text.find(u';', end);
    if (end == std::u16string_view::npos) end = text.size();
    masked.append(text.substr(item, equals + 1 - item));
    if (IsPasswordKey(text.substr(item, equals - item))) {
      masked.append(u"******");
    } else {
      masked.append(text.substr(equals + 1, end - equals - 1));
    }
    if (end < text.size()) masked.push_back(u';');
    item = end + 1;
  }
  return masked;
}

}  // namespace korvalis::datasource

using korvalis::datasource::AppendEscaped;
using korvalis::datasource::ReportError;
using korvalis::datasource::SqlErrorText;

// The connection and transaction of a data source used outside any call.
class CSingleDataSource::OwnTransaction {
 public:
  explicit OwnTransaction(korvalis::db::PooledConnection connection)
      : connection_(std::move(connection)) {
    connection_->Begin(Connection::TransactionMode::kReading);
  }

  Connection* connection() const { return connection_.get(); }

  void Finish(bool commit) noexcept {
    try {
      if (commit) {
        connection_->Commit();
      } else {
        connection_->Rollback();
      }
    } catch (const DbError& error) {
      try {
        ReportError((commit ? u"提交事务错误: " : u"回滚事务错误: ") + FromUtf8(error.description()),
                    error.code());
      } catch (...) {
      }
      // The pool rolls back what is still open when the connection returns to it.
    }
  }

 private:
  korvalis::db::PooledConnection connection_;
};

CSingleDataSource::CSingleDataSource()
    : scope_(CCallScope::Current()), uncaught_at_construction_(std::uncaught_exceptions()) {}

CSingleDataSource::~CSingleDataSource() {
  if (own_) own_->Finish(std::uncaught_exceptions() <= uncaught_at_construction_);
}

Connection& CSingleDataSource::GetSession() {
  if (session_ == nullptr) Connect();
  return *session_;
}

void CSingleDataSource::Connect() {
  own_.reset();
  const std::u16string connection_string = GetConnectionString();
  const std::string init_string = ToUtf8(connection_string);
  if (scope_ != nullptr) {
    if (Connection* shared = scope_->Find(init_string)) {
      session_ = shared;
      return;
    }
  }
  korvalis::db::PooledConnection connection;
  try {
    connection = korvalis::db::ConnectionPools::Acquire(init_string);
  } catch (const DbError& error) {
    ConnectionFailureRun::Process().CountFailure();
    const std::u16string reason = u"连接数据库错误，错误代码: " + FromUtf8(std::to_string(error.code())) +
                                  u"，错误原因：" +
                                  (*error.description() != '\0' ? FromUtf8(error.description()) : u".");
    ReportError(reason + u"，连接串:" + korvalis::datasource::MaskPassword(connection_string), error.code());
    throw CEMRException(reason);
  }
  try {
    if (scope_ != nullptr) {
      session_ = &scope_->Adopt(init_string, std::move(connection));
    } else {
      own_ = std::make_unique<OwnTransaction>(std::move(connection));
      session_ = own_->connection();
    }
  } catch (const DbError& error) {
    own_.reset();
    last_code_ = error.code();
    throw CEMRException(SqlErrorText(error.code(), error.description(), u"BEGIN"));
  }
}

template <class RowReader>
void CSingleDataSource::RunStatement(const std::u16string& sql, bool count_failure,
                                     RowReader* read_row) {
  last_code_ = 0;
  try {
    Connection& connection = GetSession();
    try {
      std::unique_ptr<Rowset> rows = connection.Execute(ToUtf8(sql));
      if (read_row != nullptr) {
        read_row->Start(*rows);
        while (rows->Next()) read_row->Row(*rows);
      }
    } catch (const DbError& error) {
      last_code_ = error.code();
      throw CEMRException(SqlErrorText(error.code(), error.description(), sql));
    }
  } catch (const CEMRException& failure) {
    Fail(failure.GetText(), last_code_, count_failure);
  }
}

void CSingleDataSource::Fail(const std::u16string& message, std::int32_t code, bool count_failure) {
  ReportError(message, code);
  if (count_failure) CleanPendingTransactions(code);
  throw CEMRException(std::u16string(kDatabaseErrorMessage));
}

void CSingleDataSource::CleanPendingTransactions(std::int32_t /*code*/) {
  {
    std::lock_guard<std::mutex> lock(korvalis::datasource::statement_error_mutex);
    if (++korvalis::datasource::statement_error_count < korvalis::datasource::kCleanUpEvery) return;
    korvalis::datasource::statement_error_count = 0;
  }
  // A database that could not be reached is not connected to again here: the attempt would
  // fail the same way and count once more towards the watchdog's run.
  if (session_ == nullptr) return;
  try {
    CDBType* dialect = GetDBType();
    const std::u16string pending_sql = dialect->GetPendingTransactionSql();
    if (pending_sql.empty()) return;
    std::vector<std::string> identifiers;
    {
      std::unique_ptr<Rowset> rows = GetSession().Execute(ToUtf8(pending_sql));
      while (rows->ColumnCount() > 0 && rows->Next()) {
        identifiers.emplace_back(rows->IsNull(0) ? std::string_view() : rows->Text(0));
      }
    }
    for (const std::string& identifier : identifiers) {
      if (identifier.empty()) continue;
      try {
        GetSession().Execute(ToUtf8(dialect->GetRollbackForceSql(FromUtf8(identifier))));
      } catch (const DbError&) {
        // Each rollback is attempted; its outcome is not examined.
      }
    }
  } catch (const CEMRException&) {
  } catch (const DbError&) {
  }
}

namespace {

// Reads rows into a flat list of texts.
struct ListReader {
  unsigned columns;
  std::vector<std::u16string>* values;
  int available = 0;

  void Start(const Rowset& rows) { available = rows.ColumnCount(); }
  void Row(const Rowset& rows) {
    for (unsigned column = 0; column < columns; ++column) {
      const int c = static_cast<int>(column);
      if (c < available && !rows.IsNull(c)) {
        values->push_back(FromUtf8(rows.Text(c)));
      } else {
        values->emplace_back();
      }
    }
  }
};

// Writes rows as <row><NAME>value</NAME>...</row>.
struct RowXmlWriter {
  std::u16string* out;
  std::vector<std::u16string> names;
  bool invalid = false;
  std::u16string value;

  void Start(const Rowset& rows) {
    for (int c = 0; c < rows.ColumnCount(); ++c) names.push_back(FromUtf8(rows.ColumnName(c)));
  }
  void Row(const Rowset& rows) {
    out->append(u"<row>");
    for (int c = 0; c < static_cast<int>(names.size()); ++c) {
      out->push_back(u'<');
      out->append(names[c]);
      out->push_back(u'>');
      if (!rows.IsNull(c)) {
        value = FromUtf8(rows.Text(c));
        if (!AppendEscaped(*out, value, false)) invalid = true;
      }
      out->append(u"</");
      out->append(names[c]);
      out->push_back(u'>');
    }
    out->append(u"</row>");
  }
};

// Writes rows as <name0 name1="column 2" ...>column 1</name0>.
struct ElementWriter {
  std::u16string* out;
  const std::vector<std::u16string>* names;
  std::vector<std::pair<const std::u16string*, int>> attributes;  // name, column
  bool invalid = false;
  bool any_row = false;
  int available = 0;
  std::u16string value;

  void Start(const Rowset& rows) { available = rows.ColumnCount(); }
  void AppendColumn(const Rowset& rows, int c, bool attribute) {
    if (c >= available || rows.IsNull(c)) return;
    value = FromUtf8(rows.Text(c));
    if (!AppendEscaped(*out, value, attribute)) invalid = true;
  }
  void Row(const Rowset& rows) {
    if (!any_row) out->append(u"<root>");
    any_row = true;
    const std::u16string& element = (*names)[0];
    out->push_back(u'<');
    out->append(element);
    for (const auto& [name, column] : attributes) {
      out->push_back(u' ');
      out->append(*name);
      out->append(u"=\"");
      AppendColumn(rows, column, true);
      out->push_back(u'"');
    }
    if (available == 0 || rows.IsNull(0) || rows.Text(0).empty()) {
      out->append(u"/>");
      return;
    }
    out->push_back(u'>');
    AppendColumn(rows, 0, false);
    out->append(u"</");
    out->append(element);
    out->push_back(u'>');
  }
};

void CheckElementName(const std::u16string& name) {
  if (name.empty() || !xercesc::XMLChar1_0::isValidName(name.c_str(), name.size())) {
    throw CEMRException(u"查询元素名称无效: " + name);
  }
}

}  // namespace

void CSingleDataSource::Execute(const std::u16string& sql, std::u16string* rows) {
  if (rows == nullptr) {
    RunStatement<ListReader>(sql, true, nullptr);
    return;
  }
  std::u16string xml = u"<?xml version=\"1.0\"?><root>";
  RowXmlWriter writer{&xml, {}, false, {}};
  RunStatement(sql, true, &writer);
  if (writer.invalid) throw CEMRException(std::u16string(korvalis::datasource::kInvalidCharacterMessage));
  xml.append(u"</root>");
  rows->swap(xml);
}

void CSingleDataSource::Query(const std::u16string& sql, unsigned columns,
                              std::vector<std::u16string>& values) {
  values.clear();
  ListReader reader{columns, &values};
  RunStatement(sql, true, &reader);
}

void CSingleDataSource::QueryColumn(const std::u16string& sql, std::vector<std::u16string>& values) {
  Query(sql, 1, values);
}

void CSingleDataSource::QueryScalar(const std::u16string& sql, std::u16string& value) {
  std::vector<std::u16string> values;
  Query(sql, 1, values);
  if (!values.empty()) value = std::move(values.front());
}

void CSingleDataSource::QueryValue(const std::u16string& sql, std::u16string& value,
                                   const std::u16string& /*unused*/) {
  QueryScalar(sql, value);
}

void CSingleDataSource::QueryElements(const std::u16string& sql,
                                      const std::vector<std::u16string>& names, BSTR* result) {
  if (names.empty()) throw CEMRException(std::u16string(u"查询元素名称列表为空."));
  for (const std::u16string& name : names) CheckElementName(name);
  // The attributes as the XML library's writer orders them: by name. A name given twice is
  // one attribute holding the value of its last column.
  std::map<std::u16string, int> columns;
  for (std::size_t i = 1; i < names.size(); ++i) columns[names[i]] = static_cast<int>(i);
  std::vector<std::pair<const std::u16string*, int>> attributes;
  for (const auto& [name, column] : columns) attributes.emplace_back(&name, column);

  std::u16string xml = u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>";
  ElementWriter writer{&xml, &names, std::move(attributes), false, false, 0, {}};
  // The rows are counted as a Query of as many columns as there are names.
  RunStatement(sql, true, &writer);
  if (writer.invalid) throw CEMRException(std::u16string(korvalis::datasource::kInvalidCharacterMessage));
  xml.append(writer.any_row ? u"</root>" : u"<root/>");
  if (result != nullptr) *result = SysAllocStringLen(xml.data(), static_cast<UINT>(xml.size()));
}
