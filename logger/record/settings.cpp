// SPDX-License-Identifier: MIT
#include "logger/record/settings.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace {

struct NumberKey {
    const char* key;
    double LoggerSettings::*field;  // null for an amplitude
    int axis;                       // the amplitude's axis, or -1
    double lowest;
    double highest;
};

// clang-format off
constexpr NumberKey kNumberKeys[] = {
    {.key = "elevator",           .field = nullptr,                           .axis = 0,  .lowest = 0.0,   .highest = 16384.0},
    {.key = "aileron",            .field = nullptr,                           .axis = 1,  .lowest = 0.0,   .highest = 16384.0},
    {.key = "rudder",             .field = nullptr,                           .axis = 2,  .lowest = 0.0,   .highest = 16384.0},
    {.key = "throttle",           .field = nullptr,                           .axis = 3,  .lowest = 0.0,   .highest = 16384.0},
    {.key = "step_s",             .field = &LoggerSettings::stepSeconds,      .axis = -1, .lowest = 0.01,  .highest = 60.0},
    {.key = "sweep_s",            .field = &LoggerSettings::sweepSeconds,     .axis = -1, .lowest = 1.0,   .highest = 3600.0},
    {.key = "sweep_from_hz",      .field = &LoggerSettings::sweepFromHz,      .axis = -1, .lowest = 0.001, .highest = 50.0},
    {.key = "sweep_to_hz",        .field = &LoggerSettings::sweepToHz,        .axis = -1, .lowest = 0.001, .highest = 50.0},
    {.key = "dead_band",          .field = &LoggerSettings::deadBand,         .axis = -1, .lowest = 1.0,   .highest = 32767.0},
    {.key = "attitude_limit_deg", .field = &LoggerSettings::attitudeLimitDeg, .axis = -1, .lowest = 0.1,   .highest = 180.0},
};
// clang-format on

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool keyIs(const char* key, size_t keyLength, const char* name) {
    return std::strlen(name) == keyLength && std::memcmp(key, name, keyLength) == 0;
}

// The whole of [begin, end) as a finite number in [lowest, highest]. Read
// by std::from_chars, which ignores the C locale the host may have set.
bool readNumber(const char* begin, const char* end, double lowest, double highest, double& value) {
    double parsed = 0.0;
    const auto result = std::from_chars(begin, end, parsed, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(parsed)) {
        return false;
    }
    if (parsed < lowest || parsed > highest) {
        return false;
    }
    value = parsed;
    return true;
}

void applyWord(LoggerSettings& settings, const char* word, const char* end) {
    const char* equals = static_cast<const char*>(std::memchr(word, '=', static_cast<size_t>(end - word)));
    if (equals == nullptr) {
        return;
    }
    const size_t keyLength = static_cast<size_t>(equals - word);
    const char* value = equals + 1;
    const size_t valueLength = static_cast<size_t>(end - value);
    if (keyIs(word, keyLength, "folder")) {
        if (valueLength <= kMaxFolderLength) {
            std::memcpy(settings.folder, value, valueLength);
            settings.folder[valueLength] = '\0';
        }
        return;
    }
    if (keyIs(word, keyLength, "bank_token")) {
        double token = 0.0;
        if (readNumber(value, end, 1.0, 65535.0, token) && token == std::floor(token)) {
            settings.bankToken = static_cast<uint32_t>(token);
        }
        return;
    }
    for (const NumberKey& key : kNumberKeys) {
        if (!keyIs(word, keyLength, key.key)) {
            continue;
        }
        double number = 0.0;
        if (readNumber(value, end, key.lowest, key.highest, number)) {
            if (key.field != nullptr) {
                settings.*key.field = number;
            } else {
                settings.amplitude[key.axis] = number;
            }
        }
        return;
    }
}

}  // namespace

LoggerSettings readSettings(const char* parameters) {
    LoggerSettings settings = kDefaultSettings;
    if (parameters == nullptr) {
        return settings;
    }
    const char* p = parameters;
    while (*p != '\0') {
        while (isSpace(*p)) {
            ++p;
        }
        const char* word = p;
        while (*p != '\0' && !isSpace(*p)) {
            ++p;
        }
        if (p != word) {
            applyWord(settings, word, p);
        }
    }
    return settings;
}
