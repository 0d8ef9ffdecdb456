// The rewriter and printer behind Translate (sql_translator.h), shared by the files that
// print its parts: the queries and expressions of the Oracle dialect (sql_translator.cpp),
// hierarchical queries (hierarchy.cpp), the dictionary views (dictionary_views.cpp) and the
// text and XML search functions (text_search.cpp).
//
// Thread-safety: a Translator belongs to one translation on one thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/db/catalog.h"
#include "platform/db/ora_date.h"
#include "platform/db/sql_ast.h"
#include "platform/db/sql_translator.h"
#include "platform/text/ascii.h"

namespace korvalis::db {

// The translator's files name the syntax tree's types without their namespace.
using sql::Expr;
using sql::ExprKind;
using sql::Name;
using sql::Select;
using sql::SelectCore;
using sql::Statement;
using sql::StatementKind;
using sql::TableRef;

namespace text {
class TextQuery;
}  // namespace text

namespace detail {

// What the recursive query of a hierarchy is made of (hierarchy.cpp).
struct TreeParts;

// The most arguments the translator passes to one call of an engine function (which takes at
// most 127); longer argument lists are split into groups.
constexpr size_t kMaxCallArguments = 100;

// Throws the SqlError (kNotSupported) that names a construct the embedded database refuses.
[[noreturn]] void Refuse(const std::string& construct);
void AppendQuotedName(std::string_view name, std::string* out);
// Translator::AppendName where the engine keeps names marked (`marked`) or as they are.
void AppendEngineName(std::string_view name, bool marked, std::string* out);
// A name as the schema keeps it: a quoted name as written, any other in upper case.
std::string NameOf(const Name& n);
void AppendStringLiteral(std::string_view value, std::string* out);
bool ContainsRownum(const Expr& e);
// A query anywhere within `e`.
bool ContainsQuery(const Expr& e);
bool IsAggregateName(std::string_view f);
// A function called with fewer than `lo` or more than `hi` arguments is refused (ORA-00909).
void CheckArity(const Expr& e, size_t lo, size_t hi);
// Refuses a condition (a comparison, IN, LIKE, REGEXP_LIKE ...) where the value `e` or a value
// within it holds one, as Oracle's parser does (searched CASE reads its WHEN operands as truth
// values).
void RefuseConditionAsValue(const Expr& e);
bool ContainsAggregate(const Expr& e);
// Whether values of types `a` and `b` may stand in one column or as results of one expression:
// numbers, texts and dates do not mix; NULL and values of unknown type stand beside any.
bool SameTypeGroup(SqlType a, SqlType b);
// Adds `t` to the type group `*group` of the values of `what` (CASE results, COALESCE ...),
// which Oracle refuses to mix (ORA-00932).
void JoinTypeGroup(SqlType t, std::string_view what, SqlType* group);
// A date compares with no number and converts to none, neither way round: Oracle refuses the
// statement whatever its rows (ORA-00932). `expected` is the type of the value that comes
// first.
void RefuseDateComparedWithNumber(SqlType expected, SqlType got);
// Whether the HAVING of `core` keeps rows rather than groups: the level has no GROUP BY and
// no aggregate in its select list or HAVING (grouping_check.cpp).
bool HavingKeepsRows(const SelectCore& core);
// Whether ORDER BY's `e` is the name of a select item of `core`, which it reads before the
// columns (grouping_check.cpp).
bool NamesSelectItem(const Expr& e, const SelectCore& core);
// Whether `core` groups its rows: it has GROUP BY or an aggregate in its select list or HAVING.
bool GroupsRows(const SelectCore& core);
bool ContainsWindow(const Expr& e);
// The values a query gives per row, 0 where a star leaves the count to its tables.
size_t SelectWidth(const Select& select);
// A query compared with `width` values must give as many (ORA-00913, ORA-00947).
void CheckSelectWidth(const Select& select, size_t width);
// A literal number (or numeric text) as a double.
bool LiteralNumber(const Expr& e, double* value);
// A text literal read as a date in the default format is read when the statement is
// translated: one that is no date is refused (ORA-01861), one outside the range of dates too
// (ORA-01841). The date it reads as; nothing for any other value and the empty text.
std::optional<DateTime> ReadDateLiteral(const Expr& e);
// Arithmetic of number literals alone (0.5 / 86400): the engine computes it once for the
// statement.
bool IsArithmeticOfLiterals(const Expr& e);
// The operands of a chain of operators from `ops`, left to right: the chain a op b op c is
// the left-deep tree ((a op b) op c); right operands of the same operators are kept whole
// unless `associative`. `chain_ops` receives the operator before each operand after the first.
void CollectChain(const Expr& e, std::initializer_list<std::string_view> ops, bool associative,
                  std::vector<const Expr*>* operands, std::vector<std::string_view>* chain_ops);

struct Source {
  // The name that qualifies its columns, as the schema keeps names (detail::NameOf): the
  // alias, or the table's name when it has none.
  std::string alias;
  const TableInfo* table = nullptr;
  std::vector<ColumnInfo> derived;  // columns of an inline view
  bool is_derived = false;
  // Rows numbered as they pass WHERE: the view holds the numbering column besides the item's
  // own columns, which * lists one by one.
  bool numbered = false;
  // Rows numbered over several FROM items: the view (quoted) holding this item's columns,
  // each as "<alias>$<column>".
  std::string renamed_in;
  // The columns a join with USING merges into one, which no qualifier may name.
  std::vector<std::string> merged;

