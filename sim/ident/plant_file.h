// SPDX-License-Identifier: MIT
//
// What the tools take from a plant file beyond the model itself, and the
// model varied the way an aircraft file's figures are varied: the four
// groups of terms a tuner spreads and a scenario scales.
//
//   inertia        divides every L*, M* and N* term (moments over inertia)
//   control_power  multiplies Xe, Ya, La, Le, Ma, Me (the cyclic's power)
//   rotor_damping  multiplies Lp, Lq, Mq, Mp (the disc's lag behind the shaft)
//   tail_rotor     multiplies Nd, Yr, Nr (thrust per degree of pedal)
#ifndef HOVER_SIM_IDENT_PLANT_FILE_H
#define HOVER_SIM_IDENT_PLANT_FILE_H

#include <optional>
#include <string>

#include "sim/flight/parameters.h"
#include "sim/ident/hover_model.h"

namespace ident {

struct PlantDefinition {
    HoverModel model;
    // The file's own [uncertainty] table (the four group keys, each a
    // fraction in [0, 0.5]); a group it leaves out keeps the fit's spread.
    std::optional<flight::Uncertainty> uncertainty;
    // Which groups the table gives, so the fit's spread fills the others.
    bool given[flight::kScaleCount] = {false, false, false, false};
};

std::optional<PlantDefinition> parsePlantDefinition(const std::string& text, const std::string& sourceName,
                                                    std::string& error);
std::optional<PlantDefinition> readPlantDefinition(const std::string& path, std::string& error);

// Whether term `term` belongs to group `group` (flight::kScaleKeys order).
bool inScaleGroup(int group, int term);

// The model with the groups' factors on its terms.
HoverModel scaledModel(HoverModel model, const flight::ParameterScale& scale);

// How well the fit knows each group: twice the largest relative standard
// error among the group's terms, kept within [kLeastFittedSpread,
// kMostFittedSpread]. A term fitted as exactly 0 with an error above 0 is
// known to no relative figure: the group takes the largest spread.
inline constexpr double kLeastFittedSpread = 0.05;
inline constexpr double kMostFittedSpread = 0.5;
flight::Uncertainty fittedUncertainty(const HoverModel& model);

// The spread a tuner uses: the fit's, each group the file's table gives
// taking the file's value.
flight::Uncertainty plantUncertainty(const PlantDefinition& plant);

}  // namespace ident

#endif
