// SPDX-License-Identifier: MIT
//
// A class aircraft rigged to a recorded helicopter: the aircraft file of a
// helicopter of the same class with its control rigging (blade angle per
// axis count) scaled so that its own linearised control powers are those
// hoverident identified. The identification finds each axis's control power
// and the latency well, and the rotor's damping badly (the rigid-body model
// cannot hold the disc's lag); the class file carries the rotor, the
// flight gives the gearing. hovertune then tunes on the rigged file as on
// any aircraft file.
//
// Each axis scales about the class's trim blade angle, so the trim stays at
// the same counts where the rigging has a centre (collective, pedals). The
// scaling is repeated until the rigged file's powers agree with the
// identified ones (the trim moves a little with the rigging).
#ifndef HOVER_SIM_IDENT_RIGGING_H
#define HOVER_SIM_IDENT_RIGGING_H

#include <array>
#include <optional>
#include <string>

#include "sim/analysis/plant.h"
#include "sim/ident/hover_model.h"

namespace ident {

// The control power of each axis, in analysis::Input order.
inline constexpr Term kPowerOf[analysis::kInputCount] = {kZc, kMe, kLa, kNd};

// A class further off than this on any axis is not taken for the helicopter.
inline constexpr double kMaxRiggingFactor = 5.0;

struct Rigged {
    std::string text;  // the rigged aircraft file
    // Blade angle per count, rigged over the class's, per axis.
    std::array<double, analysis::kInputCount> factor{};
    // The rigged file's linearised power over the identified, per axis:
    // how closely the rigging reached it.
    std::array<double, analysis::kInputCount> reached{};
};

// `classText` is the class's aircraft file, `classSource` its name for
// messages and the comment, `source` what the identified model came from.
// Fails with one line in `error` when the class file is not an aircraft, an
// identified power has the other sign than the class's, or the class is
// more than kMaxRiggingFactor off on an axis.
std::optional<Rigged> rigToIdentifiedPowers(const std::string& classText, const std::string& classSource,
                                            const HoverModel& identified, const std::string& source,
                                            std::string& error);

}  // namespace ident

#endif
