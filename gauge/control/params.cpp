// SPDX-License-Identifier: MIT
#include "control/params.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "control/controller.h"

namespace {

struct GainKey {
    const char* key;
    AxisLoop ControllerState::*loop;
    double AxisLoop::*gain;
    double defaultValue;
};

// key          loop                          gain          default
// clang-format off
constexpr GainKey kGainKeys[] = {
    {.key = "KprTurn", .loop = &ControllerState::turn, .gain = &AxisLoop::Kpr, .defaultValue = kTurnDefaults.Kpr},
    {.key = "TvTurn", .loop = &ControllerState::turn, .gain = &AxisLoop::Tv, .defaultValue = kTurnDefaults.Tv},
    {.key = "TnTurn", .loop = &ControllerState::turn, .gain = &AxisLoop::Tn, .defaultValue = kTurnDefaults.Tn},
    {.key = "KprRight", .loop = &ControllerState::right, .gain = &AxisLoop::Kpr, .defaultValue = kRightDefaults.Kpr},
    {.key = "TvRight", .loop = &ControllerState::right, .gain = &AxisLoop::Tv, .defaultValue = kRightDefaults.Tv},
    {.key = "TnRight", .loop = &ControllerState::right, .gain = &AxisLoop::Tn, .defaultValue = kRightDefaults.Tn},
    {.key = "KprForward", .loop = &ControllerState::forward, .gain = &AxisLoop::Kpr, .defaultValue = kForwardDefaults.Kpr},
    {.key = "TvForward", .loop = &ControllerState::forward, .gain = &AxisLoop::Tv, .defaultValue = kForwardDefaults.Tv},
    {.key = "TnForward", .loop = &ControllerState::forward, .gain = &AxisLoop::Tn, .defaultValue = kForwardDefaults.Tn},
    {.key = "KprUp", .loop = &ControllerState::up, .gain = &AxisLoop::Kpr, .defaultValue = kUpDefaults.Kpr},
    {.key = "TvUp", .loop = &ControllerState::up, .gain = &AxisLoop::Tv, .defaultValue = kUpDefaults.Tv},
    {.key = "TnUp", .loop = &ControllerState::up, .gain = &AxisLoop::Tn, .defaultValue = kUpDefaults.Tn},
};
// clang-format on

// Counts of digits and exponents stop growing here, far beyond any double's
// range and far below int64_t's.
constexpr int64_t kCountCap = 1000000000000000;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Position of the first `c` in `text`, or null.
const char* firstOf(const char* text, char c) {
    return std::strchr(text, c);
}

}  // namespace

const char* findParameter(const char* parameters, const char* key) {
    const char* match = std::strstr(parameters, key);
    if (match == nullptr) {
        return nullptr;
    }
    for (char comment : {'/', '#', '\''}) {
        const char* start = firstOf(parameters, comment);
        if (start != nullptr && start < match) {
            return nullptr;
        }
    }
    return match;
}

// The number is scanned by hand so that reading never depends on the C
// locale and never passes the NUL; the scanned span is then converted by
// std::from_chars, which rounds correctly and ignores the locale too.
double readFactor(const char* text) {
    const char* p = text;
    while (isSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    const char* mantissaStart = p;
    bool sawDigit = false;
    bool sawPoint = false;
    // Decimal position of the first significant digit relative to the
    // point, used only to tell an overflow from an underflow.
    int64_t magnitude = 0;
    bool sawSignificant = false;
    for (;; ++p) {
        if (isDigit(*p)) {
            sawDigit = true;
            if (*p != '0' && !sawSignificant) {
                sawSignificant = true;
            }
            if (!sawPoint && sawSignificant && magnitude < kCountCap) {
                ++magnitude;
            }
            if (sawPoint && !sawSignificant && magnitude > -kCountCap) {
                --magnitude;
            }
        } else if (*p == '.' && !sawPoint) {
            sawPoint = true;
        } else {
            break;
        }
    }
    if (!sawDigit) {
        return 0.0;
    }
    const char* end = p;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        bool exponentNegative = false;
        if (*q == '+' || *q == '-') {
            exponentNegative = (*q == '-');
            ++q;
        }
        if (isDigit(*q)) {
            int64_t exponent = 0;
            while (isDigit(*q)) {
                if (exponent < kCountCap) {
                    exponent = exponent * 10 + (*q - '0');
                }
                ++q;
            }
            end = q;
            magnitude += exponentNegative ? -exponent : exponent;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(mantissaStart, end, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        if (sawSignificant && magnitude > 0) {
            return 1.0;  // too large for a double: the key keeps its default
        }
        value = 0.0;  // too small: rounds to zero
    } else if (result.ec != std::errc() || result.ptr != end) {
        return 0.0;
    }
    return negative ? -value : value;
}

static_assert(sizeof kGainKeys / sizeof kGainKeys[0] == kGainKeyCount);

void applyPanelGains() {
    for (int i = 0; i < kGainKeyCount; ++i) {
        const GainKey& entry = kGainKeys[i];
        (controller.*entry.loop).*entry.gain = entry.defaultValue * panelGainFactors[i];
    }
}

void readGainParameters(const GaugeHeader* header) {
    const char* parameters = (header != nullptr) ? header->parameters : nullptr;
    for (int i = 0; i < kGainKeyCount; ++i) {
        const GainKey& entry = kGainKeys[i];
        double factor = 1.0;
        if (parameters != nullptr && parameters[0] != '\0') {
            const char* match = findParameter(parameters, entry.key);
            if (match != nullptr) {
                factor = readFactor(match + std::strlen(entry.key));
            }
        }
        panelGainFactors[i] = factor;
        (controller.*entry.loop).*entry.gain = entry.defaultValue * factor;
    }
}
