// SPDX-License-Identifier: MIT
#include "control/controller.h"

void updateControlLoops() {}
void sendAxisCommands() {}
