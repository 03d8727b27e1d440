// SPDX-License-Identifier: MIT
//
// Fuzz target: the gauge's parameter string. Any bytes, cut at the first NUL
// as the host's C string would be, go into an exactly sized heap copy, so
// that a read past the NUL is a heap overflow. The twelve gains must come
// out as default × factor, the factor worked out here by a reader written
// from the documented rules alone: the key's first occurrence counts, and
// only when no '/', '#' or '\'' stands before it; after the key, white space
// is skipped, then an optional sign, digits with at most one '.', and an
// exponent only when digits follow its 'e' and sign. No digit gives 0, a
// number beyond a double gives 1 (the key keeps its default), and one too
// small for a double gives what strtod gives it in the "C" locale.
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "control/controller.h"
#include "control/params.h"
#include "fuzz/exerciser.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDecimal(char c) {
    return c >= '0' && c <= '9';
}

// The factor the number at the start of `text` stands for.
double referenceFactor(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    const size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    bool digit = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (isDecimal(text[i])) {
            digit = true;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digit) {
        return 0.0;
    }
    size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j < text.size() && isDecimal(text[j])) {
            while (j < text.size() && isDecimal(text[j])) {
                ++j;
            }
            end = j;
        }
    }
    // The span alone, so strtod can read nothing the rules do not allow
    // (no "inf", no "nan", no hexadecimal). The program never calls
    // setlocale, so strtod runs in the "C" locale.
    const std::string number(text.substr(start, end - start));
    char* stop = nullptr;
    errno = 0;
    const double value = std::strtod(number.c_str(), &stop);
    if (stop != number.c_str() + number.size()) {
        exercise::fail("the reference reader's span '%s' is not all one number to strtod", number.c_str());
    }
    if (std::isinf(value)) {
        return 1.0;
    }
    return value;
}

// The position of the key's first occurrence when it counts, else npos.
size_t referencePosition(std::string_view text, std::string_view key) {
    if (text.empty()) {
        return std::string_view::npos;
    }
    const size_t match = text.find(key);
    if (match == std::string_view::npos) {
        return match;
    }
    for (char comment : {'/', '#', '\''}) {
        const size_t at = text.find(comment);
        if (at != std::string_view::npos && at < match) {
            return std::string_view::npos;
        }
    }
    return match;
}

bool sameDouble(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetModuleState();
    const size_t length = strnlen(reinterpret_cast<const char*>(data), size);
    char* text = new char[length + 1];
    std::memcpy(text, data, length);
    text[length] = '\0';
    const std::string_view view(text, length);

    // Gains that no reading can give, so a gain left unwritten shows.
    const double unwritten = std::numeric_limits<double>::quiet_NaN();
    for (const DocumentedGain& row : kDocumentedGains) {
        (controller.*row.loop).*row.gain = unwritten;
    }
    hoverGauge.parameters = text;
    readGainParameters(&hoverGauge);

    for (const DocumentedGain& row : kDocumentedGains) {
        const size_t position = referencePosition(view, row.key);
        double factor = 1.0;
        if (position != std::string_view::npos) {
            factor = referenceFactor(view.substr(position + std::strlen(row.key)));
        }
        const double expected = row.defaultValue * factor;
        const double actual = (controller.*row.loop).*row.gain;
        if (!sameDouble(actual, expected)) {
            exercise::fail("%s is %.17g, expected %.17g (factor %.17g)", row.key, actual, expected, factor);
        }

        const char* found = findParameter(text, row.key);
        const char* expectedAt = (position == std::string_view::npos) ? nullptr : text + position;
        if (found != expectedAt) {
            exercise::fail("findParameter(%s) gave offset %td, expected %td", row.key,
                           found == nullptr ? -1 : found - text,
                           expectedAt == nullptr ? -1 : expectedAt - text);
        }
    }

    // The number reader on its own, from the string's first byte.
    const double whole = readFactor(text);
    const double wholeExpected = referenceFactor(view);
    if (!sameDouble(whole, wholeExpected)) {
        exercise::fail("readFactor gave %.17g, expected %.17g", whole, wholeExpected);
    }

    hoverGauge.parameters = nullptr;
    delete[] text;
    return 0;
}
