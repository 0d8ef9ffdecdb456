#include "foundation/data/db_type.h"

#include <initializer_list>

namespace {

std::u16string Join(std::initializer_list<std::u16string_view> pieces) {
  size_t size = 0;
  for (std::u16string_view piece : pieces) size += piece.size();
  std::u16string text;
  text.reserve(size);
  for (std::u16string_view piece : pieces) text.append(piece);
  return text;
}

std::u16string Decimal(size_t n) {
  char16_t digits[24];
  char16_t* end = digits + sizeof(digits) / sizeof(digits[0]);
  char16_t* first = end;
  do {
    *--first = static_cast<char16_t>(u'0' + n % 10);
    n /= 10;
  } while (n != 0);
  return std::u16string(first, end);
}

// x itself when it is SQL, x between single quotes when it is a value.
std::u16string Operand(std::u16string_view x, bool bExpression) {
  if (bExpression) return std::u16string(x);
  return Join({u"'", x, u"'"});
}

constexpr std::u16string_view kOracleDateFormat = u"'YYYY-MM-DD HH24:MI:SS'";

}  // namespace

std::u16string CDBOracle::GetSysDateSql() const {
  return u"SELECT TO_CHAR(SYSDATE, 'YYYY-MM-DD HH24:MI:SS') FROM DUAL";
}

std::u16string CDBOracle::GetConcatOperator() const { return u"||"; }

std::u16string CDBOracle::ToDate(std::u16string_view x, bool bExpression) const {
  return Join({u"to_date(", Operand(x, bExpression), u", ", kOracleDateFormat, u")"});
}

std::u16string CDBOracle::ToChar(std::u16string_view x, std::u16string_view format,
                                 bool bExpression) const {
  return Join({u"to_char(", Operand(x, bExpression), u", '", format, u"')"});
}

std::u16string CDBOracle::DateToChar(std::u16string_view x, bool bExpression) const {
  return Join({u"to_char(", Operand(x, bExpression), u", ", kOracleDateFormat, u")"});
}

std::u16string CDBOracle::GetTopClause(unsigned int) const { return std::u16string(); }

std::u16string CDBOracle::GetRowLimitCondition(unsigned int n) const {
  return Join({u" ROWNUM < ", Decimal(n)});
}

std::u16string CDBOracle::Length(std::u16string_view x) const {
  return Join({u"LENGTH(", x, u")"});
}

std::u16string CDBOracle::Substring(std::u16string_view x, std::u16string_view start,
                                    std::u16string_view length, bool bExpression) const {
  return Join({u"SUBSTR(", Operand(x, bExpression), u", ", start, u", ", length, u")"});
}

std::u16string CDBOracle::Translate(std::u16string_view a, std::u16string_view b,
                                    std::u16string_view c) const {
  return Join({u" TRANSLATE(", a, u", ", b, u", ", c, u") "});
}

std::u16string CDBOracle::GetPendingTransactionSql() const {
  return u"SELECT LOCAL_TRAN_ID FROM DBA_2PC_PENDING";
}

std::u16string CDBOracle::GetRollbackForceSql(std::u16string_view id) const {
  return Join({u"ROLLBACK FORCE '", id, u"'"});
}

std::u16string CDBOracle::Decode(std::u16string_view a, std::u16string_view b,
                                 std::u16string_view c, std::u16string_view d) const {
  return Join({u"DECODE(", a, u", ", b, u", ", c, u", ", d, u")"});
}

std::u16string CDBSQLServer::GetSysDateSql() const {
  return u"SELECT CONVERT(CHAR(19), GETDATE(), 20)";
}

std::u16string CDBSQLServer::GetConcatOperator() const { return u"+"; }

std::u16string CDBSQLServer::ToDate(std::u16string_view x, bool bExpression) const {
  return Join({u"CONVERT(DATETIME, ", Operand(x, bExpression), u", 20)"});
}

std::u16string CDBSQLServer::ToChar(std::u16string_view x, std::u16string_view format,
                                    bool bExpression) const {
  return Join({u"CONVERT(CHAR(", Decimal(format.size()), u"), ", Operand(x, bExpression),
               u", 20)"});
}

std::u16string CDBSQLServer::DateToChar(std::u16string_view x, bool bExpression) const {
  return Join({u"CONVERT(CHAR(19), ", Operand(x, bExpression), u", 20)"});
}

std::u16string CDBSQLServer::GetTopClause(unsigned int n) const {
  return Join({u" TOP  ", Decimal(n)});
}

std::u16string CDBSQLServer::GetRowLimitCondition(unsigned int) const { return u" 1 = 1 "; }

std::u16string CDBSQLServer::Length(std::u16string_view x) const {
  return Join({u"LEN(", x, u")"});
}

std::u16string CDBSQLServer::Substring(std::u16string_view x, std::u16string_view start,
                                       std::u16string_view length, bool bExpression) const {
  return Join({u"SUBSTRING(", Operand(x, bExpression), u", ", start, u", ", length, u")"});
}

std::u16string CDBSQLServer::Translate(std::u16string_view a, std::u16string_view b,
                                       std::u16string_view c) const {
  return Join({u" REPLACE(", a, u", ", b, u", ", c, u") "});
}

std::u16string CDBSQLServer::GetPendingTransactionSql() const { return std::u16string(); }

std::u16string CDBSQLServer::GetRollbackForceSql(std::u16string_view) const {
  return std::u16string();
}

std::u16string CDBSQLServer::Decode(std::u16string_view a, std::u16string_view b,
                                    std::u16string_view c, std::u16string_view d) const {
  return Join({u"CASE ", a, u" WHEN ", b, u" THEN ", c, u" ELSE ", d, u" END "});
}
