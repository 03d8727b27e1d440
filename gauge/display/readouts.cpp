// SPDX-License-Identifier: MIT
//
// The value callbacks. They read the controller state, the joystick's Z and
// the host's values in the element's own variable slots; their only writes
// are the text buffers, the screen's hidden bit and the lever bar's filter.
#include "display/readouts.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "control/controller.h"
#include "state/clamp.h"
#include "hostif/host_interface.h"
#include "input/joystick.h"

namespace {

constexpr double kScaleEnd = 3.0;

constexpr double kGroundSpeedCapKnots = 99.0;
constexpr double kRadarHeightCapFt = 999.0;
constexpr double kWindSpeedCap = 99.0;

// The lever bar's filter: the new reading's weight is what the old value's
// weight leaves of 1.
constexpr double kLeverKeep = 0.85;
constexpr double kLeverTake = 1.0 - kLeverKeep;
static_assert(kLeverTake == 0.15000000000000002);

// A whole number of more digits than any readout can hold shows as this
// many nines (and is then cut to the element's character count): the
// integer conversion below stays defined whatever the double.
constexpr double kLargestWhole = 999999999.0;

// A readout's text as it is built, before it is cut to the element's count.
// Longer than any text a readout makes: the widest is a sign, nine digits,
// a slash and the same again.
struct Text {
    char chars[32];
    uint32_t length;

