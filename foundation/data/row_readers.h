// The readers that turn the rows of a statement into the results of CSingleDataSource: a flat
// list of texts, the <row> document of Execute, and the element document of QueryElements,
// written as the XML library's serialiser writes it (attributes in name order, "&", "<" and
// ">" escaped in text; "&", "<", '"', tab, line feed and carriage return in attributes).
//
// A reader is driven by the statement: Start once with the rowset, then Row for every row.
// A reader that keeps what it reads says how much (HeldBytes): the statement stops once that
// passes db::kMaxHeldRowBytes, so that a statement without end (a join without its condition)
// cannot fill the process's memory before Command Timeout ends it.
// A value holding a character that XML cannot carry marks the document invalid. The XML
// writers decode each UTF-8 value straight into the document, escaping as they go: a value is
// never copied on its own.
//
// Thread-safety: a reader belongs to one statement.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/bstr.h"
#include "platform/db/provider.h"

namespace korvalis::datasource {

// A UTF-16 document being written. Room is made for the most a piece can take (Reserve), the
// piece is written through the pointer, and Commit keeps what was written: the units are
// never filled twice, as growing a std::u16string first would. The document is written in the
// block of a BSTR-to-be, so that a long one is handed to the caller without a copy.
class XmlOutput {
 public:
  // Room for at least `units` more units after the text; returns where they start. The
  // pointer is valid until the next Reserve or Append.
  char16_t* Reserve(std::size_t units) {
    if (capacity_ - size_ < units) Grow(units);
    return Units() + size_;
  }
  // Keeps `units` units written at the pointer Reserve returned. Precondition: no more than
  // were reserved.
  void Commit(std::size_t units) { size_ += units; }

  void Append(std::u16string_view text) {
    char16_t* at = Reserve(text.size());
    for (char16_t unit : text) *at++ = unit;
    size_ += text.size();
  }

  // Empties the output, keeping its room.
  void Clear() { size_ = 0; }

  const char16_t* data() const { return block_ ? Units() : nullptr; }
  std::size_t size() const { return size_; }
  std::u16string_view view() const { return {data(), size_}; }

  // Hands the document over as a new BSTR, leaving the output empty. Throws std::bad_alloc
  // when it is too long for a BSTR or memory runs out.
  BSTR ReleaseBstr();

 private:
  char16_t* Units() const;
  void Grow(std::size_t units);

  struct Free {
    void operator()(char* block) const;
  };

  std::unique_ptr<char, Free> block_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;  // units
};

// What becomes of a character that XML cannot carry (a control character, U+FFFE, U+FFFF).
enum class Unrepresentable {
  kRefuse,   // the value ends before it
  kReplace,  // it is written as U+FFFD and the value goes on
};

// Appends the UTF-8 `value` as UTF-16, escaped for element text or (`attribute`) an attribute
// value. Ill-formed UTF-8 becomes U+FFFD as korvalis::FromUtf8 makes it. Returns false when XML
// cannot carry one of its characters: refused, the text before it is appended; replaced, the
// whole value with U+FFFD in its place.
bool AppendEscapedXml(XmlOutput& out, std::string_view value, bool attribute,
                      Unrepresentable unrepresentable = Unrepresentable::kRefuse);

// `columns` texts per row: NULL, and columns beyond the rowset's, give empty text.
struct RowListReader {
  unsigned columns;
  std::vector<std::u16string>* values;
  int available = 0;
  std::size_t held_bytes = 0;

  void Start(const db::Rowset& rows);
  void Row(const db::Rowset& rows);
  std::size_t HeldBytes() const { return held_bytes; }
};

// The first column of the first row into `*value` (NULL, or a rowset without columns, give
// empty text); the reading ends there (Full). Without a row `*value` is left as it was.
struct ScalarReader {
  std::u16string* value;
  bool read = false;
  bool any_column = false;

  void Start(const db::Rowset& rows);
  void Row(const db::Rowset& rows);
  bool Full() const { return read; }
};

// <row><NAME>value</NAME>...</row> per row, names as the database reports them.
class RowXmlWriter {
 public:
  // Appends to `*out`, which must outlive the writer.
  explicit RowXmlWriter(XmlOutput* out) : out_(out) {}
  void Start(const db::Rowset& rows);
  void Row(const db::Rowset& rows);
  bool invalid() const { return invalid_; }
  std::size_t HeldBytes() const { return out_->size() * sizeof(char16_t); }

 private:
  XmlOutput* out_;
  // Per column, "<NAME>" and "</NAME>".
  std::vector<std::pair<std::u16string, std::u16string>> tags_;
  bool invalid_ = false;
};

// The start tag of an element whose attributes come from columns: "<element" and name="value"
// per attribute, the tag left open. A character that XML cannot carry is written as U+FFFD.
class StartTag {
 public:
  // `attributes`: name and column of each attribute, in name order.
  StartTag(std::u16string_view element,
           const std::vector<std::pair<std::u16string_view, int>>& attributes);
  // Appends the open start tag for the row; `available` is the rowset's column count (NULL
  // and columns beyond it write empty values). False when a character was replaced.
  bool Append(XmlOutput& out, const db::Rowset& rows, int available) const;
  // The UTF-8 bytes of the row's values that Append writes.
  std::size_t ValueBytes(const db::Rowset& rows, int available) const;

