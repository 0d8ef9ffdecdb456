// CSingleDataSource: the data source of one method call, the only way a body reaches the
// database. It connects on the first statement, runs Oracle SQL through the database layer
// (platform/db) and hands rows back as texts or XML; BLOB statements undo and apply the stored
// codecs. Subclasses say which database to open (GetConnectionString) and which SQL dialect
// the bodies must write (GetDBType).
//
// Connection and transaction:
//
//   constructed ──first statement──▶ CONNECTED ──destroyed──▶ (released)
//        │   ▲                          │
//        │   └──connection failed───────┘ (stays without a connection; the next statement
//        │                                 connects and counts again)
//
//   - Constructed while a CCallScope is current on the thread (a method call): the data
//     source takes the scope's connection and transaction for its database; the scope
//     commits or rolls back with the call. The data source must be destroyed before the scope.
//   - Otherwise: the data source opens a pooled connection and a transaction of its own,
//     committed when it is destroyed normally and rolled back when it is destroyed while an
//     exception unwinds the stack.
//
// Failures: every database failure is written to the event log in full (result code,
// description, SQL) and the statement throws CEMRException "数据库错误, 请与系统管理员联系.".
// Every eighth failing Execute or Query of the process first forces the rollback of the
// in-doubt distributed transactions the dialect lists. A run of 33 connection failures, each
// less than 60 seconds after the previous one, reports to the suite's watchdog.
//
// Thread-safety: a data source belongs to one thread (one call). The process-wide counters
// are thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/data/db_type.h"
#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CCallScope;

namespace korvalis::db {
class Connection;
class Rowset;
}  // namespace korvalis::db

namespace korvalis::datasource {
struct ElementDocument;
class XmlOutput;
}  // namespace korvalis::datasource

// The message every statement throws in place of a database failure.
inline constexpr char16_t kDatabaseErrorMessage[] = u"数据库错误, 请与系统管理员联系.";
// The start of the message of a statement that needs a row and finds none; the statement
// follows it.
inline constexpr char16_t kNoDataFoundMessage[] = u"没有找到数据: ";

class CSingleDataSource {
 public:
  CSingleDataSource();
  // Releases the connection: commits (or, while unwinding, rolls back) a transaction of its own.
  virtual ~CSingleDataSource();
  CSingleDataSource(const CSingleDataSource&) = delete;
  CSingleDataSource& operator=(const CSingleDataSource&) = delete;

  // The SQL dialect of the database; process-wide, not owned by the caller.
  virtual CDBType* GetDBType() = 0;
  // The initialisation string of the database ("Provider=SQLite;Data Source=...").
  virtual std::u16string GetConnectionString() = 0;

  // Runs one statement. With `rows`, its rows replace the text as
  //   <?xml version="1.0"?><root><row><NAME>value</NAME>...</row>...</root>
  // (names as the database reports them, values escaped, NULL giving an empty element); a
  // statement without rows gives an empty root.
  void Execute(const std::u16string& sql, std::u16string* rows = nullptr);
  // Empties `values`, then appends `columns` texts per row (NULL, and columns beyond those of
  // the rowset, give empty text).
  void Query(const std::u16string& sql, unsigned columns, std::vector<std::u16string>& values);
  // Query with one column.
  void QueryColumn(const std::u16string& sql, std::vector<std::u16string>& values);
  // The first column of the first row; `value` keeps the caller's text when there is no row.
  void QueryScalar(const std::u16string& sql, std::u16string& value);
  // As QueryScalar; the third argument is not used.
  void QueryValue(const std::u16string& sql, std::u16string& value, const std::u16string& unused);
  // The rows as a serialised document: `root`, one element per row named names[0] whose text
  // is column 1 and whose attribute names[i] holds column i+1 (attributes in name order, as
  // the XML library writes them). Stores a new BSTR through
  // `result` (nothing when it is null). Throws CEMRException "查询元素名称列表为空." for an
  // empty `names`. A character that XML cannot carry (a control character brought in from
  // another system) is written as U+FFFD, so that one such value does not cost the whole list;
  // one warning in the event log names the rows that held one, by the values of `key_names`
  // (names among `names` that identify a row) or, without them, by their position.
  void QueryElements(const std::u16string& sql, const std::vector<std::u16string>& names,
                     BSTR* result, const std::vector<std::u16string>& key_names = {});
  // As QueryElements, with the document held to `max_units` UTF-16 units as the rows are read
  // and handed to `sink` in pieces (each ending after a whole row) instead of stored: its
  // document element is named `root` and its XML declaration is left out, though both are
  // measured as QueryElements writes them. Answers the units of QueryElements' document; once
  // that would be longer than `max_units`, no further row is read and nullopt is answered, the
  // sink having had part of the document or none.
  std::optional<std::size_t> StreamElementsWithin(
      const std::u16string& sql, const std::vector<std::u16string>& names, std::size_t max_units,
      std::u16string_view root, const std::function<void(std::u16string_view)>& sink);
  // The rows of a tree, each listed after its parent as a hierarchical query lists them, as a
  // serialised document: `root` holding one element `element` per row, whose attribute
  // names[i] holds column i (attributes in name order), nested in the element of the row whose
  // column 0 (its id) equals its column 1 (its parent's id) when that row was placed last or
  // is an ancestor of it, and at the top otherwise. Returns the document. A character that XML
  // cannot carry is written as U+FFFD. Precondition: `names` holds at least two distinct names.
  std::u16string QueryTree(const std::u16string& sql, std::u16string_view element,
                           const std::vector<std::u16string_view>& names);

