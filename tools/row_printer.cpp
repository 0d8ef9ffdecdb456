#include "tools/row_printer.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "foundation/data/row_readers.h"
#include "platform/text/unicode.h"

namespace korvalis::tools {
namespace {

// `utf8` escaped for XML element text or an attribute value, in UTF-8.
void AppendXml(std::string& out, std::string_view utf8, bool attribute) {
  datasource::XmlOutput escaped;
  datasource::AppendEscapedXml(escaped, utf8, attribute, datasource::Unrepresentable::kReplace);
  out.append(ToUtf8(escaped.view()));
}

// A tab-separated field: tab, line feed, carriage return and backslash escaped.
void AppendField(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out.push_back(c);
    }
  }
}

// What stands for a BLOB's bytes, which are no text to show: "(BLOB, 1024 bytes)".
std::string BlobNotice(size_t bytes) {
  return "(BLOB, " + std::to_string(bytes) + (bytes == 1 ? " byte)" : " bytes)");
}

void Write(const std::string& text, std::FILE* out) {
  std::fwrite(text.data(), 1, text.size(), out);
}

// A value is escaped and written in pieces of at most this many bytes, so that a huge value (up
// to the server's 1 GB) is not held again whole while it is printed.
constexpr size_t kPieceBytes = size_t{64} << 10;

// Writes what `pending` holds once it holds a piece.
void WriteFullPiece(std::string& pending, std::FILE* out) {
  if (pending.size() < kPieceBytes) return;
  Write(pending, out);
  pending.clear();
}

// Calls `append` with the pieces of `text` in order, each cut before a UTF-8 lead byte (a text
// that is no UTF-8 anywhere), and writes what `pending` holds after each.
template <class Append>
void AppendInPieces(std::string& pending, std::string_view text, std::FILE* out,
                    const Append& append) {
  while (!text.empty()) {
    size_t cut = std::min(text.size(), kPieceBytes);
    while (cut < text.size() && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
      --cut;
    }
    if (cut == 0) cut = std::min(text.size(), kPieceBytes);
    append(pending, text.substr(0, cut));
    text.remove_prefix(cut);
    WriteFullPiece(pending, out);
  }
}

long long PrintText(db::Rowset& rows, std::FILE* out) {
  std::string line;
  for (int i = 0; i < rows.ColumnCount(); ++i) {
    if (i > 0) line.push_back('\t');
    AppendField(line, rows.ColumnName(i));
  }
  line.push_back('\n');
  Write(line, out);
  long long count = 0;
  while (rows.Next()) {
    line.clear();
    for (int i = 0; i < rows.ColumnCount(); ++i) {
      if (i > 0) line.push_back('\t');
      if (rows.IsNull(i)) continue;
      if (rows.IsBlob(i)) {
        line.append(BlobNotice(rows.Text(i).size()));
      } else {
        AppendInPieces(line, rows.Text(i), out, AppendField);
      }
    }
    line.push_back('\n');
    Write(line, out);
    ++count;
  }
  return count;
}

long long PrintXml(db::Rowset& rows, std::FILE* out) {
  // Each column's opening tag, its name escaped once.
  std::vector<std::string> openings;
  for (int i = 0; i < rows.ColumnCount(); ++i) {
    std::string opening = "<column name=\"";
    AppendXml(opening, rows.ColumnName(i), true);
    openings.push_back(opening + "\">");
  }
  Write("<?xml version=\"1.0\" encoding=\"UTF-8\"?><root>", out);
  std::string row;
  long long count = 0;
  try {
    while (rows.Next()) {
      row = "<row>";
      for (int i = 0; i < rows.ColumnCount(); ++i) {
        row.append(openings[i]);
        if (!rows.IsNull(i)) {
          if (rows.IsBlob(i)) {
            row.append(BlobNotice(rows.Text(i).size()));
          } else {
            AppendInPieces(row, rows.Text(i), out, [](std::string& to, std::string_view piece) {
              AppendXml(to, piece, false);
            });
          }
        }
        row.append("</column>");
      }
      row.append("</row>");
      Write(row, out);
      ++count;
    }
  } catch (...) {
    Write("</root>\n", out);
    throw;
  }
  Write("</root>\n", out);
  return count;
}

}  // namespace

long long PrintRows(db::Rowset& rows, bool xml, std::FILE* out) {
  if (rows.ColumnCount() == 0) return 0;
  return xml ? PrintXml(rows, out) : PrintText(rows, out);
}

}  // namespace korvalis::tools
