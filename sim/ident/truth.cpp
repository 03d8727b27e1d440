// SPDX-License-Identifier: MIT
#include "sim/ident/truth.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "sim/flight/helicopter.h"
#include "sim/units.h"

namespace ident {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

// The rigid-body states of the linearised plant, by the names it gives them.
const char* const kRigidNames[] = {"down (m)",  "u (m/s)",   "v (m/s)",    "w (m/s)",    "p (rad/s)",
                                   "q (rad/s)", "r (rad/s)", "roll (rad)", "pitch (rad)"};

// The rotor's slow states: the rotor speed and the engine (the governor
// answers in seconds) and the stabiliser bar (its own time constant is some
// three seconds on the UH-1H). Their modes lie below the band a designed
// input excites (about 0.1 to 5 Hz), so over that band they stand still:
// they are held at the trim, not made quasi-steady. Made quasi-steady, the
// bar's full following would count as roll and pitch damping six times what
// the helicopter shows within a few seconds.
bool isSlow(const analysis::LinearPlant& plant, int i) {
    using Heli = flight::Helicopter;
    const std::string& name = plant.stateNames[static_cast<std::size_t>(i)];
    for (int index : {Heli::kOmega, Heli::kEnginePower, Heli::kBarPitch, Heli::kBarRoll}) {
        if (name == "model state " + std::to_string(index)) {
            return true;
        }
    }
    return false;
}

int indexOf(const analysis::LinearPlant& plant, const std::string& name) {
    for (std::size_t i = 0; i < plant.stateNames.size(); ++i) {
        if (plant.stateNames[i] == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

HoverModel responseFit(const Eigen::MatrixXd& A, const Eigen::MatrixXd& B, const Eigen::MatrixXd& toModel,
                       double fromHz, double toHz) {
    using Complex = std::complex<double>;
    const Eigen::Index n = A.rows();
    const Eigen::Index inputs = B.cols();
    std::vector<double> omegas;
    for (double f = fromHz; f <= toHz * (1.0 + 1e-9); f *= 1.05) {
        omegas.push_back(2.0 * std::numbers::pi * f);
    }
    // The model's states' responses to each input, at each frequency.
    std::vector<Eigen::MatrixXcd> X;
    for (double omega : omegas) {
        const Complex jw(0.0, omega);
        const Eigen::MatrixXcd M = jw * Eigen::MatrixXcd::Identity(n, n) - A.cast<Complex>();
        Eigen::MatrixXcd x = toModel.cast<Complex>() * M.partialPivLu().solve(B.cast<Complex>());
        x.row(kP) = jw * x.row(kPhi);
        x.row(kQ) = jw * x.row(kTheta);
        X.push_back(std::move(x));
    }
    HoverModel fitted;
    fitted.name = "the model's form on the linearisation's response";
    const auto rows = static_cast<Eigen::Index>(2 * omegas.size()) * inputs;
    for (int equation : {kU, kV, kW, kP, kQ, kR}) {
        std::vector<int> terms;
        for (int k = 0; k < kTermCount; ++k) {
            if (kTerms[k].row == equation) {
                terms.push_back(k);
            }
        }
        Eigen::MatrixXd R(rows, static_cast<Eigen::Index>(terms.size()));
        Eigen::VectorXd y(rows);
        Eigen::Index r = 0;
        for (std::size_t f = 0; f < omegas.size(); ++f) {
            const Complex jw(0.0, omegas[f]);
            const Eigen::MatrixXcd& x = X[f];
            for (Eigen::Index in = 0; in < inputs; ++in) {
                Complex lhs = jw * x(equation, in);
                if (equation == kU) {
                    lhs += kGravity * x(kTheta, in);
                } else if (equation == kV) {
                    lhs -= kGravity * x(kPhi, in);
                }
                for (std::size_t c = 0; c < terms.size(); ++c) {
                    const TermInfo& info = kTerms[terms[c]];
                    const Complex regressor =
                        info.inB ? Complex(info.column == in ? 1.0 : 0.0) : x(info.column, in);
                    R(r, static_cast<Eigen::Index>(c)) = regressor.real();
                    R(r + 1, static_cast<Eigen::Index>(c)) = regressor.imag();
                }
                y(r) = lhs.real();
                y(r + 1) = lhs.imag();
                r += 2;
            }
        }
        // Columns of per-count inputs and of rates differ by orders of
        // magnitude: solve on unit columns.
        Eigen::VectorXd scale = R.colwise().norm().transpose();
        for (Eigen::Index c = 0; c < scale.size(); ++c) {
            scale(c) = scale(c) > 0.0 ? scale(c) : 1.0;
        }
        const Eigen::MatrixXd Rn = R * scale.cwiseInverse().asDiagonal();
        const Eigen::VectorXd theta = Rn.colPivHouseholderQr().solve(y).cwiseQuotient(scale);
        for (std::size_t c = 0; c < terms.size(); ++c) {
            fitted.terms[static_cast<std::size_t>(terms[c])].value = theta(static_cast<Eigen::Index>(c));
        }
    }
    return fitted;
}

Truth truthAtHover(const flight::Parameters& aircraft, const analysis::HoverPoint& point) {
    const analysis::LinearPlant plant = analysis::linearisePlant(aircraft, point);
    const int n = static_cast<int>(plant.A.rows());

    std::vector<int> rigid;
    for (const char* name : kRigidNames) {
        rigid.push_back(indexOf(plant, name));
    }
    std::vector<int> rotor;
    for (int i = 0; i < n; ++i) {
        bool isRigid = false;
        for (int r : rigid) {
            isRigid = isRigid || r == i;
        }
        if (!isRigid && !isSlow(plant, i)) {
            rotor.push_back(i);
        }
    }
    const auto nr = static_cast<Eigen::Index>(rigid.size());
    const auto nf = static_cast<Eigen::Index>(rotor.size());
    auto pick = [](const Eigen::MatrixXd& m, const std::vector<int>& rows, const std::vector<int>& cols) {
        Eigen::MatrixXd out(static_cast<Eigen::Index>(rows.size()), static_cast<Eigen::Index>(cols.size()));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            for (std::size_t j = 0; j < cols.size(); ++j) {
                out(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) = m(rows[i], cols[j]);
            }
        }
        return out;
    };
    std::vector<int> inputs;
    for (int i = 0; i < analysis::kInputCount; ++i) {
        inputs.push_back(i);
    }
    const Eigen::MatrixXd Arr = pick(plant.A, rigid, rigid), Arf = pick(plant.A, rigid, rotor);
    const Eigen::MatrixXd Afr = pick(plant.A, rotor, rigid), Aff = pick(plant.A, rotor, rotor);
    const Eigen::MatrixXd Br = pick(plant.B, rigid, inputs), Bf = pick(plant.B, rotor, inputs);

    // Quasi-steady rotor: 0 = Afr x + Aff xf + Bf u.
    Eigen::MatrixXd As = Arr, Bs = Br;
    Truth truth;
    truth.trimmed = plant.trimmed;
    if (nf > 0) {
        const Eigen::FullPivLU<Eigen::MatrixXd> lu(Aff);
        As -= Arf * lu.solve(Afr);
        Bs -= Arf * lu.solve(Bf);
        const Eigen::VectorXcd modes = Aff.eigenvalues();
        double slowest = std::numeric_limits<double>::infinity();
        for (Eigen::Index i = 0; i < modes.size(); ++i) {
            slowest = std::fmin(slowest, std::abs(modes(i)));
        }
        truth.slowestEliminatedRate = slowest;
    }

    // The loop axes as functions of the rigid state: T x_rigid = x_model.
    Eigen::MatrixXd Cr = pick(plant.C,
                              std::vector<int>{analysis::kForwardSpeed, analysis::kRightSpeed,
                                               analysis::kUpSpeed, analysis::kTurnRate, analysis::kHeightFt},
                              rigid);
    Eigen::MatrixXd T = Eigen::MatrixXd::Zero(kStateCount, nr);
    const Eigen::Index roll = 7, pitch = 8;  // positions in kRigidNames
    T.row(kU) = Cr.row(0);
    T.row(kV) = Cr.row(1);
    T.row(kW) = Cr.row(2);
    T.row(kP) = As.row(roll);
    T.row(kQ) = As.row(pitch);
    T.row(kR) = Cr.row(3) * (kRadiansPerDegree);
    T(kPhi, roll) = 1.0;
    T(kTheta, pitch) = 1.0;
    T.row(kH) = Cr.row(4) * units::kMetresPerFoot;
    const Eigen::MatrixXd Tinv = T.fullPivLu().inverse();
    truth.A = T * As * Tinv;
    // The Euler rates' own rows carry the input's direct effect on them
    // only through the rates, so B maps through T as the states do.
    truth.B = T * Bs;

    // The same plant's exact response, fitted with the model's form: the
    // rigid and fast states (slow held), and every state (as flown).
    std::vector<int> held = rigid;
    held.insert(held.end(), rotor.begin(), rotor.end());
    std::vector<int> all;
    for (int i = 0; i < n; ++i) {
        all.push_back(i);
    }
    auto formOn = [&](const std::vector<int>& states) {
        const Eigen::MatrixXd C =
            pick(plant.C,
                 std::vector<int>{analysis::kForwardSpeed, analysis::kRightSpeed, analysis::kUpSpeed,
                                  analysis::kTurnRate, analysis::kHeightFt},
                 states);
        Eigen::MatrixXd toModel =
            Eigen::MatrixXd::Zero(kStateCount, static_cast<Eigen::Index>(states.size()));
        toModel.row(kU) = C.row(0);
        toModel.row(kV) = C.row(1);
        toModel.row(kW) = C.row(2);
        toModel.row(kR) = C.row(3) * kRadiansPerDegree;
        toModel.row(kH) = C.row(4) * units::kMetresPerFoot;
        for (std::size_t j = 0; j < states.size(); ++j) {
            if (states[j] == rigid[static_cast<std::size_t>(roll)]) {
                toModel(kPhi, static_cast<Eigen::Index>(j)) = 1.0;
            }
            if (states[j] == rigid[static_cast<std::size_t>(pitch)]) {
                toModel(kTheta, static_cast<Eigen::Index>(j)) = 1.0;
            }
        }
        return responseFit(pick(plant.A, states, states), pick(plant.B, states, inputs), toModel);
    };
    truth.formOnResponseHeld = formOn(held);
    truth.formOnResponseAsFlown = formOn(all);

    HoverModel& m = truth.model;
    m.name = "linearised at the hover";
    for (int k = 0; k < kTermCount; ++k) {
        const TermInfo& info = kTerms[k];
        m.terms[static_cast<std::size_t>(k)].value =
            info.inB ? truth.B(info.row, info.column) : truth.A(info.row, info.column);
    }
    m.trimElevator = plant.trimControls.elevator;
    m.trimAileron = plant.trimControls.aileron;
    m.trimRudder = plant.trimControls.rudder;
    m.trimThrottle = plant.trimControls.throttle;
    m.heightFt = point.heightFt;
    m.rotorDiameterFt = 2.0 * aircraft.rotorRadius * units::kFeetPerMetre;
    return truth;
}

bool setsTheLoops(Term term) {
    for (Term t : kLoopTerms) {
        if (t == term) {
            return true;
        }
    }
    return false;
}

namespace {

double relativeError(double estimate, double truth) {
    return truth != 0.0 ? (estimate - truth) / std::fabs(truth) : std::numeric_limits<double>::infinity();
}

// The size a term's tolerance is a share of. A cross term between the
// cyclic axes may be almost nothing on one rotor (the UH-1H's Le is a
// thousandth of its La); 20 % of almost nothing asks for a precision no
// flight gives and no loop needs, so a cross term is held to at least a
// tenth of its row's own control power.
double toleranceBase(const Truth& truth, Term term) {
    const double own = std::fabs(truth.model.terms[static_cast<std::size_t>(term)].value);
    if (term == kLe) {
        return std::fmax(own, 0.1 * std::fabs(truth.model.terms[kLa].value));
    }
    if (term == kMa) {
        return std::fmax(own, 0.1 * std::fabs(truth.model.terms[kMe].value));
    }
    return own;
}

bool within(const HoverModel& identified, const Truth& truth, Term term) {
    const auto i = static_cast<std::size_t>(term);
    return std::fabs(identified.terms[i].value - truth.model.terms[i].value)
           <= kLoopTermTolerance * toleranceBase(truth, term);
}

std::string row(const char* name, const char* unit, double truth, const Estimate& e, double held,
                double asFlown, bool loopTerm, bool within) {
    char line[320];
    std::snprintf(line, sizeof line,
                  "| %s | %.4g | %.4g ± %.2g | %+.1f %% | %+.1f %% | %+.1f %% | %s | %s |\n", name, truth,
                  e.value, e.standardError, 100.0 * relativeError(e.value, truth),
                  100.0 * relativeError(held, truth), 100.0 * relativeError(asFlown, truth),
                  loopTerm ? (within ? "yes" : "**no**") : "", unit);
    return line;
}

}  // namespace

std::string comparisonTable(const HoverModel& identified, const Truth& truth, double trueDelayS,
                            double physicsStepS) {
    std::string out =
        "| term | linearised | identified ± s.e. | difference | form on the response, slow states held | "
        "form on the response, as flown | within the tolerance | unit |\n"
        "|---|---|---|---|---|---|---|---|\n";
    auto add = [&](int k) {
        const auto i = static_cast<std::size_t>(k);
        const double t = truth.model.terms[i].value;
        const bool loop = setsTheLoops(static_cast<Term>(k));
        out += row(kTerms[i].name, kTerms[i].unit, t, identified.terms[i],
                   truth.formOnResponseHeld.terms[i].value, truth.formOnResponseAsFlown.terms[i].value, loop,
                   loop && within(identified, truth, static_cast<Term>(k)));
    };
    for (Term t : kLoopTerms) {
        add(t);
    }
    for (int k = 0; k < kTermCount; ++k) {
        if (!setsTheLoops(static_cast<Term>(k))) {
            add(k);
        }
    }
    char line[256];
    const bool delayWithin = std::fabs(identified.delayS.value - trueDelayS) <= physicsStepS;
    std::snprintf(line, sizeof line, "| latency | %.4f | %.4f ± %.2g | %+.1f ms | | | %s | s |\n", trueDelayS,
                  identified.delayS.value, identified.delayS.standardError,
                  1000.0 * (identified.delayS.value - trueDelayS), delayWithin ? "yes" : "**no**");
    out += line;
    return out;
}

bool identifiedWithinTolerance(const HoverModel& identified, const Truth& truth, double trueDelayS,
                               double physicsStepS, std::string& why) {
    for (Term t : kLoopTerms) {
        const auto i = static_cast<std::size_t>(t);
        const double e = relativeError(identified.terms[i].value, truth.model.terms[i].value);
        if (!within(identified, truth, t)) {
            char line[160];
            std::snprintf(line, sizeof line, "%s is %+.1f %% off the linearisation (%.4g against %.4g)",
                          kTerms[i].name, 100.0 * e, identified.terms[i].value, truth.model.terms[i].value);
            why = line;
            return false;
        }
    }
    const double d = identified.delayS.value - trueDelayS;
    if (!(std::fabs(d) <= physicsStepS)) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "the latency is %.1f ms off the host's %.1f ms (a physics step is %.1f ms)", 1000.0 * d,
                      1000.0 * trueDelayS, 1000.0 * physicsStepS);
        why = line;
        return false;
    }
    return true;
}

}  // namespace ident
