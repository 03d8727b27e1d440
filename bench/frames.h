// SPDX-License-Identifier: MIT
//
// One host frame of the module, and the floor it is measured against: the
// same host calls and the one sine and cosine the frame cannot do without,
// and nothing else.
#ifndef HOVER_BENCH_FRAMES_H
#define HOVER_BENCH_FRAMES_H

#include <cstdint>

namespace bench {

// The simulation time moves on and the host makes the pre-update service.
void preUpdateFrame();

// What the frame cannot be cheaper than, disengaged (11 readings, no event)
// and engaged (9 readings, 4 axis events): each host call made through the
// host's table, then one sine and one cosine of the heading that was read.
void floorFrameDisengaged();
void floorFrameEngaged();

// The floor plus the hold's law written out bare: the same readings and
// events, the estimation, the four filtered loops with their integral rules
// and the commands, but no wrapper around a host call, no check of a value
// and no joystick. What any implementation of this law costs at the least;
// it keeps its own loop state and leaves the module's alone.
void bareLawFrameDisengaged();
void bareLawFrameEngaged();

// Host calls of one pre-update in the module's present state, counted
// through a table that only counts. The floor is fair only while these
// agree with the counts above.
struct HostCallCount {
    int reads;
    int events;
};
HostCallCount countHostCalls();
constexpr HostCallCount kDisengagedCalls{11, 0};
constexpr HostCallCount kEngagedCalls{9, 4};

// Checks that the module still makes the calls the floors make; prints what
// differs and returns false otherwise.
bool floorsMatchModule();

}  // namespace bench

// Loops of n frames each, kept out of line under names a profile finds:
// valgrind's callgrind counts their inclusive instructions, and the count
// divided by n is the instructions of one frame.
extern "C" {
void hover_frames_preupdate_disengaged(int64_t n);
void hover_frames_floor_disengaged(int64_t n);
void hover_frames_preupdate_engaged(int64_t n);
void hover_frames_floor_engaged(int64_t n);
void hover_frames_bare_law_disengaged(int64_t n);
void hover_frames_bare_law_engaged(int64_t n);
void hover_frames_draw_pass(int64_t n);
}

#endif
