// The syntax tree of one Oracle SQL statement, as the parser builds it and the translator
// reads and rewrites it.
//
// Thread-safety: plain data; a tree belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/row_lock.h"

namespace korvalis::db::sql {

struct Select;
struct Expr;
using ExprPtr = std::unique_ptr<Expr>;
using SelectPtr = std::unique_ptr<Select>;

// A name as written: unquoted names are kept in upper case, quoted ones as written.
struct Name {
  std::string text;
  bool quoted = false;
  bool empty() const { return text.empty(); }
};

// A declared Oracle type: VARCHAR2(20), NUMBER(10,2), DATE ...
struct TypeName {
  std::string name;     // upper case: VARCHAR2, NVARCHAR2, CHAR, NUMBER, INTEGER, DATE, BLOB, CLOB ...
  int length = -1;      // VARCHAR2(n), CHAR(n); -1 when not given
  bool length_in_chars = false;  // VARCHAR2(n CHAR): n counts characters, not bytes
  int precision = -1;   // NUMBER(p[,s])
  int scale = -1;
};

enum class ExprKind {
  kNull,        // NULL (and the empty text literal)
  kNumber,      // text holds the literal
  kString,      // text holds the value
  kColumn,      // parts: [schema.][table.]column
  kStar,        // * or t.* (only in a select list and COUNT(*))
  kUnary,       // op: "-", "+", "NOT", "PRIOR", "CONNECT_BY_ROOT"
  kBinary,      // op: OR AND = <> < <= > >= + - * / ||
  kFunction,    // text: upper-case name (DBMS_RANDOM.VALUE included); args; distinct; over
  kCase,        // args: [operand] (when, then)* [else]; has_operand, has_else
  kSubquery,    // scalar subquery
  kExists,      // EXISTS (subquery); negated
  kInList,      // args[0] IN (args[1..]); negated
  kInSubquery,  // args[0] IN (subquery) or (a, b) IN (subquery); negated
  kBetween,     // args: value, low, high; negated
  kLike,        // args: value, pattern[, escape]; negated
  kIsNull,      // args[0] IS [NOT] NULL; negated
  kCast,        // CAST(args[0] AS type)
  kRownum,      // ROWNUM
  kSysdate,     // SYSDATE
  kLevel,       // text: LEVEL, CONNECT_BY_ISLEAF or CONNECT_BY_ISCYCLE (hierarchical queries)
  kRow,         // (a, b): a row of values, left side of IN
};

// The call EXTRACT(field FROM value) is read into: its name is no name a statement can write.
inline constexpr const char* kExtractField = "EXTRACT FROM";

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
  enum Nulls { kDefault, kFirst, kLast } nulls = kDefault;
};

// One end of a window frame; `offset` is given for kPreceding and kFollowing.
struct FrameBound {
  enum Kind { kUnboundedPreceding, kPreceding, kCurrentRow, kFollowing, kUnboundedFollowing };
  Kind kind = kCurrentRow;
  ExprPtr offset;
};

// ROWS or RANGE BETWEEN start AND end (the short form's end is CURRENT ROW).
struct WindowFrame {
  bool range = false;
  FrameBound start, end;
};

struct Window {
  std::vector<ExprPtr> partition_by;
  std::vector<OrderItem> order_by;
  std::unique_ptr<WindowFrame> frame;  // absent: Oracle's default frame
};

struct Expr {
  ExprKind kind;
  std::string text;                 // literal, function or column name, operator
  std::vector<Name> parts;          // kColumn, kStar: the qualifying names then the column
  std::vector<ExprPtr> args;
  SelectPtr subquery;
  TypeName type;                    // kCast
  std::unique_ptr<Window> over;     // kFunction with OVER (...)
  // LISTAGG's WITHIN GROUP (ORDER BY ...): the direction of each key, whose expression is
  // args[2 + i] (after the value and the delimiter), so that every pass sees the keys.
  std::vector<OrderItem> within_group;
  bool negated = false;
  bool distinct = false;            // kFunction: COUNT(DISTINCT x)
  bool outer_join = false;          // kColumn followed by (+)
  bool has_operand = false;         // kCase
  bool has_else = false;            // kCase
  size_t begin = 0, end = 0;        // source span, for result column names

  explicit Expr(ExprKind k) : kind(k) {}

  // Nodes are many and short-lived: they come from a per-thread free list.
  static void* operator new(size_t size);
  static void operator delete(void* p);
};

struct SelectItem {
  ExprPtr expr;
  Name alias;
  size_t begin = 0, end = 0;  // the expression as written (statement offsets), for its column name
};

