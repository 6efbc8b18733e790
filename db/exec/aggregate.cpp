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
      const double scaled = std::nearbyint(sum_ * 10000);
      if (!(std::fabs(scaled) < 9.2e18)) {
        throw Error(6, "Overflow", "a Currency total beyond Currency's range");
      }
      return Value::Currency(int64_t(scaled));
    }
    case sql::Aggregate::kAvg: return Value::Double(sum_ / double(count_));
    default: return best_;
  }
}

}  // namespace act::db::exec
