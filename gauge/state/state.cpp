// SPDX-License-Identifier: MIT
#include "state/state.h"

constinit ModuleState moduleState = kLoadState;
