// SPDX-License-Identifier: MIT
//
// The DirectInput identifiers hover.gau uses (the second device interface,
// and the axis ids the joystick data format points at), defined here rather
// than taken from libdxguid.a: its single object holds every DirectX
// identifier, about 18 KB that would all be linked in for a few of them.
// Each definition is its own section, so the linker keeps only those used.
#include <windows.h>

#include <initguid.h>

#include <dinput.h>
