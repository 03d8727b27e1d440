// SPDX-License-Identifier: MIT
#include "core/state.h"

constinit ModuleState moduleState = kLoadState;
