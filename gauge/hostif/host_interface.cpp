// SPDX-License-Identifier: MIT
#include "hostif/host_interface.h"

extern "C" {

GaugeImports ImportTable = {
    .id = 15,
    .hostApi = nullptr,
    .endId = 0,
    .endPointer = nullptr,
};

}  // extern "C"

HostApi* currentHostApi() {
    return ImportTable.hostApi;
}

void readHostVar(HostVar& variable) {
    HostApi* api = currentHostApi();
    if (api == nullptr || api->readVariable == nullptr) {
        return;
    }
    api->readVariable(&variable);
}

double readHostToken(uint32_t tokenId) {
    HostVar variable{};
    variable.tokenId = tokenId;
    readHostVar(variable);
    return variable.value;
}

void sendHostEvent(uint32_t eventId, int32_t value) {
    HostApi* api = currentHostApi();
    if (api == nullptr || api->sendEvent == nullptr) {
        return;
    }
    api->sendEvent(eventId, value);
}
