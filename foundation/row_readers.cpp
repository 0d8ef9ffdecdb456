#include "foundation/row_readers.h"

#include <xercesc/util/XMLChar.hpp>

#include "platform/com/unicode.h"

namespace korvalis::datasource {
namespace {

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
}  // namespace

bool AppendEscapedXml(std::u16string& out, std::u16string_view value, bool attribute) {
  std::size_t plain_from = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char16_t c = value[i];
    const char16_t* entity = nullptr;
    switch (c) {
      case u'&':
        entity = u"&amp;";
        break;
      case u'<':
        entity = u"&lt;";
        break;
      case u'>':
        if (!attribute) entity = u"&gt;";
        break;
      case u'"':
        if (attribute) entity = u"&quot;";
        break;
      case u'\r':
        entity = u"&#xD;";
        break;
      case u'\n':
        if (attribute) entity = u"&#xA;";
        break;
      case u'\t':
        if (attribute) entity = u"&#x9;";
        break;
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

void RowListReader::Start(const db::Rowset& rows) { available = rows.ColumnCount(); }

void RowListReader::Row(const db::Rowset& rows) {
  for (unsigned column = 0; column < columns; ++column) {
    const int c = static_cast<int>(column);
    if (c < available && !rows.IsNull(c)) {
      values->push_back(FromUtf8(rows.Text(c)));
    } else {
      values->emplace_back();
    }
  }
}

void RowXmlWriter::Start(const db::Rowset& rows) {
  for (int c = 0; c < rows.ColumnCount(); ++c) names_.push_back(FromUtf8(rows.ColumnName(c)));
}

void RowXmlWriter::Row(const db::Rowset& rows) {
  out_->append(u"<row>");
  for (int c = 0; c < static_cast<int>(names_.size()); ++c) {
    out_->push_back(u'<');
    out_->append(names_[c]);
    out_->push_back(u'>');
    if (!rows.IsNull(c)) {
      value_ = FromUtf8(rows.Text(c));
      if (!AppendEscapedXml(*out_, value_, false)) invalid_ = true;
    }
    out_->append(u"</");
    out_->append(names_[c]);
    out_->push_back(u'>');
  }
  out_->append(u"</row>");
}

void ElementWriter::Start(const db::Rowset& rows) { available_ = rows.ColumnCount(); }

void ElementWriter::AppendColumn(const db::Rowset& rows, int column, bool attribute) {
  if (column >= available_ || rows.IsNull(column)) return;
  value_ = FromUtf8(rows.Text(column));
  if (!AppendEscapedXml(*out_, value_, attribute)) invalid_ = true;
}

void ElementWriter::Row(const db::Rowset& rows) {
  if (!any_row_) out_->append(u"<root>");
  any_row_ = true;
  out_->push_back(u'<');
  out_->append(element_);
  for (const auto& [name, column] : attributes_) {
    out_->push_back(u' ');
    out_->append(name);
    out_->append(u"=\"");
    AppendColumn(rows, column, true);
    out_->push_back(u'"');
  }
  if (available_ == 0 || rows.IsNull(0) || rows.Text(0).empty()) {
    out_->append(u"/>");
    return;
  }
  out_->push_back(u'>');
  AppendColumn(rows, 0, false);
  out_->append(u"</");
  out_->append(element_);
  out_->push_back(u'>');
}

}  // namespace korvalis::datasource
