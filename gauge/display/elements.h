// SPDX-License-Identifier: MIT
//
// The gauge's picture: 27 element records in the host's layout, linked into
// one tree under the root list `gaugeElements` that the gauge header points
// to. The host walks the tree, draws each element's bitmap or text and calls
// its value callback (display/readouts.h).
#ifndef HOVER_DISPLAY_ELEMENTS_H
#define HOVER_DISPLAY_ELEMENTS_H

#include "sdk/gauge_sdk.h"

// Bitmap resource ids, shared by the element records and the resource script.
enum BitmapId : int32_t {
    kBitmapFacePlate = 10,
    kBitmapMeasuredMarker = 20,
    kBitmapTrendMarker = 30,
    kBitmapSetMarker = 35,
    kBitmapSwitchDown = 50,
    kBitmapSwitchUp = 51,
    kBitmapScreen = 60,
    kBitmapGuardClosed = 70,
    kBitmapGuardOpen = 71,
    kBitmapEngagedLamp = 80,
    kBitmapBarStrip = 100,
    kBitmapBarWindow = 101,
};

// The element tree's root list: the face plate, under which every other
// element hangs.
extern ElementList gaugeElements[];

// The header of the gauge `hover` (defined with Linkage, module/gauge.cpp).
// Every element record points back at it, as the host's records require, so
// it is declared here where the records are, and the layer that defines it
// includes this header rather than the other way round.
extern GaugeHeader hoverGauge;

// The one failure list: hide the lit parts while the host's failure 21 is
// active.
extern FailureEntry panelFailures[];

extern StaticImageElement facePlate;
extern IconElement guardImage;
extern IconElement engagedLamp;
extern IconElement powerSwitchImage;
extern IconElement screenImage;

extern SliderElement turnRateMarker;
extern SliderElement turnTrendMarker;
extern SliderElement turnSetMarker;
extern SliderElement upSpeedMarker;
extern SliderElement upTrendMarker;
extern SliderElement upSetMarker;

extern TextElement headingText;
extern TextElement headingLabel;
extern TextElement groundSpeedText;
extern TextElement groundSpeedLabel;
extern TextElement radarHeightText;
extern TextElement radarHeightLabel;
extern TextElement targetHeightText;
extern TextElement windText;
extern TextElement windLabel;

extern SliderElement driftSpeedMarker;
extern SliderElement driftTrendMarker;
extern SliderElement driftSetMarker;

extern TextElement pitchLabel;
extern TextElement barsLabel;
extern MovingImageElement leverBar;
extern MovingImageElement stickBar;

#endif