  bool Merges(std::string_view column) const {
    for (const std::string& m : merged) {
      if (m == column) return true;
    }
    return false;
  }

  const ColumnInfo* Find(std::string_view column) const {
    if (table) return table->Find(column);
    // A name of exactly that case first: "n" and N may both be columns of an inline view.
    for (const ColumnInfo& c : derived) {
      if (c.name == column) return &c;
    }
    for (const ColumnInfo& c : derived) {
      if (EqualsIgnoringAsciiCase(c.name, column)) return &c;
    }
    return nullptr;
  }
};

// A value a hierarchical query carries down its tree (CONNECT_BY_ROOT x or
// SYS_CONNECT_BY_PATH(x, separator)), read through the node of the query level that asks for it.
struct HierarchyValue {
  const Expr* node = nullptr;
  std::string sql;  // the tree's column
  SqlType type = SqlType::kUnknown;
};

// A column * stands for where FROM joins with USING: a source's own, or a column the join merges.
struct JoinedColumn {
  static constexpr size_t kMerged = static_cast<size_t>(-1);
  size_t source = kMerged;  // the index of the source among the scope's sources
  std::string name;
};

// A number no other scope of the process has had, telling scopes apart beyond their addresses.
uint64_t NextScopeSerial();

struct Scope {
  uint64_t serial = NextScopeSerial();
  std::vector<Source> sources;
  // FROM joins with USING: the columns USING merges (read unqualified, "$<column>" where the
  // sources are renamed), and what * stands for in Oracle's order: the merged columns once,
  // first, then the others of the left and of the right item.
  std::vector<std::string> using_columns;
  std::vector<JoinedColumn> joined_columns;
  const Scope* parent = nullptr;
  bool rownum_in_select_list = false;  // ROWNUM is allowed as a select item here
  // A level that groups its rows, while its select list and HAVING are written: what the
  // subqueries there may read of its columns outside aggregates.
  const SelectCore* grouping = nullptr;
  std::string rownum_sql;              // what ROWNUM reads here, when the level numbers its rows
  std::string level_sql;               // a hierarchical query: what LEVEL reads here
  std::string hierarchy_order_sql;     // a hierarchical query: its rows in depth-first order
  std::string tree_alias;              // a hierarchical query: the tree's name, quoted
  std::vector<HierarchyValue> hierarchy_values;  // a hierarchical query: its carried values
  std::string is_leaf_sql;   // a hierarchical query: CONNECT_BY_ISLEAF when the level reads it
  std::string is_cycle_sql;  // a hierarchical query: CONNECT_BY_ISCYCLE when the level reads it
};

// Refuses an ORDER BY item of a DISTINCT level that reads a column of its rows other than
// through the select list's expressions and aliases (ORA-01791; grouping_check.cpp).
void CheckDistinctOrder(const SelectCore& core, const Scope& scope,
                        const std::vector<sql::OrderItem>& order_by);
// Whether `a` and `b` are one expression: the same operators, functions and literals over the
// same columns of the level `scope` reads (T.X and X alike where both name one column).
bool SameExpression(const Expr& a, const Expr& b, const Scope& scope);

// A table being created (ddl_translator.cpp).
struct NewTable;

// The digits a NUMBER can carry on the server (server_number_rounding.cpp): bounded, a
// multiple of 10^low below 10^high in magnitude; stored, of a column or a function, at most a
// NUMBER's digits anywhere; or computed by arithmetic that rounds, or must round, to a
// NUMBER's digits.
struct NumberSpan {
  enum class Kind { kBounded, kStored, kComputed };
  Kind kind = Kind::kStored;
  int high = 0;
  int low = 0;
};

class Translator {
 public:
  Translator(const Catalog& catalog, std::string_view statement, Engine engine)
      : catalog_(catalog), statement_(statement), pg_(engine == Engine::kPostgres) {}

