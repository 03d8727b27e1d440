// SPDX-License-Identifier: MIT
//
// GoogleTest's Notification for the Windows build's win32 thread model,
// which has no std::mutex or std::condition_variable to build GoogleTest's
// own on. Included ahead of every GoogleTest source and test; GoogleTest
// takes it when GTEST_HAS_NOTIFICATION_ is set. It only starts threads in
// GoogleTest's own tests; here it lets GoogleTest compile.
#ifndef HOVER_CMAKE_GTEST_NOTIFICATION_WIN32_H
#define HOVER_CMAKE_GTEST_NOTIFICATION_WIN32_H

#ifdef __cplusplus
#include <windows.h>

namespace testing::internal {

class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace testing::internal
#endif

#endif
