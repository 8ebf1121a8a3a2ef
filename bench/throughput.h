// A run's frames over time, to compare its first minute with its last: a
// processor that throttles as it warms renders fewer frames at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace lumek {

class ThroughputHistory {
  public:
    // `minute`: the seconds of a minute (60; fewer in tests). Everything it
    // keeps is made here, none while the run goes on.
    explicit ThroughputHistory(double minute);

    // The frames so far at `seconds` into the run; called often, in order.
    void add(double seconds, uint64_t frames);

    struct Rates {
        double first = 0;  // frames per second in the first minute
        double last = 0;   // and in the last
        // How much lower the last is, as a fraction of the first (0.08 for
        // 8 %; below 0 when it rose).
        double fall() const { return first > 0 ? 1 - last / first : 0; }
    };
    // Nothing until the run has lasted two minutes, so that the two never
    // overlap.
    std::optional<Rates> rates() const;

  private:
    struct Sample {
        double seconds = 0;
        uint64_t frames = 0;
    };

    double minute_;
    double step_;  // between kept samples: a sixtieth of a minute
    double nextSample_ = 0;
    std::optional<Sample> firstMinute_;  // the first sample a minute in
    std::vector<Sample> ring_;           // the last minute's samples and a few more
    size_t kept_ = 0;                    // samples in the ring
    size_t next_ = 0;                    // where the next one goes
    Sample latest_;
};

}  // namespace lumek
