// SPDX-License-Identifier: MIT
//
// The gauge module as the host holds it: a library loaded at run time, with
// its two records found by name. This is the one place where the native and
// the Windows host differ in how they load a library.
#ifndef HOVER_SIM_HOST_MODULE_LIBRARY_H
#define HOVER_SIM_HOST_MODULE_LIBRARY_H

#include <cstdint>
#include <string>

#include "sdk/gauge_sdk.h"

namespace host {

class ModuleLibrary {
public:
    ModuleLibrary() = default;
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    // Loads the library and finds Linkage and ImportTable. On failure returns
    // false with the reason in error() and holds nothing.
    bool open(const std::string& path);
    void close();

    const std::string& error() const { return error_; }
    GaugeLinkage* linkage() const { return linkage_; }
    GaugeImports* imports() const { return imports_; }

    // The module instance handle the host passes with the pre-install
    // service: the dlopen handle natively, the HMODULE on Windows.
    uintptr_t instanceHandle() const { return reinterpret_cast<uintptr_t>(handle_); }

    // The file name of the module next to the running program: where the
    // build puts a copy of it.
    static std::string besideProgram();
    // The same for another module by its stem: "hoverlog" is hoverlog.so
    // natively and hoverlog.gau on Windows.
    static std::string besideProgram(const std::string& stem);

private:
    void* handle_ = nullptr;
    GaugeLinkage* linkage_ = nullptr;
    GaugeImports* imports_ = nullptr;
    std::string error_;
};

}  // namespace host

#endif
