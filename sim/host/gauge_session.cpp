// SPDX-License-Identifier: MIT
#include "sim/host/gauge_session.h"

#include "sim/host/platform_edge.h"

namespace host {

GaugeSession::~GaugeSession() {
    close();
}

bool GaugeSession::open(const SessionSetup& setup, std::string& error) {
    // A module opened afresh starts from its load-time state.
    close();
    panel_.reset();
    mouse_.reset();
    host_.detach();
    library_.close();
    modulePath_ = setup.modulePath.empty() ? ModuleLibrary::besideProgram() : setup.modulePath;
    if (!library_.open(modulePath_)) {
        // The loader's own message may name the file already.
        std::string why = library_.error();
        if (why.rfind(modulePath_ + ": ", 0) == 0) {
            why.erase(0, modulePath_.size() + 2);
        }
        error = "cannot load the module " + modulePath_ + ": " + why;
        return false;
    }
    if (!host_.attach(library_.linkage(), library_.imports(), setup.parameters, error)) {
        return false;
    }
    if (library_.linkage()->init != nullptr) {
        library_.linkage()->init();
    }
    host_.controls() = setup.controls;
    showMainWindow();
    setUpJoystick(setup.withJoystick);
    if (setup.order == ServiceOrder::kInstallThenConnect) {
        host_.preInstall(library_.instanceHandle());
        host_.connectToWindow();
    } else {
        host_.connectToWindow();
        host_.preInstall(library_.instanceHandle());
    }
    mouse_.emplace(host_.gauge()->mouseRects);
    panel_.emplace(host_.gauge());
    open_ = true;
    return true;
}

void GaugeSession::close() {
    if (!open_) {
        return;
    }
    open_ = false;
    host_.preKill();
    if (library_.linkage()->deinit != nullptr) {
        library_.linkage()->deinit();
    }
    hideMainWindow();
}

const PanelFrame& GaugeSession::walk(bool panelLightsFailed) {
    return panel_->walk([this](uint32_t token) { return host_.token(token); }, panelLightsFailed);
}

}  // namespace host