  // Reads the BLOB in column 1 of the query's first row, decrypting (encryption > 0) and then
  // uncompressing (compression > 0; the digest encryption 4 is refused); in text mode drops a
  // leading byte-order mark (FF FE) when more than those two bytes remain. `data` receives a new
  // array that the caller frees with delete[] (an array it held before, from new[], is released
  // then), or stays as it was, with `length` 0, when there are no bytes. Precondition: `data` is
  // null or an array from new[].
  void ReadBlob(const std::u16string& sql, BYTE*& data, ULONG& length, int compression,
                int encryption, bool text);
  // Writes `length` bytes into the BLOB in column 1 of the query's first row: in text mode with
  // a byte-order mark before them, compressed (compression > 0), then encrypted
  // (encryption > 0). Zero bytes store NULL. The digest encryption (4) is refused: it could
  // never be read back.
  void WriteBlob(const std::u16string& sql, const BYTE* data, ULONG length, int compression,
                 int encryption, bool text);
  // Why the database could not be connected to, the last time a statement found it so
  // (password masked, as the event log has it); empty when it could.
  const std::u16string& ConnectionFailure() const { return connection_failure_; }

 protected:
  // The connection, opened on first use for `statement`, which its failure to begin names
  // (BEGIN when none is given). Throws CEMRException (logged when connecting failed).
  korvalis::db::Connection& GetSession(const std::u16string* statement = nullptr);

 private:
  class OwnTransaction;

  void Connect(const std::u16string* statement);
  // Runs the statement under the failure handling of every statement; `read_row` is called
  // per row when it is given. `count_failure`: the failure counts towards the clean-up.
  template <class RowReader>
  void RunStatement(const std::u16string& sql, bool count_failure, RowReader* read_row);
  // Writes the element document of the rows into `xml` (which holds what comes before the
  // first row) as `document` says; the units of the document, or nullopt when it is longer
  // than its bound.
  std::optional<std::size_t> WriteElements(const std::u16string& sql,
                                           const std::vector<std::u16string>& names,
                                           const std::vector<std::u16string>& key_names,
                                           korvalis::datasource::XmlOutput& xml,
                                           const korvalis::datasource::ElementDocument& document);
  [[noreturn]] void Fail(const std::u16string& message, std::int32_t code, bool count_failure);
  void CleanPendingTransactions(std::int32_t code);

  CCallScope* scope_;
  korvalis::db::Connection* session_ = nullptr;
  std::int32_t last_code_ = 0;  // result code of the statement's failing database call
  std::u16string connection_failure_;
  std::unique_ptr<OwnTransaction> own_;
  std::string sql_utf8_;  // the statement being run, in the provider's UTF-8, storage kept
  int uncaught_at_construction_;
};
