// SPDX-License-Identifier: MIT
#include "module/gauge.h"

#include "control/controller.h"
#include "control/params.h"
#include "display/elements.h"
#include "input/joystick.h"
#include "input/mouse.h"

namespace {

// The module init and deinit routine: the module has nothing to set up or
// tear down of its own.
void GAUGE_CALL moduleInitDeinit() {}

}  // namespace

GaugeHeader hoverGauge = {
    .version = 800,
    .name = "hover",
    .elements = gaugeElements,
    .reserved12 = {},
    .defaultSize = 100,
    .reserved48 = {},
    .mouseRects = mouseRects,
    .serviceCallback = handleService,
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
    .gauges = {&hoverGauge, nullptr},
};

}  // extern "C"

void GAUGE_CALL handleService(GaugeHeader* header, uint32_t code, uintptr_t extra) {
    switch (code) {
    case kServicePreInstall:
        readGainParameters(header);
        simWindow = FindWindowA("FS98MAIN", nullptr);
        setModuleInstance(reinterpret_cast<HINSTANCE>(extra));
        openJoystick(simWindow);
        acquireJoystick();
        break;
    case kServicePreUpdate:
        applyJoystick(simWindow);
        updateControlLoops();
        sendAxisCommands();
        break;
    case kServicePreKill:
        releaseJoystick();
        break;
    case kServiceConnectToWindow:
        resetController();
        break;
    default:
        break;
    }
}

void resetToLoadState() {
    releaseJoystick();
    moduleState = kLoadState;
    ImportTable.hostApi = nullptr;
    hoverGauge.parameters = nullptr;
    screenImage.base.drawFlags &= ~static_cast<uint32_t>(kDrawHidden);
}

#ifdef _WIN32
// The entry point does no work of its own: everything happens in the
// service calls.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
#endif
