// SPDX-License-Identifier: MIT
#include "module/gauge.h"

ElementList gaugeElements[] = {nullptr};
