// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "control/controller.h"
#include "display/elements.h"
#include "hostif/host_interface.h"
#include "input/mouse.h"
#include "module/gauge.h"
#include "tests/test_host.h"

#ifndef _WIN32
#include "fake_platform.h"
#endif

namespace {

template <typename Record>
uint32_t wordAt(const Record& record, size_t offset) {
    uint32_t word = 0;
    std::memcpy(&word, reinterpret_cast<const unsigned char*>(&record) + offset, sizeof word);
    return word;
}

std::vector<unsigned char> bytesOf(const ControllerState& state) {
    const auto* p = reinterpret_cast<const unsigned char*>(&state);
    return std::vector<unsigned char>(p, p + sizeof state);
}

// These tests start from the module exactly as loaded: no host table yet and
// the controller not yet reset by a connect-to-window.
class ModuleFrame : public ModuleTest {
protected:
    void SetUp() override { resetModuleState(); }
};

// The records are packed to 4 bytes, so on the 64-bit build a pointer field
// may be misaligned: fields are copied out before gtest binds a reference.
TEST_F(ModuleFrame, LinkageNamesTheOneGaugeAndTheEmptyRoutine) {
    const ModuleRoutine init = Linkage.init;
    const ModuleRoutine deinit = Linkage.deinit;
    GaugeHeader* const first = Linkage.gauges[0];
    GaugeHeader* const end = Linkage.gauges[1];
    EXPECT_EQ(Linkage.id, 0x13u);
    EXPECT_EQ(Linkage.version, 0x0800u);
    EXPECT_NE(init, nullptr);
    EXPECT_EQ(init, deinit);
    EXPECT_EQ(Linkage.reserved[0], 0u);
    EXPECT_EQ(Linkage.reserved[1], 0u);
    EXPECT_EQ(first, &hoverGauge);
    EXPECT_EQ(end, nullptr);
    init();  // does nothing, may be called at any time
    EXPECT_EQ(Linkage.id, 0x13u);
}

TEST_F(ModuleFrame, ImportTableWaitsForTheHostsTable) {
    HostApi* const api = ImportTable.hostApi;
    void* const endPointer = ImportTable.endPointer;
    EXPECT_EQ(ImportTable.id, 15u);
    EXPECT_EQ(api, nullptr);
    EXPECT_EQ(ImportTable.endId, 0u);
    EXPECT_EQ(endPointer, nullptr);
}

TEST_F(ModuleFrame, GaugeHeaderHoldsTheHostsVersion800Fields) {
    const char* const name = hoverGauge.name;
    ElementList* const elements = hoverGauge.elements;
    MouseRect* const rects = hoverGauge.mouseRects;
    const ServiceCallback service = hoverGauge.serviceCallback;
    EXPECT_EQ(hoverGauge.version, 800u);
    EXPECT_STREQ(name, "hover");
    EXPECT_EQ(elements, gaugeElements);
    EXPECT_EQ(hoverGauge.defaultSize, 100u);
    EXPECT_EQ(rects, mouseRects);
    EXPECT_EQ(service, &handleService);
    EXPECT_EQ(hoverGauge.reserved88, 0u);
    for (uint32_t word : hoverGauge.reserved12)
        EXPECT_EQ(word, 0u);
    for (uint32_t word : hoverGauge.reserved48)
        EXPECT_EQ(word, 0u);
    for (uint32_t word : hoverGauge.reserved96)
        EXPECT_EQ(word, 0u);
}

#if GAUGE_SDK_32BIT
TEST_F(ModuleFrame, RecordsHoldTheirValuesAtTheHostsByteOffsets) {
    EXPECT_EQ(wordAt(Linkage, 0), 0x13u);
    EXPECT_EQ(wordAt(Linkage, 20), 0x0800u);
    EXPECT_EQ(wordAt(Linkage, 24), reinterpret_cast<uintptr_t>(&hoverGauge));
    EXPECT_EQ(wordAt(Linkage, 28), 0u);
    EXPECT_EQ(wordAt(ImportTable, 0), 15u);
    EXPECT_EQ(wordAt(ImportTable, 4), 0u);
    EXPECT_EQ(wordAt(hoverGauge, 0), 800u);
    EXPECT_EQ(wordAt(hoverGauge, 44), 100u);
    EXPECT_EQ(wordAt(hoverGauge, 84), reinterpret_cast<uintptr_t>(&handleService));
    EXPECT_EQ(wordAt(hoverGauge, 92), 0u);
}
#endif

TEST_F(ModuleFrame, UnknownServiceCodesChangeNothing) {
    testHost().install();
    resetController();
    controller.systemPowerOn = 1;
    controller.up.integral = 3.5;
    const auto before = bytesOf(controller);
    for (uint32_t code : {0u, 1u, 3u, 4u, 5u, 7u, 8u, 9u, 10u, 11u, 13u, 15u, 16u, 100u, 0xFFFFFFFFu}) {
        handleService(&hoverGauge, code, 0);
    }
    EXPECT_EQ(bytesOf(controller), before);
    EXPECT_TRUE(testHost().trace().empty());
    EXPECT_EQ(simWindow, nullptr);
}

TEST_F(ModuleFrame, ConnectToWindowPutsTheStartValuesBack) {
    testHost().install();
    EXPECT_EQ(controller.targetHeightFt, 0.0);  // before the first reset
    EXPECT_EQ(controller.up.Kpr, 0.0);
    handleService(&hoverGauge, kServicePreInstall, 0);
    EXPECT_EQ(controller.targetHeightFt, 0.0);  // pre-install sets only the gains
    EXPECT_EQ(controller.up.Kpr, -2000.0);

    controller.systemPowerOn = 1;
    controller.guardOpen = 1;
    controller.hoverEngaged = 1;
    controller.targetHeightFt = 350.0;
    controller.forward.setPoint = 1.5;
    controller.turn.integral = -7.0;
    controller.right.filteredError = 0.25;
    controller.up.Kpr = -4000.0;
    handleService(&hoverGauge, kServiceConnectToWindow, 0);
    EXPECT_EQ(controller.systemPowerOn, 0);
    EXPECT_EQ(controller.guardOpen, 0);
    EXPECT_EQ(controller.hoverEngaged, 0);
    EXPECT_EQ(controller.targetHeightFt, 100.0);
    EXPECT_EQ(controller.forward.setPoint, 0.0);
    EXPECT_EQ(controller.turn.integral, 0.0);
    EXPECT_EQ(controller.right.filteredError, 0.0);
    EXPECT_EQ(controller.up.Kpr, -2000.0);
    EXPECT_EQ(controller.turn.Kpr, 500.0);
    EXPECT_EQ(controller.forward.Tv, 8.0);
    EXPECT_EQ(controller.right.Tn, 2.0);
}

TEST_F(ModuleFrame, WithoutTheHostsTableNothingIsCalledAndReadingsKeepTheirValues) {
    ASSERT_EQ(currentHostApi(), nullptr);
    resetController();
    controller.systemPowerOn = 1;
    controller.guardOpen = 1;
    controller.hoverEngaged = 1;
    hostVars.time.value = 12.5;
    hostVars.heading.value = 90.0;

    for (int frame = 0; frame < 3; ++frame) {
        handleService(&hoverGauge, kServicePreUpdate, 0);
    }
    EXPECT_EQ(+hostVars.time.value, 12.5);
    EXPECT_EQ(+hostVars.heading.value, 90.0);

    HostVar variable{};
    variable.tokenId = kTokenPitch;
    variable.value = 4.25;
    readHostVar(variable);
    EXPECT_EQ(+variable.value, 4.25);
    EXPECT_EQ(readHostToken(kTokenPitch), 0.0);
    sendHostEvent(kEventElevator, 100);  // must simply do nothing
    pressEngage();
    togglePower();
    SUCCEED();
}

TEST_F(ModuleFrame, EveryCallLooksTheTableUpAtTheMomentOfTheCall) {
    testHost().install();
    testHost().set(kTokenPitch, 3.0);
    EXPECT_EQ(readHostToken(kTokenPitch), 3.0);
    testHost().uninstall();
    EXPECT_EQ(readHostToken(kTokenPitch), 0.0);
    testHost().install();
    sendHostEvent(kEventRudder, -5);
    EXPECT_EQ(testHost().trace(), (std::vector<HostCall>{eventOf(kEventRudder, -5)}));
}

TEST_F(ModuleFrame, PersistentRecordsNameTheirTokensAndStartAtZero) {
    EXPECT_EQ(+hostVars.time.tokenId, 604u);
    EXPECT_EQ(+hostVars.heading.tokenId, 86u);
    EXPECT_EQ(+hostVars.velocityNorth.tokenId, 554u);
    EXPECT_EQ(+hostVars.velocityEast.tokenId, 555u);
    EXPECT_EQ(+hostVars.verticalSpeed.tokenId, 556u);
    EXPECT_EQ(+hostVars.yawRate.tokenId, 70u);
    for (const HostVar* v : {&hostVars.time, &hostVars.heading, &hostVars.velocityNorth,
                             &hostVars.velocityEast, &hostVars.verticalSpeed, &hostVars.yawRate}) {
        EXPECT_EQ(+v->value, 0.0);
        EXPECT_EQ(v->hostWords[0], 0u);
        EXPECT_EQ(v->hostWords[1], 0u);
    }
}

#ifndef _WIN32
TEST_F(ModuleFrame, PreInstallFindsTheHostWindowByItsClass) {
    testHost().install();
    HWND window = reinterpret_cast<HWND>(uintptr_t{0x1234});
    fakeplatform::registerWindow("FS98MAIN", window);
    handleService(&hoverGauge, kServicePreInstall, 0);
    EXPECT_EQ(simWindow, window);
    fakeplatform::resetWindows();
    handleService(&hoverGauge, kServicePreInstall, 0);
    EXPECT_EQ(simWindow, nullptr);
}
#endif

}  // namespace
