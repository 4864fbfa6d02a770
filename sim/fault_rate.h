// How often a simulated fault hits: the next n replies (a negative n: every reply), or every n-th
// reply from now on. A plain count converts to the first, so `faults.noReply = 2` reads as before.
#pragma once

namespace sim {

class FaultRate {
 public:
  FaultRate(int nextCount = 0) : count_(nextCount) {}  // NOLINT(google-explicit-constructor)
  static FaultRate always() { return FaultRate(-1); }
  // Every n-th reply (n >= 1; 1 is every reply).
  static FaultRate everyNth(int n) {
    FaultRate r;
    r.every_ = n > 0 ? n : 1;
    return r;
  }

  // Whether the fault hits at all.
  bool active() const { return count_ != 0 || every_ > 0; }
  // The n of every n-th (0 when the rate is a count).
  int every() const { return every_; }

  // Whether the fault hits this reply; counts the reply.
  bool take() {
    if (every_ > 0) {
      if (++seen_ < every_) return false;
      seen_ = 0;
      return true;
    }
    if (count_ == 0) return false;
    if (count_ > 0) --count_;
    return true;
  }

 private:
  int count_ = 0;
  int every_ = 0;
  int seen_ = 0;
};

}  // namespace sim
