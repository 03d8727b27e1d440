// SPDX-License-Identifier: MIT
//
// The twelve factors of the gauge's parameter string as the tuner handles
// them: their keys, their search bounds, the log-space coordinates the
// optimiser moves in, and the text a panel designer pastes.
#ifndef HOVER_SIM_TUNE_FACTORS_H
#define HOVER_SIM_TUNE_FACTORS_H

#include <array>
#include <optional>
#include <string>

namespace tune {

constexpr int kFactorCount = 12;

// The keys in the order the module reads them (by loop: Turn, Right,
// Forward, Up; within a loop Kpr, Tv, Tn).
constexpr std::array<const char*, kFactorCount> kFactorKeys = {
    "KprTurn",    "TvTurn",    "TnTurn",    "KprRight", "TvRight", "TnRight",
    "KprForward", "TvForward", "TnForward", "KprUp",    "TvUp",    "TnUp"};

using Factors = std::array<double, kFactorCount>;

// Every factor 1: the module's built-in gains.
constexpr Factors kDefaultFactors = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

// The search box, in factors: wide, so that where a loop is best served
// far from the law's design point (a rate filter a twentieth of its
// default, a gain ten times) the search can go there, and a factor on a
// bound says the law itself, not the box, is in the way.
struct FactorBounds {
    double low = 0.01;
    double high = 100.0;
};
// Whether a factor lies on a bound of the box (within rounding).
bool onBound(double factor, const FactorBounds& bounds);

// Optimiser coordinates: the natural logarithm of each factor.
std::array<double, kFactorCount> toLogSpace(const Factors& factors);
Factors fromLogSpace(const std::array<double, kFactorCount>& logs);

// Each factor rounded to `digits` significant decimal digits: the tuner
// flies and writes only such factors, so the string stays short enough to
// read and every digit in it is one that was flown.
constexpr int kFactorDigits = 3;
Factors rounded(const Factors& factors, int digits = kFactorDigits);

// The parameter string for these factors: every key followed by its factor
// written as the shortest decimal that reads back as exactly the same
// double. Keys whose factor is exactly 1 are left out when `omitOnes`.
std::string parameterString(const Factors& factors, bool omitOnes = false);

// Reads a string made by parameterString back (each key once, no comment
// characters, the number right after the key and a space). Returns nothing
// when the text is not of that form; keys absent give 1.
std::optional<Factors> readParameterString(const std::string& text);

// The gauge line for a panel configuration, at the README's placement.
std::string gaugeLine(const std::string& parameters);

}  // namespace tune

#endif
