// SPDX-License-Identifier: MIT
//
// The joystick's platform calls, checked against the scriptable DirectInput
// stand-in: natively the platform stand-in library, on Windows the stand-in's
// dinput.dll that the module's own DirectInput import resolves to.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "control/controller.h"
#include "fake_dinput.h"
#include "fake_platform.h"
#include "input/joystick.h"
#include "module/gauge.h"
#include "hostif/host_interface.h"
#include "tests/test_host.h"

namespace {

using fakeplatform::DiCall;
using Log = std::vector<std::string>;

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(uintptr_t{0x1000});
const HWND kWindow = reinterpret_cast<HWND>(uintptr_t{0x5000});

const Log kOpenCalls = {
    "DirectInputCreateA(instance=0x1000, version=0x500, outer=null)",
    "directInput.EnumDevices(type=4, callback=set, context=null, flags=0x1)",
    "directInput.CreateDevice(joystick0, outer=null)",
    "joystick0.QueryInterface(IID_IDirectInputDevice2A)",
    "joystick0.SetDataFormat(c_dfDIJoystick)",
    "joystick0.SetCooperativeLevel(window=0x5000, flags=0xa)",
    "joystick0.SetProperty(DIPROP_RANGE, size=24, headerSize=16, object=8, how=1, min=0, max=100)",
    "joystick0.SetProperty(DIPROP_RANGE, size=24, headerSize=16, object=4, how=1, min=-8192, max=8192)",
    "joystick0.SetProperty(DIPROP_RANGE, size=24, headerSize=16, object=20, how=1, min=-8192, max=8192)",
};

const Log kReleaseCalls = {
    "joystick0.Unacquire()",
    "joystick0.Release()",
    "joystick0/2.Release()",
    "directInput.Release()",
};

// The host window the module finds by class: natively the registered one; on
// Windows the system's lookup answers, which outside the simulator finds none.
HWND hostWindowFound() {
#ifdef _WIN32
    return FindWindowA("FS98MAIN", nullptr);
#else
    return kWindow;
#endif
}

// The opening calls for the host window the module found.
Log openCallsOnHostWindow() {
    Log log = kOpenCalls;
    const HWND window = hostWindowFound();
    char text[32] = "null";
    if (window != nullptr) {
        std::snprintf(text, sizeof text, "0x%llx",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    }
    log[5] = std::string("joystick0.SetCooperativeLevel(window=") + text + ", flags=0xa)";
    return log;
}

Log firstCalls(size_t count) {
    return Log(kOpenCalls.begin(), kOpenCalls.begin() + static_cast<std::ptrdiff_t>(count));
}

Log takeLog() {
    Log log = fakeplatform::callLog();
    fakeplatform::clearCallLog();
    return log;
}

DIJOYSTATE stick(int32_t x, int32_t y, int32_t z, int32_t rz) {
    DIJOYSTATE state{};
    state.lX = x;
    state.lY = y;
    state.lZ = z;
    state.lRz = rz;
    return state;
}

bool sameReading(const DIJOYSTATE& a, const DIJOYSTATE& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class JoystickPlatform : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        setModuleInstance(kInstance);
    }

    // Opens and acquires the first joystick, and starts a fresh log.
    static void openAndAcquire() {
        ASSERT_EQ(openJoystick(kWindow), 0);
        ASSERT_EQ(acquireJoystick(), 0);
        fakeplatform::clearCallLog();
    }
};

TEST_F(JoystickPlatform, OpeningMakesEveryCallInOrderAndAcquiringFollows) {
    fakeplatform::attachJoystick();
    EXPECT_EQ(openJoystick(kWindow), 0);
    EXPECT_EQ(takeLog(), kOpenCalls);
    EXPECT_NE(directInput, nullptr);
    EXPECT_NE(joystickDevice, nullptr);
    EXPECT_NE(joystickDevice2, nullptr);

    EXPECT_EQ(acquireJoystick(), 0);
    EXPECT_EQ(takeLog(), Log{"joystick0.Acquire()"});
    EXPECT_TRUE(fakeplatform::isAcquired(0));
}

TEST_F(JoystickPlatform, EachFailingStepEndsOpeningWithItsOwnCode) {
    struct Case {
        const char* step;
        DiCall call;
        uint32_t skipFirst;
        size_t callsMade;
        bool deviceHeld;
        bool acquiredAfterwards;
    } const cases[] = {
        {"create", DiCall::kDirectInputCreate, 0, 1, false, false},
        {"enumerate", DiCall::kEnumDevices, 0, 2, false, false},
        {"data format", DiCall::kSetDataFormat, 0, 5, true, false},
        {"cooperative level", DiCall::kSetCooperativeLevel, 0, 6, true, true},
        {"Z range", DiCall::kSetProperty, 0, 7, true, true},
        {"Y range", DiCall::kSetProperty, 1, 8, true, true},
        {"Rz range", DiCall::kSetProperty, 2, 9, true, true},
    };
    HRESULT code = static_cast<HRESULT>(0x80040201u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        resetModuleState();
        setModuleInstance(kInstance);
        fakeplatform::attachJoystick();
        ++code;
        fakeplatform::failCall(c.call, code, c.skipFirst);

        EXPECT_EQ(openJoystick(kWindow), code);
        EXPECT_EQ(takeLog(), firstCalls(c.callsMade));
        EXPECT_EQ(directInput != nullptr, c.call != DiCall::kDirectInputCreate);
        EXPECT_EQ(joystickDevice != nullptr, c.deviceHeld);

        // The device is acquired whatever opening returned; without its data
        // format the platform refuses, which the module does not look at.
        EXPECT_EQ(acquireJoystick(), c.deviceHeld ? 0 : 1);
        EXPECT_EQ(takeLog(), c.deviceHeld ? Log{"joystick0.Acquire()"} : Log{});
        EXPECT_EQ(fakeplatform::isAcquired(0), c.acquiredAfterwards);
    }
}

TEST_F(JoystickPlatform, WithoutACreatableAttachedJoystickOpeningEndsWithEFail) {
    EXPECT_EQ(openJoystick(kWindow), E_FAIL);
    EXPECT_EQ(takeLog(), firstCalls(2));
    EXPECT_NE(directInput, nullptr);
    EXPECT_EQ(acquireJoystick(), 1);
    EXPECT_EQ(takeLog(), Log{});

    resetModuleState();
    setModuleInstance(kInstance);
    fakeplatform::attachJoystick({.attached = false, .creatable = true});
    fakeplatform::attachJoystick({.attached = true, .creatable = false});
    EXPECT_EQ(openJoystick(kWindow), E_FAIL);
    Log expected = firstCalls(2);
    expected.push_back("directInput.CreateDevice(joystick1, outer=null)");
    EXPECT_EQ(takeLog(), expected);
    EXPECT_EQ(joystickDevice, nullptr);
    EXPECT_EQ(joystickDevice2, nullptr);
}

TEST_F(JoystickPlatform, TheFirstJoystickThatCanBeCreatedIsUsedAndNoLaterOneLookedAt) {
    fakeplatform::attachJoystick({.attached = true, .creatable = false});
    fakeplatform::attachJoystick();
    fakeplatform::attachJoystick();
    EXPECT_EQ(openJoystick(kWindow), 0);
    const Log log = takeLog();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[2], "directInput.CreateDevice(joystick0, outer=null)");
    EXPECT_EQ(log[3], "directInput.CreateDevice(joystick1, outer=null)");
    EXPECT_EQ(log[4], "joystick1.QueryInterface(IID_IDirectInputDevice2A)");
    for (const std::string& call : log) {
        EXPECT_EQ(call.find("joystick2"), std::string::npos) << call;
    }
}

