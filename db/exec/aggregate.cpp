#include "db/exec/aggregate.h"

#include <cmath>

#include "db/exec/value_order.h"
#include "platform/error.h"

namespace act::db::exec {

void Accumulator::Add(const Value& v) {
  if (v.is_null()) return;
  ++count_;
  switch (function_) {
    case sql::Aggregate::kCount: return;
    case sql::Aggregate::kSum:
    case sql::Aggregate::kAvg:
      sum_ += NumberValue(v);
      currency_ = v.kind() == Value::Kind::kCurrency;
      // Money adds exactly, as the scaled integers it is stored as.
      if (currency_ && __builtin_add_overflow(exact_, v.integer(), &exact_)) {
        throw Error(kErrOverflow, "a Currency total beyond Currency's range");
      }
      return;
    case sql::Aggregate::kMin:
    case sql::Aggregate::kMax: {
      key_.clear();
      AppendOrderKey(key_, v);
      const bool better = count_ == 1 || (function_ == sql::Aggregate::kMin ? key_ < best_key_
                                                                             : key_ > best_key_);
      if (better) {
        best_ = v;
        best_key_.swap(key_);
      }
      return;
    }
  }
}

Value Accumulator::Result() const {
  if (function_ == sql::Aggregate::kCount) return Value::Long(int32_t(count_));
  if (count_ == 0) return Value::Null();
  switch (function_) {
    case sql::Aggregate::kSum: {
      if (!currency_) return Value::Double(sum_);
      return Value::Currency(exact_);
    }
    case sql::Aggregate::kAvg: return Value::Double(sum_ / double(count_));
    default: return best_;
  }
}

}  // namespace act::db::exec
