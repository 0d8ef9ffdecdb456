#include "foundation/data/row_readers.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <xercesc/util/XMLChar.hpp>

#include "platform/text/unicode.h"
#include "platform/text/utf8.h"

namespace korvalis::datasource {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The most units one byte of a value can become: '"' as "&quot;".
constexpr std::size_t kMaxUnitsPerByte = 6;
// The bytes of a value escaped for one Reserve.
constexpr std::size_t kPieceBytes = 4096;
// The units of an element document handed on at once: rows are gathered up to this many.
constexpr std::size_t kPieceUnits = 32768;
// The tags of the root element as the bound measures them.
constexpr std::u16string_view kRootStart = u"<root>";
constexpr std::u16string_view kRootEnd = u"</root>";
static_assert(kRootEnd.size() == std::u16string_view(u"<root/>").size());

// What an ASCII character becomes in the document: itself (length 0), an entity, or nothing
// (kRefused): a control character that XML cannot carry.
struct AsciiEscape {
  const char16_t* entity = nullptr;
  std::uint8_t length = 0;
};
constexpr std::uint8_t kRefused = 0xFF;

constexpr std::array<AsciiEscape, 128> MakeAsciiEscapes(bool attribute) {
  std::array<AsciiEscape, 128> escapes{};
  for (int c = 0; c < 0x20; ++c) escapes[c].length = kRefused;
  escapes['&'] = {u"&amp;", 5};
  escapes['<'] = {u"&lt;", 4};
  escapes['\r'] = {u"&#xD;", 5};
  if (attribute) {
    escapes['"'] = {u"&quot;", 6};
    escapes['\n'] = {u"&#xA;", 5};
    escapes['\t'] = {u"&#x9;", 5};
  } else {
    escapes['>'] = {u"&gt;", 4};
    escapes['\n'] = {};
    escapes['\t'] = {};
  }
  return escapes;
}

constexpr std::array<AsciiEscape, 128> kTextEscapes = MakeAsciiEscapes(false);
constexpr std::array<AsciiEscape, 128> kAttributeEscapes = MakeAsciiEscapes(true);

// Decodes the character at `p` (U+FFFD for a maximal invalid part, as korvalis::FromUtf8
// reads it), advancing `p` past what it used.
char32_t DecodeSequence(const unsigned char*& p, const unsigned char* end) {
  size_t used = 0;
  const char32_t code_point = korvalis::DecodeUtf8(
      std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p)), &used);
  p += used;
  return code_point;
}

}  // namespace

void XmlOutput::Free::operator()(char* block) const { std::free(block); }

char16_t* XmlOutput::Units() const {
  return reinterpret_cast<char16_t*>(block_.get() + kBstrPrefixBytes);
}

void XmlOutput::Grow(std::size_t units) {
  const std::size_t capacity = std::max({capacity_ * 2, size_ + units, std::size_t{1024}});
  // realloc moves a large block by remapping its pages: a long document is neither copied
  // nor faulted in again each time it doubles.
  void* grown = std::realloc(block_.get(),
                             kBstrPrefixBytes + capacity * sizeof(char16_t) + kBstrTerminatorBytes);
  if (grown == nullptr) throw std::bad_alloc();
  (void)block_.release();
  block_.reset(static_cast<char*>(grown));
  capacity_ = capacity;
}

BSTR XmlOutput::ReleaseBstr() {
  // The block gives back the room the document did not take; shrinking moves no text.
  void* block = std::realloc(block_.get(),
                             kBstrPrefixBytes + size_ * sizeof(char16_t) + kBstrTerminatorBytes);
  if (block == nullptr) throw std::bad_alloc();
  (void)block_.release();
  const std::size_t size = size_;
  size_ = 0;
  capacity_ = 0;
  BSTR text = BstrOfBlock(block, size);
  if (text == nullptr) throw std::bad_alloc();
  return text;
}