 private:
  struct Attribute {
    std::u16string_view opening;  // ` name="`, in openings_
    int column;
  };

  std::u16string opening_;  // "<element"
  std::u16string openings_;
  std::vector<Attribute> attributes_;
};

// The document of an ElementWriter: the element that holds its rows, its bound, and where its
// text goes.
struct ElementDocument {
  std::u16string_view root = u"root";
  // The most units the document may take, measured as QueryElements writes it: its declaration,
  // "<root>", the rows and "</root>" (or "<root/>"), whatever `root` is. `counted` of them
  // come before the first row (the declaration, written or not).
  std::size_t max_units = SIZE_MAX;
  std::size_t counted = 0;
  // When set, the text is handed to it in pieces, each ending after a whole row or the end
  // tag, and the output emptied, so that it is never held whole; a piece can be a single row
  // as long as the bound.
  const std::function<void(std::u16string_view)>* sink = nullptr;
};

// <element a="column i" ...>column 0</element> per row inside the document's root element. A
// character that XML cannot carry is written as U+FFFD (the value in the database stays as it
// is), and the row is remembered by its key.
class ElementWriter {
 public:
  // The keys of at most this many rows are kept; the rest are only counted.
  static constexpr std::size_t kMaxKeptRows = 20;

  // `attributes`: name and column of each attribute, in name order. `keys`: name and column of
  // the values that identify a row; without them a row is known by its position. `*out` must
  // outlive the writer. Once the document is longer than its bound, the writer is full: the
  // rows are read no further; a row that cannot fit is not written.
  ElementWriter(XmlOutput* out, std::u16string_view element,
                const std::vector<std::pair<std::u16string_view, int>>& attributes,
                std::vector<std::pair<std::u16string_view, int>> keys,
                const ElementDocument& document);
  void Start(const db::Rowset& rows);
  void Row(const db::Rowset& rows);
  // Closes the root element ("<root/>" when there was no row).
  void Finish();
  bool Full() const { return units_ > max_units_; }
  // Whether the writer may be full before the last row: its rows are then read as they come.
  bool Bounded() const { return max_units_ != SIZE_MAX; }
  // The units of the document so far, as the bound measures them.
  std::size_t units() const { return units_; }
  // A bounded writer hands its text on and holds little; an unbounded one holds it all.
  std::size_t HeldBytes() const { return Bounded() ? 0 : units_ * sizeof(char16_t); }
  // The rows that held a character XML cannot carry, and the keys of the first kMaxKeptRows
  // of them ("id=P1 eventno=E1", or "第3行").
  std::size_t replaced_rows() const { return replaced_rows_; }
  const std::vector<std::u16string>& replaced_keys() const { return replaced_keys_; }

 private:
  void KeepKey(const db::Rowset& rows);
  // Hands the text written so far to the sink, unless the bound is passed.
  void Drain(std::size_t at_least);

  XmlOutput* out_;
  StartTag start_;
  std::u16string closing_;  // "</element>"
  std::u16string root_start_, root_end_, root_empty_;  // "<root>", "</root>", "<root/>"
  std::vector<std::pair<std::u16string_view, int>> keys_;
  std::size_t max_units_;
  std::size_t units_;
  const std::function<void(std::u16string_view)>* sink_;
  std::size_t rows_ = 0;
  std::size_t replaced_rows_ = 0;
  std::vector<std::u16string> replaced_keys_;
  int available_ = 0;
};

// The rows of a tree, each listed after its parent as a hierarchical query lists them, as
// `root` holding one element per row: a row's element goes inside the element of its parent
// (the row whose `id_column` equals its `parent_column`) when that is the row placed last or
// one of its ancestors, and at the top otherwise or when the parent is empty. An element
// without children is written "<element .../>". A character that XML cannot carry is written
// as U+FFFD.
class TreeElementWriter {
 public:
  // `attributes` as for StartTag. `*out` must outlive the writer.
  TreeElementWriter(XmlOutput* out, std::u16string_view element,
                    const std::vector<std::pair<std::u16string_view, int>>& attributes,
                    int id_column, int parent_column);
  void Start(const db::Rowset& rows);
  void Row(const db::Rowset& rows);
  // Closes the open elements and the root ("<root/>" when there was no row).
  void Finish();
  std::size_t HeldBytes() const { return out_->size() * sizeof(char16_t); }

 private:
  // The element placed last and its ancestors, outermost first.
  struct OpenElement {
    std::u16string id;
    bool has_children;
  };
  std::u16string ColumnText(const db::Rowset& rows, int column) const;
  void CloseInnermost();

  XmlOutput* out_;
  StartTag start_;
  std::u16string closing_;  // "</element>"
  int id_column_;
  int parent_column_;
  int available_ = 0;
  bool any_row_ = false;
  std::vector<OpenElement> open_;
};

}  // namespace korvalis::datasource
