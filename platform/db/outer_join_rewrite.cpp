#include "platform/db/outer_join_rewrite.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/db/sql_error.h"
#include "platform/text/ascii.h"

namespace korvalis::db {
namespace {

using sql::Expr;
using sql::ExprKind;
using sql::ExprPtr;
using sql::TableRef;

constexpr int kNoItem = -1;

[[noreturn]] void Forbidden(const std::string& message) { throw SqlError(message); }

// The names by which the columns of a FROM item are qualified.
void CollectNames(const TableRef& ref, std::vector<std::string>* names) {
  switch (ref.kind) {
    case TableRef::kTable:
      names->push_back(ref.alias.empty() ? ref.table.text : ref.alias.text);
      return;
    case TableRef::kSubquery:
      if (!ref.alias.empty()) names->push_back(ref.alias.text);
      return;
    case TableRef::kJoin:
      CollectNames(*ref.left, names);
      CollectNames(*ref.right, names);
      return;
  }
}

enum class Has { kNo, kYes, kMaybe };

// Whether the FROM item has a column of that name.
Has ItemHasColumn(const TableRef& ref, std::string_view column, const Catalog& catalog) {
  switch (ref.kind) {
    case TableRef::kTable: {
      const TableInfo* t = catalog.FindTable(ref.table.text);
      if (!t || t->columns.empty()) return Has::kMaybe;
      return t->Find(column) ? Has::kYes : Has::kNo;
    }
    case TableRef::kSubquery: {
      const sql::SelectCore& first = ref.subquery->cores.front();
      for (const sql::SelectItem& item : first.items) {
        if (item.expr->kind == ExprKind::kStar) return Has::kMaybe;
        std::string name = !item.alias.empty()                    ? item.alias.text
                           : item.expr->kind == ExprKind::kColumn ? item.expr->parts.back().text
                                                                  : std::string();
        if (AsciiUpper(name) == column) return Has::kYes;
      }
      return Has::kNo;
    }
    case TableRef::kJoin: {
      Has l = ItemHasColumn(*ref.left, column, catalog);
      Has r = ItemHasColumn(*ref.right, column, catalog);
      if (l == Has::kYes || r == Has::kYes) return Has::kYes;
      return l == Has::kMaybe || r == Has::kMaybe ? Has::kMaybe : Has::kNo;
    }
  }
  return Has::kMaybe;
}

class Rewriter {
 public:
  Rewriter(sql::SelectCore& core, const Catalog& catalog) : core_(core), catalog_(catalog) {
    for (const TableRef& ref : core_.from) {
      names_.emplace_back();
      CollectNames(ref, &names_.back());
    }
  }

  void Run();

 private:
  // The FROM item a column belongs to; kNoItem for a column of an enclosing query.
  int ItemOf(const Expr& column) const;
  void Check(const Expr& e, bool under_or_in) const;
  void CollectColumns(const Expr& e, std::vector<const Expr*>* marked,
                      std::vector<const Expr*>* plain) const;
  // The item T a (+) condition joins, with the items it joins T to; kNoItem for a condition
  // without the marker.
  int JoinedItem(const Expr& cond);
  // The FROM items in their written order, each outer-joined item after all it is joined to.
  std::vector<size_t> JoinOrder() const;
  // An unqualified * lists the items' columns in the written order.
  void ExpandStar();
  void BuildJoins(const std::vector<size_t>& order, std::vector<ExprPtr> conjuncts,
                  const std::vector<int>& joined_item);

  std::vector<std::vector<bool>> depends_;  // depends_[t][i]: T is joined to item i
  std::vector<bool> has_partner_;           // T is joined to some item

