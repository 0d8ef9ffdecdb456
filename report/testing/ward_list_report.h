// An old-format report of a ward's list of 320,000 rows, made by its statement alone, turned
// into an HTML table: a data document of about 63 MB and a page of 64.1 MB as UTF-16, the most
// that the bounds admit of such a list. Its last row is 患者320000, E000320000, bed 21, 医生24,
// 2026-08-11 05:20.
#pragma once

namespace korvalis::report::testing {

inline constexpr char16_t kWardListSql[] =
    u"SELECT '患者' || LEVEL, 'E' || LPAD(LEVEL, 9, '0'), MOD(LEVEL, 60) + 1, '医生' || "
    u"MOD(LEVEL, 37), TO_CHAR(DATE '2026-01-01' + LEVEL / 1440, 'YYYY-MM-DD HH24:MI') "
    u"FROM DUAL CONNECT BY LEVEL <= 320000";
inline constexpr char16_t kWardListNames[] = u"patient,event_no,bed,doctor,in_time";
inline constexpr char16_t kWardListStyle[] =
    u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>\n"
    u"<xsl:output method='html' encoding='UTF-8'/>\n<xsl:template match='/root'>\n"
    u"<HTML><BODY>\n<H2>科室在院病人一览</H2>\n<TABLE border='1'>\n"
    u"<TR><TH>姓名</TH><TH>住院号</TH><TH>床号</TH><TH>主管医生</TH><TH>入院时间</TH></TR>\n"
    u"<xsl:for-each select='patient'>\n<TR><TD><xsl:value-of select='.'/></TD>"
    u"<TD><xsl:value-of select='@event_no'/></TD><TD><xsl:value-of select='@bed'/></TD>"
    u"<TD><xsl:value-of select='@doctor'/></TD><TD><xsl:value-of select='@in_time'/></TD>"
    u"</TR>\n</xsl:for-each>\n</TABLE>\n</BODY></HTML>\n</xsl:template>\n</xsl:stylesheet>";

}  // namespace korvalis::report::testing
