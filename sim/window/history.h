// SPDX-License-Identifier: MIT
//
// What the window keeps of the flight for its strip charts: one sample per
// simulated frame over the last minute, in a ring of fixed size so that a
// session flown for hours holds no more than the first minute did.
#ifndef HOVER_SIM_WINDOW_HISTORY_H
#define HOVER_SIM_WINDOW_HISTORY_H

#include <cstddef>
#include <optional>
#include <vector>

namespace window {

// One frame as the charts show it. A command is absent in a frame in which
// the hold sent none on that axis.
struct Sample {
    double timeS = 0.0;  // simulated time
    double heightFt = 0.0;
    std::optional<double> targetFt;
    double groundSpeedKt = 0.0;
    double headingDeg = 0.0;
    std::optional<double> rudder;  // host axis units, -16383 .. 16383
    std::optional<double> aileron;
    std::optional<double> elevator;
    std::optional<double> throttle;  // 0 .. 16384
    bool engaged = false;
};

class History {
public:
    // Room for `capacity` samples; the oldest is dropped to make room.
    explicit History(size_t capacity);

    void add(const Sample& sample);
    void clear();
    size_t size() const { return count_; }
    size_t capacity() const { return ring_.size(); }
    // Oldest first: at(0) is the oldest kept, at(size() - 1) the newest.
    const Sample& at(size_t index) const;
    const Sample* newest() const { return count_ == 0 ? nullptr : &at(count_ - 1); }

private:
    std::vector<Sample> ring_;
    size_t first_ = 0;
    size_t count_ = 0;
};

}  // namespace window

#endif
