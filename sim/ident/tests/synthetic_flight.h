// SPDX-License-Identifier: MIT
//
// Hover flights made from a known linear model, written as the logger
// writes its CSV: rows at the panel updates of 18 a second on 30 visual
// frames (33 or 67 ms apart), the controls felt a latency after their
// update, a pilot flying every axis closed loop at low gain, designed
// 3-2-1-1s and sweeps, and turbulence as gusts through the speed terms.
// The integration is this file's own (fine RK4 steps split at the instants
// a control is felt), not the identification's.
#ifndef HOVER_SIM_IDENT_TESTS_SYNTHETIC_FLIGHT_H
#define HOVER_SIM_IDENT_TESTS_SYNTHETIC_FLIGHT_H

#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "sim/ident/hover_model.h"
#include "sim/units.h"

namespace synthetic {

constexpr double kPi = 3.14159265358979323846;

// A hover model with every term away from zero: magnitudes of a light
// helicopter, signs as the log's senses make them (forward cyclic pitches
// the nose down, left cyclic rolls left, left pedal yaws left).
inline ident::HoverModel truthModel() {
    ident::HoverModel m;
    m.name = "synthetic truth";
    const double values[ident::kTermCount] = {
        /*Xu*/ -0.04, /*Xq*/ 0.6,   /*Yv*/ -0.08, /*Yp*/ -0.5,  /*Zw*/ -0.35, /*Lp*/ -4.0,
        /*Lq*/ 0.8,   /*Lv*/ -0.05, /*Mq*/ -1.6,  /*Mp*/ -0.3,  /*Mu*/ 0.02,  /*Nr*/ -0.6,
        /*Np*/ -0.2,  /*Xe*/ 3e-4,  /*Ya*/ -3e-4, /*Yr*/ 1e-4,  /*Zc*/ 6e-4,  /*La*/ -8e-4,
        /*Le*/ 1e-4,  /*Ma*/ -5e-5, /*Me*/ -3e-4, /*Nd*/ -2e-4, /*Nc*/ 3e-5};
    for (int i = 0; i < ident::kTermCount; ++i) {
        m.terms[static_cast<std::size_t>(i)].value = values[i];
    }
    m.delayS.value = 1.0 / 30.0 + 0.007;
    m.trimElevator = 812.0;
    m.trimAileron = -230.0;
    m.trimRudder = 2900.0;
    m.trimThrottle = 8900.0;
    m.heightFt = 100.0;
    return m;
}

enum class Shape { k3211, kSweep };

struct Manoeuvre {
    int axis;  // analysis::Input
    Shape shape;
    double amplitude;  // counts
    double durationS;  // the sweep's; a 3-2-1-1 lasts 7 steps of 0.5 s
};

struct FlightOptions {
    std::vector<Manoeuvre> programme;
    double calmS = 8.0;      // before the first input and after each
    double gustSigma = 0.3;  // m/s, each component
    double gustTimeS = 1.5;
    // The pilot's gains: attitude and rate on the cyclic, rate on the
    // pedals, speed and height on the collective. Low: the pilot only keeps
    // the hover from wandering.
    double pilotGain = 1.0;
    double heaveGain = 300.0;  // counts per m/s of climb
    unsigned seed = 1;
};

inline std::vector<Manoeuvre> everyAxis(double sweepS = 30.0) {
    std::vector<Manoeuvre> p;
    const std::array<double, 4> amplitude = {400.0, 300.0, 300.0, 100.0};  // analysis::Input order
    for (int axis : {analysis::kElevator, analysis::kAileron, analysis::kRudder, analysis::kThrottle}) {
        p.push_back({axis, Shape::k3211, amplitude[static_cast<std::size_t>(axis)], 3.5});
        p.push_back({axis, Shape::kSweep, amplitude[static_cast<std::size_t>(axis)], sweepS});
    }
    return p;
}

// The designed input at time s into the manoeuvre.
inline double designed(const Manoeuvre& m, double s) {
    if (m.shape == Shape::k3211) {
        const double step = 0.5;
        if (s < 3 * step)
            return m.amplitude;
        if (s < 5 * step)
            return -m.amplitude;
        if (s < 6 * step)
            return m.amplitude;
        return -m.amplitude;
    }
    // Exponential sweep from 0.1 to 5 Hz.
    const double f0 = 0.1, f1 = 5.0;
    const double k = std::log(f1 / f0) / m.durationS;
    return m.amplitude * std::sin(2.0 * kPi * f0 * (std::exp(k * s) - 1.0) / k);
}

inline std::string fixed(double v, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    return buffer;
}

// The whole flight as the logger's CSV text.
inline std::string flightLog(const ident::HoverModel& model, const FlightOptions& options) {
    // The rigid states, then the rotor's lag states (zero where it has none).
    constexpr int kStateCount = ident::kExtendedStateCount;
    double A[kStateCount][kStateCount] = {};
    double B[kStateCount][analysis::kInputCount] = {};
    A[ident::kU][ident::kTheta] = -ident::kGravity;
    A[ident::kV][ident::kPhi] = ident::kGravity;
    A[ident::kPhi][ident::kP] = 1.0;
    A[ident::kTheta][ident::kQ] = 1.0;
    A[ident::kH][ident::kW] = 1.0;
    // A lagged row's terms drive its lag state: q' = Mu u + mq, mq' = (Mq q
    // + ... - mq) / tau; the heave's collective partly at once (Zi).
    const int lagState[ident::kStateCount] = {
        -1, -1, ident::kLagHeave, ident::kLagRoll, ident::kLagPitch, -1, -1, -1, -1};
    const double lagS[ident::kStateCount] = {
        0.0, 0.0, model.rotor.heaveS.value, model.rotor.rollS.value, model.rotor.pitchS.value, 0.0, 0.0,
        0.0, 0.0};
    for (int i = 0; i < ident::kTermCount; ++i) {
        const ident::TermInfo& t = ident::kTerms[i];
        double value = model.terms[static_cast<std::size_t>(i)].value;
        int row = t.row;
        const bool speedTerm = !t.inB && (t.column == ident::kU || t.column == ident::kV);
        if (lagS[row] > 0.0 && !speedTerm) {
            if (i == ident::kZc) {
                B[ident::kW][t.column] = model.rotor.heaveInstant.value;
                value -= model.rotor.heaveInstant.value;
            }
            row = lagState[row];
            value /= lagS[t.row];
        }
        (t.inB ? B[row][t.column] : A[row][t.column]) = value;
    }
    for (int row = 0; row < ident::kStateCount; ++row) {
        if (lagS[row] > 0.0) {
            A[row][lagState[row]] = 1.0;
            A[lagState[row]][lagState[row]] = -1.0 / lagS[row];
        }
    }
    const std::array<double, 4> trim = {model.trimThrottle, model.trimElevator, model.trimAileron,
                                        model.trimRudder};
    std::mt19937 random(options.seed);
    std::normal_distribution<double> normal(0.0, 1.0);

    std::array<double, kStateCount> x{};
    x[ident::kH] = model.heightFt * units::kMetresPerFoot;
    std::array<double, 3> gust{};  // forward, right, up
    std::array<double, 4> felt{};  // counts off the trim the aircraft feels now
    struct Pending {
        double at;
        std::array<double, 4> d;
    };
    std::vector<Pending> pending;
    const double h0 = x[ident::kH];
    double heading = 30.0 * kPi / 180.0;

    auto derivative = [&](const std::array<double, kStateCount>& s, std::array<double, kStateCount>& dx) {
        std::array<double, kStateCount> air = s;  // the speed terms act on the speed through the air
        air[ident::kU] -= gust[0];
        air[ident::kV] -= gust[1];
        air[ident::kW] -= gust[2];
        for (int i = 0; i < kStateCount; ++i) {
            double sum = 0.0;
            for (int j = 0; j < kStateCount; ++j) {
                const bool speed = j == ident::kU || j == ident::kV || j == ident::kW;
                const bool kinematic = i >= ident::kPhi && i < ident::kStateCount;
                sum += A[i][j] * (speed && !kinematic ? air : s)[static_cast<std::size_t>(j)];
            }
            for (int c = 0; c < 4; ++c) {
                sum += B[i][c] * felt[static_cast<std::size_t>(c)];
            }
            dx[static_cast<std::size_t>(i)] = sum;
        }
    };
    const double maxStep = 1.0 / 360.0;
    auto integrate = [&](double from, double to) {
        while (from < to) {
            const double h = std::min(maxStep, to - from);
            std::array<double, kStateCount> k1, k2, k3, k4, tmp;
            derivative(x, k1);
            for (int i = 0; i < kStateCount; ++i)
                tmp[static_cast<std::size_t>(i)] =
                    x[static_cast<std::size_t>(i)] + 0.5 * h * k1[static_cast<std::size_t>(i)];
            derivative(tmp, k2);
            for (int i = 0; i < kStateCount; ++i)
                tmp[static_cast<std::size_t>(i)] =
                    x[static_cast<std::size_t>(i)] + 0.5 * h * k2[static_cast<std::size_t>(i)];
            derivative(tmp, k3);
            for (int i = 0; i < kStateCount; ++i)
                tmp[static_cast<std::size_t>(i)] =
                    x[static_cast<std::size_t>(i)] + h * k3[static_cast<std::size_t>(i)];
            derivative(tmp, k4);
            for (int i = 0; i < kStateCount; ++i) {
                const std::size_t u = static_cast<std::size_t>(i);
                x[u] += h / 6.0 * (k1[u] + 2.0 * k2[u] + 2.0 * k3[u] + k4[u]);
            }
            heading += h * x[ident::kR];
            const double a = std::exp(-h / options.gustTimeS);
            for (double& g : gust) {
                g = a * g + options.gustSigma * std::sqrt(1.0 - a * a) * normal(random);
            }
            from += h;
        }
    };

    // The schedule: calm, then each manoeuvre followed by calm.
    struct Span {
        double from, to;
        int manoeuvre;
    };
    std::vector<Span> spans;
    double t = options.calmS;
    for (std::size_t i = 0; i < options.programme.size(); ++i) {
        const Manoeuvre& m = options.programme[i];
        const double length = m.shape == Shape::k3211 ? 3.5 : m.durationS;
        spans.push_back({t, t + length, static_cast<int>(i)});
        t += length + options.calmS;
    }
    const double end = t;

    std::string out =
        "sim_time:604,heading:86,velocity_north:554,velocity_east:555,vertical_speed:556,yaw_rate:70,"
        "pitch:77,bank:78,radar_height:614,elevator:309,aileron:311,rudder:314,throttle:128,rotor:755,"
        "excited_axis,excitation,input\n";
    const char* axisNames[4] = {"throttle", "elevator", "aileron", "rudder"};
    double now = 0.0;
    const double startTime = 120.0;  // the simulator's clock when recording starts
    for (long update = 0;; ++update) {
        // Panel updates on visual frames: 18 a second on 30 frames.
        const long frame = (update * 30 + 17) / 18;
        const double at = static_cast<double>(frame) / 30.0;
        if (at > end) {
            break;
        }
        // Integrate to the update, applying every control felt on the way.
        while (!pending.empty() && pending.front().at <= at) {
            integrate(now, pending.front().at);
            now = pending.front().at;
            felt = pending.front().d;
            pending.erase(pending.begin());
        }
        integrate(now, at);
        now = at;

        // The pilot: low gain on attitude, rates and drift, every axis.
        std::array<double, 4> d{};
        const double k = options.pilotGain;
        d[analysis::kElevator] =
            k * (2000.0 * (x[ident::kTheta] - 0.05 * x[ident::kU]) + 300.0 * x[ident::kQ]);
        d[analysis::kAileron] = k * (1500.0 * (x[ident::kPhi] + 0.05 * x[ident::kV]) + 200.0 * x[ident::kP]);
        d[analysis::kRudder] = k * 3000.0 * x[ident::kR];
        d[analysis::kThrottle] = k * (-options.heaveGain * x[ident::kW] - 20.0 * (x[ident::kH] - h0));
        int excitedAxis = -1;
        double excitation = 0.0;
        const char* input = "none";
        for (const Span& s : spans) {
            if (at >= s.from && at < s.to) {
                const Manoeuvre& m = options.programme[static_cast<std::size_t>(s.manoeuvre)];
                excitedAxis = m.axis;
                excitation = std::round(designed(m, at - s.from));
                input = m.shape == Shape::k3211 ? "3211" : "sweep";
                d[static_cast<std::size_t>(m.axis)] += excitation;
            }
        }
        std::array<double, 4> position{};
        for (int c = 0; c < 4; ++c) {
            // Whole counts, as the host holds an axis.
            position[static_cast<std::size_t>(c)] =
                std::round(trim[static_cast<std::size_t>(c)] + d[static_cast<std::size_t>(c)]);
            d[static_cast<std::size_t>(c)] =
                position[static_cast<std::size_t>(c)] - trim[static_cast<std::size_t>(c)];
        }
        pending.push_back({at + model.delayS.value, d});

        const double north =
            (x[ident::kU] * std::cos(heading) - x[ident::kV] * std::sin(heading)) / units::kMetresPerFoot;
        const double east =
            (x[ident::kU] * std::sin(heading) + x[ident::kV] * std::cos(heading)) / units::kMetresPerFoot;
        double headingDeg = std::fmod(heading * 180.0 / kPi, 360.0);
        if (headingDeg < 0.0) {
            headingDeg += 360.0;
        }
        out += fixed(startTime + at, 4) + "," + fixed(headingDeg, 6) + "," + fixed(north, 6) + ","
               + fixed(east, 6) + "," + fixed(x[ident::kW] / units::kMetresPerFoot, 6) + ","
               + fixed(x[ident::kR] * 65536.0 / (2.0 * kPi), 6) + ","
               + fixed(-x[ident::kTheta] * 180.0 / kPi, 6) + "," + fixed(-x[ident::kPhi] * 180.0 / kPi, 6)
               + "," + fixed(x[ident::kH], 6) + "," + fixed(position[analysis::kElevator], 1) + ","
               + fixed(position[analysis::kAileron], 1) + "," + fixed(position[analysis::kRudder], 1) + ","
               + fixed(position[analysis::kThrottle], 1) + ",100.000000,"
               + (excitedAxis < 0 ? "none" : axisNames[excitedAxis]) + "," + fixed(excitation, 1) + ","
               + input + "\n";
    }
    return out;
}

}  // namespace synthetic

#endif
