// Queries: SELECT with its set operators, ORDER BY, select items and FROM items.
#include <algorithm>
#include <string>

#include "platform/db/sql_parser_internal.h"

namespace korvalis::db::sql::detail {

SelectPtr Parser::ParseSelect() {
  DepthGuard guard(this);
  // The names of a WITH clause are visible to its own query alone.
  struct NamesInView {
    std::vector<NamedQuery>& names;
    size_t outer = names.size();
    ~NamesInView() { names.resize(outer); }
  } in_view{named_queries_};
  if (Peek().IsWord("WITH")) ParseNamedQueries();
  auto select = std::make_unique<Select>();
  select->cores.push_back(ParseSelectCore(*select));
  for (;;) {
    SetOp op;
    if (AcceptWord("UNION")) {
      op = AcceptWord("ALL") ? SetOp::kUnionAll : SetOp::kUnion;
    } else if (AcceptWord("MINUS")) {
      op = SetOp::kMinus;
    } else if (AcceptWord("INTERSECT")) {
      op = SetOp::kIntersect;
    } else {
      break;
    }
    select->ops.push_back(op);
    select->cores.push_back(ParseSelectCore(*select));
  }
  if (Peek().IsWord("ORDER")) {
    Next();
    // Siblings are ordered only in a hierarchical query.
    select->order_siblings = AcceptWord("SIBLINGS");
    if (select->order_siblings &&
        (select->cores.size() != 1 || !select->cores[0].connect_by)) {
      throw SqlError("ORA-30929: ORDER SIBLINGS BY clause not allowed here");
    }
    ExpectWord("BY");
    select->order_by = ParseOrderList();
  }
  return select;
}

RowLock Parser::ParseForUpdate() {
  ExpectWord("UPDATE");
  if (AcceptWord("OF")) {
    do {
      ParseName("column");
      if (AcceptOp(".")) ParseName("column");
    } while (AcceptOp(","));
  }
  RowLock lock;
  if (AcceptWord("NOWAIT")) {
    lock.wait = RowLock::Wait::kNoWait;
  } else if (AcceptWord("WAIT")) {
    const Token& seconds = Peek();
    if (seconds.kind != TokenKind::kNumber ||
        seconds.text.find_first_not_of("0123456789") != std::string_view::npos) {
      Fail("ORA-30005: missing or invalid WAIT interval");
    }
    std::string_view digits = seconds.text;
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    lock.wait = RowLock::Wait::kSeconds;
    lock.seconds = digits.size() > 7 ? RowLock::kLongestWaitSeconds
                                     : std::min(digits.empty() ? 0 : std::stoi(std::string(digits)),
                                                RowLock::kLongestWaitSeconds);
    Next();
  } else if (AcceptWord("SKIP")) {
    // The writers' turn holds every row at once: which rows another transaction would have
    // locked alone is not known, so none can be skipped.
    ExpectWord("LOCKED");
    throw SqlError("FOR UPDATE SKIP LOCKED is not supported by the database layer",
                   kNotSupported);
  }
  return lock;
}

void Parser::ParseNamedQueries() {
  Next();  // WITH
  do {
    NamedQuery q;
    q.name = ParseName("query name");
    if (Peek().IsOp("(")) q.columns = ParseNameList();
    ExpectWord("AS");
    ExpectOp("(");
    q.body = pos_;
    // Read here so that a query no reference reads is checked all the same.
    defining_.push_back(q.name);
    ParseSelect();
    defining_.pop_back();
    ExpectOp(")");
    named_queries_.push_back(std::move(q));
  } while (AcceptOp(","));
}

int Parser::FindNamedQuery(const Name& table) const {
  for (size_t i = named_queries_.size(); i-- > 0;) {
    if (named_queries_[i].name.text == table.text) return static_cast<int>(i);
  }
  return -1;
}

SelectPtr Parser::ExpandNamedQuery(size_t index) {
  // Each reference is a copy: a chain of queries each reading the one before it twice
  // doubles with every link.
  if (++expansions_ > 256) FailTooComplex("named queries of a WITH clause read over 256 times");
  // The query sees the names defined before it, as where it was written.
  std::vector<NamedQuery> later(named_queries_.begin() + static_cast<std::ptrdiff_t>(index),
                                named_queries_.end());
  named_queries_.resize(index);
  const size_t resume = pos_;
  pos_ = later.front().body;
  SelectPtr select = ParseSelect();
  pos_ = resume;
  named_queries_.insert(named_queries_.end(), later.begin(), later.end());
  const std::vector<Name>& columns = later.front().columns;
  if (!columns.empty()) {
    // WITH q (a, b) AS (...): the names of the query's columns.
    std::vector<SelectItem>& items = select->cores[0].items;
    for (const SelectItem& item : items) {
      if (item.expr->kind == ExprKind::kStar) {
        Fail("column names of a WITH query selecting * are not supported");
      }
    }
    if (items.size() != columns.size()) {
      Fail("ORA-32038: number of WITH clause column names does not match number of elements "
           "in select list");
    }
    for (size_t i = 0; i < items.size(); ++i) items[i].alias = columns[i];
  }
  return select;
}

SelectCore Parser::ParseSelectCore(Select& owner) {
  if (Peek().IsOp("(")) {
    // A parenthesised query as a member of a compound query: kept as an inline view.
    Next();
    SelectPtr inner = ParseSelect();
    ExpectOp(")");
    SelectCore core;
    SelectItem star;
    star.expr = std::make_unique<Expr>(ExprKind::kStar);
    core.items.push_back(std::move(star));
    TableRef ref;
    ref.kind = TableRef::kSubquery;
    ref.subquery = std::move(inner);
    core.from.push_back(std::move(ref));
    (void)owner;
    return core;
  }
  if (!AcceptWord("SELECT")) Fail("ORA-00928: missing SELECT keyword");
  SelectCore core;
  if (AcceptWord("DISTINCT") || AcceptWord("UNIQUE")) {
    core.distinct = true;
  } else {
    AcceptWord("ALL");
  }
  core.items.reserve(8);
  do {
    core.items.push_back(ParseSelectItem());
  } while (AcceptOp(","));
  if (!AcceptWord("FROM")) Fail("ORA-00923: FROM keyword not found where expected");
  do {
    core.from.push_back(ParseTableRef());
  } while (AcceptOp(","));
  for (;;) {
    if (AcceptWord("WHERE")) {
      if (core.where) Fail("ORA-00933: SQL command not properly ended");
      core.where = ParseExpr();
    } else if (Peek().IsWord("CONNECT") && Peek(1).IsWord("BY")) {
      Next();
      Next();
      core.nocycle = AcceptWord("NOCYCLE");
      core.connect_by = ParseExpr();
    } else if (Peek().IsWord("START") && Peek(1).IsWord("WITH")) {
      Next();
      Next();
      core.start_with = ParseExpr();
    } else if (Peek().IsWord("GROUP") && Peek(1).IsWord("BY")) {
      Next();
      Next();
      do {
        core.group_by.push_back(ParseExpr());
      } while (AcceptOp(","));
    } else if (AcceptWord("HAVING")) {
      core.having = ParseExpr();
    } else {
      break;
    }
  }
  return core;
}

SelectItem Parser::ParseSelectItem() {
  SelectItem item;
  const size_t begin = Peek().begin;
  if (Peek().IsOp("*")) {
    Next();
    item.expr = std::make_unique<Expr>(ExprKind::kStar);
    return item;
  }
  // t.* and schema.t.*
  if (PeekName() && Peek(1).IsOp(".") && Peek(2).IsOp("*")) {
    item.expr = std::make_unique<Expr>(ExprKind::kStar);
    item.expr->parts.push_back(ParseName("table"));
    Next();
    Next();
    return item;
  }
  item.expr = ParseExpr();
  item.begin = begin;
  item.end = PrevEnd();
  if (AcceptWord("AS")) {
    item.alias = ParseAliasName();
  } else if (PeekName()) {
    item.alias = ParseAliasName();
  }
  return item;
}

Name Parser::ParseAliasName() {
  if (!PeekName()) Fail("ORA-00923: FROM keyword not found where expected");
  return ParseName("alias");
}

std::vector<OrderItem> Parser::ParseOrderList() {
  std::vector<OrderItem> items;
  do {
    OrderItem item;
    item.expr = ParseExpr();
    if (AcceptWord("DESC")) {
      item.descending = true;
    } else {
      AcceptWord("ASC");
    }
    if (AcceptWord("NULLS")) {
      if (AcceptWord("FIRST")) {
        item.nulls = OrderItem::kFirst;
      } else if (AcceptWord("LAST")) {
        item.nulls = OrderItem::kLast;
      } else {
        Fail("FIRST or LAST expected after NULLS");
      }
    }
    items.push_back(std::move(item));
  } while (AcceptOp(","));
  return items;
}

TableRef Parser::ParseTableRef() {
  TableRef left = ParseTablePrimary();
  for (;;) {
    JoinKind kind;
    if (AcceptWord("JOIN")) {
      kind = JoinKind::kInner;
    } else if (Peek().IsWord("INNER") && Peek(1).IsWord("JOIN")) {
      Next();
      Next();
      kind = JoinKind::kInner;
    } else if (Peek().IsWord("LEFT") || Peek().IsWord("RIGHT") || Peek().IsWord("FULL")) {
      const std::string_view w = Next().text;
      AcceptWord("OUTER");
      ExpectWord("JOIN");
      kind = w == "LEFT" ? JoinKind::kLeft : w == "RIGHT" ? JoinKind::kRight : JoinKind::kFull;
    } else if (Peek().IsWord("CROSS") && Peek(1).IsWord("JOIN")) {
      Next();
      Next();
      kind = JoinKind::kCross;
    } else if (Peek().IsWord("NATURAL")) {
      Fail("NATURAL JOIN is not supported");
    } else {
      break;
    }
    TableRef join;
    join.kind = TableRef::kJoin;
    join.join = kind;
    join.left = std::make_unique<TableRef>(std::move(left));
    join.right = std::make_unique<TableRef>(ParseTablePrimary());
    if (kind != JoinKind::kCross) {
      if (AcceptWord("ON")) {
        join.on = ParseExpr();
      } else if (AcceptWord("USING")) {
        join.using_columns = ParseNameList();
      } else {
        Fail("ORA-00905: missing keyword ON");
      }
    }
    left = std::move(join);
  }
  return left;
}

TableRef Parser::ParseTablePrimary() {
  DepthGuard guard(this);
  TableRef ref;
  if (AcceptOp("(")) {
    if (StartsQuery() || Peek().IsOp("(")) {
      ref.kind = TableRef::kSubquery;
      ref.subquery = ParseSelect();
      ExpectOp(")");
    } else {
      ref = ParseTableRef();
      ExpectOp(")");
      return ref;
    }
  } else {
    ref.kind = TableRef::kTable;
    Name first = ParseName("table name");
    if (AcceptOp(".")) {
      ref.schema = first;
      ref.table = ParseName("table name");
    } else {
      ref.table = first;
    }
    if (Peek().IsOp("@")) Fail("database links are not supported");
    if (ref.schema.empty()) {
      for (const Name& n : defining_) {
        if (n.text == ref.table.text) Fail("a WITH query reading itself is not supported");
      }
      if (const int q = FindNamedQuery(ref.table); q >= 0) {
        // A named query of a WITH clause: an inline view named as the query is.
        ref.kind = TableRef::kSubquery;
        ref.subquery = ExpandNamedQuery(static_cast<size_t>(q));
        ref.alias = ref.table;
        ref.table = Name{};
      }
    }
  }
  if (Peek().kind == TokenKind::kQuotedName ||
      (Peek().kind == TokenKind::kWord && !Peek().reserved && !Peek().IsWord("LEFT") &&
       !Peek().IsWord("RIGHT") && !Peek().IsWord("FULL") && !Peek().IsWord("INNER") &&
       !Peek().IsWord("CROSS") && !Peek().IsWord("JOIN"))) {
    ref.alias = ParseName("alias");
  }
  return ref;
}

}  // namespace korvalis::db::sql::detail
