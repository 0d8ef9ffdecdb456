// CDBType is the SQL dialect of a database server: the pieces of SQL text in which the
// supported servers differ (server time, date literals and formatting, row limits, string
// functions, the conditional expression and the clean-up of in-doubt distributed
// transactions). A dialect only produces text; it never touches the database.
//
// CDBOracle and CDBSQLServer are the two dialects. The data sources own one process-wide
// object of each and hand out pointers; callers use them through CDBType only.
//
// Thread-safety: the objects hold no state and every operation is const, so any number of
// threads may share one dialect object.
//
// Texts passed as values (the expression flag false) are placed between single quotes as
// they are: a quote inside them is not doubled. Callers quote untrusted values first.
#pragma once

#include <string>
#include <string_view>

class CDBType {
 public:
  virtual ~CDBType() = default;

  // A query of one row and one column: the server's current time as
  // "YYYY-MM-DD HH24:MI:SS" (19 characters).
  virtual std::u16string GetSysDateSql() const = 0;
  // The string concatenation operator.
  virtual std::u16string GetConcatOperator() const = 0;
  // Text "YYYY-MM-DD HH24:MI:SS" to a date. bExpression: x is SQL, otherwise a value.
  virtual std::u16string ToDate(std::u16string_view x, bool bExpression) const = 0;
  // A date to text in the given format.
  virtual std::u16string ToChar(std::u16string_view x, std::u16string_view format,
                                bool bExpression) const = 0;
  // A date to text "YYYY-MM-DD HH24:MI:SS".
  virtual std::u16string DateToChar(std::u16string_view x, bool bExpression) const = 0;
  // The clause placed after SELECT to limit the rows (empty where the server has none).
  virtual std::u16string GetTopClause(unsigned int n) const = 0;
  // A WHERE condition that limits the rows (always true where the top clause does it).
  virtual std::u16string GetRowLimitCondition(unsigned int n) const = 0;
  virtual std::u16string Length(std::u16string_view x) const = 0;
  virtual std::u16string Substring(std::u16string_view x, std::u16string_view start,
                                   std::u16string_view length, bool bExpression) const = 0;
  // Character translation on one server, whole-string replacement on the other: callers
  // pass arguments for which both mean the same.
  virtual std::u16string Translate(std::u16string_view a, std::u16string_view b,
                                   std::u16string_view c) const = 0;
  // A query whose first column lists the in-doubt distributed transactions; empty when
  // the server needs no clean-up.
  virtual std::u16string GetPendingTransactionSql() const = 0;
  // The statement that forces the rollback of one in-doubt transaction.
  virtual std::u16string GetRollbackForceSql(std::u16string_view id) const = 0;
  // "if a = b then c else d".
  virtual std::u16string Decode(std::u16string_view a, std::u16string_view b,
                                std::u16string_view c, std::u16string_view d) const = 0;
};

class CDBOracle : public CDBType {
 public:
  std::u16string GetSysDateSql() const override;
  std::u16string GetConcatOperator() const override;
  std::u16string ToDate(std::u16string_view x, bool bExpression) const override;
  std::u16string ToChar(std::u16string_view x, std::u16string_view format,
                        bool bExpression) const override;
  std::u16string DateToChar(std::u16string_view x, bool bExpression) const override;
  std::u16string GetTopClause(unsigned int n) const override;
  std::u16string GetRowLimitCondition(unsigned int n) const override;
  std::u16string Length(std::u16string_view x) const override;
  std::u16string Substring(std::u16string_view x, std::u16string_view start,
                           std::u16string_view length, bool bExpression) const override;
  std::u16string Translate(std::u16string_view a, std::u16string_view b,
                           std::u16string_view c) const override;
  std::u16string GetPendingTransactionSql() const override;
  std::u16string GetRollbackForceSql(std::u16string_view id) const override;
  std::u16string Decode(std::u16string_view a, std::u16string_view b, std::u16string_view c,
                        std::u16string_view d) const override;
};

class CDBSQLServer : public CDBType {
 public:
  std::u16string GetSysDateSql() const override;
  std::u16string GetConcatOperator() const override;
  std::u16string ToDate(std::u16string_view x, bool bExpression) const override;
  // The server formats dates in one canonical style only: the format's length cuts that
  // text, so "YYYY-MM-DD" gives the date part.
  std::u16string ToChar(std::u16string_view x, std::u16string_view format,
                        bool bExpression) const override;
  std::u16string DateToChar(std::u16string_view x, bool bExpression) const override;
  std::u16string GetTopClause(unsigned int n) const override;
  std::u16string GetRowLimitCondition(unsigned int n) const override;
  std::u16string Length(std::u16string_view x) const override;
  std::u16string Substring(std::u16string_view x, std::u16string_view start,
                           std::u16string_view length, bool bExpression) const override;
  std::u16string Translate(std::u16string_view a, std::u16string_view b,
                           std::u16string_view c) const override;
  std::u16string GetPendingTransactionSql() const override;
  std::u16string GetRollbackForceSql(std::u16string_view id) const override;
  std::u16string Decode(std::u16string_view a, std::u16string_view b, std::u16string_view c,
                        std::u16string_view d) const override;
};
