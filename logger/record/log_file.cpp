// SPDX-License-Identifier: MIT
#include "logger/record/log_file.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// The one stream buffer: there is at most one log open at a time. Large
// enough that a second of rows never fills it, so the stream writes only
// when the logger flushes it.
constinit char streamBuffer[16384];

void putDigits(char*& p, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    p += width;
}

// Creates `path` only if it does not exist yet, in one step, so that no
// other file of that name can be overwritten; binary, so that '\n' stays
// one byte on Windows. Null with errno set when it cannot.
FILE* createExclusive(const char* path) {
#ifdef _WIN32
    const int fd = _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        return nullptr;
    }
    FILE* stream = _fdopen(fd, "wb");
    if (stream == nullptr) {
        _close(fd);
    }
#else
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return nullptr;
    }
    FILE* stream = fdopen(fd, "w");
    if (stream == nullptr) {
        close(fd);
    }
#endif
    return stream;
}

void endLog(LogFile& log) {
    log.stream = nullptr;
    log.rowsSinceFlush = 0;
}

}  // namespace

bool logPath(const char* folder, const CalendarTime& when, int suffix, char (&out)[kMaxLogPathLength + 1]) {
    out[0] = '\0';
    const bool fits = when.year >= 0 && when.year <= 9999 && when.month >= 1 && when.month <= 12
                      && when.day >= 1 && when.day <= 31 && when.hour >= 0 && when.hour <= 23
                      && when.minute >= 0 && when.minute <= 59 && when.second >= 0 && when.second <= 60
                      && suffix >= 1 && suffix <= kMaxNameSuffix;
    const size_t folderLength = std::strlen(folder);
    if (!fits || folderLength > kMaxFolderLength) {
        return false;
    }
    char* p = out;
    std::memcpy(p, folder, folderLength);
    p += folderLength;
    if (folderLength > 0 && folder[folderLength - 1] != '/' && folder[folderLength - 1] != '\\') {
        *p++ = '/';
    }
    std::memcpy(p, "hoverlog-", 9);
    p += 9;
    putDigits(p, when.year, 4);
    putDigits(p, when.month, 2);
    putDigits(p, when.day, 2);
    *p++ = '-';
    putDigits(p, when.hour, 2);
    putDigits(p, when.minute, 2);
    putDigits(p, when.second, 2);
    if (suffix > 1) {
        *p++ = '-';
        putDigits(p, suffix, suffix < 10 ? 1 : suffix < 100 ? 2 : 3);
    }
    std::memcpy(p, ".csv", 5);
    return true;
}

bool openNewLog(LogFile& log, const char* folder, const CalendarTime& when) {
    closeLog(log);
    for (int suffix = 1; suffix <= kMaxNameSuffix; ++suffix) {
        if (!logPath(folder, when, suffix, log.path)) {
            return false;
        }
        errno = 0;
        FILE* stream = createExclusive(log.path);
        if (stream != nullptr) {
            if (std::setvbuf(stream, streamBuffer, _IOFBF, sizeof streamBuffer) != 0) {
                std::fclose(stream);
                return false;
            }
            log.stream = stream;
            log.rowsSinceFlush = 0;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool appendToLog(LogFile& log, const char* text, size_t length, bool rowEnd) {
    if (log.stream == nullptr) {
        return false;
    }
    bool good = std::fwrite(text, 1, length, log.stream) == length;
    if (good && rowEnd && ++log.rowsSinceFlush >= kRowsPerFlush) {
        log.rowsSinceFlush = 0;
        good = std::fflush(log.stream) == 0;
    }
    if (good && std::ferror(log.stream) != 0) {
        good = false;
    }
    if (!good) {
        std::fclose(log.stream);
        endLog(log);
    }
    return good;
}

bool closeLog(LogFile& log) {
    if (log.stream == nullptr) {
        return true;
    }
    const bool flushed = std::fflush(log.stream) == 0 && std::ferror(log.stream) == 0;
    const bool closed = std::fclose(log.stream) == 0;
    endLog(log);
    return flushed && closed;
}
