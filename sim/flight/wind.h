// SPDX-License-Identifier: MIT
//
// The air the simulated helicopter flies in: a steady wind, discrete
// 1-cosine gusts and Dryden turbulence (MIL-HDBK-1797 low-altitude form),
// all repeatable from a seed.
#ifndef HOVER_SIM_FLIGHT_WIND_H
#define HOVER_SIM_FLIGHT_WIND_H

#include <cstdint>
#include <random>
#include <vector>

namespace flight {

// Turbulence intensity is set by W20, the wind speed at 20 ft that the
// low-altitude Dryden model scales its standard deviations from.
inline constexpr double kTurbulenceNoneW20Kt = 0.0;
inline constexpr double kTurbulenceLightW20Kt = 15.0;
inline constexpr double kTurbulenceModerateW20Kt = 30.0;
inline constexpr double kTurbulenceSevereW20Kt = 45.0;

struct WindSettings {
    double fromDirectionDeg = 0.0;  // true direction the steady wind blows from
    double speedKt = 0.0;           // steady wind speed
    double turbulenceW20Kt = 0.0;   // 0: none; see the kTurbulence... constants
    std::uint32_t seed = 1;         // turbulence noise seed; equal seeds repeat a run
};

// One 1-cosine gust: the added wind rises from 0 to its peak at half the
// duration and falls back to 0, v(t) = peak / 2 * (1 - cos(2 pi (t - start) / duration)).
struct GustEvent {
    double startS = 0.0;            // model time at which the gust begins
    double durationS = 1.0;         // whole length of the gust
    double fromDirectionDeg = 0.0;  // direction its horizontal part blows from
    double peakKt = 0.0;            // horizontal peak
    double peakUpKt = 0.0;          // vertical peak, positive for an updraught
};

// Wind in the earth frame (north, east, down), m/s, of the air mass.
struct WindVector {
    double north = 0.0;
    double east = 0.0;
    double down = 0.0;
};

// The atmosphere's moving part. Deterministic: the same settings, gusts and
// sequence of update() calls give the same winds on every platform that
// shares the C library's log, sin and cos.
class WindField {
public:
    void configure(const WindSettings& settings);
    const WindSettings& settings() const { return settings_; }
    void addGust(const GustEvent& gust);
    void clearGusts();

    // Advances the turbulence filters by dt seconds at the given height
    // above ground (m) and airspeed relative to the mean wind (m/s).
    void updateTurbulence(double dt, double heightM, double airspeedMps);

    // Steady wind plus active gusts plus the current turbulence at time t.
    WindVector at(double timeS) const;
    // The steady wind alone.
    WindVector steady() const { return steady_; }

private:
    double gaussian();

    WindSettings settings_{};
    WindVector steady_{};
    std::vector<GustEvent> gusts_;
    std::mt19937 random_{1u};
    bool spareValid_ = false;
    double spare_ = 0.0;
    // Dryden filter states: u is first order, v and w are two cascaded
    // first-order stages each (unit variance at the input stage).
    double uState_ = 0.0;
    double v1_ = 0.0, v2_ = 0.0;
    double w1_ = 0.0, w2_ = 0.0;
    // Turbulence components along the mean wind, across it and down, m/s.
    double uGust_ = 0.0, vGust_ = 0.0, wGust_ = 0.0;
    double axisCos_ = 1.0, axisSin_ = 0.0;  // mean-wind axis in north/east
    // Filter coefficients, recomputed only when the height, airspeed or
    // step has moved noticeably since they were last worked out.
    struct Coefficients {
        double heightM = -1.0, airspeedMps = -1.0, dt = -1.0;
        double sigmaU = 0.0, sigmaW = 0.0;
        double aU = 0.0, bU = 0.0, aW = 0.0, bW = 0.0;
    } coeff_;
};

}  // namespace flight

#endif