TEST_F(JoystickPlatform, WithoutTheSecondInterfaceTheStickIsNeverRead) {
    fakeplatform::attachJoystick();
    fakeplatform::failCall(DiCall::kQueryInterface, E_NOINTERFACE);
    fakeplatform::setReading(0, stick(1000, 2000, 30, 4000));
    openAndAcquire();
    EXPECT_NE(joystickDevice, nullptr);
    EXPECT_EQ(joystickDevice2, nullptr);

    applyJoystick(kWindow);
    EXPECT_EQ(takeLog(), Log{});
    EXPECT_TRUE(sameReading(pollJoystick(), stick(0, 0, 0, 0)));
}

TEST_F(JoystickPlatform, AFrameReadsTheStickWithOnePollAndOneStateRequest) {
    fakeplatform::attachJoystick();
    openAndAcquire();
    DIJOYSTATE state = stick(40000, -3000, 60, 1000);
    state.rgbButtons[2] = 0x80;
    state.rgdwPOV[0] = 9000;
    fakeplatform::setReading(0, state);

    EXPECT_TRUE(sameReading(pollJoystick(), state));
    EXPECT_EQ(takeLog(), (Log{"joystick0/2.Poll()", "joystick0.GetDeviceState(size=80)"}));
}

// Sets the stick memory to a known previous frame and the fake to a reading
// with other axes and a button down, so a fresh reading would show.
void primeWithMovedStick() {
    applyJoystickReading(stick(20000, 500, 40, -700));
    DIJOYSTATE moved = stick(60000, -8000, 90, 8000);
    moved.rgbButtons[2] = 0x80;
    moved.rgbButtons[3] = 0x80;
    fakeplatform::setReading(0, moved);
}

