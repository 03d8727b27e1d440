// SPDX-License-Identifier: MIT
//
// How a Windows test program or simulated host scripts the DirectInput
// stand-in built as dinput.dll. The program and the module share the one
// dinput.dll loaded in the process; the program finds this table through
// the DLL's export FakeDinputScript and so acts on the very objects the
// module is calling. Only C types cross the DLL boundary: each side has its
// own static C++ runtime.
#ifndef HOVER_PLATFORM_WINDOWS_DINPUT_SCRIPT_H
#define HOVER_PLATFORM_WINDOWS_DINPUT_SCRIPT_H

#include <windows.h>
#include <dinput.h>

#include <cstdint>

struct FakeDinputScriptTable {
    uint32_t size;  // sizeof(FakeDinputScriptTable) as the DLL was built
    void (*resetDirectInput)();
    int (*attachJoystick)(int attached, int creatable);
    void (*failCall)(int call, HRESULT code, uint32_t skipFirst);
    void (*clearFailure)(int call);
    void (*clearFailures)();
    void (*setReading)(int joystick, const DIJOYSTATE* reading);
    void (*setStickPosition)(int joystick, double x, double y, double z, double rz);
    void (*setButton)(int joystick, int button, int pressed);
    void (*loseInput)(int joystick, int pollReportsIt);
    int (*isAcquired)(int joystick);
    int32_t (*heldReferences)();
    uint32_t (*logSize)();
    // Copies entry `index` of the call log, cut to fit and always
    // terminated; returns its full length.
    uint32_t (*logEntry)(uint32_t index, char* text, uint32_t capacity);
    void (*clearCallLog)();
    void (*setCallLogEnabled)(int enabled);
    uint32_t (*callCount)();
};

// The export's name and type.
#define HOVER_FAKE_DINPUT_SCRIPT_EXPORT "FakeDinputScript"
using FakeDinputScriptEntry = const FakeDinputScriptTable*(WINAPI*)();

#endif
