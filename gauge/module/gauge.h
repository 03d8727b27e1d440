// SPDX-License-Identifier: MIT
//
// The top of the module: the exported Linkage record, the header of the
// gauge `hover` and the dispatch of the host's service calls. Everything
// else the header points at (the element tree, the mouse table) is declared
// by the folder that defines it; the header itself is declared with the
// element records (display/elements.h), which point back at it.
#ifndef HOVER_MODULE_GAUGE_H
#define HOVER_MODULE_GAUGE_H

#include <windows.h>

#include <cstdint>

#include "display/elements.h"
#include "state/state.h"
#include "hostif/host_interface.h"
#include "sdk/gauge_sdk.h"

extern "C" {
GAUGE_EXPORT extern GaugeLinkage Linkage;
}

// The host's main window, found at pre-install; null until then or when the
// host has none of class "FS98MAIN".
inline constinit HWND& simWindow = moduleState.simWindow;

void GAUGE_CALL handleService(GaugeHeader* header, uint32_t code, uintptr_t extra);

// Puts the whole module back as the host finds it at load: every field of
// the module state to its load value, after the joystick's objects are
// released, and the three values the host's own records hold (the function
// table in ImportTable, the parameter string in the header, the screen's
// hidden bit) cleared. The module never calls it itself: it is for hosts
// that run many sessions in one process (the tests, the benchmarks, the
// fuzzers), each of which must begin as a fresh load would.
void resetToLoadState();

#endif
