// SPDX-License-Identifier: MIT
//
// The host's side of the running gauges: the function table the modules call
// (variable readings and axis events), the service calls, and the mouse.
// It serves whatever token values it is given and keeps the four control
// positions the axis events move; the flight model and the scenario sit
// outside it.
//
// A panel may hold more than one gauge, each from its own module: the host
// writes its one function table into every module's ImportTable, so all of
// them read the same token values and move the same controls, while each
// gauge has its own header, parameter string and service calls. Gauge 0 is
// the panel's first (the hover gauge in hoversim).
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

// Bank, degrees, positive left wing down: not read by the hover gauge, but
// served for other gauges of the panel and for the pilot.
inline constexpr uint32_t kTokenBankLeft = 78;

// Who sent an axis event: a gauge of the panel by its index, or the pilot's
// own hand on the controls.
inline constexpr int kMaxGauges = 4;
inline constexpr int kPilotSender = kMaxGauges;

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
    // gauge header, as the panel's first gauge; gauges attached before are
    // let go. The gauge is the first the linkage lists.
    bool attach(GaugeLinkage* linkage, GaugeImports* imports, const std::string& parameters,
                std::string& error);
    // Another gauge of the same panel, after those attached: the same table
    // written into its module's ImportTable. Its index, or -1 with the
    // reason (no first gauge, too many gauges, a module without a gauge).
    int attachAnother(GaugeLinkage* linkage, GaugeImports* imports, const std::string& parameters,
                      std::string& error);
    void detach();
    GaugeHeader* gauge(int index = 0) const;
    int gaugeCount() const { return static_cast<int>(gauges_.size()); }

    // The service calls of one gauge, in the order the host makes them.
    void preInstall(uintptr_t moduleInstance, int gauge = 0);
    void connectToWindow(int gauge = 0);
    // One frame's update.
    void preUpdate(int gauge = 0);
    void preKill(int gauge = 0);

    // Token values the module reads. The control-position tokens are served
    // from controls() and cannot be set here.
    void setToken(uint32_t token, double value);
    double token(uint32_t token) const;

    ControlPositions& controls() { return controls_; }
    const ControlPositions& controls() const { return controls_; }

    // Events the first gauge sent since the last clearEvents, in the order
    // sent, whether from the frame's update or from a mouse handler.
    const std::vector<SentEvent>& events() const { return events_[0]; }
    // The events of one sender: a gauge's index or kPilotSender.
    const std::vector<SentEvent>& eventsFrom(int sender) const;
    void clearEvents();

    // Events arriving outside a gauge's service call (a mouse handler's)
    // count as this sender's; 0 unless set. A service call counts as its
    // own gauge's.
    void setActingSender(int sender);
    // An axis event from the pilot's hand: handled as the gauges' events
    // are, so the host's travel limits and latency apply alike.
    void pilotEvent(uint32_t eventId, int32_t value);

    // Tokens read that the host does not serve, and event ids it does not
    // know, each listed once.
    const std::vector<uint32_t>& unknownTokens() const { return unknownTokens_; }
    const std::vector<uint32_t>& unknownEvents() const { return unknownEvents_; }

    // The table entries' targets; a null variable record is ignored.
    void onRead(HostVar* variable);
    uint32_t onEvent(uint32_t eventId, int32_t value);

private:
    struct Attached {
        GaugeHeader* header;
        GaugeImports* imports;
        std::vector<char> parameters;  // the string the header points to
    };

    void service(int gauge, uint32_t code, uintptr_t extra);

    hostside::HostTable<GaugeHost> table_;
    std::vector<Attached> gauges_;
    std::array<double, kTokenLimit> values_{};
    ControlPositions controls_;
    std::array<std::vector<SentEvent>, kMaxGauges + 1> events_;
    int sender_ = 0;  // whose event the table's entry takes now
    std::vector<uint32_t> unknownTokens_;
    std::vector<uint32_t> unknownEvents_;
};

}  // namespace host

#endif
