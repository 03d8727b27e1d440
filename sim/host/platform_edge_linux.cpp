// SPDX-License-Identifier: MIT
//
// The native host's main window, registered with the platform stand-in;
// the stick (platform_edge_stick.cpp) is always the stand-in's.
#include <fake_platform.h>

#include "sim/host/platform_edge.h"

namespace host {

namespace {

// The stand-in's window handles are opaque: any address of the host's own
// stands for its main window.
int mainWindow = 0;

}  // namespace

void showMainWindow() {
    fakeplatform::registerWindow("FS98MAIN", reinterpret_cast<HWND>(&mainWindow));
}

void hideMainWindow() {
    fakeplatform::registerWindow("FS98MAIN", nullptr);
}

bool stickAvailable() {
    return true;
}

}  // namespace host
