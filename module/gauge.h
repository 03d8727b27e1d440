// SPDX-License-Identifier: MIT
//
// The module's exported records, the header of the gauge `hover` and the
// dispatch of the host's service calls.
#ifndef HOVER_MODULE_GAUGE_H
#define HOVER_MODULE_GAUGE_H

#include <windows.h>

#include <cstdint>

#include "sdk/gauge_sdk.h"

// The two records the host finds by name. The Windows build exports them
// through its module definition file; the native build marks them here.
#ifdef _WIN32
#define GAUGE_EXPORT
#else
#define GAUGE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
GAUGE_EXPORT extern GaugeLinkage Linkage;
GAUGE_EXPORT extern GaugeImports ImportTable;
}

extern GaugeHeader hoverGauge;

// The host's main window, found at pre-install; null until then or when the
// host has none of class "FS98MAIN".
extern HWND simWindow;

void GAUGE_CALL handleService(GaugeHeader* header, uint32_t code, uintptr_t extra);

// The element tree's root list and the mouse rectangle table the header
// points to.
extern ElementList gaugeElements[];
extern MouseRect mouseRects[];

#endif
