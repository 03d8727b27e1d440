// SPDX-License-Identifier: MIT
//
// Fuzz target: the joystick through the Linux DirectInput stand-in. The
// input attaches joysticks that may or may not be creatable, makes any of
// the platform's calls fail (from its first or a later call, with any result
// code), hands over readings of any 80 bytes, loses the device's input, and
// drives pre-install, frames and pre-kill around it. Besides every promise
// the exerciser checks, the module must never hold more than one open
// joystick's references, hold none after pre-kill, and clamp the target
// height in every frame.
#include <cstddef>
#include <cstdint>

#include "fuzz/exerciser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr int kRecoveryFrames = 20;
    exercise::runSession(data, size, exercise::Profile::kJoystick, kRecoveryFrames);
    return 0;
}
