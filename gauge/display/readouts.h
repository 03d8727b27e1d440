// SPDX-License-Identifier: MIT
//
// The value callbacks behind the gauge's elements. The host calls each with
// the record of the element it is drawing and takes the double it returns as
// the element's value; text callbacks also leave their text in the buffer the
// host hung on the record.
#ifndef HOVER_DISPLAY_READOUTS_H
#define HOVER_DISPLAY_READOUTS_H

#include "state/state.h"
#include "sdk/gauge_sdk.h"

// The common limit of the marker callbacks: [-3, 3], the end ticks of every
// scale. A NaN passes through unchanged.
double clampToScale(double value);

// The collective lever bar's smoothing, advanced once per call of showLever.
// Zero at load; no reset of the controller touches it, so the bar never
// drops back to zero.
inline constinit double& leverDisplayFilter = moduleState.leverDisplayFilter;

// Markers, x: yaw rate.
double GAUGE_CALL showTurnSet(GaugeElement* element);
double GAUGE_CALL showTurnTrend(GaugeElement* element);
double GAUGE_CALL showTurnRate(GaugeElement* element);

// Markers, y: vertical speed, negated so that up moves a marker upwards.
double GAUGE_CALL showUpSet(GaugeElement* element);
double GAUGE_CALL showUpTrend(GaugeElement* element);
double GAUGE_CALL showUpSpeed(GaugeElement* element);

// Markers on the speed cross: lateral speed on x, forward speed on y
// (negated, so that forward moves a marker upwards).
double GAUGE_CALL showRightSet(GaugeElement* element);
double GAUGE_CALL showForwardSet(GaugeElement* element);
double GAUGE_CALL showRightTrend(GaugeElement* element);
double GAUGE_CALL showForwardTrend(GaugeElement* element);
double GAUGE_CALL showRightSpeed(GaugeElement* element);
double GAUGE_CALL showForwardSpeed(GaugeElement* element);

// Readouts and their labels.
double GAUGE_CALL showHeadingLabel(GaugeElement* element);
double GAUGE_CALL showHeading(GaugeElement* element);
double GAUGE_CALL showSpeedLabel(GaugeElement* element);
double GAUGE_CALL showGroundSpeed(GaugeElement* element);
double GAUGE_CALL showHeightLabel(GaugeElement* element);
double GAUGE_CALL showRadarHeight(GaugeElement* element);
double GAUGE_CALL showTargetHeight(GaugeElement* element);
double GAUGE_CALL showWindLabel(GaugeElement* element);
double GAUGE_CALL showWind(GaugeElement* element);
double GAUGE_CALL showBarsLabel(GaugeElement* element);
double GAUGE_CALL showPitchLabel(GaugeElement* element);

// The collective bars: the pilot's stick Z against the host's lever.
double GAUGE_CALL showStick(GaugeElement* element);
double GAUGE_CALL showLever(GaugeElement* element);

// Icons: the screen (and its hidden bit), the power switch, the HVR lamp and
// the engage button's guard.
double GAUGE_CALL showScreen(GaugeElement* element);
double GAUGE_CALL showPowerSwitch(GaugeElement* element);
double GAUGE_CALL showEngagedLamp(GaugeElement* element);
double GAUGE_CALL showGuard(GaugeElement* element);

#endif
