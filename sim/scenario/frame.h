// SPDX-License-Identifier: MIT
//
// What one host frame showed: the tokens served, the commands of the
// gauge's update, what the panel showed and the flight's own figures. The
// trace writes one per row; the phase meters and the expectations judge a
// run from a sequence of them, so they can judge a hand-made one as well.
#ifndef HOVER_SIM_SCENARIO_FRAME_H
#define HOVER_SIM_SCENARIO_FRAME_H

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "sdk/gauge_sdk.h"
#include "sim/host/panel.h"

namespace host {

// The tokens a frame keeps, in the trace's column order.
struct TraceToken {
    uint32_t id;
    const char* column;
};
inline constexpr TraceToken kTraceTokens[] = {
    {kTokenHeading, "hdg_86"},           {kTokenHeadingDisplay, "hdg_81"},
    {kTokenVelocityNorth, "vn_554"},     {kTokenVelocityEast, "ve_555"},
    {kTokenVerticalSpeed, "vs_556"},     {kTokenYawRate, "yaw_70"},
    {kTokenRadarHeight, "ra_614"},       {kTokenOperating, "op_755"},
    {kTokenPitch, "pitch_77"},           {kTokenWindDirection, "wdir_344"},
    {kTokenWindSpeed, "wspd_343"},       {kTokenElevatorPosition, "elev_309"},
    {kTokenAileronPosition, "ail_311"},  {kTokenRudderPosition, "rud_314"},
    {kTokenThrottlePosition, "thr_128"},
};
inline constexpr size_t kTraceTokenCount = std::size(kTraceTokens);

struct Frame {
    int64_t index = 0;
    double hostTime = 0.0;
    double simTime = 0.0;
    bool paused = false;
    bool failure21 = false;
    double tokens[kTraceTokenCount] = {};
    std::optional<int32_t> rudder, aileron, elevator, throttle;  // commands of the update
    bool pitchGuard = false;                                     // a second elevator event overrode the first
    bool commanding = false;  // the update sent axis commands: the hold is engaged
    PanelReading panel;
    double heightFt = 0.0;
    double groundSpeedKt = 0.0;
    double headingDeg = 0.0;
    double pitchDeg = 0.0;
    double bankDeg = 0.0;  // left wing down positive, as token 78
    double northFt = 0.0;  // from where the run began
    double eastFt = 0.0;
    std::string actions;  // what the scenario did before this frame
};

using Trace = std::vector<Frame>;

}  // namespace host

#endif
