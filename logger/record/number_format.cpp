// SPDX-License-Identifier: MIT
#include "logger/record/number_format.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr double kPowersOfTen[kMaxLoggedDecimals + 1] = {1.0, 10.0, 100.0, 1e3, 1e4, 1e5, 1e6};

}  // namespace

size_t formatFixed(double value, int decimals, char* out) {
    if (!std::isfinite(value)) {
        std::memcpy(out, "nan", 4);
        return 3;
    }
    if (decimals < 0) {
        decimals = 0;
    }
    if (decimals > kMaxLoggedDecimals) {
        decimals = kMaxLoggedDecimals;
    }
    const bool negative = value < 0.0;
    double magnitude = negative ? -value : value;
    if (magnitude > kLargestLoggedMagnitude) {
        magnitude = kLargestLoggedMagnitude;
    }
    // One IEEE multiplication (SSE2 on the 32-bit target), then the
    // fraction left over decides the rounding; both steps are exact below
    // 2^52, which the clamp keeps to.
    const double scaled = magnitude * kPowersOfTen[decimals];
    double whole = std::floor(scaled);
    if (scaled - whole >= 0.5) {
        whole += 1.0;
    }
    uint64_t units = static_cast<uint64_t>(whole);

    // Digits from the last, at least one before the point.
    char digits[kNumberTextSize];
    int count = 0;
    while (units != 0 || count <= decimals) {
        digits[count++] = static_cast<char>('0' + units % 10);
        units /= 10;
    }
    size_t length = 0;
    bool anyNonZero = false;
    for (int i = 0; i < count; ++i) {
        anyNonZero = anyNonZero || digits[i] != '0';
    }
    if (negative && anyNonZero) {
        out[length++] = '-';
    }
    for (int i = count - 1; i >= 0; --i) {
        out[length++] = digits[i];
        if (i == decimals && decimals > 0) {
            out[length++] = '.';
        }
    }
    out[length] = '\0';
    return length;
}