    void put(char c) {
        if (length < sizeof chars) {
            chars[length++] = c;
        }
    }
    void put(const char* s) {
        for (; *s != '\0'; ++s) {
            put(*s);
        }
    }
};

// Halves away from zero, whatever the C library's printf would do with them.
double roundHalfAway(double value) {
    double whole = std::trunc(value);
    if (std::fabs(value - whole) >= 0.5) {
        whole += value < 0.0 ? -1.0 : 1.0;
    }
    return whole;
}

// Appends a whole number the way printf's "%0W.0f" (zeroPad) or "%W.0f"
// writes it: at least `width` characters, the sign counted; zero padding goes
// after the sign, space padding before it. A NaN or an infinity is written
// as printf writes it, space-padded. A value that rounds to zero has no sign.
void putWhole(Text& text, double value, uint32_t width, bool zeroPad) {
    char digits[16];
    uint32_t count = 0;
    bool negative = false;
    if (std::isnan(value)) {
        std::memcpy(digits, "nan", 3);
        count = 3;
        zeroPad = false;
    } else if (std::isinf(value)) {
        std::memcpy(digits, "inf", 3);
        count = 3;
        negative = value < 0.0;
        zeroPad = false;
    } else {
        const double whole = clampLowerFirst(roundHalfAway(value), -kLargestWhole, kLargestWhole);
        int64_t n = static_cast<int64_t>(whole);
        negative = n < 0;
        uint64_t magnitude = static_cast<uint64_t>(negative ? -n : n);
        char reversed[16];
        uint32_t r = 0;
        do {
            reversed[r++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        while (r > 0) {
            digits[count++] = reversed[--r];
        }
    }
    uint32_t used = count + (negative ? 1u : 0u);
    uint32_t padding = width > used ? width - used : 0;
    if (!zeroPad) {
        for (uint32_t i = 0; i < padding; ++i) {
            text.put(' ');
        }
    }
    if (negative) {
        text.put('-');
    }
    if (zeroPad) {
        for (uint32_t i = 0; i < padding; ++i) {
            text.put('0');
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        text.put(digits[i]);
    }
}

TextElement& asText(GaugeElement* element) {
    return *reinterpret_cast<TextElement*>(element);
}

// Slot 1 and slot 2 of a text element, as the host filled them.
double slotA(GaugeElement* element) {
    return asText(element).vars[0].value;
}

double slotB(GaugeElement* element) {
    return asText(element).vars[1].value;
}

// Leaves the text in the host's buffer: at most the element's character
// count, then a NUL. Without a buffer there is nowhere to write.
void writeText(GaugeElement* element, const Text& text) {
    TextElement& record = asText(element);
    if (record.buffer == nullptr) {
        return;
    }
    uint32_t length = text.length < record.charCount ? text.length : record.charCount;
    std::memcpy(record.buffer, text.chars, length);
    record.buffer[length] = '\0';
}

void writeText(GaugeElement* element, const char* label) {
    Text text{};
    text.put(label);
    writeText(element, text);
}

void writeWhole(GaugeElement* element, double value, uint32_t width, bool zeroPad) {
    Text text{};
    putWhole(text, value, width, zeroPad);
    writeText(element, text);
}

constexpr bool kZeroPad = true;
constexpr bool kSpacePad = false;

}  // namespace

double clampToScale(double value) {
    return clampLowerFirst(value, -kScaleEnd, kScaleEnd);
}

double GAUGE_CALL showTurnSet(GaugeElement*) {
    return clampToScale(controller.turn.setPoint);
}

double GAUGE_CALL showTurnTrend(GaugeElement*) {
    return clampToScale(controller.turn.errorRate);
}

double GAUGE_CALL showTurnRate(GaugeElement*) {
    return clampToScale(controller.turn.measurement);
}

double GAUGE_CALL showUpSet(GaugeElement*) {
    return clampToScale(-controller.up.setPoint);
}

double GAUGE_CALL showUpTrend(GaugeElement*) {
    return clampToScale(-controller.up.errorRate);
}

double GAUGE_CALL showUpSpeed(GaugeElement*) {
    return clampToScale(-controller.up.measurement);
}

double GAUGE_CALL showRightSet(GaugeElement*) {
    return clampToScale(controller.right.setPoint);
}

double GAUGE_CALL showForwardSet(GaugeElement*) {
    return clampToScale(-controller.forward.setPoint);
}

double GAUGE_CALL showRightTrend(GaugeElement*) {
    return clampToScale(controller.right.errorRate);
}

double GAUGE_CALL showForwardTrend(GaugeElement*) {
    return clampToScale(-controller.forward.errorRate);
}

double GAUGE_CALL showRightSpeed(GaugeElement*) {
    return clampToScale(controller.right.measurement);
}

double GAUGE_CALL showForwardSpeed(GaugeElement*) {
    return clampToScale(-controller.forward.measurement);
}

double GAUGE_CALL showHeadingLabel(GaugeElement* element) {
    writeText(element, "HDG");
    return slotA(element);
}

double GAUGE_CALL showHeading(GaugeElement* element) {
    double heading = slotA(element);
    writeWhole(element, heading, 3, kZeroPad);
    return heading;
}

double GAUGE_CALL showSpeedLabel(GaugeElement* element) {
    writeText(element, " GS");
    double a = slotA(element);
    double b = slotB(element);
    return a * a + b * b;
}

// The host's north and east velocities in ft/s; the readout is in knots.
double GAUGE_CALL showGroundSpeed(GaugeElement* element) {
    double a = slotA(element);
    double b = slotB(element);
    double squares = a * a + b * b;
    double knots = std::sqrt(squares) * kMetresPerFoot * kKnotsPerMetrePerSecond;
    double shown = kGroundSpeedCapKnots < knots ? kGroundSpeedCapKnots : knots;
    writeWhole(element, shown, 3, kSpacePad);
    return squares;
}

double GAUGE_CALL showHeightLabel(GaugeElement* element) {
    writeText(element, "RA ");
    return slotA(element);
}

// The host's radar height in metres; the readout is in feet.
double GAUGE_CALL showRadarHeight(GaugeElement* element) {
    double feet = slotA(element) * kFeetPerMetre;
    double shown = feet < kRadarHeightCapFt ? feet : kRadarHeightCapFt;
    writeWhole(element, shown, 3, kZeroPad);
    return shown;
}

double GAUGE_CALL showTargetHeight(GaugeElement* element) {
    writeWhole(element, controller.targetHeightFt, 3, kSpacePad);
    return controller.targetHeightFt;
}

double GAUGE_CALL showWindLabel(GaugeElement* element) {
    writeText(element, "WIND");
    return slotA(element) + slotB(element);
}

// Direction in degrees, then the speed, as 270/07.
double GAUGE_CALL showWind(GaugeElement* element) {
    double direction = slotA(element);
    double speed = slotB(element);
    double shownSpeed = speed <= kWindSpeedCap ? speed : kWindSpeedCap;
    Text text{};
    putWhole(text, direction, 3, kZeroPad);
    text.put('/');
    putWhole(text, shownSpeed, 2, kZeroPad);
    writeText(element, text);
    return direction + speed;
}

double GAUGE_CALL showBarsLabel(GaugeElement* element) {
    writeText(element, "A M");
    return slotA(element) + slotB(element);
}

double GAUGE_CALL showPitchLabel(GaugeElement* element) {
    writeText(element, "PITCH");
    return slotA(element) + slotB(element);
}

double GAUGE_CALL showStick(GaugeElement*) {
    return static_cast<double>(joystickZ);
}

// Advances once per call, so the bar's time constant is counted in the
// host's refreshes of the element.
// A lever reading that is not a number is passed over: the filter keeps its
// value, since one bad reading would otherwise blank the bar for the rest of
// the session (nothing ever resets the filter).
double GAUGE_CALL showLever(GaugeElement* element) {
    double lever = reinterpret_cast<MovingImageElement*>(element)->yVar.value;
    if (!std::isfinite(lever)) {
        return leverDisplayFilter;
    }
    double filtered = kLeverTake * lever + kLeverKeep * leverDisplayFilter;
    // With the lever at 0 the filter decays onto the smallest subnormal and
    // stays there (0.85 times it rounds back to it); every later call would
    // compute with subnormals, which processors do many times slower.
    if (std::fabs(filtered) < std::numeric_limits<double>::min()) {
        filtered = 0.0;
    }
    leverDisplayFilter = filtered;
    return filtered;
}

// While the unit is off the screen is both hidden by its flag and given the
// no-picture value; switching on reverses both.
double GAUGE_CALL showScreen(GaugeElement* element) {
    if (controller.systemPowerOn != 0) {
        element->drawFlags &= ~static_cast<uint32_t>(kDrawHidden);
        return 0.0;
    }
    element->drawFlags |= kDrawHidden;
    return -1.0;
}

double GAUGE_CALL showPowerSwitch(GaugeElement*) {
    return static_cast<double>(controller.systemPowerOn);
}

double GAUGE_CALL showEngagedLamp(GaugeElement*) {
    return controller.hoverEngaged != 0 ? 0.0 : -1.0;
}

double GAUGE_CALL showGuard(GaugeElement*) {
    return static_cast<double>(controller.guardOpen);
}
