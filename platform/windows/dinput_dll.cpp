// SPDX-License-Identifier: MIT
//
// The script table dinput.dll exports beside DirectInputCreateA: the
// stand-in's scripting functions in C types.
#include <algorithm>
#include <cstring>
#include <string>

#include "fake_dinput.h"
#include "platform/windows/dinput_script.h"

namespace {

using fakeplatform::DiCall;

bool validCall(int call) {
    return call >= 0 && call <= static_cast<int>(DiCall::kGetDeviceState);
}

void resetDirectInput() {
    fakeplatform::resetDirectInput();
}

int attachJoystick(int attached, int creatable) {
    return fakeplatform::attachJoystick({.attached = attached != 0, .creatable = creatable != 0});
}

void failCall(int call, HRESULT code, uint32_t skipFirst) {
    if (validCall(call)) {
        fakeplatform::failCall(static_cast<DiCall>(call), code, skipFirst);
    }
}

void clearFailure(int call) {
    if (validCall(call)) {
        fakeplatform::clearFailure(static_cast<DiCall>(call));
    }
}

void clearFailures() {
    fakeplatform::clearFailures();
}

void setReading(int joystick, const DIJOYSTATE* reading) {
    if (reading != nullptr) {
        fakeplatform::setReading(joystick, *reading);
    }
}

void setStickPosition(int joystick, double x, double y, double z, double rz) {
    fakeplatform::setStickPosition(joystick, {.x = x, .y = y, .z = z, .rz = rz});
}

void setButton(int joystick, int button, int pressed) {
    fakeplatform::setButton(joystick, button, pressed != 0);
}

void loseInput(int joystick, int pollReportsIt) {
    fakeplatform::loseInput(joystick, pollReportsIt != 0);
}

int isAcquired(int joystick) {
    return fakeplatform::isAcquired(joystick) ? 1 : 0;
}

int32_t heldReferences() {
    return fakeplatform::heldReferences();
}

uint32_t logSize() {
    return static_cast<uint32_t>(fakeplatform::callLog().size());
}

uint32_t logEntry(uint32_t index, char* text, uint32_t capacity) {
    const auto& log = fakeplatform::callLog();
    if (index >= log.size()) {
        if (text != nullptr && capacity > 0) {
            text[0] = '\0';
        }
        return 0;
    }
    const std::string& entry = log[index];
    if (text != nullptr && capacity > 0) {
        const size_t copied = std::min<size_t>(entry.size(), capacity - 1);
        std::memcpy(text, entry.data(), copied);
        text[copied] = '\0';
    }
    return static_cast<uint32_t>(entry.size());
}

void clearCallLog() {
    fakeplatform::clearCallLog();
}

void setCallLogEnabled(int enabled) {
    fakeplatform::setCallLogEnabled(enabled != 0);
}

uint32_t callCount() {
    return fakeplatform::callCount();
}

const FakeDinputScriptTable kScript = {
    .size = sizeof(FakeDinputScriptTable),
    .resetDirectInput = resetDirectInput,
    .attachJoystick = attachJoystick,
    .failCall = failCall,
    .clearFailure = clearFailure,
    .clearFailures = clearFailures,
    .setReading = setReading,
    .setStickPosition = setStickPosition,
    .setButton = setButton,
    .loseInput = loseInput,
    .isAcquired = isAcquired,
    .heldReferences = heldReferences,
    .logSize = logSize,
    .logEntry = logEntry,
    .clearCallLog = clearCallLog,
    .setCallLogEnabled = setCallLogEnabled,
    .callCount = callCount,
};

}  // namespace

extern "C" const FakeDinputScriptTable* WINAPI FakeDinputScript() {
    return &kScript;
}
