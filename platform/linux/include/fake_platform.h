// SPDX-License-Identifier: MIT
//
// Scripting side of the Linux platform stand-in: what a test or the
// simulated host sets up that a real Windows machine would simply have.
#ifndef HOVER_PLATFORM_LINUX_FAKE_PLATFORM_H
#define HOVER_PLATFORM_LINUX_FAKE_PLATFORM_H

#include <windows.h>

namespace fakeplatform {

// Makes FindWindowA answer `window` for `className`; null forgets it.
void registerWindow(const char* className, HWND window);

// Forgets every window.
void resetWindows();

}  // namespace fakeplatform

#endif
