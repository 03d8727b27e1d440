// SPDX-License-Identifier: MIT
//
// A bench host for the panel pictures: it loads the gauge module as the
// flight simulator does, serves the tokens it is given, makes the service
// calls and clicks the face through the module's own mouse table. It puts
// the unit into the states the guide shows and the renderer's tests check,
// without any knowledge of the module beyond its records.
//
// Each bench loads the module afresh, so it starts from the module's
// load-time state; one bench at a time.
#ifndef HOVER_SIM_PANEL_BENCH_H
#define HOVER_SIM_PANEL_BENCH_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sdk/gauge_sdk.h"

namespace panel {

struct BenchEvent {
    uint32_t id;
    int32_t value;
};

// The pilot's joystick through the platform's DirectInput stand-in, each
// axis -1 .. +1.
struct BenchStick {
    double x = 0.0;   // right
    double y = 0.0;   // back (forward is negative)
    double z = 0.0;   // the throttle wheel
    double rz = 0.0;  // twist right
};

class Bench {
public:
    Bench();
    ~Bench();
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    // Loads the module, writes the host table and the parameter string, and
    // makes the pre-install and connect-to-window services. With
    // `withJoystick` a centred stick is attached before pre-install.
    bool load(const std::string& modulePath, const std::string& parameters, bool withJoystick,
              std::string& error);

    GaugeHeader* gauge() const { return gauge_; }

    void setToken(uint32_t token, double value) { tokens_[token] = value; }
    double token(uint32_t token) const;

    // Host frames: the simulation time advances by `step` seconds, then the
    // pre-update service. Axis events set the control-position tokens.
    void frames(int count, double step);

    // A left click at a point of the face, through the mouse table. False
    // when the point lies in no area.
    bool click(int32_t x, int32_t y);

    void moveStick(const BenchStick& stick);

    // Events the module sent since the last clearEvents.
    const std::vector<BenchEvent>& events() const { return events_; }
    void clearEvents() { events_.clear(); }

    // The table's entries, forwarded to the bench that is loaded.
    void onRead(HostVar* variable);
    uint32_t onEvent(uint32_t eventId, int32_t value);

private:
    void unload();

    void* library_ = nullptr;
    GaugeLinkage* linkage_ = nullptr;
    GaugeImports* imports_ = nullptr;
    GaugeHeader* gauge_ = nullptr;
    HostApi api_{};
    std::vector<char> parameters_;
    std::map<uint32_t, double> tokens_;
    std::vector<BenchEvent> events_;
    int joystick_ = -1;
};

}  // namespace panel

#endif
