// Windows of analytic functions printed for both engines: PARTITION BY and ORDER BY through the
// exact keys where values are computed exactly, and frames under Oracle's rules, a RANGE over a
// date counting days.
#include <cmath>
#include <optional>

#include "platform/db/ora_number.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db {
namespace detail {

void Translator::EmitWindow(const sql::Window& w, const Scope* scope, std::string* out) {
  out->append(" OVER (");
  if (!w.partition_by.empty()) {
    out->append("PARTITION BY ");
    EmitGroupingKeys(w.partition_by, scope, out);
  }
  const sql::WindowFrame* frame = w.frame.get();
  const bool logical_offset =
      frame && frame->range && (frame->start.offset != nullptr || frame->end.offset != nullptr);
  if (logical_offset && w.order_by.size() != 1) {
    throw SqlError("ORA-30486: invalid window aggregation group in the window specification");
  }
  SqlType range_key = SqlType::kUnknown;
  if (!w.order_by.empty()) {
    if (!w.partition_by.empty()) out->push_back(' ');
    out->append("ORDER BY ");
    for (size_t i = 0; i < w.order_by.size(); ++i) {
      if (i) out->append(", ");
      const sql::OrderItem& item = w.order_by[i];
      if (logical_offset) {
        range_key = EmitRangeKey(item, scope, out);
      } else if (!EmitExactSortKey(*item.expr, nullptr, scope, out)) {
        Emit(*item.expr, scope, out);
      }
      if (item.descending) out->append(" DESC");
      bool nulls_first = item.nulls == sql::OrderItem::kDefault
                             ? item.descending
                             : item.nulls == sql::OrderItem::kFirst;
      out->append(nulls_first ? " NULLS FIRST" : " NULLS LAST");
    }
  }
  if (frame) EmitFrame(*frame, range_key, out);
  out->push_back(')');
}

SqlType Translator::EmitRangeKey(const sql::OrderItem& item, const Scope* scope,
                                 std::string* out) {
  std::string key;
  const SqlType type = Emit(*item.expr, scope, &key);
  if (type != SqlType::kNumber && type != SqlType::kDate) {
    throw SqlError("ORA-00902: invalid datatype");
  }
  // The file holds a date as its text, which the engine cannot add to: the key is its second.
  if (type == SqlType::kDate && !pg_) {
    out->append("unixepoch(").append(key).push_back(')');
  } else {
    out->append(key);
  }
  return type;
}

// Oracle's bounds: the start comes no later than the end, neither being unbounded on the
// wrong side; an offset is a number literal, whole for ROWS.
void Translator::EmitFrame(const sql::WindowFrame& frame, SqlType range_key,
                           std::string* out) const {
  using Bound = sql::FrameBound;
  if (frame.start.kind == Bound::kUnboundedFollowing ||
      frame.end.kind == Bound::kUnboundedPreceding || frame.start.kind > frame.end.kind) {
    throw SqlError("ORA-30486: invalid window aggregation group in the window specification");
  }
  out->append(frame.range ? " RANGE BETWEEN " : " ROWS BETWEEN ");
  const auto bound = [&](const Bound& b) {
    switch (b.kind) {
      case Bound::kUnboundedPreceding:
        out->append("UNBOUNDED PRECEDING");
        return;
      case Bound::kUnboundedFollowing:
        out->append("UNBOUNDED FOLLOWING");
        return;
      case Bound::kCurrentRow:
        out->append("CURRENT ROW");
        return;
      default:
        break;
    }
    const std::optional<double> offset =
        b.offset->kind == ExprKind::kNumber ? ParseNumber(b.offset->text) : std::nullopt;
    if (!offset || (!frame.range && *offset != std::floor(*offset))) {
      Refuse("a window frame offset other than a number literal (whole for ROWS)");
    }
    if (range_key == SqlType::kDate && pg_) {
      out->append(b.offset->text).append(" * interval '1 day'");
    } else if (range_key == SqlType::kDate) {
      AppendNumber(*offset * 86400, out);
    } else {
      out->append(b.offset->text);
    }
    out->append(b.kind == Bound::kPreceding ? " PRECEDING" : " FOLLOWING");
  };
  bound(frame.start);
  out->append(" AND ");
  bound(frame.end);
}

}  // namespace detail
}  // namespace korvalis::db
