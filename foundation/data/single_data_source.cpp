#include "foundation/data/single_data_source.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <new>
#include <xercesc/util/XMLChar.hpp>

#include "foundation/calls/call_scope.h"
#include "foundation/data/connection_failures.h"
#include "foundation/data/database_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/data/row_readers.h"
#include "platform/db/connection_pool.h"
#include "platform/db/provider.h"
#include "platform/text/unicode.h"

using korvalis::FromUtf8;
using korvalis::ToUtf8;
using korvalis::db::Connection;
using korvalis::db::DbError;
using korvalis::db::Rowset;

namespace {

constexpr char16_t kInvalidCharacterMessage[] = u"查询结果含有XML不允许的字符.";

// Every eighth failing Execute or Query of the process runs the clean-up.
constexpr int kCleanUpEvery = 8;

std::mutex statement_error_mutex;
int statement_error_count = 0;

}  // namespace

using korvalis::datasource::ElementDocument;
using korvalis::datasource::ElementWriter;
using korvalis::datasource::ReportDatabaseError;
using korvalis::datasource::RowListReader;
using korvalis::datasource::RowXmlWriter;
using korvalis::datasource::ScalarReader;
using korvalis::datasource::SqlErrorText;
using korvalis::datasource::TreeElementWriter;
using korvalis::datasource::XmlOutput;

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
        ReportDatabaseError(
            (commit ? u"提交事务错误: " : u"回滚事务错误: ") + FromUtf8(error.description()),
            error.code());
      } catch (...) {
        // A record that cannot be made (memory) is lost.
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

Connection& CSingleDataSource::GetSession(const std::u16string* statement) {
  if (session_ == nullptr) Connect(statement);
  return *session_;
}

void CSingleDataSource::Connect(const std::u16string* statement) {
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
    const std::u16string description =
        *error.description() != '\0' ? FromUtf8(error.description()) : std::u16string(u".");
    // The engine's description may quote the connection string: no password leaves in clear.
    const std::u16string reason = u"连接数据库错误，错误代码: " +
                                  FromUtf8(std::to_string(error.code())) + u"，错误原因：" +
                                  korvalis::datasource::MaskPassword(description);
    ReportDatabaseError(
        reason + u"，连接串:" + korvalis::datasource::MaskPassword(connection_string),
        error.code());
    connection_failure_ = reason;
    throw CEMRException(reason);
  }
  connection_failure_.clear();
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
    // The transaction begins for the statement that needs it: a wait for the writers' turn
    // that ends in failure is that statement's.
    throw CEMRException(
        SqlErrorText(error.code(), error.description(), statement ? *statement : u"BEGIN"));
  }
}

