// SPDX-License-Identifier: MIT
//
// Recording as the host drives it: the file's name and header, one row per
// update, never an existing file overwritten, the flush about once a
// second, a failed write ending the recording with the rows before it kept,
// and pre-kill closing the file complete.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

#include "log_host.h"
#include "logger/face/face.h"
#include "logger/session/logger.h"

namespace {

constexpr const char* kHeader =
    "sim_time:604,heading:86,velocity_north:554,velocity_east:555,vertical_speed:556,"
    "yaw_rate:70,pitch:77,bank:78,radar_height:614,elevator:309,aileron:311,rudder:314,"
    "throttle:128,rotor:755,excited_axis,excitation,input";
// The test clock reads 2026-03-07 14:05:09.
constexpr const char* kLogName = "hoverlog-20260307-140509.csv";

class Recording : public LoggerTest {
protected:
    void updates(int count) {
        for (int i = 0; i < count; ++i) {
            logHost().set(kTokenSimulationTime, 100.0 + 0.0625 * step_++);
            update();
        }
    }
    std::filesystem::path logPath(const char* name = kLogName) const { return folder_ / name; }
    double icon(IconElement& element) { return element.callback(&element.base); }
    int step_ = 0;
};

TEST_F(Recording, RecordSwitchWritesTheHeaderAndOneRowPerUpdate) {
    preInstall("");
    EXPECT_EQ(icon(recordSwitchImage), 0.0);
    EXPECT_EQ(icon(recordingLamp), -1.0);
    clickRecord();
    EXPECT_TRUE(isRecording());
    EXPECT_EQ(icon(recordSwitchImage), 1.0);
    EXPECT_EQ(icon(recordingLamp), 0.0);
    EXPECT_EQ(icon(faultMark), -1.0);
    updates(3);
    clickRecord();
    EXPECT_FALSE(isRecording());
    EXPECT_EQ(icon(recordingLamp), -1.0);

    ASSERT_EQ(logs(), std::vector<std::filesystem::path>{logPath()});
    const std::vector<std::string> lines = linesOf(readWholeFile(logPath()));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], kHeader);
    // The host's hover readings (log_host.cpp) at 100, 100.0625, 100.125 s.
    EXPECT_EQ(lines[1],
              "100.0000,90.000000,0.000000,0.000000,0.000000,0.000000,0.000000,0.000000,100.000000,"
              "800.0,-200.0,2900.0,8900.0,100.000000,none,0.0,none");
    EXPECT_EQ(lines[3].substr(0, 9), "100.1250,");
}

// The aileron 3-2-1-1 after the elevator's pair of inputs is the third
// item; here the first, elevator: held 800, +600 sent as 1400.
TEST_F(Recording, RowOfAnExcitedUpdateNamesTheAxisTheAmountAndTheInput) {
    preInstall("");
    clickRecord();
    clickExcite();
    updates(1);
    clickRecord();
    const std::vector<std::string> cells = cellsOf(linesOf(readWholeFile(logPath()))[1]);
    ASSERT_EQ(cells.size(), 17u);
    EXPECT_EQ(cells[9], "1400.0");
    EXPECT_EQ(cells[10], "-200.0");
    EXPECT_EQ(cells[14], "elevator");
    EXPECT_EQ(cells[15], "600.0");
    EXPECT_EQ(cells[16], "3211");
}

TEST_F(Recording, NeverOverwritesAFileOfTheSameName) {
    {
        std::FILE* existing = std::fopen(logPath().string().c_str(), "wb");
        ASSERT_NE(existing, nullptr);
        std::fputs("keep me\n", existing);
        std::fclose(existing);
    }
    preInstall("");
    clickRecord();
    updates(1);
    clickRecord();
    clickRecord();
    updates(2);
    clickRecord();
    EXPECT_EQ(readWholeFile(logPath()), "keep me\n");
    EXPECT_EQ(linesOf(readWholeFile(logPath("hoverlog-20260307-140509-2.csv"))).size(), 2u);
    EXPECT_EQ(linesOf(readWholeFile(logPath("hoverlog-20260307-140509-3.csv"))).size(), 3u);
    EXPECT_EQ(logs().size(), 3u);
    EXPECT_EQ(icon(faultMark), -1.0);
}

TEST_F(Recording, FolderThatCannotTakeAFileLightsTheFault) {
    parameters_ = "folder=" + (folder_ / "no" / "such" / "folder").generic_string();
    gauge().parameters = parameters_.data();
    gauge().serviceCallback(&gauge(), kServicePreInstall, 0);
    clickRecord();
    EXPECT_FALSE(isRecording());
    EXPECT_EQ(icon(faultMark), 0.0);
    EXPECT_EQ(icon(recordingLamp), -1.0);
    updates(2);  // nothing to write to, nothing written
    EXPECT_FALSE(isRecording());
}

// The rows wait in the stream's buffer and reach the file every 18 rows
// (about a second of the host's 18 updates a second), not per row.
TEST_F(Recording, RowsReachTheFileAboutOnceASecondNotPerRow) {
    preInstall("");
    clickRecord();
    updates(17);
    EXPECT_EQ(readWholeFile(logPath()), "");
    updates(1);
    EXPECT_EQ(linesOf(readWholeFile(logPath())).size(), 19u);
    updates(17);
    EXPECT_EQ(linesOf(readWholeFile(logPath())).size(), 19u);
}

TEST_F(Recording, PreKillClosesTheFileWithEveryRow) {
    preInstall("");
    clickRecord();
    updates(5);
    preKill();
    EXPECT_FALSE(isRecording());
    const std::string text = readWholeFile(logPath());
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    const std::vector<std::string> lines = linesOf(text);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], kHeader);
    EXPECT_EQ(lines[5].substr(0, 9), "100.2500,");
}

TEST_F(Recording, NewRecordingAfterAFaultClearsTheMark) {
    logger.fault = true;
    preInstall("");
    clickRecord();
    EXPECT_EQ(icon(faultMark), -1.0);
}

#ifndef _WIN32
// A real write failure: the process may not make a file longer than a
// limit (RLIMIT_FSIZE), so the write past it fails with EFBIG, as a full
// disk fails one with ENOSPC. The signal the kernel also sends is ignored,
// as a host would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(Recording, FailedWriteStopsTheRecordingLightsTheFaultAndKeepsTheRowsBefore) {
    preInstall("");
    clickRecord();
    updates(18);  // header and 18 rows flushed
    const std::string before = readWholeFile(logPath());
    ASSERT_EQ(linesOf(before).size(), 19u);
    {
        const FileSizeLimit limit(before.size() + 100);  // less than a second's rows
        updates(18);
        EXPECT_FALSE(isRecording());
        EXPECT_EQ(icon(faultMark), 0.0);
        EXPECT_EQ(icon(recordingLamp), -1.0);
        updates(3);  // nothing more is tried
    }
    const std::string after = readWholeFile(logPath());
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_LE(after.size(), before.size() + 100);
    EXPECT_EQ(logger.rowsWritten, 35u);  // the 36th row's flush failed
}
#endif

}  // namespace
