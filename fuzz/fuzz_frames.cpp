// SPDX-License-Identifier: MIT
//
// Fuzz target: a host gone wrong. The input chooses a sequence of service
// calls (mostly frames, but also pre-install with any parameter string,
// pre-kill, connect-to-window and codes the gauge does not know), host
// values (finite, NaN, infinite, extreme, any bit pattern), time steps
// (zero, negative, tiny, huge), the host's table coming and going, mouse
// clicks through the gauge's mouse table and draws of the whole element tree
// with fenced text buffers. The exerciser checks every promise after every
// call. Then the inputs return to finite values and the state must stay
// finite without any reset; and once the panel is installed again with the
// default gains, the pilot engages and every engaged frame must send all
// four axis commands.
#include <cstddef>
#include <cstdint>

#include "fuzz/exerciser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr int kRecoveryFrames = 40;
    exercise::runSession(data, size, exercise::Profile::kFrames, kRecoveryFrames);
    return 0;
}
