#include "bench/throughput.h"

namespace lumek {

ThroughputHistory::ThroughputHistory(double minute)
    : minute_(minute), step_(minute / 60), ring_(64) {}

void ThroughputHistory::add(double seconds, uint64_t frames) {
    latest_ = {seconds, frames};
    if (!firstMinute_ && seconds >= minute_) firstMinute_ = latest_;
    if (seconds < nextSample_) return;
    nextSample_ = seconds + step_;
    ring_[next_] = latest_;
    next_ = (next_ + 1) % ring_.size();
    if (kept_ < ring_.size()) ++kept_;
}

std::optional<ThroughputHistory::Rates> ThroughputHistory::rates() const {
    if (!firstMinute_ || latest_.seconds < 2 * minute_ || kept_ == 0) return std::nullopt;
    // The last minute starts at the newest kept sample a minute or more
    // before the latest (the oldest kept one if none is that old).
    const double from = latest_.seconds - minute_;
    Sample start = ring_[(next_ + ring_.size() - kept_) % ring_.size()];
    for (size_t i = 0; i < kept_; ++i) {
        const Sample& s = ring_[(next_ + ring_.size() - kept_ + i) % ring_.size()];
        if (s.seconds <= from) start = s;
    }
    Rates r;
    r.first = static_cast<double>(firstMinute_->frames) / firstMinute_->seconds;
    const double span = latest_.seconds - start.seconds;
    r.last = span > 0 ? static_cast<double>(latest_.frames - start.frames) / span : 0;
    return r;
}

}  // namespace lumek