enum class JoinKind { kNone, kInner, kLeft, kRight, kFull, kCross };

// One item of a FROM list: a table, an inline view, or a join of two items.
struct TableRef {
  enum Kind { kTable, kSubquery, kJoin } kind = kTable;
  Name schema;
  Name table;
  SelectPtr subquery;
  Name alias;
  JoinKind join = JoinKind::kNone;
  std::unique_ptr<TableRef> left, right;
  ExprPtr on;
  std::vector<Name> using_columns;
};

struct SelectCore {
  bool distinct = false;
  std::vector<SelectItem> items;
  std::vector<TableRef> from;
  ExprPtr where;
  std::vector<ExprPtr> group_by;
  ExprPtr having;
  ExprPtr connect_by;   // hierarchical queries
  ExprPtr start_with;
  bool nocycle = false; // CONNECT BY NOCYCLE
  // Set by the rownum_limit pass (rewrite_passes.h): the rows this level keeps, its ROWNUM
  // bounds in WHERE having become TRUE.
  std::optional<int64_t> rownum_limit;
  // Set by the rownum_limit pass where ROWNUM stands in WHERE in any other way: the first
  // ROWNUM of each run of ROWNUMs over which WHERE reads alike, 1 first. The level numbers its
  // rows as they pass WHERE, each row read with the ROWNUM it would get.
  std::vector<int64_t> rownum_runs;
};

enum class SetOp { kUnion, kUnionAll, kMinus, kIntersect };

struct Select {
  std::vector<SelectCore> cores;  // cores[i] is joined to cores[i-1] by ops[i-1]
  std::vector<SetOp> ops;
  std::vector<OrderItem> order_by;
  bool order_siblings = false;  // ORDER SIBLINGS BY: order_by orders the siblings of a tree
  std::optional<RowLock> for_update;  // of a query statement alone
};

struct ColumnDef {
  Name name;
  TypeName type;
  ExprPtr default_value;
  std::string default_text;  // the DEFAULT expression as written
  ExprPtr generated;         // a virtual column: GENERATED ALWAYS AS (expr) VIRTUAL
  bool not_null = false;
  bool primary_key = false;
  bool unique = false;
  Name constraint_name;      // of an inline PRIMARY KEY / UNIQUE
  ExprPtr check;
  Name check_name;           // CONSTRAINT name CHECK (...)
  Name references_table;
  Name references_name;      // CONSTRAINT name REFERENCES ...
  std::vector<Name> references_columns;
};

struct TableConstraint {
  enum Kind { kPrimaryKey, kUnique, kForeignKey, kCheck } kind;
  Name name;
  std::vector<Name> columns;
  Name references_table;
  std::vector<Name> references_columns;
  bool on_delete_cascade = false;
  ExprPtr check;
};

struct Assignment {
  std::vector<Name> columns;  // one column, or (a, b) = (subquery)
  ExprPtr value;
};

enum class StatementKind {
  kSelect, kInsert, kUpdate, kDelete,
  kCreateTable, kCreateIndex, kCreateView, kComment,
  kDropTable, kDropView, kDropIndex, kTruncate,
  kCommit, kRollback,
  kRollbackForce,  // ROLLBACK FORCE 'id': comment holds the id
};

struct Statement {
  StatementKind kind;
  SelectPtr select;                  // kSelect, INSERT ... SELECT, CREATE VIEW
  Name table;                        // DML and DDL target
  Name alias;                        // DML table alias
  std::vector<Name> columns;         // INSERT column list, CREATE INDEX columns, view columns
  std::vector<bool> descending;      // CREATE INDEX column order
  std::vector<ExprPtr> values;       // INSERT ... VALUES
  std::vector<Assignment> assignments;  // UPDATE SET
  ExprPtr where;                     // UPDATE, DELETE
  std::vector<ColumnDef> column_defs;   // CREATE TABLE
  std::vector<TableConstraint> constraints;
  Name index;                        // CREATE INDEX name, DROP INDEX
  bool unique = false;               // CREATE UNIQUE INDEX
  bool text_index = false;           // CREATE INDEX ... INDEXTYPE IS CTXSYS.CONTEXT
  std::string index_parameters;      // its PARAMETERS ('...')
  bool or_replace = false;           // CREATE OR REPLACE VIEW
  Name comment_column;               // COMMENT ON COLUMN t.c
  std::string comment;               // COMMENT ... IS 'text'
  bool comment_on_column = false;

  explicit Statement(StatementKind k) : kind(k) {}
};

}  // namespace korvalis::db::sql
