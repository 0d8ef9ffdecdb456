#include "tools/row_printer.h"

#include <string>
#include <string_view>

#include "foundation/row_readers.h"
#include "platform/com/unicode.h"

namespace korvalis::tools {
namespace {

// `utf8` escaped for XML element text or an attribute value, in UTF-8.
void AppendXml(std::string& out, std::string_view utf8, bool attribute) {
  datasource::XmlOutput escaped;
  datasource::AppendEscapedXml(escaped, utf8, attribute, datasource::Unrepresentable::kReplace);
  out.append(ToUtf8(escaped.view()));
}

void Write(const std::string& text, std::FILE* out) {
  std::fwrite(text.data(), 1, text.size(), out);
}

void PrintText(db::Rowset& rows, std::FILE* out) {
  std::string line;
  for (int i = 0; i < rows.ColumnCount(); ++i) {
    if (i > 0) line.push_back('\t');
    line.append(rows.ColumnName(i));
  }
  line.push_back('\n');
  Write(line, out);
  while (rows.Next()) {
    line.clear();
    for (int i = 0; i < rows.ColumnCount(); ++i) {
      if (i > 0) line.push_back('\t');
      if (!rows.IsNull(i)) line.append(rows.Text(i));
    }
    line.push_back('\n');
    Write(line, out);
  }
}

void PrintXml(db::Rowset& rows, std::FILE* out) {
  // Each column's opening tag, its name escaped once.
  std::vector<std::string> openings;
  for (int i = 0; i < rows.ColumnCount(); ++i) {
    std::string opening = "<column name=\"";
    AppendXml(opening, rows.ColumnName(i), true);
    openings.push_back(opening + "\">");
  }
  Write("<?xml version=\"1.0\" encoding=\"UTF-8\"?><root>", out);
  std::string row;
  try {
    while (rows.Next()) {
      row = "<row>";
      for (int i = 0; i < rows.ColumnCount(); ++i) {
        row.append(openings[i]);
        if (!rows.IsNull(i)) AppendXml(row, rows.Text(i), false);
        row.append("</column>");
      }
      row.append("</row>");
      Write(row, out);
    }
  } catch (...) {
    Write("</root>\n", out);
    throw;
  }
  Write("</root>\n", out);
}

}  // namespace

void PrintRows(db::Rowset& rows, bool xml, std::FILE* out) {
  if (rows.ColumnCount() == 0) return;
  if (xml) {
    PrintXml(rows, out);
  } else {
    PrintText(rows, out);
  }
}

}  // namespace korvalis::tools
