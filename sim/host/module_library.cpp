// SPDX-License-Identifier: MIT
#include "sim/host/module_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <array>

namespace host {

namespace {

#ifdef _WIN32
constexpr const char* kModuleSuffix = ".gau";

void* openLibrary(const std::string& path, std::string& error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error = "LoadLibraryA failed with error " + std::to_string(GetLastError());
    }
    return reinterpret_cast<void*>(module);
}

void* findSymbol(void* handle, const char* name) {
    // GetProcAddress answers data exports as well as functions; the result
    // is the record's address.
    FARPROC address = GetProcAddress(static_cast<HMODULE>(handle), name);
    return reinterpret_cast<void*>(address);
}

void closeLibrary(void* handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}

std::string programPath() {
    std::array<char, 1024> buffer{};
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return std::string(buffer.data(), length);
}
#else
constexpr const char* kModuleSuffix = ".so";

void* openLibrary(const std::string& path, std::string& error) {
    // RTLD_LOCAL: the module's symbols stay its own, as a DLL's do.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "dlopen failed";
    }
    return handle;
}

void* findSymbol(void* handle, const char* name) {
    return dlsym(handle, name);
}

void closeLibrary(void* handle) {
    dlclose(handle);
}

std::string programPath() {
    std::array<char, 4096> buffer{};
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) {
        return {};
    }
    return std::string(buffer.data(), static_cast<size_t>(length));
}
#endif

}  // namespace

ModuleLibrary::~ModuleLibrary() {
    close();
}

bool ModuleLibrary::open(const std::string& path) {
    close();
    error_.clear();
    handle_ = openLibrary(path, error_);
    if (handle_ == nullptr) {
        return false;
    }
    linkage_ = static_cast<GaugeLinkage*>(findSymbol(handle_, "Linkage"));
    imports_ = static_cast<GaugeImports*>(findSymbol(handle_, "ImportTable"));
    if (linkage_ == nullptr || imports_ == nullptr) {
        error_ = path + " does not export both Linkage and ImportTable";
        close();
        return false;
    }
    return true;
}

void ModuleLibrary::close() {
    if (handle_ != nullptr) {
        closeLibrary(handle_);
    }
    handle_ = nullptr;
    linkage_ = nullptr;
    imports_ = nullptr;
}

std::string ModuleLibrary::besideProgram() {
    return besideProgram("hover");
}

std::string ModuleLibrary::besideProgram(const std::string& stem) {
    std::string program = programPath();
    size_t slash = program.find_last_of("/\\");
    std::string directory = slash == std::string::npos ? std::string(".") : program.substr(0, slash);
    return directory + (directory.find('\\') != std::string::npos ? "\\" : "/") + stem + kModuleSuffix;
}

}  // namespace host
