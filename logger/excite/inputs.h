// SPDX-License-Identifier: MIT
//
// The designed inputs, as counts added to a held control position at a time
// t (s) since the input began. Each starts and ends at zero.
//
// The 3-2-1-1 multi-step: +A for 3 steps, -A for 2, +A for 1, -A for 1,
// then 0; it lasts 7 steps.
//
// The frequency sweep: A sin(phi(t)) with the frequency growing
// exponentially from f0 to f1 over the sweep's length T,
//   f(t) = f0 r^(t/T),  r = f1 / f0,
//   phi(t) = 2 pi f0 T (r^(t/T) - 1) / ln r     (2 pi f0 t when r = 1).
// It stops at the last zero of the sine at or before T (phi a whole number
// of half turns), so it also ends at zero; it never runs past T.
#ifndef HOVER_LOGGER_EXCITE_INPUTS_H
#define HOVER_LOGGER_EXCITE_INPUTS_H

struct MultiStep {
    double amplitude;  // counts
    double stepSeconds;
};

struct Sweep {
    double amplitude;  // counts
    double fromHz;
    double toHz;
    double seconds;  // T
};

double multiStepDuration(const MultiStep& input);
double multiStepValue(const MultiStep& input, double t);

double sweepPhase(const Sweep& input, double t);
double sweepDuration(const Sweep& input);
double sweepValue(const Sweep& input, double t);

#endif
