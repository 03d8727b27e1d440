// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sim/host/gauge_host.h"
#include "sim/host/panel.h"

namespace {

// A stand-in gauge whose update sends the events it is given and reads one
// token through the host's table.
GaugeImports imports{15, nullptr, 0, nullptr};
std::vector<host::SentEvent> toSend;
uint32_t tokenToRead = 0;
double valueRead = 0.0;
std::vector<uint32_t> servicesSeen;

void GAUGE_CALL service(GaugeHeader*, uint32_t code, uintptr_t) {
    servicesSeen.push_back(code);
    if (code != kServicePreUpdate) {
        return;
    }
    for (const host::SentEvent& e : toSend) {
        imports.hostApi->sendEvent(e.id, e.value);
    }
    HostVar variable{};
    variable.tokenId = tokenToRead;
    imports.hostApi->readVariable(&variable);
    valueRead = variable.value;
}

GaugeHeader header{};
GaugeLinkage linkage{};

class HostGauge : public ::testing::Test {
protected:
    void SetUp() override {
        header = GaugeHeader{};
        header.version = 800;
        header.serviceCallback = service;
        linkage = GaugeLinkage{};
        linkage.gauges[0] = &header;
        imports = GaugeImports{15, nullptr, 0, nullptr};
        toSend.clear();
        servicesSeen.clear();
        tokenToRead = 0;
        valueRead = 0.0;
    }
};

TEST_F(HostGauge, AttachingWritesTheTableAndAHostOwnedParameterString) {
    host::GaugeHost gaugeHost;
    std::string error;
    ASSERT_TRUE(gaugeHost.attach(&linkage, &imports, "KprUp 2", error)) << error;
    ASSERT_NE(+imports.hostApi, nullptr);
    EXPECT_NE(imports.hostApi->readVariable, nullptr);
    EXPECT_NE(imports.hostApi->sendEvent, nullptr);
    ASSERT_NE(+header.parameters, nullptr);
    EXPECT_STREQ(header.parameters, "KprUp 2");
    gaugeHost.preInstall(0);
    gaugeHost.connectToWindow();
    gaugeHost.preUpdate();
    gaugeHost.preKill();
    EXPECT_EQ(servicesSeen, (std::vector<uint32_t>{2, 14, 6, 12}));
    gaugeHost.detach();
    EXPECT_EQ(+imports.hostApi, nullptr);
    EXPECT_EQ(+header.parameters, nullptr);
}

TEST_F(HostGauge, AxisEventsMoveTheControlsWithinTheirTravelAndReadBack) {
    host::GaugeHost gaugeHost;
    std::string error;
    ASSERT_TRUE(gaugeHost.attach(&linkage, &imports, "", error));
    toSend = {{kEventRudder, -6000},
              {kEventAileron, 20000},
              {kEventElevator, 1234},
              {kEventThrottle, -5},
              {65999, 1}};
    tokenToRead = kTokenRudderPosition;
    gaugeHost.preUpdate();
    EXPECT_EQ(valueRead, -6000.0);
    EXPECT_EQ(gaugeHost.token(kTokenAileronPosition), 16383.0);
    EXPECT_EQ(gaugeHost.token(kTokenElevatorPosition), 1234.0);
    EXPECT_EQ(gaugeHost.token(kTokenThrottlePosition), 0.0);
    EXPECT_EQ(gaugeHost.events().size(), 5u);
    EXPECT_EQ(gaugeHost.unknownEvents(), (std::vector<uint32_t>{65999}));
}

TEST_F(HostGauge, TokensAreServedAsSetAndUnservedOnesReadZeroAndAreNoted) {
    host::GaugeHost gaugeHost;
    std::string error;
    ASSERT_TRUE(gaugeHost.attach(&linkage, &imports, "", error));
    gaugeHost.setToken(kTokenRadarHeight, 30.48);
    tokenToRead = kTokenRadarHeight;
    gaugeHost.preUpdate();
    EXPECT_EQ(valueRead, 30.48);
    tokenToRead = 999;
    gaugeHost.preUpdate();
    EXPECT_EQ(valueRead, 0.0);
    tokenToRead = 5000;  // beyond the table
    gaugeHost.preUpdate();
    EXPECT_EQ(valueRead, 0.0);
    EXPECT_EQ(gaugeHost.unknownTokens(), (std::vector<uint32_t>{999, 5000}));
}

// A small element tree: the lamp (hidden under failure 21), a target height
// readout and a text that writes past its buffer.
int lampCalls = 0;
double lampValue = 0.0;

double GAUGE_CALL showLamp(GaugeElement*) {
    ++lampCalls;
    return lampValue;
}

double GAUGE_CALL showTarget(GaugeElement* element) {
    auto* text = reinterpret_cast<TextElement*>(element);
    std::memcpy(text->buffer, "120", 4);
    return 120.0 + text->vars[0].value;
}

double GAUGE_CALL showTooLong(GaugeElement* element) {
    auto* text = reinterpret_cast<TextElement*>(element);
    std::memcpy(text->buffer, "123456", 7);
    return 0.0;
}

TEST_F(HostGauge, DrawingReadsTheIconsAndReadoutsAndHonoursTheFailure) {
    FailureEntry failures[] = {{kFailurePanelLights, kFailureActionHide}, {0, 0}};
    IconElement lamp{};
    lamp.base.kind = kElementIcon;
    lamp.base.bitmapId = 80;
    lamp.base.failures = failures;
    lamp.callback = showLamp;
    TextElement target{};
    target.base.kind = kElementText;
    target.base.x = 120;
    target.base.y = 169;
    target.charCount = 3;
    target.vars[0].tokenId = kTokenRadarHeight;
    target.callback = showTarget;
    TextElement tooLong{};
    tooLong.base.kind = kElementText;
    tooLong.charCount = 3;
    tooLong.callback = showTooLong;
    ElementList overLamp[] = {&target.base, &tooLong.base, nullptr};
    lamp.base.overlays = overLamp;
    ElementList root[] = {&lamp.base, nullptr};
    header.elements = root;
    lampCalls = 0;
    lampValue = 0.0;

    host::Panel panel(&header);
    const auto tokens = [](uint32_t token) { return token == kTokenRadarHeight ? 0.5 : 0.0; };
    host::PanelReading reading = panel.walk(tokens, false).reading;
    EXPECT_EQ(reading.lampLit, true);
    EXPECT_EQ(reading.targetHeightFt, 120.5);
    EXPECT_EQ(reading.targetHeightText, "120");
    EXPECT_EQ(reading.elementsDrawn, 3);
    ASSERT_EQ(panel.faults().size(), 1u);
    EXPECT_NE(panel.faults()[0].find("wrote past its 4-byte buffer"), std::string::npos);

    lampValue = -1.0;
    reading = panel.walk(tokens, true).reading;
    EXPECT_EQ(lampCalls, 1);  // hidden by the failure: not called
    EXPECT_FALSE(reading.lampLit.has_value());
    EXPECT_EQ(reading.targetHeightFt, 120.5);  // its overlays are still drawn
    reading = panel.walk(tokens, false).reading;
    EXPECT_EQ(reading.lampLit, false);
}

// A broken tree is walked as far as is sound and each fault named once; a
// sound one at the limits is no fault.
TEST_F(HostGauge, PanelWalksBrokenTreesWithinItsLimits) {
    std::vector<StaticImageElement> images(300);
    std::vector<ElementList> list;
    for (StaticImageElement& image : images) {
        list.push_back(&image.base);
    }
    const auto noTokens = [](uint32_t) { return 0.0; };

    // 256 entries and the null: the longest list a gauge may have.
    list[256] = nullptr;
    header.elements = list.data();
    {
        host::Panel panel(&header);
        EXPECT_TRUE(panel.faults().empty());
        EXPECT_EQ(panel.walk(noTokens, false).elements.size(), 256u);
    }
    // One entry more: the first 256 are walked.
    list[256] = &images[256].base;
    list[257] = nullptr;
    {
        host::Panel panel(&header);
        ASSERT_EQ(panel.faults().size(), 1u);
        EXPECT_NE(panel.faults()[0].find("longer than 256 entries"), std::string::npos);
        EXPECT_EQ(panel.walk(noTokens, false).elements.size(), 256u);
    }
    // An element listed twice, and one whose list holds itself: each is
    // walked once.
    ElementList twice[] = {&images[0].base, &images[0].base, nullptr};
    ElementList under[] = {&images[1].base, nullptr};
    images[0].base.overlays = under;
    images[1].base.overlays = under;
    header.elements = twice;
    {
        host::Panel panel(&header);
        ASSERT_EQ(panel.faults().size(), 1u);
        EXPECT_NE(panel.faults()[0].find("appears twice"), std::string::npos);
        const host::PanelFrame& frame = panel.walk(noTokens, false);
        ASSERT_EQ(frame.elements.size(), 2u);
        EXPECT_EQ(frame.elements[1].depth, 1);
    }
}

}  // namespace
