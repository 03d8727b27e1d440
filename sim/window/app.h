// SPDX-License-Identifier: MIT
//
// The desktop window: SDL's window, events, game controllers and the frame
// clock around a live session. Everything shown is the session's; this is
// only the frame loop, the input and the copy of the picture to the screen.
#ifndef HOVER_SIM_WINDOW_APP_H
#define HOVER_SIM_WINDOW_APP_H

#include <string>

#include "sim/window/live.h"

namespace window {

struct AppOptions {
    LiveOptions live;
    double speed = 1.0;       // times real time
    std::string stateOut;     // a line per second of host time, and the layout
    double quitAfterS = 0.0;  // host seconds, then quit as if asked; 0: never
    std::string pictureDir = ".";
};

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitExpectationFailed = 1;
constexpr int kExitCannotRun = 2;

int runApp(const AppOptions& options);

// Whether there is a display to open: an X11 or Wayland one named in the
// environment, or a video driver the user asked SDL for by name (which SDL
// itself then judges).
bool hasDisplay(const char* x11, const char* wayland, const char* requested);

// Whether SDL's video driver shows the pilot anything; a driver that shows
// nothing only when the user asked for it by name.
bool headlessDriverAllowed(const std::string& driver, const char* requested);

}  // namespace window

#endif
