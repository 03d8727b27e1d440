// SPDX-License-Identifier: MIT
//
// The designed inputs and the player that puts them on the controls: the
// sample values at chosen times, the programme's order, the clamp to the
// axis range, and each way an input ends early.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "log_host.h"
#include "logger/excite/inputs.h"
#include "logger/excite/player.h"
#include "logger/face/face.h"
#include "logger/session/logger.h"

namespace {

constexpr double kSampleTolerance = 1e-9;   // counts, for closed-form values
constexpr double kHandTolerance = 1e-4;     // counts, for values worked to 7 digits

// 3-2-1-1 with A = 600, step 0.5 s: +A on [0, 1.5), -A on [1.5, 2.5),
// +A on [2.5, 3.0), -A on [3.0, 3.5), then 0.
TEST(MultiStepInput, HoldsEachStepForItsCountOfUnitSteps) {
    const MultiStep input{.amplitude = 600.0, .stepSeconds = 0.5};
    EXPECT_EQ(multiStepDuration(input), 3.5);
    EXPECT_EQ(multiStepValue(input, 0.0), 600.0);
    EXPECT_EQ(multiStepValue(input, 1.49), 600.0);
    EXPECT_EQ(multiStepValue(input, 1.5), -600.0);
    EXPECT_EQ(multiStepValue(input, 2.49), -600.0);
    EXPECT_EQ(multiStepValue(input, 2.5), 600.0);
    EXPECT_EQ(multiStepValue(input, 2.99), 600.0);
    EXPECT_EQ(multiStepValue(input, 3.0), -600.0);
    EXPECT_EQ(multiStepValue(input, 3.49), -600.0);
    EXPECT_EQ(multiStepValue(input, 3.5), 0.0);
    EXPECT_EQ(multiStepValue(input, 100.0), 0.0);
    EXPECT_EQ(multiStepValue(input, -0.01), 0.0);
    EXPECT_EQ(multiStepValue(input, std::nan("")), 0.0);
}

// From 0.5 to 2 Hz over 2 s: r = 4, so phi(t) = 2 pi 0.5 2 (4^(t/2) - 1) / ln 4
// = (2 pi / ln 4)(2^t - 1) = 4.5323601 (2^t - 1). By hand:
//   t = 0.5: phi = 4.5323601 x 0.4142136 = 1.8773650, sin = 0.9533747
//   t = 1.0: phi = 4.5323601,             sin = -sin(1.3907675) = -0.9838385
//   t = 1.5: phi = 4.5323601 x 1.8284271 = 8.2870902, sin = 0.9076655
// phi(2) = 13.597 holds 4 whole half turns (4 pi = 12.566), reached where
// 2^t - 1 = 4 pi / 4.5323601 = 2.7725887, t = log2(3.7725887) = 1.9155548.
TEST(SweepInput, FollowsTheExponentialPhaseAndEndsAtItsLastZero) {
    const Sweep input{.amplitude = 600.0, .fromHz = 0.5, .toHz = 2.0, .seconds = 2.0};
    EXPECT_EQ(sweepValue(input, 0.0), 0.0);
    EXPECT_NEAR(sweepPhase(input, 1.0), 4.5323601, 1e-7);
    EXPECT_NEAR(sweepValue(input, 0.5), 600.0 * 0.9533747, 600.0 * 1e-7 + kHandTolerance);
    EXPECT_NEAR(sweepValue(input, 1.0), 600.0 * -0.9838385, 600.0 * 1e-7 + kHandTolerance);
    EXPECT_NEAR(sweepValue(input, 1.5), 600.0 * 0.9076655, 600.0 * 1e-7 + kHandTolerance);
    EXPECT_NEAR(sweepDuration(input), 1.9155548, 1e-7);
    EXPECT_NEAR(sweepValue(input, 1.9155548), 0.0, 0.01);
    EXPECT_EQ(sweepValue(input, 1.92), 0.0);
    EXPECT_EQ(sweepValue(input, 2.5), 0.0);
    EXPECT_EQ(sweepValue(input, -0.1), 0.0);
}

// The instantaneous frequency is the phase's slope over 2 pi: f0 at the
// start and f1 at T. Central differences over 1e-6 s.
TEST(SweepInput, RunsFromTheFirstFrequencyToTheLast) {
    const Sweep input{.amplitude = 1.0, .fromHz = 0.1, .toHz = 5.0, .seconds = 60.0};
    const double h = 1e-6;
    const double startHz = (sweepPhase(input, h) - sweepPhase(input, -h)) / (2 * h) / (2 * std::numbers::pi);
    const double endHz =
        (sweepPhase(input, 60.0 + h) - sweepPhase(input, 60.0 - h)) / (2 * h) / (2 * std::numbers::pi);
    EXPECT_NEAR(startHz, 0.1, 1e-6);
    EXPECT_NEAR(endHz, 5.0, 1e-5);
    EXPECT_LE(sweepDuration(input), 60.0);
    EXPECT_GT(sweepDuration(input), 59.0);  // the last half turn at 5 Hz is 0.1 s
}

// With f0 = f1 the sweep is a sine of that frequency: 0.25 Hz, A = 600 at
// t = 0.5: 600 sin(pi/4) = 424.26407; over 4 s it holds 2 whole half turns,
// ending at 4 s.
TEST(SweepInput, OfOneFrequencyIsASine) {
    const Sweep input{.amplitude = 600.0, .fromHz = 0.25, .toHz = 0.25, .seconds = 4.0};
    EXPECT_NEAR(sweepValue(input, 0.5), 424.26407, kHandTolerance);
    EXPECT_NEAR(sweepDuration(input), 4.0, kSampleTolerance);
}

TEST(AxisCounts, ClampToTheAxisRangeAndRoundHalvesAwayFromZero) {
    EXPECT_EQ(toAxisCounts(Axis::kElevator, 16600.0), 16383);
    EXPECT_EQ(toAxisCounts(Axis::kAileron, -17000.0), -16383);
    EXPECT_EQ(toAxisCounts(Axis::kThrottle, 16900.0), 16384);
    EXPECT_EQ(toAxisCounts(Axis::kThrottle, -300.0), 0);
    EXPECT_EQ(toAxisCounts(Axis::kRudder, 2.5), 3);
    EXPECT_EQ(toAxisCounts(Axis::kRudder, -2.5), -3);
    EXPECT_EQ(toAxisCounts(Axis::kRudder, -2.49), -2);
    EXPECT_EQ(toAxisCounts(Axis::kElevator, 1e300), 16383);
}

// The module driven as the host drives it. The test host holds the controls
// at 800 / -200 / 2900 / 8900 counts, moves each to what an axis event sent
// (as the host's event queue does before the next update), and starts at
// simulation time 100 s.
class Excitation : public LoggerTest {
protected:
    void at(double simTime) {
        logHost().set(kTokenSimulationTime, simTime);
        update();
    }
    // The one event the last update sent.
    SentEvent lastEvent() {
        const auto& events = logHost().events();
        EXPECT_FALSE(events.empty());
        return events.empty() ? SentEvent{0, 0} : events.back();
    }
    std::string text(TextElement& element) {
        std::vector<char> buffer(element.charCount + 1, '\0');
        element.buffer = buffer.data();
        element.callback(&element.base);
        element.buffer = nullptr;
        return buffer.data();
    }
};

// Elevator held at 800: 800 + 600 = 1400, 800 - 600 = 200; at 3.5 s the
// input is over and the held 800 goes back.
TEST_F(Excitation, ButtonPlaysTheMultiStepOnTheElevatorAroundTheHeldPosition) {
    preInstall("");
    EXPECT_EQ(text(nextInputText), "ELEV 3211");
    clickExcite();
    EXPECT_TRUE(logHost().events().empty());  // it starts at the next update
    at(100.0);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 1400}));
    EXPECT_EQ(text(inputStatusText), "PLAYING");
    at(101.25);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 1400}));
    at(101.5);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 200}));
    at(102.5);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 1400}));
    at(103.0);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 200}));
    at(103.5);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 800}));
    EXPECT_EQ(text(inputStatusText), "DONE");
    EXPECT_EQ(text(nextInputText), "ELEV SWEEP");
    const size_t sent = logHost().events().size();
    at(104.0);
    EXPECT_EQ(logHost().events().size(), sent);  // nothing once it is over
}

