// SPDX-License-Identifier: MIT
//
// The live session with the real module, without a display: the gauge
// worked with the mouse at the places the module's mouse table gives, held
// buttons repeating as in scenarios, the session keys, restarts and a
// scenario that stops reading.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/panel/panel_renderer.h"
#include "sim/window/live.h"

namespace window {
namespace {

constexpr int kFps = 18;
// The target height's step per handler call of the height buttons, ft.
constexpr double kHeightStepFt = 1.0;

// A calm hover with no timed events: whatever happens, the test did it.
constexpr const char* kQuietHover = R"(
name = "quiet"
duration = 30
[start]
height_ft = 60
)";

std::string writeFile(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

class LiveSessionTest : public ::testing::Test {
protected:
    void SetUp() override { startWith(kQuietHover); }

    void startWith(const std::string& scenarioText) {
        scenarioPath_ = writeFile("hoverwin_live.toml", scenarioText);
        LiveOptions options;
        options.scenarioPath = scenarioPath_;
        options.aircraftPath = HOVER_AIRCRAFT_DIR "/bo105.toml";
        options.modulePath = HOVER_MODULE_FILE;
        options.bitmaps = HOVER_BITMAP_DIR;
        std::string error;
        ASSERT_TRUE(session_.start(options, error)) << error;
    }

    void fly(int frames) {
        for (int i = 0; i < frames; ++i)
            session_.frame(PilotKeys{}, ControllerState{});
    }

    // The window point of a named area, as the session's layout lines give
    // it from the module's mouse table.
    WindowPoint area(const std::string& name) {
        for (const std::string& line : session_.layoutLines()) {
            std::istringstream in(line);
            std::string kind, areaName;
            WindowPoint p;
            if (in >> kind >> areaName >> p.x >> p.y && kind == "area" && areaName == name)
                return p;
        }
        ADD_FAILURE() << "no area " << name;
        return {};
    }

    void click(const std::string& name) {
        const WindowPoint p = area(name);
        session_.mouseDown(p.x, p.y);
        session_.mouseUp();
        fly(kFps / 2);
    }

    void engage() {
        click("power");
        click("guard");
        click("engage");
        fly(kFps);
    }

    bool lampPainted() const {
        for (const panel::ElementDrawing& d : session_.renderer().elements()) {
            if (d.drawn && d.bitmapShown >= 0 && d.element != nullptr && d.element->kind == kElementIcon
                && session_.lastFrame().panel.lampLit.value_or(false))
                return true;
        }
        return false;
    }

    std::string scenarioPath_;
    LiveSession session_;
};

TEST_F(LiveSessionTest, ClicksAtTheMouseTablesAreasEngageTheHold) {
    fly(2);
    EXPECT_FALSE(session_.lastFrame().commanding);
    EXPECT_EQ(session_.lastFrame().panel.lampLit, std::optional<bool>(false));
    engage();
    EXPECT_TRUE(session_.lastFrame().commanding);
    EXPECT_EQ(session_.lastFrame().panel.powerOn, std::optional<bool>(true));
    EXPECT_EQ(session_.lastFrame().panel.lampLit, std::optional<bool>(true));
    EXPECT_TRUE(lampPainted());
    EXPECT_NE(session_.stateLine().find("engaged=1"), std::string::npos);
    // A press off the gauge reaches nothing: the hold stays engaged.
    session_.mouseDown(session_.layout().situation.centreX(), session_.layout().situation.centreY());
    session_.mouseUp();
    fly(3);
    EXPECT_TRUE(session_.lastFrame().commanding);
}

TEST_F(LiveSessionTest, DrawingTheWindowCallsNoCallbackOfTheModule) {
    engage();
    const uint64_t before = session_.callbackCalls();
    fly(1);
    const uint64_t oneFrame = session_.callbackCalls() - before;
    EXPECT_GT(oneFrame, 0u);
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, session_.layout().width, session_.layout().height);
    cairo_t* cr = cairo_create(surface);
    session_.draw(cr, 1.0);
    session_.draw(cr, 1.0);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    // The picture comes from the frame's one walk; a second frame walks once more.
    EXPECT_EQ(session_.callbackCalls() - before, oneFrame);
    fly(1);
    EXPECT_EQ(session_.callbackCalls() - before, 2 * oneFrame);
}

TEST_F(LiveSessionTest, AHeldButtonRepeatsAsAScenariosHeldButtonDoes) {
    fly(2);
    click("power");
    const double before = session_.lastFrame().panel.targetHeightFt.value_or(0.0);
    // Held for two seconds: the press and then ten calls a second, as a
    // scenario's `hold = "height_up", for = 2` makes (20 calls).
    const WindowPoint up = area("height_up");
    session_.mouseDown(up.x, up.y);
    fly(2 * kFps);
    session_.mouseUp();
    fly(kFps);
    EXPECT_DOUBLE_EQ(session_.lastFrame().panel.targetHeightFt.value_or(0.0), before + 20.0 * kHeightStepFt);
}

TEST_F(LiveSessionTest, FailureAndPauseChangeWhatTheHostDoes) {
    engage();
    session_.toggleFailure21();
    fly(2);
    // The panel lights failed: the lamp is not drawn, the hold flies on.
    EXPECT_FALSE(session_.lastFrame().panel.lampLit.has_value());
    EXPECT_TRUE(session_.lastFrame().commanding);
    session_.toggleFailure21();
    session_.togglePause();
    fly(1);
    const double simTime = session_.lastFrame().simTime;
    const double hostTime = session_.hostTime();
    fly(5);
    // Paused: the simulation stands still while the host's frames run on.
    EXPECT_DOUBLE_EQ(session_.lastFrame().simTime, simTime);
    EXPECT_GT(session_.hostTime(), hostTime);
    EXPECT_TRUE(session_.lastFrame().panel.lampLit.value_or(false));
}

TEST_F(LiveSessionTest, RestartLoadsTheModuleAfresh) {
    engage();
    ASSERT_TRUE(session_.lastFrame().commanding);
    session_.restart();
    fly(2);
    // The second update of the fresh run, on the host's own loop: the panel's
    // second tick at 1/18 s falls on the third of 30 visual frames.
    EXPECT_DOUBLE_EQ(session_.hostTime(), 2.0 / 30.0);
    EXPECT_FALSE(session_.lastFrame().commanding);
    EXPECT_EQ(session_.lastFrame().panel.powerOn, std::optional<bool>(false));
}

TEST_F(LiveSessionTest, AScenarioThatNoLongerReadsIsFlownAsLastRead) {
    writeFile("hoverwin_live.toml", "name = \"quiet\"\nduration = [\n");
    session_.takeMessages();
    session_.restart();
    const std::vector<std::string> messages = session_.takeMessages();
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.front().find("no longer reads"), std::string::npos);
    fly(2);
    EXPECT_EQ(session_.scenario().name, "quiet");
    EXPECT_NEAR(session_.lastFrame().heightFt, 60.0, 1.0);
}

