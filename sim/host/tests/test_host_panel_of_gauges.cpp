// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/host/gauge_host.h"

namespace {

// Two stand-in gauges from two "modules": each has its own ImportTable and
// header, sends the events it is given in its update and notes the services
// and the elevator position it read, so a test sees what each was served.
struct StandIn {
    GaugeImports imports{15, nullptr, 0, nullptr};
    GaugeHeader header{};
    GaugeLinkage linkage{};
    std::vector<host::SentEvent> toSend;
    std::vector<uint32_t> services;
    double elevatorRead = 0.0;
};

StandIn first;
StandIn second;
std::vector<std::string> callOrder;

void serve(StandIn& gauge, const char* name, uint32_t code) {
    gauge.services.push_back(code);
    callOrder.push_back(std::string(name) + ":" + std::to_string(code));
    if (code != kServicePreUpdate) {
        return;
    }
    HostVar variable{};
    variable.tokenId = kTokenElevatorPosition;
    gauge.imports.hostApi->readVariable(&variable);
    gauge.elevatorRead = variable.value;
    for (const host::SentEvent& e : gauge.toSend) {
        gauge.imports.hostApi->sendEvent(e.id, e.value);
    }
}

void GAUGE_CALL serviceFirst(GaugeHeader*, uint32_t code, uintptr_t) {
    serve(first, "first", code);
}

void GAUGE_CALL serviceSecond(GaugeHeader*, uint32_t code, uintptr_t) {
    serve(second, "second", code);
}

void reset(StandIn& gauge, ServiceCallback callback) {
    gauge = StandIn{};
    gauge.header.version = 800;
    gauge.header.serviceCallback = callback;
    gauge.linkage.gauges[0] = &gauge.header;
}

class PanelOfGauges : public ::testing::Test {
protected:
    void SetUp() override {
        reset(first, serviceFirst);
        reset(second, serviceSecond);
        callOrder.clear();
    }

    bool attachBoth(host::GaugeHost& gaugeHost) {
        std::string error;
        return gaugeHost.attach(&first.linkage, &first.imports, "KprUp 2", error)
               && gaugeHost.attachAnother(&second.linkage, &second.imports, "elevator=300", error) == 1;
    }
};

TEST_F(PanelOfGauges, EveryModuleGetsTheOneTableAndItsOwnParameterString) {
    host::GaugeHost gaugeHost;
    ASSERT_TRUE(attachBoth(gaugeHost));
    ASSERT_NE(+first.imports.hostApi, nullptr);
    EXPECT_EQ(+first.imports.hostApi, +second.imports.hostApi);
    EXPECT_STREQ(first.header.parameters, "KprUp 2");
    EXPECT_STREQ(second.header.parameters, "elevator=300");
    EXPECT_EQ(gaugeHost.gaugeCount(), 2);
    gaugeHost.detach();
    EXPECT_EQ(+first.imports.hostApi, nullptr);
    EXPECT_EQ(+second.imports.hostApi, nullptr);
    EXPECT_EQ(+second.header.parameters, nullptr);
}

TEST_F(PanelOfGauges, AnotherGaugeNeedsAFirstAndCannotBeAttachedTwice) {
    host::GaugeHost gaugeHost;
    std::string error;
    EXPECT_EQ(gaugeHost.attachAnother(&second.linkage, &second.imports, "", error), -1);
    EXPECT_FALSE(error.empty());
    ASSERT_TRUE(gaugeHost.attach(&first.linkage, &first.imports, "", error));
    EXPECT_EQ(gaugeHost.attachAnother(&first.linkage, &first.imports, "", error), -1);
    GaugeLinkage empty{};
    EXPECT_EQ(gaugeHost.attachAnother(&empty, &second.imports, "", error), -1);
    EXPECT_EQ(+second.imports.hostApi, nullptr);
}

TEST_F(PanelOfGauges, EachGaugeIsServedOnItsOwnAndTheSecondReadsTheControlsTheFirstLeft) {
    host::GaugeHost gaugeHost;
    ASSERT_TRUE(attachBoth(gaugeHost));
    first.toSend = {{kEventElevator, 1200}};
    second.toSend = {{kEventAileron, -300}};
    gaugeHost.preUpdate(0);
    gaugeHost.preUpdate(1);
    EXPECT_EQ(callOrder, (std::vector<std::string>{"first:6", "second:6"}));
    EXPECT_EQ(second.elevatorRead, 1200.0);
    EXPECT_EQ(gaugeHost.controls().aileron, -300.0);
    gaugeHost.preKill(1);
    EXPECT_EQ(first.services, (std::vector<uint32_t>{6}));
    EXPECT_EQ(second.services, (std::vector<uint32_t>{6, 12}));
}

TEST_F(PanelOfGauges, EventsAreKeptBySenderSoTheHoldsCommandsAreOnlyItsOwn) {
    host::GaugeHost gaugeHost;
    ASSERT_TRUE(attachBoth(gaugeHost));
    first.toSend = {{kEventRudder, 100}};
    second.toSend = {{kEventElevator, 50}, {kEventThrottle, 9000}};
    gaugeHost.pilotEvent(kEventAileron, 700);
    gaugeHost.preUpdate(0);
    gaugeHost.preUpdate(1);
    ASSERT_EQ(gaugeHost.events().size(), 1u);
    EXPECT_EQ(gaugeHost.events()[0].id, kEventRudder);
    EXPECT_EQ(gaugeHost.eventsFrom(1).size(), 2u);
    ASSERT_EQ(gaugeHost.eventsFrom(host::kPilotSender).size(), 1u);
    EXPECT_EQ(gaugeHost.eventsFrom(host::kPilotSender)[0].value, 700);
    // The pilot's event moved the control as a gauge's does.
    EXPECT_EQ(gaugeHost.controls().aileron, 700.0);
    // An event outside a service call is the acting sender's: a click on
    // the second gauge's face.
    gaugeHost.setActingSender(1);
    gaugeHost.onEvent(kEventRudder, 5);
    gaugeHost.setActingSender(0);
    EXPECT_EQ(gaugeHost.eventsFrom(1).size(), 3u);
    EXPECT_TRUE(gaugeHost.eventsFrom(-1).empty());
    EXPECT_TRUE(gaugeHost.eventsFrom(99).empty());
    gaugeHost.clearEvents();
    EXPECT_TRUE(gaugeHost.events().empty());
    EXPECT_TRUE(gaugeHost.eventsFrom(1).empty());
    EXPECT_TRUE(gaugeHost.eventsFrom(host::kPilotSender).empty());
}

}  // namespace
