// SPDX-License-Identifier: MIT
//
// The one limiting rule of the module's pilot input, engagement, output and
// readouts: the lower limit is tested first, then the upper.
#ifndef HOVER_STATE_CLAMP_H
#define HOVER_STATE_CLAMP_H

// `lower` when the value lies below it; otherwise `upper` when the value
// reaches or passes it; otherwise the value itself.
//
// A NaN is neither below nor at or above anything, so it comes back
// unchanged: a caller that must not pass a NaN on tests for it first. With
// `lower` above `upper` a value below `lower` gives `lower` and every other
// value gives `upper`.
constexpr double clampLowerFirst(double value, double lower, double upper) {
    if (value < lower) {
        return lower;
    }
    if (value >= upper) {
        return upper;
    }
    return value;
}

#endif
