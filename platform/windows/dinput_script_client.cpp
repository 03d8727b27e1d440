// SPDX-License-Identifier: MIT
//
// The scripting functions of fake_dinput.h for Windows programs: each
// forwards to the table of the dinput.dll loaded in the process. When that
// DLL is not the stand-in (a machine's own DirectInput, or Wine's built-in
// one because the native override is missing), isStandIn() says so and
// every other function stops the program: a test must never pass against a
// DirectInput it cannot script.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fake_dinput.h"
#include "fake_platform.h"
#include "platform/windows/dinput_script.h"

namespace {

// The same search the module's import of dinput.dll makes, so the program
// and the module hold the same DLL.
const FakeDinputScriptTable* findScript() {
    HMODULE dll = GetModuleHandleA("dinput.dll");
    if (dll == nullptr) {
        dll = LoadLibraryA("dinput.dll");
    }
    if (dll == nullptr) {
        return nullptr;
    }
    // GetProcAddress hands back a generic function pointer; the export's
    // real type is FakeDinputScriptEntry.
    const FARPROC address = GetProcAddress(dll, HOVER_FAKE_DINPUT_SCRIPT_EXPORT);
    if (address == nullptr) {
        return nullptr;
    }
    FakeDinputScriptEntry entry = nullptr;
    static_assert(sizeof entry == sizeof address);
    std::memcpy(&entry, &address, sizeof entry);
    const FakeDinputScriptTable* table = entry();
    if (table == nullptr || table->size != sizeof(FakeDinputScriptTable)) {
        return nullptr;
    }
    return table;
}

const FakeDinputScriptTable* scriptOrNull() {
    static const FakeDinputScriptTable* const table = findScript();
    return table;
}

const FakeDinputScriptTable& script() {
    const FakeDinputScriptTable* table = scriptOrNull();
    if (table == nullptr) {
        std::fputs(
            "The dinput.dll in this process is not the scripted stand-in: put the build's dinput.dll "
            "beside the program and, under Wine, set WINEDLLOVERRIDES=dinput=n\n",
            stderr);
        std::abort();
    }
    return *table;
}

std::vector<std::string> logCopy;

}  // namespace

namespace fakeplatform {

void resetDirectInput() {
    script().resetDirectInput();
}

int attachJoystick(JoystickSetup setup) {
    return script().attachJoystick(setup.attached ? 1 : 0, setup.creatable ? 1 : 0);
}

void failCall(DiCall call, HRESULT code, uint32_t skipFirst) {
    script().failCall(static_cast<int>(call), code, skipFirst);
}

void clearFailure(DiCall call) {
    script().clearFailure(static_cast<int>(call));
}

void clearFailures() {
    script().clearFailures();
}

void setReading(int joystick, const DIJOYSTATE& reading) {
    script().setReading(joystick, &reading);
}

void setStickPosition(int joystick, const StickPosition& position) {
    script().setStickPosition(joystick, position.x, position.y, position.z, position.rz);
}

void setButton(int joystick, int button, bool pressed) {
    script().setButton(joystick, button, pressed ? 1 : 0);
}

void loseInput(int joystick, bool pollReportsIt) {
    script().loseInput(joystick, pollReportsIt ? 1 : 0);
}

bool isAcquired(int joystick) {
    return script().isAcquired(joystick) != 0;
}

int32_t heldReferences() {
    return script().heldReferences();
}

const std::vector<std::string>& callLog() {
    const FakeDinputScriptTable& table = script();
    const uint32_t size = table.logSize();
    logCopy.clear();
    logCopy.reserve(size);
    for (uint32_t i = 0; i < size; ++i) {
        std::string entry(table.logEntry(i, nullptr, 0), '\0');
        table.logEntry(i, entry.data(), static_cast<uint32_t>(entry.size() + 1));
        logCopy.push_back(std::move(entry));
    }
    return logCopy;
}

void clearCallLog() {
    script().clearCallLog();
}

void setCallLogEnabled(bool enabled) {
    script().setCallLogEnabled(enabled ? 1 : 0);
}

uint32_t callCount() {
    return script().callCount();
}

bool isStandIn() {
    return scriptOrNull() != nullptr;
}

// The system's FindWindowA answers from the real windows, which a program
// cannot register by class name alone; the module then finds no host window,
// as in any process without the simulator's.
void registerWindow(const char*, HWND) {}

void resetWindows() {}

}  // namespace fakeplatform
