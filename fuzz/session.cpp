// SPDX-License-Identifier: MIT
#include "fuzz/exerciser.h"
#include "tests/test_host.h"

namespace exercise {

void runSession(const uint8_t* data, size_t size, Profile profile, int recoveryFrames) {
    resetModuleState();
    ByteSource source(data, size);
    Exerciser host(source, profile);
    for (int steps = 0; steps < kMaxSessionSteps && !source.exhausted(); ++steps) {
        host.step();
    }
    host.setFiniteInputs(true);
    for (int i = 0; i < recoveryFrames; ++i) {
        host.frame();
        host.checkState();
    }
    host.flyOn(recoveryFrames);
    if (profile == Profile::kJoystick) {
        // Pre-kill must release every DirectInput object the session made.
        host.service(12);
        host.checkState();
    }
}

}  // namespace exercise
