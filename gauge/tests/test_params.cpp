// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "control/controller.h"
#include "control/params.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

class GainParameters : public ModuleTest {
protected:
    void read(const char* text) {
        buffer_ = text;
        hoverGauge.parameters = buffer_.data();
        readGainParameters(&hoverGauge);
    }

    std::string buffer_;
};

void expectDefaults() {
    for (const DocumentedGain& row : kDocumentedGains) {
        EXPECT_EQ((controller.*row.loop).*row.gain, row.defaultValue) << row.key;
    }
}

TEST_F(GainParameters, AbsentEmptyOrKeylessStringsGiveTheDefaults) {
    controller = ControllerState{};
    readGainParameters(nullptr);
    expectDefaults();

    controller = ControllerState{};
    hoverGauge.parameters = nullptr;
    readGainParameters(&hoverGauge);
    expectDefaults();

    controller = ControllerState{};
    read("");
    expectDefaults();

    controller = ControllerState{};
    read("nothing to see here 123");
    expectDefaults();
}

TEST_F(GainParameters, TheFactorScalesTheSignedDefault) {
    read("KprUp2");
    EXPECT_EQ(controller.up.Kpr, -4000.0);
    read("KprUp 0.5");
    EXPECT_EQ(controller.up.Kpr, -1000.0);
    read("KprUp-1");
    EXPECT_EQ(controller.up.Kpr, 2000.0);
    read("KprUp1e1");
    EXPECT_EQ(controller.up.Kpr, -20000.0);
    read("KprUp \t\n\v\f\r+3");
    EXPECT_EQ(controller.up.Kpr, -6000.0);
    read("KprUp.5");
    EXPECT_EQ(controller.up.Kpr, -1000.0);
    read("KprUp5.");
    EXPECT_EQ(controller.up.Kpr, -10000.0);
    read("KprUp2.5E-1");
    EXPECT_EQ(controller.up.Kpr, -500.0);
}

TEST_F(GainParameters, AKeyWithoutANumberGivesZero) {
    read("KprUp=2");
    EXPECT_EQ(controller.up.Kpr, 0.0);
    read("TvUp 1 KprUp");
    EXPECT_EQ(controller.up.Kpr, 0.0);
    read("KprUp-");
    EXPECT_EQ(controller.up.Kpr, 0.0);
    read("KprUp.");
    EXPECT_EQ(controller.up.Kpr, 0.0);
    read("KprUp,5");
    EXPECT_EQ(controller.up.Kpr, 0.0);
}

TEST_F(GainParameters, ReadingStopsAtTheFirstCharacterThatDoesNotFit) {
    read("KprUp0,5");
    EXPECT_EQ(controller.up.Kpr, 0.0);
    EXPECT_TRUE(std::signbit(controller.up.Kpr)) << "the default -2000 times a zero factor";
    read("KprUp1.5.5");
    EXPECT_EQ(controller.up.Kpr, -3000.0);
    read("KprUp2e");
    EXPECT_EQ(controller.up.Kpr, -4000.0);
    read("KprUp2e+");
    EXPECT_EQ(controller.up.Kpr, -4000.0);
    read("KprUp2x3");
    EXPECT_EQ(controller.up.Kpr, -4000.0);
}

TEST_F(GainParameters, CommentCharactersHideLaterKeys) {
    for (const char* text : {"TvUp 3 / KprUp 2", "TvUp 3 # KprUp 2", "TvUp 3 ' KprUp 2"}) {
        read(text);
        EXPECT_EQ(controller.up.Kpr, -2000.0) << text;
        EXPECT_EQ(controller.up.Tv, 6.0) << text;
    }
    read("KprUp 2 / TvUp 3");
    EXPECT_EQ(controller.up.Kpr, -4000.0);
    EXPECT_EQ(controller.up.Tv, 2.0);
}

TEST_F(GainParameters, OnlyTheFirstOccurrenceCountsAndMatchingIsCaseSensitive) {
    read("KprUp 2 KprUp 3");
    EXPECT_EQ(controller.up.Kpr, -4000.0);
    read("xKprUp3");
    EXPECT_EQ(controller.up.Kpr, -6000.0);
    read("kprup3");
    EXPECT_EQ(controller.up.Kpr, -2000.0);
    // The first occurrence lies after a comment: the key is absent even
    // though no later occurrence is looked at.
    read("# KprUp 3");
    EXPECT_EQ(controller.up.Kpr, -2000.0);
}

TEST_F(GainParameters, KeysStandInAnyOrderWithoutSeparators) {
    read("TnTurn 2 KprTurn 0.5");
    EXPECT_EQ(controller.turn.Kpr, 250.0);
    EXPECT_EQ(controller.turn.Tn, 2.0);
    read("KprTurn2TvTurn3");
    EXPECT_EQ(controller.turn.Kpr, 1000.0);
    EXPECT_EQ(controller.turn.Tv, 6.0);
}

