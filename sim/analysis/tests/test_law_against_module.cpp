// SPDX-License-Identifier: MIT
//
// The linear law against the real module: the module loaded and driven as
// the host drives it, engaged over a trimmed hover, and fed the readings of
// small steps of the flight model's state. Its commands must be the linear
// analysis's, frame by frame, but for the truncation to whole counts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim/analysis/hold_analysis.h"
#include "sim/analysis/tests/source_aircraft.h"
#include "sim/flight/helicopter.h"
#include "sim/scenario/aircraft.h"
#include "sim/host/gauge_host.h"
#include "sim/host/module_library.h"
#include "sim/host/mouse.h"
#include "sim/host/platform_edge.h"

namespace {

using analysistest::bo105;

std::string modulePath;

// The module truncates each command toward zero; the linear law does not.
// That, and nothing else, may part them: under one count, plus a rounding
// allowance.
constexpr double kTruncationCounts = 1.0 + 1e-6;

struct StepCase {
    const char* parameters;
    int delay;
    // 0: served every 1/18 s; otherwise on the host's loop at this many
    // visual frames a second, the time step varying from call to call.
    int visualRate = 0;
};

// The frames at which each reading steps, and by how much (reduced-state
// deviations, small enough that no limit, reset or hold rule acts).
struct Step {
    int frame;
    const char* state;
    double amount;
};
constexpr Step kSteps[] = {
    {6, "u (m/s)", 0.05},      {14, "v (m/s)", -0.04}, {22, "w (m/s)", 0.03},
    {30, "r (rad/s)", 0.0012}, {38, "down (m)", -0.2}, {46, "u (m/s)", -0.08},
};
constexpr int kFrames = 60;
constexpr int kEngageFrame = 3;

int stateIndex(const analysis::LinearPlant& plant, const std::string& name) {
    for (std::size_t i = 0; i < plant.stateNames.size(); ++i) {
        if (plant.stateNames[i] == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

flight::Helicopter::StateVector::size_type modelIndex(const std::string& name) {
    using H = flight::Helicopter;
    if (name == "u (m/s)")
        return H::kU;
    if (name == "v (m/s)")
        return H::kV;
    if (name == "w (m/s)")
        return H::kW;
    if (name == "r (rad/s)")
        return H::kR;
    return H::kDown;
}

class LawAgainstModule : public ::testing::TestWithParam<StepCase> {};

}  // namespace

TEST_P(LawAgainstModule, SmallStepsGiveTheLinearLawsCommandsToTheCount) {
    ASSERT_FALSE(modulePath.empty()) << "pass the module's path as the first argument";
    const StepCase param = GetParam();
    const double rate = 18.0, period = 1.0 / rate;

    // The aircraft in its trim, and its linearisation.
    const analysis::LinearPlant plant = analysis::linearisePlant(bo105());
    ASSERT_TRUE(plant.trimmed);
    flight::Helicopter heli(bo105());
    heli.setControls(plant.trimControls);

    // The gains the string gives, and the law they make: open at the
    // actuators, since the aircraft does not move here; only the readings do.
    std::array<double, 12> factors{};
    factors.fill(1.0);
    if (std::string(param.parameters) == "KprForward 0.5 TvForward 0.5") {
        factors[3] = 0.5;
        factors[4] = 0.5;
    }
    const analysis::Gains gains = analysis::scaledGains(factors);
    const analysis::SampledHold law = analysis::sampleHold(plant, gains, rate, param.delay);
    const host::HostLoop loop{18, param.visualRate > 0 ? param.visualRate : 18, 0.0, 0};
    // Call k is served at the simulation time of update k + 1 of the loop.
    const auto servedAt = [&](int k) {
        return param.visualRate > 0
                   ? static_cast<double>(host::visualFrameOfUpdate(k + 1, loop.panelRate, loop.visualRate))
                         / loop.visualRate
                   : (k + 1) * period;
    };

    // The module, installed as the host installs it; the string's factors
    // hold when the connect-to-window reset comes first.
    host::ModuleLibrary library;
    ASSERT_TRUE(library.open(modulePath)) << library.error();
    host::GaugeHost gaugeHost;
    std::string error;
    ASSERT_TRUE(gaugeHost.attach(library.linkage(), library.imports(), param.parameters, error)) << error;
    if (library.linkage()->init != nullptr) {
        library.linkage()->init();
    }
    host::showMainWindow();
    host::setUpJoystick(false);
    gaugeHost.controls() = host::ControlPositions{plant.trimControls.elevator, plant.trimControls.aileron,
                                                  plant.trimControls.rudder, plant.trimControls.throttle};
    gaugeHost.connectToWindow();
    gaugeHost.preInstall(library.instanceHandle());
    host::Mouse mouse(gaugeHost.gauge()->mouseRects);

    // The law's input is the deviation of the plant's state; only the
    // readings of it reach the module, through the host's tokens.
    Eigen::VectorXd deviation = Eigen::VectorXd::Zero(plant.A.rows());
    flight::Helicopter::StateVector x = plant.trimState;
    Eigen::VectorXd lawState = Eigen::VectorXd::Zero(law.A.rows());
    const double trimCommand[4] = {plant.trimControls.throttle, plant.trimControls.elevator,
                                   plant.trimControls.aileron, plant.trimControls.rudder};
    const uint32_t events[4] = {kEventThrottle, kEventElevator, kEventAileron, kEventRudder};
    int compared = 0;
    for (int k = 0; k < kFrames; ++k) {
        if (k == kEngageFrame) {
            for (const char* area : {"power", "guard", "engage"}) {
                mouse.click(*host::pointOf(area));
            }
        }
        for (const Step& s : kSteps) {
            if (s.frame == k) {
                const int i = stateIndex(plant, s.state);
                ASSERT_GE(i, 0) << s.state;
                deviation(i) += s.amount;
                x[modelIndex(s.state)] += s.amount;
            }
        }
        heli.setStateVector(x);
        gaugeHost.clearEvents();
        gaugeHost.setToken(kTokenSimulationTime, servedAt(k));
        host::serveReadings(gaugeHost, heli.readings());
        gaugeHost.preUpdate();

        // The law: the plant held at the deviation (the open system's plant
        // part is replaced by the given state), the command of this frame.
        if (k < kEngageFrame) {
            EXPECT_TRUE(gaugeHost.events().empty()) << "frame " << k;
            continue;
        }
        const int np = law.plantStates;
        lawState.head(np) = deviation;
        if (param.visualRate > 0) {
            // The law of this update, at the time step the module measures:
            // the commands it sends are C X.
            const analysis::SampledHold at = analysis::sampleHoldAtUpdate(plant, gains, loop, k + 1);
            const Eigen::VectorXd commands = at.C * lawState.head(at.C.cols());
            lawState.head(at.A.rows()) = at.A * lawState.head(at.A.rows());
            for (int axis = 0; axis < 4; ++axis) {
                bool sent = false;
                double value = 0.0;
                for (const host::SentEvent& e : gaugeHost.events()) {
                    if (e.id == events[axis]) {
                        sent = true;
                        value = e.value;
                    }
                }
                ASSERT_TRUE(sent) << "frame " << k << " axis " << axis;
                EXPECT_NEAR(value, trimCommand[axis] + commands(axis), kTruncationCounts)
                    << "update " << k << " axis " << axis << " (" << param.parameters << ", visual rate "
                    << param.visualRate << ")";
                ++compared;
            }
            continue;
        }
        const Eigen::VectorXd next = law.A * lawState;
        // The command leaves the law (its delay line included) as C X; the
        // commands the module sends this frame are the undelayed ones, which
        // the delay line's first stage receives.
        Eigen::VectorXd commands;
        if (param.delay == 0) {
            commands = law.C * lawState;
        } else {
            commands = next.segment(np + 12, 4);
        }
        lawState = next;
        for (int axis = 0; axis < 4; ++axis) {
            bool sent = false;
            double value = 0.0;
            for (const host::SentEvent& e : gaugeHost.events()) {
                if (e.id == events[axis]) {
                    sent = true;
                    value = e.value;
                }
            }
            ASSERT_TRUE(sent) << "frame " << k << " axis " << axis;
            EXPECT_NEAR(value, trimCommand[axis] + commands(axis), kTruncationCounts)
                << "frame " << k << " axis " << axis << " (" << param.parameters << ")";
            ++compared;
        }
    }
    EXPECT_EQ(compared, 4 * (kFrames - kEngageFrame));
    gaugeHost.preKill();
    if (library.linkage()->deinit != nullptr) {
        library.linkage()->deinit();
    }
    host::hideMainWindow();
}

INSTANTIATE_TEST_SUITE_P(DefaultAndRecommendedGains, LawAgainstModule,
                         ::testing::Values(StepCase{"", 0}, StepCase{"KprForward 0.5 TvForward 0.5", 1},
                                           StepCase{"", 0, 30}, StepCase{"KprForward 0.5 TvForward 0.5", 0, 60}));

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) {
        modulePath = argv[1];
    }
    return RUN_ALL_TESTS();
}
