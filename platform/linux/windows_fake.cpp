// SPDX-License-Identifier: MIT
#include <cstring>

#include "fake_platform.h"

namespace {

struct WindowEntry {
    char className[64];
    HWND window;
};

constexpr int kMaxWindows = 8;
WindowEntry windows[kMaxWindows];

}  // namespace

namespace fakeplatform {

void registerWindow(const char* className, HWND window) {
    for (WindowEntry& entry : windows) {
        if (entry.window != nullptr && std::strcmp(entry.className, className) == 0) {
            entry.window = window;
            return;
        }
    }
    if (window == nullptr) {
        return;
    }
    for (WindowEntry& entry : windows) {
        if (entry.window == nullptr) {
            std::strncpy(entry.className, className, sizeof entry.className - 1);
            entry.className[sizeof entry.className - 1] = '\0';
            entry.window = window;
            return;
        }
    }
}

void resetWindows() {
    for (WindowEntry& entry : windows) {
        entry = WindowEntry{};
    }
}

}  // namespace fakeplatform

extern "C" HWND FindWindowA(LPCSTR className, LPCSTR) {
    if (className == nullptr) {
        return nullptr;
    }
    for (const WindowEntry& entry : windows) {
        if (entry.window != nullptr && std::strcmp(entry.className, className) == 0) {
            return entry.window;
        }
    }
    return nullptr;
}
