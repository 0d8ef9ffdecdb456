#include "platform/db/xml_character_content.h"

#include <cstdint>

#include "platform/text/utf8.h"

namespace korvalis::db::text {

std::string XmlCharacterContent(std::string_view xml) {
  std::string out;
  out.reserve(xml.size());
  size_t i = 0;
  const size_t n = xml.size();
  while (i < n) {
    const char c = xml[i];
    if (c == '<') {
      if (xml.compare(i, 9, "<![CDATA[") == 0) {
        size_t end = xml.find("]]>", i + 9);
        if (end == std::string_view::npos) end = n;
        out.append(xml.substr(i + 9, end - i - 9));
        i = end == n ? n : end + 3;
      } else if (xml.compare(i, 4, "<!--") == 0) {
        size_t end = xml.find("-->", i + 4);
        i = end == std::string_view::npos ? n : end + 3;
      } else {
        // A tag, a declaration or a processing instruction ends at the first '>' outside quotes.
        char quote = 0;
        ++i;
        while (i < n && (quote || xml[i] != '>')) {
          if (quote && xml[i] == quote) {
            quote = 0;
          } else if (!quote && (xml[i] == '"' || xml[i] == '\'')) {
            quote = xml[i];
          }
          ++i;
        }
        ++i;
      }
      out.push_back(' ');  // element boundaries separate words
      continue;
    }
    if (c == '&') {
      const size_t semi = xml.find(';', i);
      if (semi != std::string_view::npos && semi - i <= 10) {
        std::string_view name = xml.substr(i + 1, semi - i - 1);
        uint32_t cp = 0;
        if (name == "lt")
          cp = '<';
        else if (name == "gt")
          cp = '>';
        else if (name == "amp")
          cp = '&';
        else if (name == "quot")
          cp = '"';
        else if (name == "apos")
          cp = '\'';
        else if (name.size() > 1 && name[0] == '#') {
          const bool hex = name[1] == 'x' || name[1] == 'X';
          for (size_t k = hex ? 2 : 1; k < name.size(); ++k) {
            const char d = name[k];
            int v = d >= '0' && d <= '9'          ? d - '0'
                    : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                    : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                  : -1;
            if (v < 0 || cp > 0x10FFFF) {
              cp = 0;
              break;
            }
            cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(v);
          }
        }
        if (cp != 0 && cp <= 0x10FFFF) {
          AppendUtf8(cp, &out);
          i = semi + 1;
          continue;
        }
      }
    }
    out.push_back(c);
    ++i;
  }
  return out;
}

}  // namespace korvalis::db::text
