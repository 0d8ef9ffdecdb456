// The readers that turn the rows of a statement into the results of CSingleDataSource: a flat
// list of texts, the <row> document of Execute, and the element document of QueryElements,
// written as the XML library's serialiser writes it (attributes in name order, "&", "<" and
// ">" escaped in text; "&", "<", '"', tab, line feed and carriage return in attributes).
//
// A reader is driven by the statement: Start once with the rowset, then Row for every row.
// A value holding a character that XML cannot carry marks the document invalid. The XML
// writers decode each UTF-8 value straight into the document, escaping as they go: a value is
// never copied on its own.
//
// Thread-safety: a reader belongs to one statement.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/db/provider.h"

namespace korvalis::datasource {

// A UTF-16 document being written. Room is made for the most a piece can take (Reserve), the
// piece is written through the pointer, and Commit keeps what was written: the units are
// never filled twice, as growing a std::u16string first would.
class XmlOutput {
 public:
  // Room for at least `units` more units after the text; returns where they start. The
  // pointer is valid until the next Reserve or Append.
  char16_t* Reserve(std::size_t units) {
    if (capacity_ - size_ < units) Grow(units);
    return data_.get() + size_;
  }
  // Keeps `units` units written at the pointer Reserve returned. Precondition: no more than
  // were reserved.
  void Commit(std::size_t units) { size_ += units; }

  void Append(std::u16string_view text) {
    char16_t* at = Reserve(text.size());
    for (char16_t unit : text) *at++ = unit;
    size_ += text.size();
  }

  const char16_t* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  std::u16string_view view() const { return {data_.get(), size_}; }

 private:
  void Grow(std::size_t units);

  std::unique_ptr<char16_t[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// Appends the UTF-8 `value` as UTF-16, escaped for element text or (`attribute`) an attribute
// value. Ill-formed UTF-8 becomes U+FFFD as korvalis::FromUtf8 makes it. Returns false, with
// the text before the offending character appended, when XML cannot carry one of its
// characters.
bool AppendEscapedXml(XmlOutput& out, std::string_view value, bool attribute);

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
  explicit RowXmlWriter(XmlOutput* out) : out_(out) {}
  void Start(const db::Rowset& rows);
  void Row(const db::Rowset& rows);
  bool invalid() const { return invalid_; }

 private:
  XmlOutput* out_;
  // Per column, "<NAME>" and "</NAME>".
  std::vector<std::pair<std::u16string, std::u16string>> tags_;
  bool invalid_ = false;
};

// <element a="column i" ...>column 0</element> per row, "<root>" before the first.
class ElementWriter {
 public:
  // `attributes`: name and column of each attribute, in name order. `*out` must outlive the
  // writer.
  ElementWriter(XmlOutput* out, std::u16string_view element,
                const std::vector<std::pair<std::u16string_view, int>>& attributes);
  void Start(const db::Rowset& rows);
  void Row(const db::Rowset& rows);
  bool invalid() const { return invalid_; }
  bool any_row() const { return any_row_; }

 private:
  struct Attribute {
    std::u16string_view opening;  // ` name="`, in openings_
    int column;
  };

  void AppendColumn(const db::Rowset& rows, int column, bool attribute);

  XmlOutput* out_;
  std::u16string opening_;  // "<element"
  std::u16string closing_;  // "</element>"
  std::u16string openings_;
  std::vector<Attribute> attributes_;
  bool invalid_ = false;
  bool any_row_ = false;
  int available_ = 0;
};

}  // namespace korvalis::datasource
