// SPDX-License-Identifier: MIT
//
// How a host answers the module's calls: the function table the module
// finds in its ImportTable, whose entries reach one host object. Every
// program here that plays the host (the simulated host, the fuzz exerciser,
// the unit tests' fake host) answers through it. It lives beside the record
// header because they all stand on that header and on nothing else they
// share; the module never includes it, so hover.gau carries none of it.
//
// The module calls plain functions with no context, so a table reaches the
// one object bound to its host type. A host type provides
//   void onRead(HostVar* variable);       // fill variable->value; it may be null
//   uint32_t onEvent(uint32_t id, int32_t value);
#ifndef HOVER_SDK_HOST_TABLE_H
#define HOVER_SDK_HOST_TABLE_H

#include <cstdint>

#include "sdk/gauge_sdk.h"

namespace hostside {

template <typename Host>
class HostTable {
public:
    HostTable() { restoreEntries(); }
    HostTable(const HostTable&) = delete;
    HostTable& operator=(const HostTable&) = delete;
    ~HostTable() { detach(); }

    // Binds `host` as the object the entries reach and writes the table
    // into `imports`, as the host does after loading the module. False,
    // changing nothing, while another object of the type is bound.
    bool attach(GaugeImports& imports, Host& host) {
        if (bound_ != nullptr && bound_ != &host) {
            return false;
        }
        bound_ = &host;
        owner_ = this;
        imports_ = &imports;
        imports.hostApi = &api_;
        return true;
    }

    // Takes the table out of the imports again and unbinds its host; the
    // module then finds no table, as before the host loaded it.
    void detach() {
        if (imports_ != nullptr && imports_->hostApi == &api_) {
            imports_->hostApi = nullptr;
        }
        imports_ = nullptr;
        if (owner_ == this) {
            bound_ = nullptr;
            owner_ = nullptr;
        }
    }

    // The module's view of the table, for a host that takes entries away
    // to see the module manage without them.
    HostApi& api() { return api_; }
    void restoreEntries() {
        api_.readVariable = &readEntry;
        api_.sendEvent = &sendEntry;
    }
    // Whether the imports hold this table.
    bool installed() const { return imports_ != nullptr && imports_->hostApi == &api_; }

    static Host* bound() { return bound_; }

private:
    static void GAUGE_CALL readEntry(HostVar* variable) {
        if (bound_ != nullptr) {
            bound_->onRead(variable);
        }
    }
    static uint32_t GAUGE_CALL sendEntry(uint32_t eventId, int32_t value) {
        return bound_ != nullptr ? bound_->onEvent(eventId, value) : 0;
    }

    HostApi api_{};
    GaugeImports* imports_ = nullptr;
    static inline Host* bound_ = nullptr;
    static inline HostTable* owner_ = nullptr;
};

}  // namespace hostside

#endif
