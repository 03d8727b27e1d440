// SPDX-License-Identifier: MIT
//
// The log file: a new file per recording, named by the local date and time
// at its start, never one that exists already; written through the C
// library's buffered stream over one static buffer, so that a recording
// allocates only when it opens its file, and flushed about once a second
// rather than per row, so that a slow disk never stalls the host's update.
// The first write, flush or close that fails ends the file: it is closed at
// once and what reached it before stays.
#ifndef HOVER_LOGGER_RECORD_LOG_FILE_H
#define HOVER_LOGGER_RECORD_LOG_FILE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "logger/record/settings.h"

// A local date and time, as the file name shows it.
struct CalendarTime {
    int year;    // e.g. 2026
    int month;   // 1..12
    int day;     // 1..31
    int hour;    // 0..23
    int minute;  // 0..59
    int second;  // 0..60
};

// Rows between flushes: the host's panel updates about 18 times a second.
constexpr uint32_t kRowsPerFlush = 18;
// hoverlog-YYYYMMDD-HHMMSS-NNN.csv after the folder and its separator.
constexpr size_t kMaxLogPathLength = kMaxFolderLength + 40;
// Names tried for one start time: the plain one, then -2 .. -999.
constexpr int kMaxNameSuffix = 999;

struct LogFile {
    FILE* stream;  // null while no file is open
    char path[kMaxLogPathLength + 1];
    uint32_t rowsSinceFlush;
};

constexpr LogFile kClosedLog = {.stream = nullptr, .path = "", .rowsSinceFlush = 0};

// Writes into `out` the path of the log started at `when` in `folder` (empty:
// the current folder) with the given suffix (1: none). False, leaving `out`
// empty, when the date does not fit the name's fields.
bool logPath(const char* folder, const CalendarTime& when, int suffix, char (&out)[kMaxLogPathLength + 1]);

// Creates the first of the names for `when` that does not exist yet, and
// opens it. False, with no file open, when none can be created.
bool openNewLog(LogFile& log, const char* folder, const CalendarTime& when);

// Appends `length` bytes; at the end of a row (`rowEnd`) flushes every
// kRowsPerFlush rows. False, with the file closed, when the write fails.
bool appendToLog(LogFile& log, const char* text, size_t length, bool rowEnd);

// Flushes and closes the file. False when what was buffered could not be
// written. Nothing when no file is open.
bool closeLog(LogFile& log);

#endif
