// SPDX-License-Identifier: MIT
#include "logger/session/logger.h"

#include <ctime>

#include "hostif/host_interface.h"

constinit LoggerState logger = kLoggerLoadState;

namespace {

Readings readHost(uint32_t bankToken) {
    Readings r{};
    r.simTime = readHostToken(kTokenSimulationTime);
    r.heading = readHostToken(kTokenHeading);
    r.velocityNorth = readHostToken(kTokenVelocityNorth);
    r.velocityEast = readHostToken(kTokenVelocityEast);
    r.verticalSpeed = readHostToken(kTokenVerticalSpeed);
    r.yawRate = readHostToken(kTokenYawRate);
    r.pitch = readHostToken(kTokenPitch);
    r.bank = readHostToken(bankToken);
    r.radarHeight = readHostToken(kTokenRadarHeight);
    for (int axis = 0; axis < kAxisCount; ++axis) {
        r.control[axis] = readHostToken(positionToken(static_cast<Axis>(axis)));
    }
    r.rotor = readHostToken(kTokenOperating);
    return r;
}

void send(const Played& played) {
    if (played.active) {
        sendHostEvent(axisEvent(played.axis), toAxisCounts(played.axis, played.sentValue));
    }
}

void failRecording() {
    closeLog(logger.log);
    logger.fault = true;
}

}  // namespace

bool systemLocalTime(CalendarTime& now) {
    const std::time_t seconds = std::time(nullptr);
    if (seconds == static_cast<std::time_t>(-1)) {
        return false;
    }
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr) {
        return false;
    }
    now = CalendarTime{.year = local->tm_year + 1900,
                       .month = local->tm_mon + 1,
                       .day = local->tm_mday,
                       .hour = local->tm_hour,
                       .minute = local->tm_min,
                       .second = local->tm_sec};
    return true;
}

bool isRecording() {
    return logger.log.stream != nullptr;
}

void configureLogger(const char* parameters) {
    logger.settings = readSettings(parameters);
}

void toggleRecording() {
    if (isRecording()) {
        if (!closeLog(logger.log)) {
            logger.fault = true;
        }
        return;
    }
    CalendarTime now{};
    logger.rowsWritten = 0;
    if (logger.clock == nullptr || !logger.clock(now)
        || !openNewLog(logger.log, logger.settings.folder, now)) {
        logger.fault = true;
        return;
    }
    logger.fault = false;
    char header[kMaxRowLength];
    const size_t length = formatHeader(logger.settings.bankToken, header);
    if (!appendToLog(logger.log, header, length, false)) {
        failRecording();
    }
}

void pressExcite() {
    requestExcitation(logger.player);
}

void updateLogger() {
    const Readings readings = readHost(logger.settings.bankToken);
    const Played played = stepPlayer(logger.player, logger.settings, readings);
    send(played);
    if (!isRecording()) {
        return;
    }
    char row[kMaxRowLength];
    const size_t length = formatRow(readings, played, row);
    if (appendToLog(logger.log, row, length, true)) {
        ++logger.rowsWritten;
    } else {
        failRecording();
    }
}

void shutDownLogger() {
    send(endInputEarly(logger.player));
    if (isRecording() && !closeLog(logger.log)) {
        logger.fault = true;
    }
}