bool AppendEscapedXml(XmlOutput& out, std::string_view value, bool attribute,
                      Unrepresentable unrepresentable) {
  const std::array<AsciiEscape, 128>& escapes = attribute ? kAttributeEscapes : kTextEscapes;
  const bool replace = unrepresentable == Unrepresentable::kReplace;
  const auto* p = reinterpret_cast<const unsigned char*>(value.data());
  const unsigned char* const end = p + value.size();
  bool carried = true;
  // A long value goes in pieces, so that the room made for it stays small; a sequence that
  // starts in a piece is finished in it and gives at most two more units.
  while (p < end) {
    const unsigned char* const stop = p + std::min<std::size_t>(end - p, kPieceBytes);
    char16_t* const begin = out.Reserve(static_cast<std::size_t>(stop - p) * kMaxUnitsPerByte + 2);
    char16_t* at = begin;
    bool refused = false;
    while (p < stop && !refused) {
      if (*p < 0x80) {
        const AsciiEscape& escape = escapes[*p];
        if (escape.length == 0) {
          *at++ = *p++;
        } else if (escape.length == kRefused) {
          carried = false;
          if (replace) {
            *at++ = kReplacement;
            ++p;
          } else {
            refused = true;
          }
        } else {
          at = std::copy_n(escape.entity, escape.length, at);
          ++p;
        }
        continue;
      }
      const unsigned char* const sequence = p;
      const char32_t code_point = DecodeSequence(p, end);
      bool unfit;
      if (code_point < 0x10000) {
        const auto unit = static_cast<char16_t>(code_point);
        unfit = unit >= 0xD800 && !xercesc::XMLChar1_0::isXMLChar(unit);
        if (!unfit) *at++ = unit;
      } else {
        const auto high = static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10));
        const auto low = static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
        unfit = !xercesc::XMLChar1_0::isXMLChar(high, low);
        if (!unfit) {
          *at++ = high;
          *at++ = low;
        }
      }
      if (unfit) {
        carried = false;
        if (replace) {
          *at++ = kReplacement;
        } else {
          refused = true;
          p = sequence;
        }
      }
    }
    out.Commit(static_cast<std::size_t>(at - begin));
    if (refused) return false;
  }
  return carried;
}

void RowListReader::Start(const db::Rowset& rows) { available = rows.ColumnCount(); }

void RowListReader::Row(const db::Rowset& rows) {
  for (unsigned column = 0; column < columns; ++column) {
    const int c = static_cast<int>(column);
    if (c < available) {
      values->push_back(FromUtf8(rows.Text(c)));  // NULL reads as empty text
    } else {
      values->emplace_back();
    }
    held_bytes += sizeof(std::u16string) + values->back().capacity() * sizeof(char16_t);
  }
}

void ScalarReader::Start(const db::Rowset& rows) { any_column = rows.ColumnCount() > 0; }

void ScalarReader::Row(const db::Rowset& rows) {
  if (any_column) {
    AssignUtf16(rows.Text(0), *value);  // NULL reads as empty text
  } else {
    value->clear();
  }
  read = true;
}

void RowXmlWriter::Start(const db::Rowset& rows) {
  for (int c = 0; c < rows.ColumnCount(); ++c) {
    const std::u16string name = FromUtf8(rows.ColumnName(c));
    tags_.emplace_back(u"<" + name + u">", u"</" + name + u">");
  }
}

void RowXmlWriter::Row(const db::Rowset& rows) {
  out_->Append(u"<row>");
  for (int c = 0; c < static_cast<int>(tags_.size()); ++c) {
    out_->Append(tags_[c].first);
    if (!AppendEscapedXml(*out_, rows.Text(c), false)) invalid_ = true;
    out_->Append(tags_[c].second);
  }
  out_->Append(u"</row>");
}

StartTag::StartTag(std::u16string_view element,
                   const std::vector<std::pair<std::u16string_view, int>>& attributes) {
  opening_.append(u"<").append(element);
  for (const auto& attribute : attributes) {
    openings_.append(u" ").append(attribute.first).append(u"=\"");
  }
  std::size_t at = 0;
  for (const auto& [name, column] : attributes) {
    const std::size_t length = name.size() + 3;
    attributes_.push_back({std::u16string_view(openings_).substr(at, length), column});
    at += length;
  }
}

bool StartTag::Append(XmlOutput& out, const db::Rowset& rows, int available) const {
  bool carried = true;
  out.Append(opening_);
  for (const Attribute& attribute : attributes_) {
    out.Append(attribute.opening);
    // NULL reads as empty text: both write nothing.
    if (attribute.column < available) {
      carried &= AppendEscapedXml(out, rows.Text(attribute.column), true,
                                  Unrepresentable::kReplace);
    }
    out.Append(u"\"");
  }
  return carried;
}

std::size_t StartTag::ValueBytes(const db::Rowset& rows, int available) const {
  std::size_t bytes = 0;
  for (const Attribute& attribute : attributes_) {
    if (attribute.column < available) bytes += rows.Text(attribute.column).size();
  }
  return bytes;
}