TEST_F(JoystickPlatform, AFailedPollOrStateRequestHandsBackThePreviousAxesWithoutButtons) {
    fakeplatform::attachJoystick();
    openAndAcquire();
    primeWithMovedStick();
    const DIJOYSTATE held = stick(20000, 500, 40, -700);

    fakeplatform::failCall(DiCall::kPoll, E_FAIL);
    EXPECT_TRUE(sameReading(pollJoystick(), held));
    EXPECT_EQ(takeLog(), Log{"joystick0/2.Poll()"});
    fakeplatform::clearFailures();

    fakeplatform::failCall(DiCall::kGetDeviceState, DIERR_NOTACQUIRED);
    EXPECT_TRUE(sameReading(pollJoystick(), held));
    EXPECT_EQ(takeLog(), (Log{"joystick0/2.Poll()", "joystick0.GetDeviceState(size=80)"}));
    fakeplatform::clearFailures();

    // A success code other than 0 from Poll is still success.
    fakeplatform::failCall(DiCall::kPoll, DI_NOEFFECT);
    EXPECT_EQ(pollJoystick().lX, 60000);
}

TEST_F(JoystickPlatform, LostInputIsAnsweredByExactlyOneReacquire) {
    fakeplatform::attachJoystick();
    openAndAcquire();
    primeWithMovedStick();
    const DIJOYSTATE held = stick(20000, 500, 40, -700);

    fakeplatform::loseInput(0);
    EXPECT_TRUE(sameReading(pollJoystick(), held));
    EXPECT_EQ(takeLog(),
              (Log{"joystick0/2.Poll()", "joystick0.GetDeviceState(size=80)", "joystick0.Acquire()"}));
    EXPECT_TRUE(fakeplatform::isAcquired(0));
    EXPECT_EQ(pollJoystick().lX, 60000);
    takeLog();

    // The loss reported by Poll already: one re-acquire, no state request.
    fakeplatform::loseInput(0, true);
    EXPECT_TRUE(sameReading(pollJoystick(), held));
    EXPECT_EQ(takeLog(), (Log{"joystick0/2.Poll()", "joystick0.Acquire()"}));
    EXPECT_EQ(pollJoystick().lX, 60000);
    takeLog();

    // A re-acquire that fails is tried once per frame, not repeated.
    fakeplatform::loseInput(0);
    fakeplatform::failCall(DiCall::kAcquire, DIERR_INPUTLOST);
    for (int frame = 0; frame < 2; ++frame) {
        EXPECT_TRUE(sameReading(pollJoystick(), held));
        EXPECT_EQ(takeLog(),
                  (Log{"joystick0/2.Poll()", "joystick0.GetDeviceState(size=80)", "joystick0.Acquire()"}));
    }
}

TEST_F(JoystickPlatform, ReleasingUndoesEverythingAndASecondReleaseDoesNothing) {
    fakeplatform::attachJoystick();
    openAndAcquire();
    applyJoystickReading(stick(100, 200, 30, 400));

    EXPECT_EQ(releaseJoystick(), 0);
    EXPECT_EQ(takeLog(), kReleaseCalls);
    EXPECT_EQ(fakeplatform::heldReferences(), 0);
    EXPECT_FALSE(fakeplatform::isAcquired(0));
    EXPECT_EQ(directInput, nullptr);
    EXPECT_EQ(joystickDevice, nullptr);
    EXPECT_EQ(joystickDevice2, nullptr);

    EXPECT_EQ(releaseJoystick(), 0);
    EXPECT_EQ(takeLog(), Log{});

    // The stick memory and the instance handle survive for the next opening.
    EXPECT_EQ(lastStickX, 100);
    EXPECT_EQ(lastStickY, 200);
    EXPECT_EQ(joystickZ, 30);
    EXPECT_EQ(lastStickRz, 400);
    EXPECT_EQ(moduleInstance, kInstance);
    EXPECT_EQ(openJoystick(kWindow), 0);
    EXPECT_EQ(takeLog(), kOpenCalls);
}

