// SPDX-License-Identifier: MIT
#include "sim/scenario/trace.h"

#include <cstdio>
#include <string>

namespace host {

namespace {

void put(std::string& line, double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, ",%.10g", value);
    line += buffer;
}

void put(std::string& line, const std::optional<int32_t>& value) {
    line += ',';
    if (value)
        line += std::to_string(*value);
}

void put(std::string& line, const std::optional<bool>& value) {
    line += ',';
    if (value)
        line += *value ? '1' : '0';
}

void put(std::string& line, const std::optional<double>& value) {
    if (value) {
        put(line, *value);
    } else {
        line += ',';
    }
}

}  // namespace

void writeTraceHeader(std::ostream& out) {
    out << "frame,host_time,sim_time,paused,failure21";
    for (const TraceToken& t : kTraceTokens) {
        out << ',' << t.column;
    }
    out << ",cmd_rudder,cmd_aileron,cmd_elevator,cmd_throttle,pitch_guard,engaged"
           ",panel_power,panel_guard,panel_lamp,panel_screen,panel_target_ft"
           ",set_forward,set_right,set_up,set_turn"
           ",height_ft,ground_speed_kt,north_ft,east_ft,actions\n";
}

void writeTraceRow(std::ostream& out, const Frame& f) {
    std::string line = std::to_string(f.index);
    put(line, f.hostTime);
    put(line, f.simTime);
    line += f.paused ? ",1" : ",0";
    line += f.failure21 ? ",1" : ",0";
    for (double value : f.tokens) {
        put(line, value);
    }
    put(line, f.rudder);
    put(line, f.aileron);
    put(line, f.elevator);
    put(line, f.throttle);
    line += f.pitchGuard ? ",1" : ",0";
    line += f.commanding ? ",1" : ",0";
    put(line, f.panel.powerOn);
    put(line, f.panel.guardOpen);
    put(line, f.panel.lampLit);
    put(line, f.panel.screenOn);
    put(line, f.panel.targetHeightFt);
    put(line, f.panel.forwardSpeedSet);
    put(line, f.panel.rightSpeedSet);
    put(line, f.panel.upSpeedSet);
    put(line, f.panel.turnRateSet);
    put(line, f.heightFt);
    put(line, f.groundSpeedKt);
    put(line, f.northFt);
    put(line, f.eastFt);
    line += ",\"" + f.actions + "\"\n";
    out << line;
}

}  // namespace host
