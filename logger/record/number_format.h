// SPDX-License-Identifier: MIT
//
// Fixed-decimal numbers for the log, written by the logger's own integer
// code so that the native and the Windows build write the same bytes for the
// same double: the C libraries' %f differ in how they round and in what they
// write for a NaN or an infinity.
#ifndef HOVER_LOGGER_RECORD_NUMBER_FORMAT_H
#define HOVER_LOGGER_RECORD_NUMBER_FORMAT_H

#include <cstddef>

// Magnitudes beyond this are written as this: no host reading comes near
// it, and below it the value scaled by 10^6 is a whole number a double holds
// exactly, so the rounding below is exact on both targets.
constexpr double kLargestLoggedMagnitude = 1e9;
constexpr int kMaxLoggedDecimals = 6;
// Room for the longest number: sign, ten digits, point, six decimals, NUL.
constexpr size_t kNumberTextSize = 24;

// Writes `value` with `decimals` (0..6) digits after the point, rounded half
// away from zero, into `out` (at least kNumberTextSize bytes), NUL-ended,
// and returns its length. A NaN or an infinity is written "nan"; a value
// that rounds to zero is written without a minus sign.
size_t formatFixed(double value, int decimals, char* out);

#endif