TEST_F(Excitation, PausedSimulationHoldsTheInputWhereItIs) {
    preInstall("");
    clickExcite();
    at(100.0);
    for (int i = 0; i < 100; ++i) {
        at(101.0);
    }
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 1400}));
    EXPECT_EQ(text(inputStatusText), "PLAYING");
}

TEST_F(Excitation, SentValuesStayInsideTheAxisRange) {
    logHost().set(kTokenElevatorPosition, 16000.0);
    preInstall("elevator=600");
    clickExcite();
    at(100.0);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 16383}));
}

// The pilot's small corrections move the position the input plays around.
// Elevator held at 1000 with amplitude 200: 1200 sent at the first update.
// He moves it to 1250, 50 from what was sent and within the dead band of
// 400: the held position is 1000 + 50 = 1050 and the step goes on above it,
// 1050 + 200 = 1250. At 1.5 s the step turns: 1050 - 200 = 850.
TEST_F(Excitation, PilotsSmallMoveWithinTheDeadBandShiftsTheHeldPosition) {
    logHost().set(kTokenElevatorPosition, 1000.0);
    preInstall("elevator=200");
    clickExcite();
    at(100.0);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 1200}));
    logHost().set(kTokenElevatorPosition, 1250.0);
    at(100.25);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 1250}));
    EXPECT_EQ(text(inputStatusText), "PLAYING");
    at(101.5);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 850}));
    // Moves add up: 850 read as 800 (-50) and then the end at 3.5 s sends
    // back 1050 - 50 = 1000, where his hand has come to.
    logHost().set(kTokenElevatorPosition, 800.0);
    at(102.0);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 800}));
    at(103.5);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 1000}));
    EXPECT_EQ(text(inputStatusText), "DONE");
}

