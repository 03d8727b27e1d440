// SPDX-License-Identifier: MIT
#include "logger/module/log_gauge.h"

#include "logger/face/face.h"
#include "logger/session/logger.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// The module has nothing to set up or tear down of its own: the log is
// opened and closed by the service calls.
void GAUGE_CALL moduleInitDeinit() {}

}  // namespace

GaugeHeader loggerGauge = {
    .version = 800,
    .name = "hoverlog",
    .elements = loggerElements,
    .reserved12 = {},
    .defaultSize = 100,
    .reserved48 = {},
    .mouseRects = loggerMouseRects,
    .serviceCallback = handleLoggerService,
    .reserved88 = 0,
    .parameters = nullptr,
    .reserved96 = {},
};

extern "C" {

GaugeLinkage Linkage = {
    .id = 0x13,
    .init = moduleInitDeinit,
    .deinit = moduleInitDeinit,
    .reserved = {0, 0},
    .version = 0x0800,
    .gauges = {&loggerGauge, nullptr},
};

}  // extern "C"

void GAUGE_CALL handleLoggerService(GaugeHeader* header, uint32_t code, uintptr_t) {
    switch (code) {
    case kServicePreInstall:
        configureLogger(header != nullptr ? header->parameters : nullptr);
        break;
    case kServicePreUpdate:
        updateLogger();
        break;
    case kServicePreKill:
        shutDownLogger();
        break;
    default:
        break;
    }
}

void resetLoggerToLoadState() {
    closeLog(logger.log);
    logger = kLoggerLoadState;
    ImportTable.hostApi = nullptr;
    loggerGauge.parameters = nullptr;
}

#ifdef _WIN32
// The entry point does no work of its own: everything happens in the
// service calls.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
#endif
