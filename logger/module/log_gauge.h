// SPDX-License-Identifier: MIT
//
// The top of the logging module: the exported Linkage record, the header of
// the gauge `hoverlog` and the dispatch of the host's service calls.
#ifndef HOVER_LOGGER_MODULE_LOG_GAUGE_H
#define HOVER_LOGGER_MODULE_LOG_GAUGE_H

#include <cstdint>

#include "hostif/host_interface.h"
#include "sdk/gauge_sdk.h"

extern "C" {
GAUGE_EXPORT extern GaugeLinkage Linkage;
}

void GAUGE_CALL handleLoggerService(GaugeHeader* header, uint32_t code, uintptr_t extra);

// Puts the module back as the host finds it at load, for hosts that run
// many sessions in one process (the tests): an open log is closed, the
// state and the host's table and parameter string cleared. The module never
// calls it itself.
void resetLoggerToLoadState();

#endif