TEST_F(JoystickPlatform, ReleasingAfterAnEarlyFailureReleasesOnlyWhatWasMade) {
    fakeplatform::failCall(DiCall::kEnumDevices, E_FAIL);
    openJoystick(kWindow);
    takeLog();
    EXPECT_EQ(releaseJoystick(), 0);
    EXPECT_EQ(takeLog(), Log{"directInput.Release()"});
    EXPECT_EQ(fakeplatform::heldReferences(), 0);
}

TEST_F(JoystickPlatform, OpeningAgainWithoutAReleaseFirstReleasesWhatIsHeld) {
    fakeplatform::attachJoystick();
    openAndAcquire();
    EXPECT_EQ(openJoystick(kWindow), 0);
    Log expected = kReleaseCalls;
    expected.insert(expected.end(), kOpenCalls.begin(), kOpenCalls.end());
    EXPECT_EQ(takeLog(), expected);
    EXPECT_EQ(fakeplatform::heldReferences(), 3);
    releaseJoystick();
    EXPECT_EQ(fakeplatform::heldReferences(), 0);
}

TEST_F(JoystickPlatform, AnAxisWithoutItsRangeReportsInTheDefaultRangeAndMapsUnchanged) {
    fakeplatform::attachJoystick();
    fakeplatform::failCall(DiCall::kSetProperty, E_FAIL, 1);
    EXPECT_EQ(openJoystick(kWindow), E_FAIL);
    acquireJoystick();
    // Centred: Z in its own range 0..100, the others in 0..65535.
    fakeplatform::setStickPosition(0, {.x = 0.0, .y = 0.0, .z = 0.0, .rz = 0.0});
    applyJoystick(kWindow);
    EXPECT_EQ(joystickZ, 50);
    EXPECT_EQ(lastStickY, 32768);
    EXPECT_EQ(controller.forward.setPoint, -8.0);
    EXPECT_EQ(controller.turn.setPoint, 8.0);
    EXPECT_EQ(controller.right.setPoint, 0.0);
}

TEST_F(JoystickPlatform, TheServiceCallsOpenReadAndReleaseTheJoystickOnTheHostWindow) {
    testHost().install();
    fakeplatform::registerWindow("FS98MAIN", kWindow);
    fakeplatform::attachJoystick();
    fakeplatform::setStickPosition(0, {.x = 0.5, .y = -0.5, .z = 1.0, .rz = 0.25});
    fakeplatform::setButton(0, 2, true);

    handleService(&hoverGauge, kServicePreInstall, reinterpret_cast<uintptr_t>(kInstance));
    Log expected = openCallsOnHostWindow();
    expected.push_back("joystick0.Acquire()");
    EXPECT_EQ(takeLog(), expected);

    handleService(&hoverGauge, kServicePreUpdate, 0);
    EXPECT_EQ(takeLog(), (Log{"joystick0/2.Poll()", "joystick0.GetDeviceState(size=80)"}));
    // X 0.5 of 0..65535 reads 49151 (rounded from 49151.25); Y -0.5 of ±8192
    // reads -4096; Rz 0.25 reads 2048.
    EXPECT_EQ(controller.right.setPoint, (2.0 * 49151 - 65536) / 32768);
    EXPECT_EQ(controller.forward.setPoint, 1.0);
    EXPECT_EQ(controller.turn.setPoint, 0.5);
    EXPECT_EQ(controller.targetHeightFt, 101.0);
    EXPECT_EQ(joystickZ, 100);

    handleService(&hoverGauge, kServicePreKill, 0);
    EXPECT_EQ(takeLog(), kReleaseCalls);
    EXPECT_EQ(fakeplatform::heldReferences(), 0);
}

}  // namespace
