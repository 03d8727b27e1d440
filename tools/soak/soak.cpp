// SPDX-License-Identifier: MIT
//
// The soak run: the module flown for millions of frames by a host that
// hands it random values (a fifth of the time only finite ones), random
// time steps, clicks, draws of the whole gauge, parameter strings,
// connect-to-window and pre-kill services and joystick faults, with every
// promise checked after every call. At the end the inputs return to finite
// values and the hold must engage and fly. The heap in use and the resident
// memory are measured after a warm-up and at the end: the module allocates
// nothing, so both must stay flat (the resident memory only without
// AddressSanitizer or valgrind, whose own bookkeeping grows on its own).
//
//   hover_soak [--frames N] [--seed S]     (default: 10000000 frames, seed 1)
#include <malloc.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "fuzz/exerciser.h"

#if __has_include("fake_dinput.h")
#include "fake_dinput.h"
#define HOVER_SOAK_JOYSTICK 1
#endif

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#define HOVER_SOAK_VALGRIND 1
#else
#define HOVER_SOAK_VALGRIND 0
#endif

#if defined(__SANITIZE_ADDRESS__)
#define HOVER_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOVER_SOAK_ASAN 1
#endif
#endif
#ifdef HOVER_SOAK_ASAN
// The sanitizer runtime's count of the bytes the program has allocated and
// not freed (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

constexpr uint64_t kDefaultFrames = 10000000;
// Each block of the run: chaos (every action, wild values), then a pilot
// flying the engaged hold through the odd wild value, then the same with
// finite values only.
constexpr uint64_t kBlockFrames = 10000;
constexpr uint64_t kChaosFrames = 4000;
constexpr uint64_t kPilotFrames = 4000;
constexpr uint64_t kWarmUpFrames = 20000;
constexpr int kFlyOnFrames = 400;
// The host side's own heap use may wander by a parameter string or two.
constexpr int64_t kHeapTolerance = 64 * 1024;
constexpr int64_t kResidentTolerance = 1024 * 1024;

int64_t heapInUse() {
#ifdef HOVER_SOAK_ASAN
    return static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<int64_t>(mallinfo2().uordblks);
#endif
}

// Resident and peak resident memory in bytes, from /proc/self/status.
int64_t statusField(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(name);
    while (std::getline(status, line)) {
        if (line.compare(0, length, name) == 0) {
            return std::atoll(line.c_str() + length) * 1024;
        }
    }
    return -1;
}

double mebibytes(int64_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t frames = kDefaultFrames;
    uint64_t seed = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--frames") == 0) {
            frames = std::strtoull(argv[i + 1], nullptr, 10);
        } else if (std::strcmp(argv[i], "--seed") == 0) {
            seed = std::strtoull(argv[i + 1], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: %s [--frames N] [--seed S]\n", argv[0]);
            return 2;
        }
    }

#ifdef HOVER_SOAK_JOYSTICK
    // The stand-in's call log would grow without end; a pilot's stick is
    // attached from the start.
    fakeplatform::setCallLogEnabled(false);
    fakeplatform::attachJoystick();
#endif
    exercise::RandomSource source(seed);
    exercise::Exerciser host(source, exercise::Profile::kFrames);
    // What the host does on loading the panel.
    host.setFiniteInputs(true);
    host.preInstall();
    host.service(kServiceConnectToWindow);

    const auto start = std::chrono::steady_clock::now();
    int64_t heapAfterWarmUp = 0;
    int64_t residentAfterWarmUp = 0;
    bool warm = false;
    while (host.counters().frames < frames) {
        const uint64_t inBlock = host.counters().frames % kBlockFrames;
        host.setProfile(inBlock < kChaosFrames ? exercise::Profile::kFrames : exercise::Profile::kPilot);
        host.setFiniteInputs(inBlock >= kChaosFrames + kPilotFrames);
        host.step();
        if (!warm && host.counters().frames >= kWarmUpFrames) {
            warm = true;
            heapAfterWarmUp = heapInUse();
            residentAfterWarmUp = statusField("VmRSS:");
        }
    }
    host.flyOn(kFlyOnFrames);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!warm) {
        heapAfterWarmUp = heapInUse();
        residentAfterWarmUp = statusField("VmRSS:");
    }
    const int64_t heapAtEnd = heapInUse();
    const int64_t residentAtEnd = statusField("VmRSS:");

    const exercise::Counters& c = host.counters();
    std::printf("soak: %llu frames in %.1f s (%.0f frames/s), seed %llu\n",
                static_cast<unsigned long long>(c.frames), seconds, static_cast<double>(c.frames) / seconds,
                static_cast<unsigned long long>(seed));
    std::printf(
        "  engaged frames %llu, axis events %llu, host readings %llu, values handed over %llu "
        "(%llu wild)\n",
        static_cast<unsigned long long>(c.engagedFrames), static_cast<unsigned long long>(c.events),
        static_cast<unsigned long long>(c.reads), static_cast<unsigned long long>(c.values),
        static_cast<unsigned long long>(c.wildValues));
    std::printf(
        "  clicks %llu, gauge draws %llu, value callbacks %llu (%llu texts), services %llu, "
        "pre-installs %llu, joystick scripts %llu\n",
        static_cast<unsigned long long>(c.clicks), static_cast<unsigned long long>(c.draws),
        static_cast<unsigned long long>(c.callbacks), static_cast<unsigned long long>(c.texts),
        static_cast<unsigned long long>(c.services), static_cast<unsigned long long>(c.preInstalls),
        static_cast<unsigned long long>(c.joystickScripts));
    std::printf("  heap in use: %lld bytes after warm-up, %lld at the end\n",
                static_cast<long long>(heapAfterWarmUp), static_cast<long long>(heapAtEnd));
    std::printf("  resident memory: %.2f MiB after warm-up, %.2f MiB at the end, peak %.2f MiB\n",
                mebibytes(residentAfterWarmUp), mebibytes(residentAtEnd), mebibytes(statusField("VmHWM:")));

    if (heapAtEnd - heapAfterWarmUp > kHeapTolerance) {
        std::printf("soak: FAILED: the heap grew by %lld bytes\n",
                    static_cast<long long>(heapAtEnd - heapAfterWarmUp));
        return 1;
    }
#ifdef HOVER_SOAK_ASAN
    // AddressSanitizer keeps freed blocks in quarantine and grows its shadow
    // memory, so resident memory says nothing about the module here; the
    // heap in use does.
    const bool residentCounts = false;
#elif HOVER_SOAK_VALGRIND
    // Valgrind's own bookkeeping grows with the blocks it has seen.
    const bool residentCounts = RUNNING_ON_VALGRIND == 0;
#else
    const bool residentCounts = true;
#endif
    if (residentCounts && residentAtEnd - residentAfterWarmUp > kResidentTolerance) {
        std::printf("soak: FAILED: resident memory grew by %.2f MiB\n",
                    mebibytes(residentAtEnd - residentAfterWarmUp));
        return 1;
    }
    std::printf("soak: passed\n");
    return 0;
}