ElementWriter::ElementWriter(XmlOutput* out, std::u16string_view element,
                             const std::vector<std::pair<std::u16string_view, int>>& attributes,
                             std::vector<std::pair<std::u16string_view, int>> keys,
                             const ElementDocument& document)
    : out_(out),
      start_(element, attributes),
      keys_(std::move(keys)),
      max_units_(document.max_units),
      units_(document.counted),
      sink_(document.sink) {
  closing_.append(u"</").append(element).append(u">");
  root_start_.append(u"<").append(document.root).append(u">");
  root_end_.append(u"</").append(document.root).append(u">");
  root_empty_.append(u"<").append(document.root).append(u"/>");
}

void ElementWriter::Start(const db::Rowset& rows) { available_ = rows.ColumnCount(); }

void ElementWriter::KeepKey(const db::Rowset& rows) {
  if (++replaced_rows_ > kMaxKeptRows) return;
  std::u16string key;
  for (const auto& [name, column] : keys_) {
    if (!key.empty()) key.push_back(u' ');
    key.append(name).push_back(u'=');
    if (column < available_) key.append(FromUtf8(rows.Text(column)));
  }
  if (keys_.empty()) key = u"第" + FromUtf8(std::to_string(rows_)) + u"行";
  replaced_keys_.push_back(std::move(key));
}

void ElementWriter::Row(const db::Rowset& rows) {
  if (Bounded()) {
    // Every three UTF-8 bytes of a value make one UTF-16 unit at least: a row whose values
    // cannot fit in the room left fills the writer before any of it is copied (a single huge
    // value is then held once, by the rowset).
    const std::size_t text_bytes = available_ > 0 ? rows.Text(0).size() : 0;
    const std::size_t least = (start_.ValueBytes(rows, available_) + text_bytes) / 3;
    if (least > max_units_ - std::min(units_, max_units_)) {
      units_ = max_units_ + 1;
      return;
    }
  }
  if (rows_++ == 0) {
    out_->Append(root_start_);
    units_ += kRootStart.size();
  }
  const std::size_t before = out_->size();
  bool carried = start_.Append(*out_, rows, available_);
  if (available_ == 0 || rows.Text(0).empty()) {
    out_->Append(u"/>");
  } else {
    out_->Append(u">");
    carried &= AppendEscapedXml(*out_, rows.Text(0), false, Unrepresentable::kReplace);
    out_->Append(closing_);
  }
  units_ += out_->size() - before;
  if (!carried) KeepKey(rows);
  Drain(kPieceUnits);
}

void ElementWriter::Finish() {
  out_->Append(rows_ > 0 ? root_end_ : root_empty_);
  units_ += kRootEnd.size();
  Drain(0);
}

void ElementWriter::Drain(std::size_t at_least) {
  if (sink_ == nullptr || Full() || out_->size() < at_least) return;
  (*sink_)(out_->view());
  out_->Clear();
}

TreeElementWriter::TreeElementWriter(
    XmlOutput* out, std::u16string_view element,
    const std::vector<std::pair<std::u16string_view, int>>& attributes, int id_column,
    int parent_column)
    : out_(out), start_(element, attributes), id_column_(id_column), parent_column_(parent_column) {
  closing_.append(u"</").append(element).append(u">");
}

void TreeElementWriter::Start(const db::Rowset& rows) { available_ = rows.ColumnCount(); }

std::u16string TreeElementWriter::ColumnText(const db::Rowset& rows, int column) const {
  return column < available_ ? FromUtf8(rows.Text(column)) : std::u16string();
}

void TreeElementWriter::CloseInnermost() {
  out_->Append(open_.back().has_children ? std::u16string_view(closing_) : u"/>");
  open_.pop_back();
}

void TreeElementWriter::Row(const db::Rowset& rows) {
  const std::u16string parent_id = ColumnText(rows, parent_column_);
  if (parent_id.empty()) {
    while (!open_.empty()) CloseInnermost();
  } else {
    while (!open_.empty() && open_.back().id != parent_id) CloseInnermost();
  }
  if (!any_row_) {
    out_->Append(u"<root>");
    any_row_ = true;
  }
  if (!open_.empty() && !open_.back().has_children) {
    out_->Append(u">");
    open_.back().has_children = true;
  }
  start_.Append(*out_, rows, available_);
  open_.push_back({ColumnText(rows, id_column_), false});
}

void TreeElementWriter::Finish() {
  while (!open_.empty()) CloseInnermost();
  out_->Append(any_row_ ? u"</root>" : u"<root/>");
}

}  // namespace korvalis::datasource