// The pilot takes the stick: held 1000 with 1200 sent, then a small move to
// 1250 (held 1050, 1250 sent); 1700 read is 450 from it, past the dead band
// of 400: the input ends at once and the held 1050 goes back.
TEST_F(Excitation, PilotMovingTheControlPastTheDeadBandEndsTheInput) {
    logHost().set(kTokenElevatorPosition, 1000.0);
    preInstall("elevator=200 dead_band=400");
    clickExcite();
    at(100.0);
    logHost().set(kTokenElevatorPosition, 1250.0);
    at(100.25);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 1250}));
    logHost().set(kTokenElevatorPosition, 1700.0);
    at(100.5);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 1050}));
    EXPECT_EQ(text(inputStatusText), "ENDED EARLY");
    EXPECT_EQ(text(nextInputText), "ELEV 3211");  // offered again
}

// 1400 sent around the host's 800; 1800 read is exactly 400 away: held
// 1200, 1200 + 600 = 1800 sent, still playing.
TEST_F(Excitation, MoveOfExactlyTheDeadBandIsStillThePilotsCorrection) {
    preInstall("");
    clickExcite();
    at(100.0);
    logHost().set(kTokenElevatorPosition, 1800.0);
    at(100.25);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 1800}));
    EXPECT_EQ(text(inputStatusText), "PLAYING");
}

// A position that reads as no number cannot be followed: the input ends
// and the last held position (never the NaN) goes back.
TEST_F(Excitation, ControlReadingThatIsNoNumberEndsTheInputWithTheHeldPosition) {
    preInstall("");
    clickExcite();
    at(100.0);
    logHost().set(kTokenElevatorPosition, std::nan(""));
    at(100.25);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 800}));
    EXPECT_EQ(text(inputStatusText), "ENDED EARLY");
}

TEST_F(Excitation, AttitudePastTheLimitEndsTheInput) {
    preInstall("attitude_limit_deg=15");
    clickExcite();
    at(100.0);
    logHost().set(kTokenPitch, -15.0);
    at(100.25);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 1400}));
    logHost().set(kTokenPitch, 0.0);
    logHost().set(78, 15.5);
    at(100.5);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 800}));
    EXPECT_EQ(text(inputStatusText), "ENDED EARLY");
}

// The bank is read from the gauge line's token, not from 78.
TEST_F(Excitation, AttitudeLimitWatchesTheBankTokenOfTheGaugeLine) {
    preInstall("bank_token=57");
    logHost().set(78, 40.0);
    clickExcite();
    at(100.0);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 1400}));
    logHost().set(57, -21.0);
    at(100.25);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 800}));
}

TEST_F(Excitation, SecondPressEndsThePlayingInput) {
    preInstall("");
    clickExcite();
    at(100.0);
    clickExcite();
    at(100.25);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 800}));
    EXPECT_EQ(text(inputStatusText), "ENDED EARLY");
}

TEST_F(Excitation, TimeGoingBackEndsTheInput) {
    preInstall("");
    clickExcite();
    at(100.0);
    at(50.0);
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 800}));
    EXPECT_EQ(text(inputStatusText), "ENDED EARLY");
}

TEST_F(Excitation, PreKillSendsTheHeldPositionBack) {
    preInstall("");
    clickExcite();
    at(100.0);
    preKill();
    EXPECT_EQ(lastEvent(), (SentEvent{kEventElevator, 800}));
}

// Step 0.25 s, so a 3-2-1-1 lasts 1.75 s; sweeps of 1 s from 1 to 1 Hz
// (two half turns, ending at 1 s). Each input completed moves the
// programme on: elevator, aileron, rudder, throttle, each 3211 then sweep,
// then round again. The first value of each 3-2-1-1 is the held position
// plus its axis's amplitude.
TEST_F(Excitation, ProgrammeRunsThroughEveryAxisInOrderAndStartsAgain) {
    preInstall("step_s=0.25 sweep_s=1 sweep_from_hz=1 sweep_to_hz=1 aileron=100 rudder=200 throttle=300");
    const char* expectedNames[] = {"ELEV 3211", "ELEV SWEEP", "AIL 3211",  "AIL SWEEP", "RUDD 3211",
                                   "RUDD SWEEP", "COLL 3211", "COLL SWEEP", "ELEV 3211"};
    const SentEvent firstOfMultiStep[] = {{kEventElevator, 1400},
                                          {kEventAileron, -100},
                                          {kEventRudder, 3100},
                                          {kEventThrottle, 9200}};
    double t = 100.0;
    for (int item = 0; item < 8; ++item) {
        EXPECT_EQ(text(nextInputText), expectedNames[item]) << "item " << item;
        clickExcite();
        at(t);
        if (item % 2 == 0) {
            EXPECT_EQ(lastEvent(), firstOfMultiStep[item / 2]) << "item " << item;
        } else {
            EXPECT_EQ(lastEvent().id, firstOfMultiStep[item / 2].id);
        }
        // Every input ends within 1.75 s: the next update, 2 s on, is past
        // its end.
        t += 2.0;
        at(t);
        EXPECT_EQ(text(inputStatusText), "DONE") << "item " << item;
        t += 1.0;
    }
    EXPECT_EQ(text(nextInputText), expectedNames[8]);
}

}  // namespace
