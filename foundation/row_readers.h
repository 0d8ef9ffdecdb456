// The readers that turn the rows of a statement into the results of CSingleDataSource: a flat
// list of texts, the <row> document of Execute, and the element document of QueryElements,
// written as the XML library's serialiser writes it (attributes in name order, "&", "<" and
// ">" escaped in text; "&", "<", '"', tab, line feed and carriage return in attributes).
//
// A reader is driven by the statement: Start once with the rowset, then Row for every row.
// A value holding a character that XML cannot carry marks the document invalid.
//
// Thread-safety: a reader belongs to one statement.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/db/provider.h"

namespace korvalis::datasource {

// Appends `value` escaped for element text or (`attribute`) an attribute value; false, with the
// text before the offending character appended, when XML cannot carry one of its characters.
bool AppendEscapedXml(std::u16string& out, std::u16string_view value, bool attribute);

// `columns` texts per row: NULL, and columns beyond the rowset's, give empty text.
struct RowListReader {
  unsigned columns;
  std::vector<std::u16string>* values;
  int available = 0;

  void Start(const db::Rowset& rows);
  void Row(const db::Rowset& rows);
};

// <row><NAME>value</NAME>...</row> per row, names as the database reports them.
class RowXmlWriter {
 public:
  // Appends to `*out`, which must outlive the writer.
  explicit RowXmlWriter(std::u16string* out) : out_(out) {}
  void Start(const db::Rowset& rows);
  void Row(const db::Rowset& rows);
  bool invalid() const { return invalid_; }

 private:
  std::u16string* out_;
  std::vector<std::u16string> names_;
  bool invalid_ = false;
  std::u16string value_;
};

// <element a="column i" ...>column 1</element> per row, "<root>" before the first.
class ElementWriter {
 public:
  // `attributes`: name and column of each attribute, in name order. `*out` and `element` must
  // outlive the writer.
  ElementWriter(std::u16string* out, const std::u16string& element,
                std::vector<std::pair<std::u16string, int>> attributes)
      : out_(out), element_(element), attributes_(std::move(attributes)) {}
  void Start(const db::Rowset& rows);
  void Row(const db::Rowset& rows);
  bool invalid() const { return invalid_; }
  bool any_row() const { return any_row_; }

 private:
  void AppendColumn(const db::Rowset& rows, int column, bool attribute);

  std::u16string* out_;
  const std::u16string& element_;
  std::vector<std::pair<std::u16string, int>> attributes_;
  bool invalid_ = false;
  bool any_row_ = false;
  int available_ = 0;
  std::u16string value_;
};

}  // namespace korvalis::datasource
