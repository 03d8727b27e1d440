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
// The module keeps its state in its own globals, so one session at a time.
#ifndef HOVER_SIM_HOST_GAUGE_SESSION_H
#define HOVER_SIM_HOST_GAUGE_SESSION_H

#include <optional>
#include <string>

#include "sim/host/gauge_host.h"
#include "sim/host/module_library.h"
#include "sim/host/mouse.h"
#include "sim/host/panel.h"

namespace host {

struct SessionSetup {
    std::string modulePath;  // empty: the module beside the program
    std::string parameters;
    ServiceOrder order = ServiceOrder::kInstallThenConnect;
    bool withJoystick = false;  // a centred stick attached before the service calls
    ControlPositions controls;  // where the pilot's controls stand at the start
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

    // The panel walked with the host's current tokens.
    const PanelFrame& walk(bool panelLightsFailed);

private:
    ModuleLibrary library_;
    GaugeHost host_;
    std::string modulePath_;
    std::optional<Mouse> mouse_;
    std::optional<Panel> panel_;
    bool open_ = false;
};

}  // namespace host

#endif
