// SPDX-License-Identifier: MIT
#include "sim/host/gauge_session.h"

#include "sim/host/platform_edge.h"

namespace host {

namespace {

// The loader's message, without the file name when it starts with it.
std::string loadFailure(const std::string& path, const ModuleLibrary& library) {
    std::string why = library.error();
    if (why.rfind(path + ": ", 0) == 0) {
        why.erase(0, path.size() + 2);
    }
    return "cannot load the module " + path + ": " + why;
}

void runInit(const ModuleLibrary& library) {
    if (library.linkage()->init != nullptr) {
        library.linkage()->init();
    }
}

void runDeinit(const ModuleLibrary& library) {
    if (library.linkage()->deinit != nullptr) {
        library.linkage()->deinit();
    }
}

}  // namespace

GaugeSession::~GaugeSession() {
    close();
}

bool GaugeSession::open(const SessionSetup& setup, std::string& error) {
    // A module opened afresh starts from its load-time state.
    close();
    panel_.reset();
    mouse_.reset();
    host_.detach();
    more_.clear();
    library_.close();
    modulePath_ = setup.modulePath.empty() ? ModuleLibrary::besideProgram() : setup.modulePath;
    if (!library_.open(modulePath_)) {
        error = loadFailure(modulePath_, library_);
        return false;
    }
    if (!host_.attach(library_.linkage(), library_.imports(), setup.parameters, error)) {
        return false;
    }
    // Every module of the panel is loaded and attached before any starts, so
    // a gauge that cannot be loaded leaves none started.
    for (const PanelGauge& gauge : setup.moreGauges) {
        More& added = more_.emplace_back();
        added.modulePath = gauge.modulePath;
        std::string why;
        if (!added.library.open(gauge.modulePath)) {
            why = loadFailure(gauge.modulePath, added.library);
        } else if (host_.attachAnother(added.library.linkage(), added.library.imports(), gauge.parameters, why)
                   < 0) {
            why = gauge.modulePath + ": " + why;
        }
        if (!why.empty()) {
            error = why;
            host_.detach();
            more_.clear();
            return false;
        }
    }
    runInit(library_);
    for (const More& gauge : more_) {
        runInit(gauge.library);
    }
    host_.controls() = setup.controls;
    showMainWindow();
    setUpJoystick(setup.withJoystick);
    // Each gauge gets its first two service calls in turn, in panel order.
    for (int i = 0; i < gaugeCount(); ++i) {
        const ModuleLibrary& library = i == 0 ? library_ : more_[static_cast<size_t>(i) - 1].library;
        if (setup.order == ServiceOrder::kInstallThenConnect) {
            host_.preInstall(library.instanceHandle(), i);
            host_.connectToWindow(i);
        } else {
            host_.connectToWindow(i);
            host_.preInstall(library.instanceHandle(), i);
        }
    }
    for (int i = 0; i < gaugeCount(); ++i) {
        GaugeHeader* header = host_.gauge(i);
        if (header == nullptr) {
            error = "the host lost a gauge it attached";
            return false;
        }
        if (i == 0) {
            mouse_.emplace(header->mouseRects);
            panel_.emplace(header);
        } else {
            More& gauge = more_[static_cast<size_t>(i) - 1];
            gauge.mouse.emplace(header->mouseRects);
            gauge.panel.emplace(header);
        }
    }
    open_ = true;
    return true;
}

void GaugeSession::close() {
    if (!open_) {
        return;
    }
    open_ = false;
    host_.preKill(0);
    runDeinit(library_);
    for (size_t j = 0; j < more_.size(); ++j) {
        host_.preKill(static_cast<int>(j) + 1);
        runDeinit(more_[j].library);
    }
    hideMainWindow();
}

GaugeSession::More* GaugeSession::more(int gauge) {
    return gauge >= 1 && static_cast<size_t>(gauge) <= more_.size() ? &more_[static_cast<size_t>(gauge) - 1]
                                                                     : nullptr;
}

const GaugeSession::More* GaugeSession::more(int gauge) const {
    return gauge >= 1 && static_cast<size_t>(gauge) <= more_.size() ? &more_[static_cast<size_t>(gauge) - 1]
                                                                     : nullptr;
}

const std::string& GaugeSession::modulePath(int gauge) const {
    static const std::string none;
    if (gauge == 0) {
        return modulePath_;
    }
    const More* target = more(gauge);
    return target != nullptr ? target->modulePath : none;
}

const PanelFrame& GaugeSession::walk(bool panelLightsFailed) {
    const TokenSource tokens = [this](uint32_t token) { return host_.token(token); };
    const PanelFrame& first = panel_->walk(tokens, panelLightsFailed);
    for (More& gauge : more_) {
        if (gauge.panel) {
            gauge.panel->walk(tokens, panelLightsFailed);
        }
    }
    return first;
}

void GaugeSession::update() {
    // The hover gauge first, then the others in panel order: a later gauge
    // reads the controls as the earlier ones left them in this update.
    for (int i = 0; i < gaugeCount(); ++i) {
        host_.preUpdate(i);
    }
}

bool GaugeSession::clickOn(int gauge, PixelPoint point) {
    More* target = more(gauge);
    if (target == nullptr || !target->mouse) {
        return false;
    }
    host_.setActingSender(gauge);
    const bool hit = target->mouse->click(point);
    host_.setActingSender(0);
    return hit;
}

const std::vector<std::string>& GaugeSession::faultsOf(int gauge) const {
    static const std::vector<std::string> none;
    if (gauge == 0) {
        return panel_ ? panel_->faults() : none;
    }
    const More* target = more(gauge);
    return target != nullptr && target->panel ? target->panel->faults() : none;
}

}  // namespace host