template <class RowReader>
void CSingleDataSource::RunStatement(const std::u16string& sql, bool count_failure,
                                     RowReader* read_row) {
  last_code_ = 0;
  try {
    Connection& connection = GetSession(&sql);
    try {
      korvalis::AssignUtf8(sql, sql_utf8_);
      bool bounded = false;
      if constexpr (requires { read_row->Bounded(); }) {
        bounded = read_row != nullptr && read_row->Bounded();
      }
      // A reader held to a bound reads no row past it, so no row past it is received.
      std::unique_ptr<Rowset> rows =
          bounded ? connection.ExecuteStreamed(sql_utf8_) : connection.Execute(sql_utf8_);
      if (read_row != nullptr) {
        read_row->Start(*rows);
        while (rows->Next()) {
          read_row->Row(*rows);
          if constexpr (requires { read_row->HeldBytes(); }) {
            if (read_row->HeldBytes() > korvalis::db::kMaxHeldRowBytes) {
              throw korvalis::db::HeldRowsExceeded();
            }
          }
          if constexpr (requires { read_row->Full(); }) {
            if (read_row->Full()) break;
          }
        }
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
  ReportDatabaseError(message, code);
  if (count_failure) CleanPendingTransactions(code);
  throw CEMRException(std::u16string(kDatabaseErrorMessage));
}

void CSingleDataSource::CleanPendingTransactions(std::int32_t /*code*/) {
  {
    std::lock_guard<std::mutex> lock(statement_error_mutex);
    if (++statement_error_count < kCleanUpEvery) return;
    statement_error_count = 0;
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

void CheckElementName(const std::u16string& name) {
  if (name.empty() || !xercesc::XMLChar1_0::isValidName(name.c_str(), name.size())) {
    throw CEMRException(u"查询元素名称无效: " + name);
  }
}

// One record per list: how many rows held a character that XML cannot carry, and their keys.
void ReportReplacedCharacters(const ElementWriter& writer) {
  std::u16string text = u"查询结果中有 " + FromUtf8(std::to_string(writer.replaced_rows())) +
                        u" 行含有XML不允许的字符, 已写作U+FFFD:";
  for (const std::u16string& key : writer.replaced_keys())
    text.append(u" ").append(key).append(u";");
  if (writer.replaced_rows() > writer.replaced_keys().size()) text.append(u" ...");
  CEventLogEntry(text, CEventLogEntry::kWarning).Report();
}

}  // namespace

void CSingleDataSource::Execute(const std::u16string& sql, std::u16string* rows) {
  if (rows == nullptr) {
    RunStatement<RowListReader>(sql, true, nullptr);
    return;
  }
  XmlOutput xml;
  xml.Append(u"<?xml version=\"1.0\"?><root>");
  RowXmlWriter writer(&xml);
  RunStatement(sql, true, &writer);
  if (writer.invalid()) throw CEMRException(std::u16string(kInvalidCharacterMessage));
  xml.Append(u"</root>");
  rows->assign(xml.view());
}

void CSingleDataSource::Query(const std::u16string& sql, unsigned columns,
                              std::vector<std::u16string>& values) {
  values.clear();
  RowListReader reader{columns, &values};
  RunStatement(sql, true, &reader);
}

void CSingleDataSource::QueryColumn(const std::u16string& sql,
                                    std::vector<std::u16string>& values) {
  Query(sql, 1, values);
}

void CSingleDataSource::QueryScalar(const std::u16string& sql, std::u16string& value) {
  ScalarReader reader{&value};
  RunStatement(sql, true, &reader);
}

void CSingleDataSource::QueryValue(const std::u16string& sql, std::u16string& value,
                                   const std::u16string& /*unused*/) {
  QueryScalar(sql, value);
}

void CSingleDataSource::QueryElements(const std::u16string& sql,
                                      const std::vector<std::u16string>& names, BSTR* result,
                                      const std::vector<std::u16string>& key_names) {
  XmlOutput xml;
  xml.Append(korvalis::kDomDeclaration);
  WriteElements(sql, names, key_names, xml, {.counted = xml.size()});
  if (result != nullptr) *result = xml.ReleaseBstr();
}

std::optional<std::size_t> CSingleDataSource::StreamElementsWithin(
    const std::u16string& sql, const std::vector<std::u16string>& names, std::size_t max_units,
    std::u16string_view root, const std::function<void(std::u16string_view)>& sink) {
  XmlOutput xml;
  return WriteElements(sql, names, {}, xml,
                       {.root = root,
                        .max_units = max_units,
                        .counted = std::size(korvalis::kDomDeclaration) - 1,
                        .sink = &sink});
}

std::optional<std::size_t> CSingleDataSource::WriteElements(
    const std::u16string& sql, const std::vector<std::u16string>& names,
    const std::vector<std::u16string>& key_names, XmlOutput& xml,
    const ElementDocument& document) {
  if (names.empty()) throw CEMRException(std::u16string(u"查询元素名称列表为空."));
  for (const std::u16string& name : names) CheckElementName(name);
  // The attributes as the XML library's writer orders them: by name. A name given twice is
  // one attribute holding the value of its last column.
  std::vector<std::pair<std::u16string_view, int>> columns;
  columns.reserve(names.size() - 1);
  for (std::size_t i = 1; i < names.size(); ++i)
    columns.emplace_back(names[i], static_cast<int>(i));
  std::sort(columns.begin(), columns.end());
  std::vector<std::pair<std::u16string_view, int>> attributes;
  attributes.reserve(columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i + 1 == columns.size() || columns[i + 1].first != columns[i].first) {
      attributes.push_back(columns[i]);
    }
  }
  std::vector<std::pair<std::u16string_view, int>> keys;
  for (const std::u16string& key : key_names) {
    const auto it = std::find(names.begin(), names.end(), key);
    if (it != names.end()) keys.emplace_back(key, static_cast<int>(it - names.begin()));
  }

  ElementWriter writer(&xml, names[0], attributes, std::move(keys), document);
  // The rows are counted as a Query of as many columns as there are names.
  RunStatement(sql, true, &writer);
  if (writer.Full()) return std::nullopt;
  writer.Finish();
  if (writer.Full()) return std::nullopt;
  if (writer.replaced_rows() > 0) ReportReplacedCharacters(writer);
  return writer.units();
}

std::u16string CSingleDataSource::QueryTree(const std::u16string& sql, std::u16string_view element,
                                            const std::vector<std::u16string_view>& names) {
  std::vector<std::pair<std::u16string_view, int>> attributes;
  attributes.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    attributes.emplace_back(names[i], static_cast<int>(i));
  std::sort(attributes.begin(), attributes.end());
  XmlOutput xml;
  xml.Append(korvalis::kDomDeclaration);
  TreeElementWriter writer(&xml, element, attributes, 0, 1);
  RunStatement(sql, true, &writer);
  writer.Finish();
  return std::u16string(xml.view());
}
