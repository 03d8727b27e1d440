// SPDX-License-Identifier: MIT
//
// The gauge running in the host: the module loaded, the host's table and the
// parameter string attached, the module's init, the main window and the
// joystick as the platform shows them, and the first two service calls in
// the order asked for; then the mouse on its table and the panel walk on
// its element tree. Closing makes the last service call and the module's
// deinit. Every program that runs the module (hoversim, the picture bench,
// the tests) starts and ends it this way.
//
// A panel may hold further gauges from other modules (the logger beside the
// hover gauge): each is loaded, attached to the same host and started after
// the first, in panel order, and each has its own mouse and element walk.
//
// Each module keeps its state in its own globals, so one session at a time.
#ifndef HOVER_SIM_HOST_GAUGE_SESSION_H
#define HOVER_SIM_HOST_GAUGE_SESSION_H

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sim/host/gauge_host.h"
#include "sim/host/module_library.h"
#include "sim/host/mouse.h"
#include "sim/host/panel.h"

namespace host {

// A further gauge of the panel.
struct PanelGauge {
    std::string modulePath;
    std::string parameters;
};

struct SessionSetup {
    std::string modulePath;  // empty: the module beside the program
    std::string parameters;
    ServiceOrder order = ServiceOrder::kInstallThenConnect;
    bool withJoystick = false;  // a centred stick attached before the service calls
    ControlPositions controls;  // where the pilot's controls stand at the start
    std::vector<PanelGauge> moreGauges;  // after the first, in panel order
};

class GaugeSession {
public:
    GaugeSession() = default;
    ~GaugeSession();
    GaugeSession(const GaugeSession&) = delete;
    GaugeSession& operator=(const GaugeSession&) = delete;

    // False, with the reason, when the module cannot be loaded or attached.
    bool open(const SessionSetup& setup, std::string& error);
    // The pre-kill service and the module's deinit; the module stays loaded
    // until the session goes.
    void close();

    const std::string& modulePath() const { return modulePath_; }
    GaugeHost& host() { return host_; }
    const GaugeHost& host() const { return host_; }
    Mouse& mouse() { return *mouse_; }
    Panel& panel() { return *panel_; }

    // The panel walked with the host's current tokens: every gauge's
    // elements, in panel order; what the first gauge showed.
    const PanelFrame& walk(bool panelLightsFailed);

    // One panel update: every gauge's pre-update service, in panel order.
    void update();

    // The further gauges, numbered as the host numbers them (1: the first
    // after the hover gauge).
    int gaugeCount() const { return 1 + static_cast<int>(more_.size()); }
    const std::string& modulePath(int gauge) const;
    // A click on a further gauge's face; its handler's events are that
    // gauge's. False when the point reaches none of its areas or there is
    // no such gauge.
    bool clickOn(int gauge, PixelPoint point);
    // Faults the walk saw in a further gauge's records.
    const std::vector<std::string>& faultsOf(int gauge) const;

private:
    struct More {
        ModuleLibrary library;
        std::string modulePath;
        std::optional<Mouse> mouse;
        std::optional<Panel> panel;
    };
    More* more(int gauge);
    const More* more(int gauge) const;

    // Declared before the host, so the host lets go of the modules' records
    // before the modules are unloaded.
    ModuleLibrary library_;
    std::deque<More> more_;  // built in place: a library is not moved
    GaugeHost host_;
    std::string modulePath_;
    std::optional<Mouse> mouse_;
    std::optional<Panel> panel_;
    bool open_ = false;
};

}  // namespace host

#endif