  sql::SelectCore& core_;
  const Catalog& catalog_;
  std::vector<std::vector<std::string>> names_;  // per FROM item
};

int Rewriter::ItemOf(const Expr& column) const {
  const std::string name = AsciiUpper(column.parts.back().text);
  if (column.parts.size() >= 2) {
    const std::string& qualifier = column.parts[column.parts.size() - 2].text;
    for (size_t i = 0; i < names_.size(); ++i) {
      if (std::find(names_[i].begin(), names_[i].end(), qualifier) != names_[i].end()) {
        return static_cast<int>(i);
      }
    }
    return kNoItem;
  }
  int found = kNoItem;
  int maybe = kNoItem;
  int maybe_count = 0;
  for (size_t i = 0; i < core_.from.size(); ++i) {
    Has has = ItemHasColumn(core_.from[i], name, catalog_);
    if (has == Has::kYes) {
      if (found != kNoItem) Forbidden("ORA-00918: column ambiguously defined: " + name);
      found = static_cast<int>(i);
    } else if (has == Has::kMaybe) {
      maybe = static_cast<int>(i);
      ++maybe_count;
    }
  }
  if (found != kNoItem) return found;
  if (maybe_count == 1) return maybe;
  if (maybe_count > 1) {
    throw SqlError("the table of the column " + name +
                       " in an outer join condition cannot be told: qualify it",
                   kNotSupported);
  }
  return kNoItem;
}

// Refuses what Oracle refuses in a condition that carries the marker.
void Rewriter::Check(const Expr& e, bool under_or_in) const {
  if (e.kind == ExprKind::kColumn && e.outer_join && under_or_in) {
    Forbidden("ORA-01719: outer join operator (+) not allowed in operand of OR or IN");
  }
  if (e.subquery) {
    Forbidden("ORA-01799: a column may not be outer-joined to a subquery");
  }
  const bool or_in = under_or_in || (e.kind == ExprKind::kBinary && e.text == "OR") ||
                     e.kind == ExprKind::kInList || e.kind == ExprKind::kInSubquery;
  for (const auto& a : e.args) {
    if (a) Check(*a, or_in);
  }
}

void Rewriter::CollectColumns(const Expr& e, std::vector<const Expr*>* marked,
                              std::vector<const Expr*>* plain) const {
  if (e.kind == ExprKind::kColumn) {
    (e.outer_join ? marked : plain)->push_back(&e);
    return;
  }
  for (const auto& a : e.args) {
    if (a) CollectColumns(*a, marked, plain);
  }
}

void ClearMarkers(Expr& e) {
  e.outer_join = false;
  for (auto& a : e.args) {
    if (a) ClearMarkers(*a);
  }
}

void TakeConjuncts(ExprPtr e, std::vector<ExprPtr>* out) {
  if (e->kind == ExprKind::kBinary && e->text == "AND") {
    TakeConjuncts(std::move(e->args[0]), out);
    TakeConjuncts(std::move(e->args[1]), out);
    return;
  }
  out->push_back(std::move(e));
}

ExprPtr JoinByAnd(std::vector<ExprPtr> conjuncts) {
  ExprPtr all;
  for (ExprPtr& c : conjuncts) {
    if (!all) {
      all = std::move(c);
      continue;
    }
    auto both = std::make_unique<Expr>(ExprKind::kBinary);
    both->text = "AND";
    both->args.push_back(std::move(all));
    both->args.push_back(std::move(c));
    all = std::move(both);
  }
  return all;
}

void Rewriter::Run() {
  std::vector<ExprPtr> conjuncts;
  TakeConjuncts(std::move(core_.where), &conjuncts);
  const size_t n = core_.from.size();
  depends_.assign(n, std::vector<bool>(n, false));
  has_partner_.assign(n, false);
  std::vector<int> joined_item;
  for (const ExprPtr& cond : conjuncts) joined_item.push_back(JoinedItem(*cond));
  const std::vector<size_t> order = JoinOrder();
  bool reordered = false;
  for (size_t i = 0; i < n; ++i) reordered = reordered || order[i] != i;
  if (reordered) ExpandStar();
  BuildJoins(order, std::move(conjuncts), joined_item);
}

int Rewriter::JoinedItem(const Expr& cond) {
  if (!HasOuterJoinMarker(cond)) return kNoItem;
  Check(cond, false);
  std::vector<const Expr*> marked, plain;
  CollectColumns(cond, &marked, &plain);
  int t = kNoItem;
  for (const Expr* m : marked) {
    int item = ItemOf(*m);
    if (item == kNoItem) {
      Forbidden("ORA-00904: \"" + m->parts.back().text +
                "\": invalid identifier (the (+) marker names no table of this FROM list)");
    }
    if (t != kNoItem && item != t) {
      Forbidden("ORA-01468: a predicate may reference only one outer-joined table");
    }
    t = item;
  }
  if (core_.from[static_cast<size_t>(t)].kind == TableRef::kJoin) {
    Forbidden("ORA-25156: old style outer join (+) cannot be used with ANSI joins");
  }
  for (const Expr* p : plain) {
    int item = ItemOf(*p);
    if (item == kNoItem || item == t) continue;
    depends_[static_cast<size_t>(t)][static_cast<size_t>(item)] = true;
    has_partner_[static_cast<size_t>(t)] = true;
  }
  return t;
}

std::vector<size_t> Rewriter::JoinOrder() const {
  const size_t n = core_.from.size();
  std::vector<size_t> order;
  std::vector<bool> placed(n, false);
  while (order.size() < n) {
    bool progress = false;
    for (size_t i = 0; i < n && !progress; ++i) {
      if (placed[i]) continue;
      bool ready = true;
      for (size_t j = 0; j < n && ready; ++j) ready = !depends_[i][j] || placed[j];
      if (!ready) continue;
      placed[i] = true;
      order.push_back(i);
      progress = true;
    }
    if (!progress) Forbidden("ORA-01416: two tables cannot be outer-joined to each other");
  }
  return order;
}

void Rewriter::ExpandStar() {
  std::vector<sql::SelectItem> items;
  for (sql::SelectItem& item : core_.items) {
    if (item.expr->kind != ExprKind::kStar || !item.expr->parts.empty()) {
      items.push_back(std::move(item));
      continue;
    }
    for (const TableRef& ref : core_.from) {
      std::vector<std::string> leaf_names;
      CollectNames(ref, &leaf_names);
      if (ref.kind == TableRef::kSubquery && ref.alias.empty()) {
        throw SqlError("* over an outer join with an inline view without alias", kNotSupported);
      }
      for (const std::string& name : leaf_names) {
        sql::SelectItem star;
        star.expr = std::make_unique<Expr>(ExprKind::kStar);
        star.expr->parts.push_back(sql::Name{name, false});
        items.push_back(std::move(star));
      }
    }
  }
  core_.items = std::move(items);
}

// The (+) conditions of each item become the ON condition of its LEFT JOIN; the others stay
// in WHERE.
void Rewriter::BuildJoins(const std::vector<size_t>& order, std::vector<ExprPtr> conjuncts,
                          const std::vector<int>& joined_item) {
  const size_t n = core_.from.size();
  std::vector<std::vector<ExprPtr>> on(n);
  std::vector<ExprPtr> where;
  for (size_t c = 0; c < conjuncts.size(); ++c) {
    const int t = joined_item[c];
    if (t == kNoItem) {
      where.push_back(std::move(conjuncts[c]));
      continue;
    }
    ClearMarkers(*conjuncts[c]);
    // Joined to nothing, the condition is a plain filter.
    (has_partner_[static_cast<size_t>(t)] ? on[static_cast<size_t>(t)] : where)
        .push_back(std::move(conjuncts[c]));
  }
  TableRef tree = std::move(core_.from[order[0]]);
  for (size_t k = 1; k < n; ++k) {
    const size_t i = order[k];
    TableRef join;
    join.kind = TableRef::kJoin;
    join.left = std::make_unique<TableRef>(std::move(tree));
    join.right = std::make_unique<TableRef>(std::move(core_.from[i]));
    if (!on[i].empty()) {
      join.join = sql::JoinKind::kLeft;
      join.on = JoinByAnd(std::move(on[i]));
    } else {
      join.join = sql::JoinKind::kInner;  // a comma: every pair, filtered by WHERE
    }
    tree = std::move(join);
  }
  core_.from.clear();
  core_.from.push_back(std::move(tree));
  core_.where = JoinByAnd(std::move(where));
}

}  // namespace

bool HasOuterJoinMarker(const sql::Expr& e) {
  if (e.kind == ExprKind::kColumn) return e.outer_join;
  for (const auto& a : e.args) {
    if (a && HasOuterJoinMarker(*a)) return true;
  }
  return false;
}

void RewriteOuterJoins(sql::SelectCore& core, const Catalog& catalog) {
  if (!core.where || !HasOuterJoinMarker(*core.where)) return;
  Rewriter(core, catalog).Run();
}

}  // namespace korvalis::db
