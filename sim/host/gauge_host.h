// SPDX-License-Identifier: MIT
//
// The host's side of the running gauge: the function table the module calls
// (variable readings and axis events), the service calls, and the mouse.
// It serves whatever token values it is given and keeps the four control
// positions the axis events move; the flight model and the scenario sit
// outside it.
#ifndef HOVER_SIM_HOST_GAUGE_HOST_H
#define HOVER_SIM_HOST_GAUGE_HOST_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/gauge_sdk.h"
#include "sdk/host_table.h"

namespace host {

// Positions of the four controls in the host's axis units.
struct ControlPositions {
    double elevator = 0.0;  // -16383 .. 16383, positive forward cyclic
    double aileron = 0.0;   // -16383 .. 16383, positive left cyclic
    double rudder = 0.0;    // -16383 .. 16383, positive left pedal
    double throttle = 0.0;  // 0 .. 16384, collective
};

// The order of the host's first two service calls. The simulator installs a
// gauge before it connects the panel window; a host that connects first is
// the other order the gauge may meet.
enum class ServiceOrder { kInstallThenConnect, kConnectThenInstall };

struct SentEvent {
    uint32_t id;
    int32_t value;
};

class GaugeHost {
public:
    // The largest token number the host serves.
    static constexpr uint32_t kTokenLimit = 1024;

    GaugeHost();
    ~GaugeHost();
    GaugeHost(const GaugeHost&) = delete;
    GaugeHost& operator=(const GaugeHost&) = delete;

    // Writes the host's function table into the module's ImportTable and
    // the parameter string (copied into a buffer the host owns) into the
    // gauge header. The gauge is the first the linkage lists.
    bool attach(GaugeLinkage* linkage, GaugeImports* imports, const std::string& parameters,
                std::string& error);
    void detach();
    GaugeHeader* gauge() const { return gauge_; }

    // The service calls, in the order the host makes them.
    void preInstall(uintptr_t moduleInstance);
    void connectToWindow();
    // One frame's update.
    void preUpdate();
    void preKill();

    // Token values the module reads. The control-position tokens are served
    // from controls() and cannot be set here.
    void setToken(uint32_t token, double value);
    double token(uint32_t token) const;

    ControlPositions& controls() { return controls_; }
    const ControlPositions& controls() const { return controls_; }

    // Events sent since the last clearEvents, in the order sent, whether
    // from the frame's update or from a mouse handler.
    const std::vector<SentEvent>& events() const { return events_; }
    void clearEvents() { events_.clear(); }

    // Tokens read that the host does not serve, and event ids it does not
    // know, each listed once.
    const std::vector<uint32_t>& unknownTokens() const { return unknownTokens_; }
    const std::vector<uint32_t>& unknownEvents() const { return unknownEvents_; }

    // The table entries' targets; a null variable record is ignored.
    void onRead(HostVar* variable);
    uint32_t onEvent(uint32_t eventId, int32_t value);

private:
    void service(uint32_t code, uintptr_t extra);

    hostside::HostTable<GaugeHost> table_;
    GaugeHeader* gauge_ = nullptr;
    std::vector<char> parameterBuffer_;
    std::array<double, kTokenLimit> values_{};
    ControlPositions controls_;
    std::vector<SentEvent> events_;
    std::vector<uint32_t> unknownTokens_;
    std::vector<uint32_t> unknownEvents_;
};

}  // namespace host

#endif
