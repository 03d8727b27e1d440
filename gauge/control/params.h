// SPDX-License-Identifier: MIT
//
// The gauge's parameter string: twelve gain keys, each followed by a factor
// that scales the key's default.
#ifndef HOVER_CONTROL_PARAMS_H
#define HOVER_CONTROL_PARAMS_H

#include "state/state.h"
#include "sdk/gauge_sdk.h"

// Sets all twelve gains to default × factor from the header's parameter
// string; a key that is absent keeps the factor 1. The factors are kept as
// the panel's configuration.
void readGainParameters(const GaugeHeader* header);

// Sets all twelve gains to default × the factor the panel configured at the
// last pre-install (1 for every key before the first one). The controller's
// reset uses it, so that a connect-to-window service following the
// pre-install does not throw the panel's configuration away.
void applyPanelGains();

// The twelve factors read at the last pre-install, in the order the keys are
// read: KprTurn TvTurn TnTurn KprRight TvRight TnRight KprForward TvForward
// TnForward KprUp TvUp TnUp. All 1 at load.
inline constinit double (&panelGainFactors)[kGainKeyCount] = moduleState.panelGainFactors;

// The key's first occurrence in the string, or null when there is none or
// when a comment character ('/', '#' or '\'') precedes it.
const char* findParameter(const char* parameters, const char* key);

// Reads the factor that starts at `text`: leading white space, an optional
// sign, digits with at most one '.', an optional exponent. Reading stops at
// the first character that does not fit; no digit gives 0. A number beyond
// the range of a double is not something a panel can mean: it gives the
// factor 1, so the key keeps its default.
double readFactor(const char* text);

#endif
