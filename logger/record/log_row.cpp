// SPDX-License-Identifier: MIT
#include "logger/record/log_row.h"

#include <cstring>

#include "logger/record/number_format.h"
#include "sdk/gauge_sdk.h"

namespace {

constexpr int kTimeDecimals = 4;
constexpr int kCountDecimals = 1;
constexpr int kOtherDecimals = 6;

constexpr uint32_t kPositionTokens[kAxisCount] = {kTokenElevatorPosition, kTokenAileronPosition,
                                                  kTokenRudderPosition, kTokenThrottlePosition};
constexpr uint32_t kAxisEvents[kAxisCount] = {kEventElevator, kEventAileron, kEventRudder, kEventThrottle};
constexpr const char* kAxisNames[kAxisCount] = {"elevator", "aileron", "rudder", "throttle"};

// Appends to a line held in a fixed buffer, never past its end (a longest
// line is far shorter than the buffer; what would not fit is left out).
class Line {
public:
    explicit Line(char (&buffer)[kMaxRowLength]) : buffer_(buffer) {}
    void text(const char* s) {
        const size_t n = std::strlen(s);
        if (length_ + n < kMaxRowLength) {
            std::memcpy(buffer_ + length_, s, n);
            length_ += n;
        }
        buffer_[length_] = '\0';
    }
    void number(double value, int decimals) {
        char digits[kNumberTextSize];
        formatFixed(value, decimals, digits);
        text(digits);
    }
    void token(uint32_t value) {
        char digits[12];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        char reversed[12];
        for (int i = 0; i < count; ++i) {
            reversed[i] = digits[count - 1 - i];
        }
        reversed[count] = '\0';
        text(reversed);
    }
    size_t length() const { return length_; }

private:
    char (&buffer_)[kMaxRowLength];
    size_t length_ = 0;
};

}  // namespace

uint32_t positionToken(Axis axis) {
    return kPositionTokens[static_cast<int>(axis)];
}

uint32_t axisEvent(Axis axis) {
    return kAxisEvents[static_cast<int>(axis)];
}

const char* axisName(Axis axis) {
    return kAxisNames[static_cast<int>(axis)];
}

const char* inputName(InputKind input) {
    switch (input) {
    case InputKind::kMultiStep:
        return "3211";
    case InputKind::kSweep:
        return "sweep";
    case InputKind::kNone:
        break;
    }
    return "none";
}

size_t formatHeader(uint32_t bankToken, char (&out)[kMaxRowLength]) {
    Line line(out);
    line.text("sim_time:604,heading:86,velocity_north:554,velocity_east:555,vertical_speed:556,"
              "yaw_rate:70,pitch:77,bank:");
    line.token(bankToken);
    line.text(",radar_height:614,elevator:309,aileron:311,rudder:314,throttle:128,rotor:755,"
              "excited_axis,excitation,input\n");
    return line.length();
}

size_t formatRow(const Readings& readings, const Played& played, char (&out)[kMaxRowLength]) {
    Line line(out);
    const double sixDecimals[] = {readings.heading, readings.velocityNorth, readings.velocityEast,
                                  readings.verticalSpeed, readings.yawRate, readings.pitch,
                                  readings.bank, readings.radarHeight};
    line.number(readings.simTime, kTimeDecimals);
    for (double value : sixDecimals) {
        line.text(",");
        line.number(value, kOtherDecimals);
    }
    for (int axis = 0; axis < kAxisCount; ++axis) {
        const bool sent = played.active && static_cast<int>(played.axis) == axis;
        line.text(",");
        line.number(sent ? played.sentValue : readings.control[axis], kCountDecimals);
    }
    line.text(",");
    line.number(readings.rotor, kOtherDecimals);
    line.text(",");
    line.text(played.active ? axisName(played.axis) : "none");
    line.text(",");
    line.number(played.active ? played.added : 0.0, kCountDecimals);
    line.text(",");
    line.text(played.active ? inputName(played.input) : "none");
    line.text("\n");
    return line.length();
}