  Translation Run(Statement& stmt);
  BlobStatement Blob(Statement& stmt);
  // The deepest nesting of queries the last Run printed (1: a query without subqueries).
  int deepest_query() const { return deepest_query_; }
  // Prints the statement (on the embedded engine) with each inline view that reads no column
  // of an enclosing query as a common table expression of the statement, which the engine's
  // parser reads flat however deep the views nest. Nothing where a statement that reads them
  // cannot begin with WITH.
  std::optional<Translation> RunWithNamedViews(Statement& stmt);

 private:
  Translation RunStatement(Statement& stmt);

  // ---- queries ----
  // Prints a query; returns the names and types of its result columns.
  std::vector<ColumnInfo> EmitSelect(Select& select, const Scope* parent, std::string* out,
                                     const std::vector<std::string>* forced_names = nullptr);
  // The ORDER BY of a compound query printed from `start`, which names its result columns.
  void EmitCompoundOrder(Select& select, const std::vector<ColumnInfo>& columns,
                         const Scope* parent, size_t start, std::string* out);
  // Types as text the columns of `core`'s select items written as the empty text literal.
  void TypeEmptyTextLiterals(const SelectCore& core, std::vector<ColumnInfo>* columns) const;
  std::vector<ColumnInfo> EmitCore(SelectCore& core, const Scope* parent, std::string* out,
                                   bool alone, Select* owner,
                                   const std::vector<std::string>* forced_names);
  // The FROM of `core` into *from_sql and its sources into `scope`: its rows limited in a view
  // by `limit_in_view` when given, a tree's order taken from `tree_owner` when given. True,
  // printing nothing, for a query of DUAL alone.
  bool EmitCoreFrom(SelectCore& core, const Scope* parent, Select* tree_owner, Select* owner,
                    std::optional<int64_t> limit_in_view, Scope* scope, std::string* from_sql);
  void EmitLimitedFrom(SelectCore& core, const Scope* parent, int64_t limit, Scope* scope,
                       std::string* from_sql);
  void EmitNumberedFrom(SelectCore& core, const Scope* parent, Scope* scope,
                        std::string* from_sql);
  std::string EmitRenamedItems(SelectCore& core, Scope* inner_scope, std::string* from);
  void AppendRownumWalk(const SelectCore& core, const std::string& mask, const std::string& order,
                        std::string* out);
  void NumberTreeRows(SelectCore& core, Scope* scope, std::string* from_sql);
  // A condition reading ROWNUM (WHERE, CONNECT BY) printed once per run of ROWNUMs, as a mask
  // of the runs it holds in, and as the condition that some run holds.
  void EmitRuns(const Expr& condition, const std::vector<int64_t>& runs, Scope* inner_scope,
                std::string* mask, std::string* any);
  std::vector<ColumnInfo> EmitSelectList(SelectCore& core, Scope* scope, bool only_dual,
                                         const std::vector<std::string>* forced_names,
                                         std::string* out);
  void EmitStar(const Expr& star, const Scope& scope, bool only_dual,
                std::vector<ColumnInfo>* columns, std::string* out);
  void EmitJoinedStar(const Scope& scope, std::vector<ColumnInfo>* columns, std::string* out);
  void EmitFilters(SelectCore& core, Scope* scope, std::string* out);
  void EmitFrom(std::vector<TableRef>& from, Scope* scope, std::string* out);
  // The columns of `ref`, whose sources start at `*next` in `scope`, as * lists them; notes the
  // columns its joins with USING merge.
  static void CollectJoinedColumns(const TableRef& ref, Scope* scope, size_t* next,
                                   std::vector<JoinedColumn>* columns);
  // The merged column `name` of a join with USING as * lists it, into `columns`.
  static void AddMergedColumn(const Scope& scope, const std::string& name,
                              std::vector<ColumnInfo>* columns);
  void EmitTableRef(TableRef& ref, Scope* scope, std::string* out);
  void EmitInlineView(TableRef& ref, Scope* scope, std::string* out);
  // Notes that the query being printed reads a column of `scope`'s level (0: of a level the
  // front end cannot tell).
  void NoteLevelRead(uint64_t scope_serial) {
    oldest_level_read_ = std::min(oldest_level_read_, scope_serial);
  }
  // The named inline views as the WITH clause that begins a statement ("" where there are
  // none); they are given once.
  std::string TakeNamedViews();
  bool PrefixNamedViews(Translation* tr);
  // `exact_keys`: computed numbers sort by their exact values (the items of a query block's
  // own ORDER BY, never of a compound query's, which names result columns).
  // `core`: the query the items order, where they may name its tables' columns.
  void EmitOrderBy(std::vector<sql::OrderItem>& items, const Scope* scope, std::string* out,
                   bool exact_keys = false, const sql::SelectCore* core = nullptr);
  // DESC and where NULL sorts, as Oracle sorts it (as the largest value).
  // `never_null`: the item's values are never NULL, where the NULLS clause is left out so that
  // an index in the item's order can give it.
  static void AppendOrderDirection(const sql::OrderItem& item, std::string* out,
                                   bool never_null = false);
  // Whether `e` names a column declared NOT NULL of a table `core` reads, which no outer join
  // of `core` extends with NULLs and no grouping of it sets to NULL.
  bool NamesColumnNeverNull(const Expr& e, const Scope& scope, const sql::SelectCore& core);