TEST_F(GainParameters, AllTwelveKeysReachTheirOwnGain) {
    read(
        "KprTurn2 TvTurn3 TnTurn4 KprRight5 TvRight6 TnRight7 "
        "KprForward8 TvForward9 TnForward10 KprUp11 TvUp12 TnUp13");
    EXPECT_EQ(controller.turn.Kpr, 1000.0);
    EXPECT_EQ(controller.turn.Tv, 6.0);
    EXPECT_EQ(controller.turn.Tn, 4.0);
    EXPECT_EQ(controller.right.Kpr, 5000.0);
    EXPECT_EQ(controller.right.Tv, 48.0);
    EXPECT_EQ(controller.right.Tn, 14.0);
    EXPECT_EQ(controller.forward.Kpr, -8000.0);
    EXPECT_EQ(controller.forward.Tv, 72.0);
    EXPECT_EQ(controller.forward.Tn, 20.0);
    EXPECT_EQ(controller.up.Kpr, -22000.0);
    EXPECT_EQ(controller.up.Tv, 24.0);
    EXPECT_EQ(controller.up.Tn, 52.0);
}

TEST_F(GainParameters, NumbersBeyondADoubleKeepTheDefaultAndTinyOnesGiveZero) {
    read("KprUp1e999");
    EXPECT_EQ(controller.up.Kpr, -2000.0);
    read("KprUp-1e400");
    EXPECT_EQ(controller.up.Kpr, -2000.0);
    read("KprUp 1e-999");
    EXPECT_EQ(controller.up.Kpr, 0.0);
    EXPECT_TRUE(std::signbit(controller.up.Kpr)) << "the default -2000 times a zero factor";
    read("KprUp 0.0000001e-400");
    EXPECT_EQ(controller.up.Kpr, 0.0);
    EXPECT_TRUE(std::signbit(controller.up.Kpr)) << "the default -2000 times a zero factor";
    read("KprUp 0e999999");
    EXPECT_EQ(controller.up.Kpr, 0.0);
    EXPECT_TRUE(std::signbit(controller.up.Kpr)) << "the default -2000 times a zero factor";
    read("KprUp 1.7976931348623157e308");
    EXPECT_TRUE(std::isfinite(controller.up.Kpr) == false || controller.up.Kpr < -1e300);
}

TEST_F(GainParameters, HugeStringsAndKeysAtTheVeryEndAreReadSafely) {
    std::string text(1 << 20, 'x');
    text += "KprUp3";
    read(text.c_str());
    EXPECT_EQ(controller.up.Kpr, -6000.0);

    std::string digits = "KprUp0.";
    digits.append(1 << 20, '0');
    digits += "5";
    read(digits.c_str());
    EXPECT_EQ(controller.up.Kpr, 0.0);  // 5e-1048577 rounds to zero
    EXPECT_TRUE(std::signbit(controller.up.Kpr)) << "the default -2000 times a zero factor";

    std::string longNumber = "KprUp";
    longNumber.append(1 << 20, '1');
    longNumber += "e-1048570";
    read(longNumber.c_str());
    EXPECT_NEAR(controller.up.Kpr, -2000.0 * 111111.11111111111, 1e-6);
}

TEST_F(GainParameters, ReadingIsRepeatedAtEveryPreInstall) {
    read("KprUp2");
    EXPECT_EQ(controller.up.Kpr, -4000.0);
    buffer_ = "KprUp3";
    hoverGauge.parameters = buffer_.data();
    handleService(&hoverGauge, kServicePreInstall, 0);
    EXPECT_EQ(controller.up.Kpr, -6000.0);
    buffer_ = "";
    handleService(&hoverGauge, kServicePreInstall, 0);
    expectDefaults();
}

// The host installs the gauge and then connects it to its window; the
// panel's factors must survive the controller reset that comes with it.
TEST_F(GainParameters, TheConnectToWindowResetKeepsThePanelsFactors) {
    buffer_ = "KprUp2 TnTurn0.5 KprForward 0.5 TvForward 0.5";
    hoverGauge.parameters = buffer_.data();
    handleService(&hoverGauge, kServicePreInstall, 0);
    controller.up.Kpr = 123.0;
    controller.up.integral = 4.0;
    handleService(&hoverGauge, kServiceConnectToWindow, 0);
    EXPECT_EQ(controller.up.Kpr, -4000.0);
    EXPECT_EQ(controller.turn.Tn, 0.5);
    EXPECT_EQ(controller.forward.Kpr, -500.0);
    EXPECT_EQ(controller.forward.Tv, 4.0);
    EXPECT_EQ(controller.right.Kpr, 1000.0);
    EXPECT_EQ(controller.up.integral, 0.0);
    EXPECT_EQ(controller.targetHeightFt, 100.0);

    // A later install without a string puts the bare defaults back, and so
    // does every reset after it.
    buffer_ = "";
    handleService(&hoverGauge, kServicePreInstall, 0);
    handleService(&hoverGauge, kServiceConnectToWindow, 0);
    expectDefaults();
}

TEST(FindParameter, GivesTheFirstOccurrenceOrNone) {
    const char* text = "TvUp 1 KprUp 2 KprUp 3";
    EXPECT_EQ(findParameter(text, "KprUp"), text + 7);
    EXPECT_EQ(findParameter(text, "TnUp"), nullptr);
    EXPECT_EQ(findParameter("a/KprUp", "KprUp"), nullptr);
    EXPECT_EQ(findParameter("KprUp/", "KprUp") != nullptr, true);
}

}  // namespace
