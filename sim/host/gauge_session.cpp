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
        auto added = std::make_unique<More>();
        added->modulePath = gauge.modulePath;
        if (!added->library.open(gauge.modulePath)) {
            error = loadFailure(gauge.modulePath, added->library);
            host_.detach();
            more_.clear();
            return false;
        }
        std::string why;
        if (host_.attachAnother(added->library.linkage(), added->library.imports(), gauge.parameters, why) < 0) {
            error = gauge.modulePath + ": " + why;
            host_.detach();
            more_.clear();
            return false;
        }
        more_.push_back(std::move(added));
    }
    runInit(library_);
    for (const std::unique_ptr<More>& gauge : more_) {
        runInit(gauge->library);
    }
    host_.controls() = setup.controls;
    showMainWindow();
    setUpJoystick(setup.withJoystick);
    // Each gauge gets its first two service calls in turn, in panel order.
    for (int i = 0; i < gaugeCount(); ++i) {
        const uintptr_t instance = i == 0 ? library_.instanceHandle() : more(i)->library.instanceHandle();
        if (setup.order == ServiceOrder::kInstallThenConnect) {
            host_.preInstall(instance, i);
            host_.connectToWindow(i);
        } else {
            host_.connectToWindow(i);
            host_.preInstall(instance, i);
        }
    }
    mouse_.emplace(host_.gauge()->mouseRects);
    panel_.emplace(host_.gauge());
    for (int i = 1; i < gaugeCount(); ++i) {
        more(i)->mouse.emplace(host_.gauge(i)->mouseRects);
        more(i)->panel.emplace(host_.gauge(i));
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
    for (int i = 1; i < gaugeCount(); ++i) {
        host_.preKill(i);
        runDeinit(more(i)->library);
    }
    hideMainWindow();
}

GaugeSession::More* GaugeSession::more(int gauge) {
    return gauge >= 1 && static_cast<size_t>(gauge) <= more_.size() ? more_[static_cast<size_t>(gauge) - 1].get()
                                                                     : nullptr;
}

const std::string& GaugeSession::modulePath(int gauge) const {
    static const std::string none;
    if (gauge == 0) {
        return modulePath_;
    }
    return gauge >= 1 && static_cast<size_t>(gauge) <= more_.size()
               ? more_[static_cast<size_t>(gauge) - 1]->modulePath
               : none;
}

const PanelFrame& GaugeSession::walk(bool panelLightsFailed) {
    const TokenSource tokens = [this](uint32_t token) { return host_.token(token); };
    const PanelFrame& first = panel_->walk(tokens, panelLightsFailed);
    for (int i = 1; i < gaugeCount(); ++i) {
        more(i)->panel->walk(tokens, panelLightsFailed);
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
    return gauge >= 1 && static_cast<size_t>(gauge) <= more_.size() && more_[static_cast<size_t>(gauge) - 1]->panel
               ? more_[static_cast<size_t>(gauge) - 1]->panel->faults()
               : none;
}

}  // namespace host
