// SPDX-License-Identifier: MIT
//
// The top of the module: the exported Linkage record, the header of the
// gauge `hover` and the dispatch of the host's service calls. Everything
// else the header points at (the element tree, the mouse table) is declared
// by the folder that defines it.
#ifndef HOVER_MODULE_GAUGE_H
#define HOVER_MODULE_GAUGE_H

#include <windows.h>

#include <cstdint>

#include "hostif/host_interface.h"
#include "sdk/gauge_sdk.h"

extern "C" {
GAUGE_EXPORT extern GaugeLinkage Linkage;
}

// The element records point back at this header: the one reference from a
// lower folder to this one, because the host's records require it.
extern GaugeHeader hoverGauge;

// The host's main window, found at pre-install; null until then or when the
// host has none of class "FS98MAIN".
extern HWND simWindow;

void GAUGE_CALL handleService(GaugeHeader* header, uint32_t code, uintptr_t extra);

#endif