TEST_F(LiveSessionTest, TheSummaryCoversTheFramesFlownSoFar) {
    startWith(std::string(kQuietHover) + "[[expect]]\ncheck = \"not_engaged\"\n");
    fly(kFps);
    std::ostringstream out;
    session_.printSummary(out);
    EXPECT_NE(out.str().find("18 updates"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("[held] not engaged"), std::string::npos) << out.str();
    EXPECT_TRUE(session_.allHeld());
}

TEST(LiveSessionStart, TheAircraftOptionFliesThatHelicopterAlsoAfterARestart) {
    LiveSession session;
    LiveOptions options;
    options.modulePath = HOVER_MODULE_FILE;
    options.bitmaps = HOVER_BITMAP_DIR;
    options.scenarioPath = writeFile("hoverwin_aircraft.toml", kQuietHover);
    options.aircraftPath = HOVER_AIRCRAFT_DIR "/uh1h.toml";
    std::string error;
    ASSERT_TRUE(session.start(options, error)) << error;
    session.restart();
    session.frame(PilotKeys{}, ControllerState{});
    std::ostringstream out;
    session.printSummary(out);
    EXPECT_NE(out.str().find("UH-1H"), std::string::npos) << out.str();
}

TEST(LiveSessionStart, FailsWithTheReasonWhenTheModuleOrScenarioCannotBeLoaded) {
    LiveSession session;
    LiveOptions options;
    options.aircraftPath = HOVER_AIRCRAFT_DIR "/bo105.toml";
    options.modulePath = ::testing::TempDir() + "no_such_module.so";
    std::string error;
    EXPECT_FALSE(session.start(options, error));
    EXPECT_NE(error.find("cannot load the module"), std::string::npos) << error;
    options.modulePath = HOVER_MODULE_FILE;
    options.scenarioPath = writeFile("hoverwin_broken.toml", "duration = \"long\"\n");
    error.clear();
    EXPECT_FALSE(session.start(options, error));
    EXPECT_NE(error.find("hoverwin_broken.toml"), std::string::npos) << error;
}

}  // namespace
}  // namespace window
