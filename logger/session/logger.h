// SPDX-License-Identifier: MIT
//
// The logger as the host's calls drive it: its one mutable state, set up
// from the gauge line at pre-install, one row per panel update while
// recording, the record switch and the excite button. The host calls the
// gauge one call at a time on its one thread, so the state needs no lock.
//
// Time inside the logger is the host's simulation time (token 604); the
// wall clock is read only to name a new file.
#ifndef HOVER_LOGGER_SESSION_LOGGER_H
#define HOVER_LOGGER_SESSION_LOGGER_H

#include <cstdint>

#include "logger/excite/player.h"
#include "logger/record/log_file.h"
#include "logger/record/log_row.h"
#include "logger/record/settings.h"

// The local date and time now; false when the clock cannot be read.
using LocalClock = bool (*)(CalendarTime& now);
bool systemLocalTime(CalendarTime& now);

struct LoggerState {
    LoggerSettings settings;
    LogFile log;
    PlayerState player;
    bool fault;         // the last recording could not be opened or written
    uint64_t rowsWritten;  // rows of the current (or last) recording
    LocalClock clock;
};

inline constexpr LoggerState kLoggerLoadState = {
    .settings = kDefaultSettings,
    .log = kClosedLog,
    .player = kIdlePlayer,
    .fault = false,
    .rowsWritten = 0,
    .clock = systemLocalTime,
};

extern constinit LoggerState logger;

bool isRecording();

// Pre-install: the gauge line's settings.
void configureLogger(const char* parameters);

// The record switch: starts a recording in a new file (its header written)
// or stops the one running and closes its file.
void toggleRecording();

// The excite button: the next input of the programme starts at the next
// update, or the one playing ends.
void pressExcite();

// Pre-update: reads the host, plays the excitation, sends its axis event
// and, while recording, appends the row.
void updateLogger();

// Pre-kill: sends the held position back if an input is playing and closes
// the recording's file.
void shutDownLogger();

#endif
