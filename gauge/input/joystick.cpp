// SPDX-License-Identifier: MIT
#include "input/joystick.h"

#include "control/controller.h"
#include "state/clamp.h"

static_assert(sizeof(DIJOYSTATE) == 80);

namespace {

constexpr DWORD kDirectInputVersion = 0x0500;

// Axis offsets in the DIJOYSTATE record.
constexpr DWORD kOffsetY = 4;
constexpr DWORD kOffsetZ = 8;
constexpr DWORD kOffsetRz = 20;

// A stick axis writes its set point only when it moved by more than this
// since the previous frame, in the axis's own units.
constexpr int64_t kDeadBandYRz = 25;
constexpr int64_t kDeadBandX = 100;

constexpr double kPerYRzUnit = 0.0001220703125;  // 2^-13: ±8192 × 2 gives ±2
constexpr double kPerXUnit = 0.000030517578125;  // 2^-15: (2 X − 65536) gives −2..2
constexpr int64_t kXCentreTwice = 65536;

constexpr int kButtonHeightUp = 2;
constexpr int kButtonHeightDown = 3;
constexpr double kHeightStepFt = 1.0;

HRESULT setAxisRange(DWORD offset, LONG minimum, LONG maximum) {
    DIPROPRANGE range{};
    range.diph.dwSize = sizeof(DIPROPRANGE);
    range.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    range.diph.dwObj = offset;
    range.diph.dwHow = DIPH_BYOFFSET;
    range.lMin = minimum;
    range.lMax = maximum;
    return joystickDevice->SetProperty(DIPROP_RANGE, &range.diph);
}

// Differences and products are formed in 64 bits: a reading is whatever the
// driver hands over, and in 32 bits an extreme one would overflow.
int64_t distance(int32_t a, int32_t b) {
    const int64_t difference = static_cast<int64_t>(a) - static_cast<int64_t>(b);
    return difference < 0 ? -difference : difference;
}

}  // namespace

int setModuleInstance(HINSTANCE instance) {
    moduleInstance = instance;
    return instance != nullptr ? 1 : 0;
}

HRESULT openJoystick(HWND window) {
    // A second pre-install without a pre-kill in between would otherwise
    // overwrite, and so leak, the objects of the first.
    releaseJoystick();

    HRESULT result = DirectInputCreateA(moduleInstance, kDirectInputVersion, &directInput, nullptr);
    if (FAILED(result)) {
        return result;
    }
    // A platform that reports success without handing over an object must
    // not lead to a call through a null pointer.
    if (directInput == nullptr) {
        return E_FAIL;
    }
    result = directInput->EnumDevices(DIDEVTYPE_JOYSTICK, onJoystickFound, nullptr, DIEDFL_ATTACHEDONLY);
    if (FAILED(result)) {
        return result;
    }
    if (joystickDevice == nullptr) {
        return E_FAIL;
    }
    result = joystickDevice->SetDataFormat(&c_dfDIJoystick);
    if (FAILED(result)) {
        return result;
    }
    result = joystickDevice->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    if (FAILED(result)) {
        return result;
    }
    result = setAxisRange(kOffsetZ, 0, 100);
    if (FAILED(result)) {
        return result;
    }
    result = setAxisRange(kOffsetY, -8192, 8192);
    if (FAILED(result)) {
        return result;
    }
    result = setAxisRange(kOffsetRz, -8192, 8192);
    if (FAILED(result)) {
        return result;
    }
    return 0;
}

BOOL CALLBACK onJoystickFound(LPCDIDEVICEINSTANCEA instance, LPVOID) {
    if (instance == nullptr || directInput == nullptr) {
        return DIENUM_CONTINUE;
    }
    IDirectInputDeviceA* device = nullptr;
    if (FAILED(directInput->CreateDevice(instance->guidInstance, &device, nullptr)) || device == nullptr) {
        return DIENUM_CONTINUE;
    }
    joystickDevice = device;
    // Its result is not needed: a failed query leaves the pointer null, and
    // then the stick is simply never read.
    void* second = nullptr;
    joystickDevice->QueryInterface(IID_IDirectInputDevice2A, &second);
    joystickDevice2 = static_cast<IDirectInputDevice2A*>(second);
    return DIENUM_STOP;
}

int acquireJoystick() {
    if (joystickDevice == nullptr) {
        return 1;
    }
    joystickDevice->Acquire();
    return 0;
}

DIJOYSTATE pollJoystick() {
    // What a frame without a fresh reading hands on: the previous axes, so
    // nothing moves, and no button pressed, so the height stays.
    DIJOYSTATE held{};
    held.lX = lastStickX;
    held.lY = lastStickY;
    held.lZ = joystickZ;
    held.lRz = lastStickRz;

    if (joystickDevice == nullptr || joystickDevice2 == nullptr) {
        return held;
    }
    const HRESULT polled = joystickDevice2->Poll();
    if (polled == DIERR_INPUTLOST) {
        // A device that lost its input may say so here already; without a
        // re-acquire it would stay lost for good.
        joystickDevice->Acquire();
        return held;
    }
    if (FAILED(polled)) {
        return held;
    }
    DIJOYSTATE fresh{};
    const HRESULT read = joystickDevice->GetDeviceState(sizeof fresh, &fresh);
    if (read == DIERR_INPUTLOST) {
        joystickDevice->Acquire();
        return held;
    }
    if (FAILED(read)) {
        return held;
    }
    return fresh;
}

void applyJoystick(HWND) {
    applyJoystickReading(pollJoystick());
}

void applyJoystickReading(const DIJOYSTATE& reading) {
    const int32_t x = static_cast<int32_t>(reading.lX);
    const int32_t y = static_cast<int32_t>(reading.lY);
    const int32_t z = static_cast<int32_t>(reading.lZ);
    const int32_t rz = static_cast<int32_t>(reading.lRz);

    if (distance(lastStickRz, rz) > kDeadBandYRz) {
        controller.turn.setPoint = static_cast<double>(2 * static_cast<int64_t>(rz)) * kPerYRzUnit;
    }
    if (distance(lastStickY, y) > kDeadBandYRz) {
        controller.forward.setPoint = static_cast<double>(-2 * static_cast<int64_t>(y)) * kPerYRzUnit;
    }
    if (distance(lastStickX, x) > kDeadBandX) {
        controller.right.setPoint =
            static_cast<double>(2 * static_cast<int64_t>(x) - kXCentreTwice) * kPerXUnit;
    }
    if (reading.rgbButtons[kButtonHeightUp] != 0) {
        controller.targetHeightFt += kHeightStepFt;
    }
    if (reading.rgbButtons[kButtonHeightDown] != 0) {
        controller.targetHeightFt -= kHeightStepFt;
    }
    controller.targetHeightFt =
        clampLowerFirst(controller.targetHeightFt, kTargetHeightMinFt, kTargetHeightMaxFt);
    lastStickRz = rz;
    lastStickY = y;
    lastStickX = x;
    joystickZ = z;
}

int releaseJoystick() {
    if (joystickDevice != nullptr) {
        joystickDevice->Unacquire();
        joystickDevice->Release();
        joystickDevice = nullptr;
    }
    if (joystickDevice2 != nullptr) {
        joystickDevice2->Release();
        joystickDevice2 = nullptr;
    }
    if (directInput != nullptr) {
        directInput->Release();
        directInput = nullptr;
    }
    return 0;
}
