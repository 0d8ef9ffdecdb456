// A ward's list of patients as a report's rows write it, and the style sheet that makes its
// HTML page: the shared input of the transformation benchmarks.
#pragma once

#include <string>

namespace korvalis::bench {

inline constexpr char kWardListStyle[] =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    "<xsl:output method='html'/><xsl:template match='/root'><HTML><BODY><TABLE>"
    "<xsl:for-each select='patient'><TR><TD><xsl:value-of select='.'/></TD>"
    "<TD><xsl:value-of select='@event_no'/></TD><TD><xsl:value-of select='@bed'/></TD>"
    "<TD><xsl:value-of select='@doctor'/></TD></TR></xsl:for-each></TABLE></BODY></HTML>"
    "</xsl:template></xsl:stylesheet>";

// `rows` patients in a `root` element.
inline std::string WardList(long long rows) {
  std::string text = "<root>";
  for (long long i = 0; i < rows; ++i) {
    const std::string n = std::to_string(i);
    text += "<patient event_no='E" + n + "' bed='" + std::to_string(i % 60) + "' doctor='医生" +
            std::to_string(i % 37) + "'>患者" + n + "</patient>";
  }
  return text + "</root>";
}

}  // namespace korvalis::bench
