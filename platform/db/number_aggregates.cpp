// SUM and AVG of NUMBERs on the embedded engine, exact: every term added as the decimal it
// stands for (DecimalSum), the total or the mean rounded to a NUMBER's digits only at the end.
// Each is a window function too: a term leaving the frame is taken away exactly. MIN and MAX
// of computed NUMBERs (ora_exact_min, ora_exact_max) keep the extreme value as it came,
// compared exactly.
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "platform/db/exact_number_values.h"
#include "platform/db/sql_function_support.h"

namespace korvalis::db::functions {
namespace {

// The aggregate's state, in memory the engine zeroes and keeps until the final call.
struct SumState {
  DecimalSum* sum;
  int64_t count;
};

SumState* StateOf(sqlite3_context* ctx, bool create) {
  return static_cast<SumState*>(sqlite3_aggregate_context(ctx, create ? sizeof(SumState) : 0));
}

// The decimal a double that stands for no short decimal is written as: its shortest text.
Decimal BinaryTerm(double value) {
  if (!std::isfinite(value)) throw FunctionError{"ORA-01426: numeric overflow"};
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return Decimal(std::string(buf, end));
}

template <bool subtract>
void Step(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  if (IsNull(v)) return;
  SumState* state = StateOf(ctx, true);
  if (state == nullptr) return sqlite3_result_error_nomem(ctx);
  if (state->sum == nullptr) state->sum = new DecimalSum;
  DecimalSum& sum = *state->sum;
  const std::optional<ShortDecimal> short_form = ShortArgument(v);
  if (short_form) {
    subtract ? sum.Subtract(*short_form) : sum.Add(*short_form);
  } else {
    std::optional<Decimal> term = DecimalArgument(v, short_form);
    if (!term) term = BinaryTerm(AsNumber(v));
    subtract ? sum.Subtract(*term) : sum.Add(*term);
  }
  state->count += subtract ? -1 : 1;
}

template <bool mean, ResultForm form>
void Value(sqlite3_context* ctx) {
  const SumState* state = StateOf(ctx, false);
  if (state == nullptr || state->sum == nullptr || state->count == 0) {
    return sqlite3_result_null(ctx);
  }
  try {
    ResultNumberValue(ctx, mean ? state->sum->Mean(state->count, form) : state->sum->Total(form));
  } catch (const std::overflow_error& e) {
    throw FunctionError{e.what()};
  }
}

void ReleaseSum(sqlite3_context* ctx) {
  if (SumState* state = StateOf(ctx, false)) {
    delete state->sum;
    state->sum = nullptr;
  }
}

template <bool mean, ResultForm form>
int Register(sqlite3* db, const char* name) {
  return sqlite3_create_window_function(
      db, name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, Guarded<Step<false>>,
      GuardedValue<Value<mean, form>, ReleaseSum>, GuardedValue<Value<mean, form>>,
      Guarded<Step<true>>,
      nullptr);
}

// The extreme value so far, a copy the aggregate owns.
struct ExtremeState {
  sqlite3_value* best;
};

template <int direction>
void ExtremeStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return;
  auto* state = static_cast<ExtremeState*>(sqlite3_aggregate_context(ctx, sizeof(ExtremeState)));
  if (state == nullptr) return sqlite3_result_error_nomem(ctx);
  if (state->best != nullptr && CompareNumbers(argv[0], state->best) * direction <= 0) return;
  sqlite3_value* copy = sqlite3_value_dup(argv[0]);
  if (copy == nullptr) return sqlite3_result_error_nomem(ctx);
  sqlite3_value_free(state->best);
  state->best = copy;
}

void ExtremeFinal(sqlite3_context* ctx) {
  auto* state = static_cast<ExtremeState*>(sqlite3_aggregate_context(ctx, 0));
  if (state == nullptr || state->best == nullptr) return sqlite3_result_null(ctx);
  sqlite3_result_value(ctx, state->best);
}

void ReleaseExtreme(sqlite3_context* ctx) {
  auto* state = static_cast<ExtremeState*>(sqlite3_aggregate_context(ctx, 0));
  if (state == nullptr) return;
  sqlite3_value_free(state->best);
  state->best = nullptr;
}

}  // namespace

int RegisterNumberAggregates(sqlite3* db) {
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  int rc = SQLITE_OK;
  for (auto registered : {Register<false, ResultForm::kNumber>(db, "ora_sum"),
                          Register<true, ResultForm::kNumber>(db, "ora_avg"),
                          Register<false, ResultForm::kOperand>(db, "ora_exact_sum"),
                          Register<true, ResultForm::kOperand>(db, "ora_exact_avg"),
                          Register<false, ResultForm::kText>(db, "ora_result_sum"),
                          Register<true, ResultForm::kText>(db, "ora_result_avg"),
                          sqlite3_create_function_v2(db, "ora_exact_min", 1, kFlags, nullptr,
                                                     nullptr, Guarded<ExtremeStep<-1>>,
                                                     GuardedValue<ExtremeFinal, ReleaseExtreme>,
                                                     nullptr),
                          sqlite3_create_function_v2(db, "ora_exact_max", 1, kFlags, nullptr,
                                                     nullptr, Guarded<ExtremeStep<1>>,
                                                     GuardedValue<ExtremeFinal, ReleaseExtreme>,
                                                     nullptr)}) {
    if (rc == SQLITE_OK) rc = registered;
  }
  return rc;
}

}  // namespace korvalis::db::functions
