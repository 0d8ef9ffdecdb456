#include "db/database_builder.h"

#include <string>
#include <string_view>
#include <vector>

#include "db/schema_files.h"
#include "db/stored_text.h"
#include "foundation/codec/emr_compression.h"
#include "foundation/data/sql_text.h"
#include "platform/db/script_runner.h"

namespace korvalis::schema {
namespace {

// Rolls the build back unless it was committed.
class BuildTransaction {
 public:
  explicit BuildTransaction(db::Connection& connection) : connection_(connection) {
    connection_.Begin(db::Connection::TransactionMode::kWriting);
  }
  ~BuildTransaction() {
    if (connection_.InTransaction()) connection_.Rollback();
  }
  BuildTransaction(const BuildTransaction&) = delete;
  BuildTransaction& operator=(const BuildTransaction&) = delete;

  void Commit() { connection_.Commit(); }

 private:
  db::Connection& connection_;
};

void RunFile(db::Connection& connection, const EmbeddedFile& file) {
  try {
    db::RunScript(connection, file.text());
  } catch (const db::DbError& e) {
    throw db::DbError(e.code(), std::string("db/") + file.path + ": " + e.description());
  }
}

bool IsIdentifier(std::string_view word) {
  if (word.empty()) return false;
  for (char c : word) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return true;
}

std::string Utf16(std::string_view utf8) { return StoredText(utf8).substr(2); }

std::string Compressed(const std::string& bytes) {
  CGzipCompression compression;
  BYTE* out = nullptr;
  ULONG out_size = 0;
  compression.Compress(reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<ULONG>(bytes.size()), out, out_size);
  std::string result(reinterpret_cast<const char*>(out), out_size);
  delete[] out;
  return result;
}

// The sample's BLOB manifests (blobs.txt and every other .txt file of sample/): entries of a
// header line "@ TABLE COLUMN KEY=VALUE FORM" and the text up to the next header; the form says
// how the text is stored (see the comment of blobs.txt).
class BlobManifest {
 public:
  BlobManifest(db::Connection& connection, const EmbeddedFile& file)
      : connection_(connection), file_(file) {}

  void WriteAll() {
    std::string_view rest = file_.text();
    bool in_entry = false;
    std::string text;
    while (!rest.empty()) {
      size_t end = rest.find('\n');
      std::string_view line = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      ++line_number_;
      if (line.starts_with("@ ")) {
        if (in_entry) Write(text);
        Start(line);
        in_entry = true;
        text.clear();
      } else if (in_entry) {
        if (!text.empty() || entry_has_text_) text.push_back('\n');
        text.append(line);
        entry_has_text_ = true;
      } else if (!line.empty() && line.front() != '#') {
        Fail("text before the first entry");
      }
    }
    if (in_entry) Write(text);
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw db::DbError(db::kProviderFailed, std::string("db/") + file_.path + ":" +
                                               std::to_string(header_line_ ? header_line_
                                                                           : line_number_) +
                                               ": " + what);
  }

  void Start(std::string_view header) {
    header_line_ = line_number_;
    entry_has_text_ = false;
    std::vector<std::string_view> words;
    for (size_t i = 2; i < header.size();) {
      size_t blank = header.find(' ', i);
      if (blank == std::string_view::npos) blank = header.size();
      if (blank > i) words.push_back(header.substr(i, blank - i));
      i = blank + 1;
    }
    size_t equals = words.size() == 4 ? words[2].find('=') : std::string_view::npos;
    if (equals == std::string_view::npos || !IsIdentifier(words[0]) || !IsIdentifier(words[1]) ||
        !IsIdentifier(words[2].substr(0, equals))) {
      Fail("expected \"@ TABLE COLUMN KEY=VALUE FORM\"");
    }
    std::string value(words[2].substr(equals + 1));
    query_ = "SELECT " + std::string(words[1]) + " FROM " + std::string(words[0]) + " WHERE " +
             std::string(words[2].substr(0, equals)) + " = " + SqlQuoted(value);
    form_ = std::string(words[3]);
    if (form_ != "text" && form_ != "utf16" && form_ != "zlib-text" && form_ != "zlib-utf16") {
      Fail("unknown form " + form_);
    }
  }

  void Write(const std::string& text) {
    std::string bytes = form_.ends_with("utf16") ? Utf16(text) : StoredText(text);
    if (form_.starts_with("zlib-")) bytes = Compressed(bytes);
    if (!connection_.WriteBlob(query_, bytes)) Fail("no row for " + query_);
  }

  db::Connection& connection_;
  const EmbeddedFile& file_;
  int line_number_ = 0;
  int header_line_ = 0;
  bool entry_has_text_ = false;
  std::string query_;
  std::string form_;
};

bool IsScript(const EmbeddedFile& file) {
  return std::string_view(file.path).ends_with(".sql");
}

}  // namespace

void BuildDatabase(db::Connection& connection, DatabaseContents contents) {
  BuildTransaction transaction(connection);
  for (const EmbeddedFile& file : SchemaFiles()) RunFile(connection, file);
  for (const EmbeddedFile& file : InstallFiles()) RunFile(connection, file);
  if (contents == DatabaseContents::kSampleHospital) {
    for (const EmbeddedFile& file : SampleFiles()) {
      if (IsScript(file)) RunFile(connection, file);
    }
    for (const EmbeddedFile& file : SampleFiles()) {
      if (std::string_view(file.path).ends_with(".txt")) BlobManifest(connection, file).WriteAll();
    }
  }
  transaction.Commit();
}

}  // namespace korvalis::schema