  // ---- dictionary views (dictionary_views.cpp) ----
  // Prints the FROM item when it names a dictionary view; false when it does not.
  bool EmitDictionaryView(const TableRef& ref, Scope* scope, std::string* out);

  // ---- regular expressions (regexp_sql.cpp) ----
  // REGEXP_LIKE, REGEXP_COUNT, REGEXP_SUBSTR, REGEXP_INSTR and REGEXP_REPLACE.
  SqlType EmitRegexp(const Expr& e, const Scope* scope, std::string* out);

  // ---- text and XML search (text_index_sql.cpp) ----
  // CONTAINS, EXTRACTVALUE and EXTRACT.
  SqlType EmitTextFunction(const Expr& e, const Scope* scope, std::string* out);
  // The text index CONTAINS reads: its table and whether it is the XML one; no source for a
  // column searched row by row.
  struct TextIndexOf {
    const Source* source = nullptr;
    std::string index;
    bool xml = false;
  };
  TextIndexOf FindTextIndex(const Expr& column, const text::TextQuery* parsed, const Scope* scope);
  // EXTRACTVALUE(xml, path) and EXTRACT(xml, path).
  SqlType EmitXmlExtract(const Expr& e, const Scope* scope, std::string* out);
  // CONTAINS on a PostgreSQL server: the condition of a literal query over the column's
  // units, or a query compiled when the statement runs; `parsed` is null for the latter.
  void EmitServerContains(const Expr& column, const Expr& query, const text::TextQuery* parsed,
                          const TextIndexOf& target, const Scope* scope, std::string* out);
  // CONTAINS on the embedded file: through the text index where it has one, checked row by
  // row where the index only narrows the search.
  void EmitEmbeddedContains(const Expr& column, const Expr& query, const text::TextQuery* parsed,
                            const TextIndexOf& target, const Scope* scope, std::string* out);
  // `CONTAINS(...) > 0`, printed so that the text index can find the rows; false for any
  // other comparison.
  bool EmitContainsCondition(const Expr& e, const Scope* scope, std::string* out);
  Translation CreateTextIndex(Statement& stmt);
  // The statements that drop the text indexes of a dropped table.
  void DropTextIndexes(const TableInfo& table, Translation* tr);

  // ---- hierarchical queries (hierarchy.cpp) ----
  // Prints the rows of the hierarchy as the FROM item of `core` and sets what LEVEL and the
  // hierarchical operators of the level (in `core` and the ORDER BY of `owner`, the query
  // `core` is alone in, or null) read.
  void EmitHierarchy(SelectCore& core, sql::Select* owner, Scope* scope, std::string* out);
  // The values the tree carries from a root down to each row (CONNECT_BY_ROOT,
  // SYS_CONNECT_BY_PATH) for `nodes`, read from the row of `source` named `alias`.
  void EmitCarriedValues(const std::vector<Expr*>& nodes, const Source& source, const Name& alias,
                         const Scope& row_scope, Scope* scope, TreeParts* parts);
  // CONNECT BY, the parent read as "H$PRIOR"; the runs of ROWNUM it reads, none when it reads
  // no ROWNUM.
  std::vector<int64_t> EmitConnectBy(SelectCore& core, const Source& source, const Name& alias,
                                     const Scope* scope, TreeParts* parts);
  // The keys of ORDER SIBLINGS BY printed for ORDER BY over the rows of the hierarchy's item.
  std::string EmitSiblingOrder(const SelectCore& core, const std::vector<sql::OrderItem>& keys,
                               const Scope& row_scope);
  std::string EmitHierarchyRows(TableRef& ref, const Scope* scope, Source* source,
                                bool* stored_table);
  // The value one SYS_CONNECT_BY_PATH(x, separator) adds for a row, as Oracle writes it and
  // refused when it holds the separator; prints the separator into `separator`.
  std::string EmitPathValue(const Expr& path, const Scope* row_scope, std::string* separator);
  // ORDER BY of the rows of a hierarchy in depth-first pre-order.
  void EmitHierarchyOrder(const Scope& scope, std::string* out);
  // CONNECT_BY_ROOT x and SYS_CONNECT_BY_PATH(x, separator): the tree's column of the node.
  SqlType EmitHierarchyValue(const Expr& e, const Scope* scope, std::string* out);

