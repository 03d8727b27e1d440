// SPDX-License-Identifier: MIT
#include "sim/tune/factors.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace tune {

std::array<double, kFactorCount> toLogSpace(const Factors& factors) {
    std::array<double, kFactorCount> logs{};
    for (int i = 0; i < kFactorCount; ++i) {
        logs[static_cast<size_t>(i)] = std::log(factors[static_cast<size_t>(i)]);
    }
    return logs;
}

Factors fromLogSpace(const std::array<double, kFactorCount>& logs) {
    Factors factors{};
    for (size_t i = 0; i < factors.size(); ++i) {
        factors[i] = std::exp(logs[i]);
    }
    return factors;
}

Factors rounded(const Factors& factors, int digits) {
    Factors out{};
    for (size_t i = 0; i < factors.size(); ++i) {
        char number[64];
        std::snprintf(number, sizeof number, "%.*e", digits - 1, factors[i]);
        double value = factors[i];
        std::from_chars(number, number + std::strlen(number), value);
        out[i] = value;
    }
    return out;
}

std::string parameterString(const Factors& factors, bool omitOnes) {
    std::string text;
    for (size_t i = 0; i < factors.size(); ++i) {
        if (omitOnes && factors[i] == 1.0) {
            continue;
        }
        // Shortest round trip: std::to_chars without a precision writes the
        // fewest digits that read back as the same double.
        char number[64];
        const auto written = std::to_chars(number, number + sizeof number, factors[i]);
        if (!text.empty()) {
            text += ' ';
        }
        text += kFactorKeys[i];
        text += ' ';
        text.append(number, written.ptr);
    }
    return text;
}

std::optional<Factors> readParameterString(const std::string& text) {
    if (text.find_first_of("/#'") != std::string::npos) {
        return std::nullopt;
    }
    Factors factors = kDefaultFactors;
    for (size_t i = 0; i < factors.size(); ++i) {
        const std::string key = std::string(kFactorKeys[i]) + ' ';
        const size_t at = text.find(key);
        if (at == std::string::npos) {
            continue;
        }
        if (text.find(key, at + 1) != std::string::npos) {
            return std::nullopt;  // the module reads only the first: ambiguous
        }
        const char* begin = text.c_str() + at + key.size();
        const char* end = text.c_str() + text.size();
        double value = 0.0;
        const auto read = std::from_chars(begin, end, value);
        if (read.ec != std::errc() || (read.ptr != end && *read.ptr != ' ')) {
            return std::nullopt;
        }
        factors[i] = value;
    }
    return factors;
}

bool onBound(double factor, const FactorBounds& bounds) {
    constexpr double kNear = 1.01;
    return factor <= bounds.low * kNear || factor >= bounds.high / kNear;
}

std::string gaugeLine(const std::string& parameters) {
    return "gauge00=hover!hover, 620, 380, 367, 265, " + parameters;
}

}  // namespace tune
