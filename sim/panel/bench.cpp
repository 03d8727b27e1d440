// SPDX-License-Identifier: MIT
#include "sim/panel/bench.h"

#include <dlfcn.h>
#include <fake_dinput.h>
#include <fake_platform.h>

namespace panel {

namespace {

Bench* loadedBench = nullptr;
int mainWindow = 0;
constexpr int kMaxMouseRecords = 256;

void GAUGE_CALL readVariable(HostVar* variable) {
    if (loadedBench != nullptr && variable != nullptr) {
        loadedBench->onRead(variable);
    }
}

uint32_t GAUGE_CALL sendEvent(uint32_t eventId, int32_t value) {
    return loadedBench != nullptr ? loadedBench->onEvent(eventId, value) : 0;
}

}  // namespace

Bench::Bench() {
    api_.readVariable = readVariable;
    api_.sendEvent = sendEvent;
}

Bench::~Bench() {
    unload();
}

void Bench::unload() {
    if (library_ == nullptr) {
        return;
    }
    if (gauge_ != nullptr && gauge_->serviceCallback != nullptr) {
        gauge_->serviceCallback(gauge_, kServicePreKill, 0);
    }
    if (linkage_ != nullptr && linkage_->deinit != nullptr) {
        linkage_->deinit();
    }
    dlclose(library_);
    library_ = nullptr;
    linkage_ = nullptr;
    imports_ = nullptr;
    gauge_ = nullptr;
    fakeplatform::registerWindow("FS98MAIN", nullptr);
    if (loadedBench == this) {
        loadedBench = nullptr;
    }
}

bool Bench::load(const std::string& modulePath, const std::string& parameters, bool withJoystick,
                 std::string& error) {
    unload();
    if (loadedBench != nullptr) {
        error = "another bench holds the module";
        return false;
    }
    library_ = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        const char* reason = dlerror();
        error = "cannot load " + modulePath + ": " + (reason != nullptr ? reason : "unknown reason");
        return false;
    }
    linkage_ = static_cast<GaugeLinkage*>(dlsym(library_, "Linkage"));
    imports_ = static_cast<GaugeImports*>(dlsym(library_, "ImportTable"));
    if (linkage_ == nullptr || imports_ == nullptr || linkage_->gauges[0] == nullptr) {
        error = modulePath + " exports no Linkage with a gauge, or no ImportTable";
        unload();
        return false;
    }
    loadedBench = this;
    gauge_ = linkage_->gauges[0];
    imports_->hostApi = &api_;
    parameters_.assign(parameters.begin(), parameters.end());
    parameters_.push_back('\0');
    gauge_->parameters = parameters_.data();

    fakeplatform::registerWindow("FS98MAIN", reinterpret_cast<HWND>(&mainWindow));
    fakeplatform::resetDirectInput();
    joystick_ = withJoystick ? fakeplatform::attachJoystick() : -1;
    if (joystick_ >= 0) {
        moveStick(BenchStick{});
    }
    if (linkage_->init != nullptr) {
        linkage_->init();
    }
    gauge_->serviceCallback(gauge_, kServicePreInstall, reinterpret_cast<uintptr_t>(library_));
    gauge_->serviceCallback(gauge_, kServiceConnectToWindow, 0);
    return true;
}

double Bench::token(uint32_t token) const {
    const auto found = tokens_.find(token);
    return found == tokens_.end() ? 0.0 : found->second;
}

void Bench::onRead(HostVar* variable) {
    variable->value = token(variable->tokenId);
}

uint32_t Bench::onEvent(uint32_t eventId, int32_t value) {
    events_.push_back(BenchEvent{eventId, value});
    // The control a host axis event moves reads back what was sent.
    switch (eventId) {
    case 65762:
        tokens_[kTokenElevatorPosition] = value;
        break;
    case 65763:
        tokens_[kTokenAileronPosition] = value;
        break;
    case 65764:
        tokens_[kTokenRudderPosition] = value;
        break;
    case 65820:
        tokens_[kTokenThrottlePosition] = value;
        break;
    default:
        break;
    }
    return 1;
}

void Bench::frames(int count, double step) {
    for (int i = 0; i < count && gauge_ != nullptr; ++i) {
        tokens_[kTokenSimulationTime] = token(kTokenSimulationTime) + step;
        gauge_->serviceCallback(gauge_, kServicePreUpdate, 0);
    }
}

bool Bench::click(int32_t x, int32_t y) {
    const MouseRect* table = gauge_ != nullptr ? gauge_->mouseRects : nullptr;
    if (table == nullptr) {
        return false;
    }
    int32_t originX = 0;
    int32_t originY = 0;
    for (int i = 0; i < kMaxMouseRecords; ++i) {
        const MouseRect rect = table[i];
        if (rect.kind == kMouseEndOfTable) {
            break;
        }
        if (rect.kind == kMouseGroupStart) {
            originX = rect.x;
            originY = rect.y;
            continue;
        }
        if (rect.kind != kMouseArea) {
            continue;
        }
        const int32_t left = originX + rect.x;
        const int32_t top = originY + rect.y;
        if (x < left || y < top || x >= left + rect.width || y >= top + rect.height) {
            continue;
        }
        const MouseHandler handler = rect.handler;
        if (handler != nullptr && (rect.eventMask & kMouseLeftSingle) != 0) {
            PixelPoint point{x, y};
            handler(&point, kMouseLeftSingle);
        }
        return true;
    }
    return false;
}

void Bench::moveStick(const BenchStick& stick) {
    if (joystick_ < 0) {
        return;
    }
    fakeplatform::StickPosition position;
    position.x = stick.x;
    position.y = stick.y;
    position.z = stick.z;
    position.rz = stick.rz;
    fakeplatform::setStickPosition(joystick_, position);
}

}  // namespace panel