  // ---- expressions (expression_translator.cpp), one printer per kind of node ----
  SqlType Emit(const Expr& e, const Scope* scope, std::string* out);
  static SqlType EmitNumberLiteral(const Expr& e, std::string* out);
  SqlType EmitUnary(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitCase(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitSubqueryCondition(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitInList(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitBetween(const Expr& e, const Scope* scope, std::string* out);
  // A text literal read as a number is read when the statement is translated: one that is no
  // number is refused (ORA-01722) whatever the rows, as Oracle refuses it, unless it stands in
  // an arm of CASE that a row may not reach, where it fails only when evaluated. The empty
  // text is NULL; a shape's value is no number either, so that its text is refused as written.
  void CheckNumberLiteral(const Expr& e) const;
  // Marks, while it lives, the arms of a CASE after its first condition (or after the operand
  // and first value of a simple CASE) being written: a row may not evaluate them.
  class LazyArms {
   public:
    explicit LazyArms(Translator* t) : t_(t) { ++t_->lazy_arms_; }
    ~LazyArms() { --t_->lazy_arms_; }
    LazyArms(const LazyArms&) = delete;
    LazyArms& operator=(const LazyArms&) = delete;

   private:
    Translator* t_;
  };
  void EmitComparedValue(SqlType compared_with, const Expr& value, const Scope* scope,
                         std::string* out);
  void EmitRowOfValues(const Expr& row, const std::vector<SqlType>* compared_with,
                       const Scope* scope, std::string* out, std::vector<SqlType>* types);
  SqlType EmitPattern(const Expr& e, const Scope* scope, std::string* out);
  // The file's LIKE of a pattern matched from the text's start alone, as GLOB; false, printing
  // nothing, for any other.
  bool EmitAnchoredLike(const Expr& e, std::string* out);
  // Whether the column `e` names is a table's that no index holds.
  bool InNoIndex(const Expr& e, const Scope* scope);
  void BoundLikePrefix(std::string_view pattern, char escape, const std::string& column,
                       size_t start, std::string* out) const;
  SqlType EmitCast(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitPseudoColumn(const Expr& e, const Scope* scope, std::string* out);

  // Binary operators.
  SqlType EmitBinary(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitLogical(const Expr& e, const Scope* scope, std::string* out);
  // Where the operands of a comparison stand in the printed text, and their types.
  struct ComparisonSpans {
    size_t l0 = 0, l1 = 0, r0 = 0;
    SqlType lt = SqlType::kUnknown, rt = SqlType::kUnknown;
  };
  SqlType EmitComparison(const Expr& e, const Scope* scope, std::string* out);
  static void RewriteComparison(const Expr& e, ComparisonSpans* spans, const std::string& left,
                                const std::string& right, std::string* out);
  void ConvertComparedText(const Expr& e, ComparisonSpans* spans, std::string* out);
  // Blank-padded comparison: text literals and CHAR values compared only with each other
  // compare without their trailing blanks ('a ' = 'a'); any VARCHAR2 operand compares as is.
  bool IsBlankPadded(const Expr& e, const Scope* scope);
  static std::string WithoutTrailingBlanks(const std::string& printed);
  void PadComparedText(const Expr& e, const Scope* scope, ComparisonSpans* spans,
                       std::string* out);
  static void ConvertComparedDate(const Expr& e, ComparisonSpans* spans, std::string* out);
  SqlType EmitAdditive(const Expr& e, const Scope* scope, std::string* out);

  // NUMBER arithmetic on the server (server_number_rounding.cpp): a product, and a sum of a
  // computed value, rounded to a NUMBER's digits where its exact result can carry more.
  NumberSpan ServerDigits(const Expr& e, const Scope* scope, int depth);
  // `e` (a product or a sum) is printed inside ora_shown on the server.
  bool ServerRounds(const Expr& e, const Scope* scope);
  // false, printing nothing, where the product or chain of sums needs no rounding.
  bool EmitServerProduct(const Expr& e, const Scope* scope, std::string* out);
  bool EmitServerSum(const Expr& e, const Scope* scope, std::string* out, SqlType* type);
  // left op right where one side may be a date; `literal_l` and `literal_r` tell an operand
  // that is arithmetic of number literals alone (IsArithmeticOfLiterals).
  SqlType CombineAdditive(std::string_view op, const std::string& left, SqlType lt, bool literal_l,
                          const std::string& right, SqlType rt, bool literal_r, std::string* out);
  void EmitConcat(const std::vector<const Expr*>& parts, const Scope* scope, std::string* out);
  void EmitConcatenated(const Expr& e, const Scope* scope, std::string* out);

  // The exact NUMBER arithmetic of the embedded engine (exact_arithmetic.cpp): whether the
  // select item `index` of `core` is computed exactly (as a result of the outermost query, as
  // an exact operand in an inline view, a scalar subquery or a set operation's branch), and
  // its printer.
  bool PrintsExactly(const SelectCore& core, size_t index, const Scope* scope);
  // The query `core` is a block of when its computed columns are exact, else null.
  const Select* ExactOwner(const SelectCore& core) const;
  // The blocks of `select` print their computed columns as exact operands.
  void MarkExactColumns(const Select& select);
  // A value computed in decimal: arithmetic, SUM or AVG, a function of numbers, MIN or MAX or
  // the sign of a computed value, or a column or scalar subquery holding exact operands.
  bool IsComputed(const Expr& e, const Scope* scope);
  // A column or scalar subquery whose values are exact operands.
  bool ExactLeaf(const Expr& e, const Scope* scope);
  // A scalar subquery as printed in `scope`, printed once.
  struct PrintedSubquery {
    std::string sql;
    SqlType type = SqlType::kUnknown;
    bool exact = false;
  };
  const PrintedSubquery& ScalarSubquery(const Expr& e, const Scope* scope);
  PrintedSubquery PrintScalarSubquery(const Expr& e, const Scope* scope, size_t row_width = 1);
  // A set operation's ORDER BY whose items read exact columns: the operation printed from
  // `start` becomes a view that the exact sort keys order. False where no item reads one.
  bool EmitExactCompoundOrder(Select& select, const std::vector<ColumnInfo>& columns,
                              const Scope& scope, size_t start, std::string* out);
  // The function of SUM or AVG (`f`) of a value of type `argument`, in `form`.
  enum class ExactForm { kNone, kOperand, kResult };
  const char* NumberAggregate(std::string_view f, SqlType argument, ExactForm form) const;
  SqlType EmitAggregateArgument(const Expr& e, const Scope* scope, std::string* out);
  // Conditions and sort keys of computed numbers on the embedded engine, compared exactly;
  // false, printing nothing, where no side is computed exactly.
  bool ComputedExactly(const Expr& e, const Scope* scope);
  // Whether the embedded engine reads `e` as text through its exact digits: a value computed
  // exactly, or a number literal of more digits than a double holds (TO_CHAR, ||).
  bool WritesExactDigits(const Expr& e, const Scope* scope);
  // On the embedded engine, a number literal of more digits than a double holds, read as text
  // by a function or a text column: the text of its exact digits, printed into `out`. False,
  // printing nothing, for any other value and on the server, whose numbers keep their digits.
  bool EmitLongLiteralText(const Expr& e, std::string* out);
  bool EmitExactComparison(const Expr& e, const Scope* scope, const ComparisonSpans& spans,
                           std::string* out);
  bool EmitExactBetween(const Expr& e, const Scope* scope, std::string* out);
  bool EmitExactInList(const Expr& e, const Scope* scope, std::string* out);
  // `named_core`: the query block whose select items the key may name by alias or position.
  bool EmitExactSortKey(const Expr& e, const SelectCore* named_core, const Scope* scope,
                        std::string* out);
  bool ExactOperands(const Expr& e, const Scope* scope, int depth);
  // `result`: e is the column itself, not an operand of it.
  SqlType EmitExact(const Expr& e, const Scope* scope, bool result, std::string* out);
  // GROUP BY and PARTITION BY keys, joined by commas: a computed number by its exact value
  // (one number or text for each decimal), anything else as it is.
  void EmitGroupingKeys(const std::vector<sql::ExprPtr>& keys, const Scope* scope,
                        std::string* out);
  // CASE and DECODE whose results are numbers, some computed.
  bool ExactArms(const Expr& e, const Scope* scope, int depth);
  // date - date, an exact quotient of seconds; TRUNC of it, the whole days, an integer the
  // engine holds exactly (one call that reads stored dates by position).
  bool IsDaysBetween(const Expr& e, const Scope* scope);
  bool IsWholeDaysBetween(const Expr& e, const Scope* scope);
  void EmitExactCase(const Expr& e, const Scope* scope, std::string* out);

  // Functions (function_translator.cpp): the table's rows, and a printer for each other one.
  SqlType EmitFunction(const Expr& e, const Scope* scope, std::string* out);
  using Printer = SqlType (Translator::*)(const Expr&, const Scope*, std::string*);
  static Printer FindPrinter(std::string_view name);
  SqlType EmitAnalytic(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitAggregate(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitListagg(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitNvl(const Expr& e, const Scope* scope, std::string* out);
  void ConvertEveryRow(const std::vector<std::string>& conversions, size_t start,
                       std::string* out) const;
  SqlType EmitCoalesce(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitNvl2(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitNullIf(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitLnnvl(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitDecode(const Expr& e, const Scope* scope, std::string* out);
  // Whether DECODE's key and one of its search values are blank-padded.
  bool HasPaddedSearch(const Expr& e, const Scope* scope);
  SqlType EmitPaddedDecode(const Expr& e, const Scope* scope, std::string* out);
  // Converts the value of type `t` printed at out[start..] to `target`, the type of the first
  // argument of NVL or the first result of DECODE, as Oracle converts the others: a number or
  // a date into text, a text into a number (a literal that is no number fails here, ORA-01722)
  // or a date.
  void ConvertToFirst(SqlType target, SqlType t, const Expr& value, size_t start,
                      std::string* out);
  // The WHEN ... THEN ... [ELSE ...] END of DECODE(key, search, result, ..., default) printed
  // as CASE, `when` printing the condition of each search value; the type of the first result
  // whose type is known.
  SqlType EmitDecodeArms(const Expr& e, const Scope* scope, std::string* out,
                         const std::function<void(const Expr&)>& when, bool exact_results = false);
  SqlType EmitToChar(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitToDate(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitExtract(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitRoundOrTrunc(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitGreatestOrLeast(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitRandom(const Expr& e, const Scope* scope, std::string* out);
  SqlType EmitEmptyLob(const Expr& e, const Scope* scope, std::string* out);
  // `exact_read`: a column of exact operands is read as it is held, not as the nearest number.
  SqlType EmitColumn(const Expr& e, const Scope* scope, std::string* out, bool exact_read = false);
  void ReadNearestNumber(const ColumnInfo* column, bool exact_read, size_t start,
                         std::string* out) const;
  // `row_width`: the values the subquery is compared with ((a, b) = (SELECT x, y)), 1 where
  // it stands for one value. A query of another width is refused (ORA-00913, ORA-00947).
  SqlType EmitSubquery(const Expr& e, const Scope* scope, std::string* out, size_t row_width = 1);
  // `value`, failing with ORA-01427 where the view it is read from has a second row.
  void AppendSingleRowCheck(const std::string& value, std::string* out) const;
  void EmitArgs(const Expr& e, size_t first, const Scope* scope, std::string* out,
                std::vector<SqlType>* types = nullptr);
  SqlType TypeOf(const Expr& e, const Scope* scope);
  SqlType ResolveColumnType(const Expr& e, const Scope* scope);
  // The column a reference names in its scope or an enclosing one; nullptr when unknown.
  const ColumnInfo* ResolveColumn(const Expr& e, const Scope* scope);
  void RefuseColumnOfAnotherCase(const Expr& e, const Scope* scope);
  // Refuses a grouping level whose select list, HAVING or ORDER BY (`order_by`, when the level
  // orders its rows) reads a column of its rows outside aggregates and GROUP BY
  // (grouping_check.cpp).
  void CheckGrouping(const SelectCore& core, const Scope& scope,
                     const std::vector<sql::OrderItem>* order_by) const;
  // Refuses `column` of the grouping level `level` read by a subquery of its select list or
  // HAVING outside aggregates, unless GROUP BY names it.
  void CheckReadOfGroupingLevel(const ColumnInfo& column, const Scope& level);
  void EmitNumberOperand(const Expr& e, const Scope* scope, std::string* out);
  void MarkPgIntegerLiteral(const Expr& e, std::string* out) const;
  void EmitWindow(const sql::Window& w, const Scope* scope, std::string* out);
  // The one ORDER BY key of a RANGE frame with an offset: a number, or a date whose offsets
  // count days. Returns the key's type.
  SqlType EmitRangeKey(const sql::OrderItem& item, const Scope* scope, std::string* out);
  void EmitFrame(const sql::WindowFrame& frame, SqlType range_key, std::string* out) const;

  // ---- DML and DDL ----
  void EmitValueFor(const ColumnInfo* column, const Expr& value, const Scope* scope,
                    std::string* out);
  void ConvertFor(const ColumnInfo* column, SqlType value_type, std::string* value_sql,
                  const Expr* literal, bool computed = false);
  Translation Insert(Statement& stmt);
  void EmitInsertSelect(Select& select, const std::vector<const ColumnInfo*>& targets,
                        std::string* out);
  Translation Update(Statement& stmt);
  Translation Delete(Statement& stmt);
  Translation CreateTable(Statement& stmt);
  void EmitColumnDefinition(Statement& stmt, size_t i, NewTable* table);
  void AddTableConstraint(Statement& stmt, sql::TableConstraint& c, NewTable* table);
  Translation CreateIndex(Statement& stmt);
  Translation CreateView(Statement& stmt);
  Translation Comment(Statement& stmt);
  Translation Drop(Statement& stmt);

  const TableInfo* RequireTable(const Name& name);
  // Appends the name of a table, view, column, index or constraint, or of a query's result
  // column, as the engine keeps it (stored_names.h); a table's alias is printed as written.
  void AppendName(std::string_view name, std::string* out) const;
  // Appends the name of a FROM item (its alias, or the table's own name where it has none) or of
  // a column of a view the front end makes of several items, as the engine tells it from the
  // others: the embedded database tells names apart without regard to case, so there a name
  // holding lower-case letters is marked as stored names are (stored_names.h), and "emp" and
  // EMP stay two items.
  void AppendAlias(std::string_view name, std::string* out) const;
  // Appends a table with its alias, or without one under the name its columns are qualified by.
  void AppendTable(const TableInfo& table, const Name& alias, std::string* out) const;
  // Whether the engine keeps names with lower-case letters under marked names.
  bool MarksNames() const { return !pg_ && catalog_.MarksNames(); }
  // Where the engine keeps names as they are and tells them apart regardless of case, refuses
  // a table or view `name` that differs from another only in case.
  void RefuseNameDifferingOnlyInCase(const std::string& name);

  // ---- the PostgreSQL printer's own forms (postgres_printer.cpp) ----
  // A value of type `type` as text, as Oracle converts it (numbers without a mask, dates).
  static void PgAsText(SqlType type, std::string* value_sql);
  // A date model of TO_CHAR in the parts the server writes alike (ora_date_part of
  // postgres_runtime.cpp): runs its to_char writes the same ('T' and the run, elements it writes
  // otherwise spelt as elements it writes the same), and each element it has no form for
  // (numbers with a suffix, SSSSS, YEAR, Rm). Refuses what the embedded file refuses.
  static std::vector<std::string> PgDateModelParts(std::string_view model);
  // TO_CHAR(value, model) of a date on the server, the model given in the statement.
  static void PgToCharDate(std::string_view value_sql, std::string_view model, std::string* out);
  // TO_CHAR(value, model) of a text on the server, when the model is a date model that the
  // server's to_char does not write alike; false, writing nothing, otherwise.
  static bool PgToCharText(std::string_view value_sql, std::string_view model, std::string* out);
  SqlType PgDecode(const Expr& e, const Scope* scope, std::string* out);
  // The most bytes the text of `e` holds on the server, known from the statement alone (a
  // literal, a number, a date, a column of declared length); npos where it is not.
  size_t PgLongestText(const Expr& e, const Scope* scope);
  // The concatenation of `parts` joined by the server's own || where the parts' bytes are known
  // before they are computed; false, printing nothing, where they are not.
  bool PgConcatInPlace(const std::vector<const Expr*>& parts, const Scope* scope,
                       std::string* out);
  // `value` [NOT] LIKE the pattern of `e` [ESCAPE ...] on the server, `value` printed already.
  void PgLike(const Expr& e, const Scope* scope, const std::string& value, std::string* out);

  const Catalog& catalog_;
  std::string_view statement_;
  const bool pg_;
  // Set while a view is defined: the columns of its query keep where they come from.
  bool want_origins_ = false;
  // Set while an ORDER BY is printed: its names may be the select list's aliases.
  bool ordering_ = false;
  // Set while an ORDER BY expression of this level is printed: a name there that no column
  // answers to is the alias of one of its select items, read as that item's expression.
  const SelectCore* order_aliases_ = nullptr;
  // Set while a computed column's expression is printed: the server takes no STABLE function
  // there, so its sums are not bounded by a NUMBER's range.
  bool in_generated_column_ = false;
  int aggregates_open_ = 0;  // aggregates whose arguments are being written
  int lazy_arms_ = 0;        // arms of CASE being written that a row may not evaluate
  bool reads_sysdate_ = false;
  int pg_view_number_ = 0;  // names of inline views that have none (PostgreSQL wants one)
  int query_depth_ = 0;     // queries open while printing
  int deepest_query_ = 0;
  // Inline views printed as the statement's common table expressions ("name" AS (query)), in
  // the order printed: a view's own views come before it.
  bool views_named_ = false;
  std::vector<std::string> named_views_;
  // The serial of the oldest level whose columns the printing has read: a query printed from
  // a serial on reads an enclosing query where this falls below that serial.
  uint64_t oldest_level_read_ = UINT64_MAX;
  // The outermost query of a SELECT statement, when it is one query block: its computed
  // columns are exact decimals.
  const Select* exact_select_ = nullptr;
  // Set by the exact printer just before it prints a DECODE of numbers, which takes it: its
  // results are printed exactly.
  bool exact_decode_results_ = false;
  // Query blocks other than the outermost whose computed columns print as exact operands, and
  // the query each belongs to.
  std::unordered_map<const SelectCore*, const Select*> exact_cores_;
  // Scalar subqueries printed on the embedded engine, by node and scope: the exact printer
  // reads them again without printing them twice.
  std::map<std::pair<const Expr*, uint64_t>, PrintedSubquery> printed_subqueries_;
};

}  // namespace detail
}  // namespace korvalis::db
