// SPDX-License-Identifier: MIT
#include "sim/ident/plant_file.h"

#include <algorithm>
#include <cmath>

namespace ident {

namespace {

enum Group : int { kInertia = 0, kControlPower, kRotorDamping, kTailRotor };

bool isMoment(int term) {
    const char first = kTerms[term].name[0];
    return first == 'L' || first == 'M' || first == 'N';
}

bool isOneOf(int term, std::initializer_list<Term> list) {
    return std::find(list.begin(), list.end(), term) != list.end();
}

}  // namespace

bool inScaleGroup(int group, int term) {
    switch (group) {
    case kInertia:
        return isMoment(term);
    case kControlPower:
        return isOneOf(term, {kXe, kYa, kLa, kLe, kMa, kMe});
    case kRotorDamping:
        return isOneOf(term, {kLp, kLq, kMq, kMp});
    case kTailRotor:
        return isOneOf(term, {kNd, kYr, kNr});
    default:
        return false;
    }
}

HoverModel scaledModel(HoverModel model, const flight::ParameterScale& scale) {
    for (int t = 0; t < kTermCount; ++t) {
        double& v = model.terms[static_cast<std::size_t>(t)].value;
        double& se = model.terms[static_cast<std::size_t>(t)].standardError;
        double factor = 1.0;
        if (inScaleGroup(kInertia, t)) {
            factor /= scale.inertia;
        }
        if (inScaleGroup(kControlPower, t)) {
            factor *= scale.controlPower;
        }
        if (inScaleGroup(kRotorDamping, t)) {
            factor *= scale.rotorDamping;
        }
        if (inScaleGroup(kTailRotor, t)) {
            factor *= scale.tailRotor;
        }
        v *= factor;
        se *= std::fabs(factor);
    }
    return model;
}

flight::Uncertainty fittedUncertainty(const HoverModel& model) {
    flight::Uncertainty u;
    for (int g = 0; g < flight::kScaleCount; ++g) {
        double largest = 0.0;
        for (int t = 0; t < kTermCount; ++t) {
            if (!inScaleGroup(g, t)) {
                continue;
            }
            const Estimate& e = model.terms[static_cast<std::size_t>(t)];
            if (e.standardError <= 0.0) {
                continue;
            }
            largest =
                std::max(largest, e.value == 0.0 ? kMostFittedSpread : e.standardError / std::fabs(e.value));
        }
        flight::scaleFactor(u.spread, g) = std::clamp(2.0 * largest, kLeastFittedSpread, kMostFittedSpread);
    }
    return u;
}

flight::Uncertainty plantUncertainty(const PlantDefinition& plant) {
    flight::Uncertainty u = fittedUncertainty(plant.model);
    if (plant.uncertainty) {
        for (int g = 0; g < flight::kScaleCount; ++g) {
            if (plant.given[g]) {
                flight::scaleFactor(u.spread, g) = flight::scaleFactor(plant.uncertainty->spread, g);
            }
        }
    }
    return u;
}

}  // namespace ident
